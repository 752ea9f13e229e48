#pragma once
// The module's five exported factories (C linkage, bound by name) and the application reference kept across
// load and unload.
#include "sw/forms/ModuleExports.h"

namespace sw {

// Load: remembers the module-wide application reference current now (SavedApplication) and plugs the Qt
// message sink in. Unload: puts the remembered reference back and unplugs the sink. The library's load and
// unload call these; each runs once per load.
void ModuleApplicationLoad();
void ModuleApplicationUnload();
TApplication* SavedApplication();

}  // namespace sw

extern "C" {
sw::TfrmBase* CreatefrmQryDelUser(sw::TApplication* app, sw::TCloseCallback callback);
sw::TfrmBase* CreatefrmQryDelEmp(sw::TApplication* app, sw::TCloseCallback callback);
sw::TfrmBase* CreatefrmUserInfo(sw::TApplication* app, sw::TCloseCallback callback);
sw::TfrmBase* CreatefrmLogQuery(sw::TApplication* app, sw::TCloseCallback callback);
sw::TfrmBase* CreatefrmQryMoni(sw::TApplication* app, sw::TCloseCallback callback);
}
