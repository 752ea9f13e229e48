#pragma once
// The host application's main window: a menu with the module's five factories, the forms they return, and a
// status bar that shows the close notifications and the copy-data messages the forms send.
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sw/forms/ModuleExports.h"

class QLabel;

namespace sw {
class TApplication;
}

namespace sw::host {

class ModuleLibrary;

class HostWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `app` is the host application object handed to the factories; `module` may be null (no menu entries
  // work).
  HostWindow(TApplication& app, ModuleLibrary* module);
  ~HostWindow() override;

  // Calls the factory, sets the function code and Tag on the form, shows it and returns it.
  TfrmBase* OpenFactory(const std::string& exportName, const std::string& funCode = {}, std::int64_t tag = 0);
  // The most recently opened form that is still alive, or nullptr.
  TfrmBase* CurrentForm() const;

  // Publishes the window as session value "MainHandle" and registers it as the receiver of copy-data blocks.
  void PublishMainHandle();
  std::int64_t MainHandle() const { return mainHandle_; }

  // A copy-data block sent to the main window: shown in the status bar.
  void ReceiveCopyData(std::int64_t sender, std::uint32_t kind, const std::string& text);
  // A form's close notification.
  void FormClosed(std::int32_t tag);

  std::string StatusText() const;
  const std::vector<std::int32_t>& ClosedTags() const { return closedTags_; }
  const std::vector<std::string>& CopyDataTexts() const { return copyData_; }

  // The window that receives the forms' callbacks (the last one created).
  static HostWindow* Instance();

 private:
  TApplication& app_;
  ModuleLibrary* module_;
  QLabel* status_ = nullptr;  // child of the status bar
  std::vector<QPointer<TfrmBase>> forms_;
  std::vector<std::int32_t> closedTags_;
  std::vector<std::string> copyData_;
  std::int64_t mainHandle_ = 0;
};

}  // namespace sw::host
