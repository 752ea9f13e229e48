#pragma once
// The message sink of the forms: every box of the module becomes a Qt message box over the active form of the
// module's application, run through the modal hook.
#include "sw/common/MessageSink.h"

namespace sw::ui {

class QtMessageSink : public MessageSink {
 public:
  int ShowBox(const MessageBoxRequest& box) override;
  void Beep() override;
  // A plain box with an OK button, titled with the program's name.
  void ShowMessage(const std::string& text) override;
};

}  // namespace sw::ui
