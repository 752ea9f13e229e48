#include "sw/ui/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <algorithm>

#include "sw/common/MessageSink.h"
#include "sw/common/UApp.h"
#include "sw/core/Error.h"
#include "sw/ui/ModalHook.h"
#include "sw/ui/QtText.h"

namespace sw {

namespace {
TApplication* gApplication = nullptr;

QMessageBox::StandardButtons ButtonsOf(int flags) {
  switch (flags & mb::kButtonMask) {
    case mb::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case mb::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    default:
      return QMessageBox::Ok;
  }
}

QMessageBox::Icon IconOf(int flags) {
  switch (flags & mb::kIconMask) {
    case mb::kIconStop:
      return QMessageBox::Critical;
    case mb::kIconQuestion:
      return QMessageBox::Question;
    case mb::kIconExclamation:
      return QMessageBox::Warning;
    case mb::kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ClassicCode(int button) {
  switch (button) {
    case QMessageBox::Ok:
      return id::kOk;
    case QMessageBox::Cancel:
      return id::kCancel;
    case QMessageBox::Yes:
      return id::kYes;
    case QMessageBox::No:
      return id::kNo;
    default:
      return id::kCancel;  // closed without a button
  }
}
}  // namespace

TApplication::TApplication(QObject* parent) : QObject(parent) {
  setObjectName("Application");
}

TApplication::~TApplication() {
  // Delete in reverse order of creation; a form deleting another one is tolerated by QPointer.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) delete it->data();
}

void TApplication::AddForm(QWidget* form) {
  if (form == nullptr) return;
  std::erase_if(forms_, [](const QPointer<QWidget>& p) { return p.isNull(); });
  forms_.emplace_back(form);
}

std::vector<QWidget*> TApplication::Forms() const {
  std::vector<QWidget*> out;
  for (const auto& p : forms_)
    if (!p.isNull()) out.push_back(p.data());
  return out;
}

QWidget* TApplication::FindForm(const std::string& objectName) const {
  for (QWidget* f : Forms())
    if (ui::FromQ(f->objectName()) == objectName) return f;
  return nullptr;
}

QWidget* TApplication::ActiveForm() const {
  const auto forms = Forms();
  if (QWidget* active = QApplication::activeWindow()) {
    for (QWidget* f : forms)
      if (f == active) return f;
  }
  for (auto it = forms.rbegin(); it != forms.rend(); ++it)
    if ((*it)->isVisible()) return *it;
  return nullptr;
}

std::string TApplication::ExeName() const {
  return QCoreApplication::instance() != nullptr ? ui::FromQ(QCoreApplication::applicationFilePath()) : "";
}

std::string TApplication::ProgramDir() const {
  if (!programDir_.empty()) return programDir_;
  std::string dir = QCoreApplication::instance() != nullptr
                        ? ui::FromQ(QFileInfo(QCoreApplication::applicationFilePath()).absolutePath())
                        : std::string(".");
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

void TApplication::SetProgramDir(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  programDir_ = std::move(dir);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, int flags) {
  QMessageBox box(IconOf(flags), ui::ToQ(caption), ui::ToQ(text), ButtonsOf(flags), ActiveForm());
  box.setObjectName("MessageBox");
  return ClassicCode(ui::RunModal(box));
}

void TApplication::HandleException() {
  try {
    throw;
  } catch (const Abort&) {
  } catch (const std::exception& e) {
    TUApp{}.ShowError(e.what());
  } catch (...) {
    TUApp{}.ShowError("Unknown error");
  }
}

TApplication* Application() {
  return gApplication;
}

TApplication* SetApplication(TApplication* app) {
  TApplication* previous = gApplication;
  gApplication = app;
  return previous;
}

}  // namespace sw
