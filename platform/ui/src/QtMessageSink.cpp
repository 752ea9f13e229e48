#include "sw/ui/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>

#include "sw/ui/Application.h"
#include "sw/ui/ModalHook.h"
#include "sw/ui/QtText.h"

namespace sw::ui {

int QtMessageSink::ShowBox(const MessageBoxRequest& box) {
  if (TApplication* app = Application()) return app->MessageBox(box.text, box.caption, box.flags);
  TApplication fallback;
  return fallback.MessageBox(box.text, box.caption, box.flags);
}

void QtMessageSink::Beep() {
  QApplication::beep();
}

void QtMessageSink::ShowMessage(const std::string& text) {
  QWidget* parent = Application() != nullptr ? Application()->ActiveForm() : nullptr;
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), ToQ(text), QMessageBox::Ok, parent);
  box.setObjectName("MessageDialog");
  RunModal(box);
}

}  // namespace sw::ui
