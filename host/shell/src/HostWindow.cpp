#include "HostWindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "ModuleLibrary.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/hostvars/HostVars.h"
#include "sw/ui/Application.h"
#include "sw/ui/QtText.h"

namespace sw::host {

namespace {
HostWindow* gInstance = nullptr;

extern "C" void HostCloseCallback(std::int32_t tag) {
  if (gInstance != nullptr) gInstance->FormClosed(tag);
}
}  // namespace

HostWindow::HostWindow(TApplication& app, ModuleLibrary* module) : app_(app), module_(module) {
  setObjectName("HostWindow");
  setWindowTitle(QString::fromUtf8("Norvik商业"));
  resize(900, 600);
  QMenu* menu = menuBar()->addMenu(QString::fromUtf8("用户管理"));
  menu->setObjectName("mnuModule");
  for (const auto& e : kFactoryExports) {
    QAction* act = menu->addAction(ui::ToQ(e.Caption));
    act->setObjectName(e.Name);
    act->setEnabled(module_ != nullptr);
    const std::string name = e.Name;
    connect(act, &QAction::triggered, this, [this, name] {
      try {
        OpenFactory(name);
      } catch (const std::exception& ex) {
        statusBar()->showMessage(ui::ToQ(ex.what()));
      }
    });
  }
  status_ = new QLabel(statusBar());  // owned by the status bar once added
  status_->setObjectName("HostStatus");
  statusBar()->addWidget(status_, 1);
  gInstance = this;
}

HostWindow::~HostWindow() {
  if (mainHandle_ != 0) SetCopyDataReceiver(0, nullptr);
  // The forms go before the module does; their close notifications still reach us.
  for (auto& f : forms_) delete f.data();
  if (gInstance == this) gInstance = nullptr;
}

HostWindow* HostWindow::Instance() {
  return gInstance;
}

TfrmBase* HostWindow::OpenFactory(const std::string& exportName, const std::string& funCode,
                                  std::int64_t tag) {
  if (module_ == nullptr) throw Error("没有加载模块");
  TFormFactory factory = module_->Factory(exportName);
  TfrmBase* form = factory(&app_, &HostCloseCallback);
  if (form == nullptr) throw Error(exportName + " returned no form");
  form->setProperty("FunCode", ui::ToQ(funCode));
  form->setProperty("Tag", static_cast<qlonglong>(tag));
  forms_.emplace_back(form);
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

TfrmBase* HostWindow::CurrentForm() const {
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
    if (!it->isNull()) return it->data();
  return nullptr;
}

void HostWindow::PublishMainHandle() {
  mainHandle_ = static_cast<std::int64_t>(winId());
  if (mainHandle_ == 0) mainHandle_ = 1;
  SetStringByName("MainHandle", IntToStr(mainHandle_));
  SetCopyDataReceiver(mainHandle_, [this](std::int64_t sender, std::uint32_t kind, const std::string& data) {
    ReceiveCopyData(sender, kind, data);
  });
}

void HostWindow::ReceiveCopyData(std::int64_t, std::uint32_t, const std::string& data) {
  // The block is a zero-terminated text.
  const std::string text = data.substr(0, data.find('\0'));
  copyData_.push_back(text);
  status_->setText(ui::ToQ(text));
}

void HostWindow::FormClosed(std::int32_t tag) {
  closedTags_.push_back(tag);
  status_->setText(QString::fromUtf8("窗口已关闭: ") + QString::number(tag));
}

std::string HostWindow::StatusText() const {
  return ui::FromQ(status_->text());
}

}  // namespace sw::host
