// The five exported form factories of libstaffwatch.so and the module's application reference across load and
// unload. Exports are bound by name (C linkage); the ordinals the module publishes are 1 CreatefrmQryDelUser,
// 2 CreatefrmQryDelEmp, 3 CreatefrmUserInfo, 4 CreatefrmLogQuery, 5 CreatefrmQryMoni (ELF has no ordinals;
// the table is sw::kFactoryExports).
#include "sw/entry/Factories.h"

#include "ScreenStandIns.h"
#include "sw/common/MessageSink.h"
#include "sw/ui/Application.h"
#include "sw/ui/QtMessageSink.h"

namespace sw {

namespace {
TApplication* gSavedApplication = nullptr;
bool gLoaded = false;
ui::QtMessageSink gQtSink;
MessageSink* gPreviousSink = nullptr;

// The same steps for every export: adopt the host's application object, create the form owned by it, store
// the callback, hand the form back unshown. Nothing is checked; errors while creating propagate.
template <typename Form>
TfrmBase* CreateForm(TApplication* app, TCloseCallback callback) {
  SetApplication(app);
  auto* form = new Form(app);  // owned by the host's application object (and freed by its own close)
  form->SetCloseCallback(callback);
  return form;
}
}  // namespace

void ModuleApplicationLoad() {
  if (gLoaded) return;
  gSavedApplication = Application();
  // The module's message boxes become Qt boxes that run through the modal hook.
  gPreviousSink = SetMessageSink(&gQtSink);
  gLoaded = true;
}

void ModuleApplicationUnload() {
  if (!gLoaded) return;
  SetApplication(gSavedApplication);
  if (&CurrentMessageSink() == &gQtSink) SetMessageSink(gPreviousSink);
  gLoaded = false;
}

TApplication* SavedApplication() {
  return gSavedApplication;
}

}  // namespace sw

extern "C" {

sw::TfrmBase* CreatefrmQryDelUser(sw::TApplication* app, sw::TCloseCallback callback) {
  return sw::CreateForm<sw::TfrmQryDelUser>(app, callback);
}
sw::TfrmBase* CreatefrmQryDelEmp(sw::TApplication* app, sw::TCloseCallback callback) {
  return sw::CreateForm<sw::TfrmQryDelEmp>(app, callback);
}
sw::TfrmBase* CreatefrmUserInfo(sw::TApplication* app, sw::TCloseCallback callback) {
  return sw::CreateForm<sw::TfrmUserInfo>(app, callback);
}
sw::TfrmBase* CreatefrmLogQuery(sw::TApplication* app, sw::TCloseCallback callback) {
  return sw::CreateForm<sw::TfrmLogQuery>(app, callback);
}
sw::TfrmBase* CreatefrmQryMoni(sw::TApplication* app, sw::TCloseCallback callback) {
  return sw::CreateForm<sw::TfrmQueryMoni>(app, callback);
}

}  // extern "C"

namespace {
// Process attach / detach of the library: remember the application reference current at load, give it back
// at unload.
__attribute__((constructor)) void FactoriesLoad() {
  sw::ModuleApplicationLoad();
}
__attribute__((destructor)) void FactoriesUnload() {
  sw::ModuleApplicationUnload();
}
}  // namespace
