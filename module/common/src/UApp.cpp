#include "sw/common/UApp.h"

#include <fstream>

#include "sw/common/PacketZip.h"
#include "sw/common/USystem.h"
#include "sw/core/CodePage.h"
#include "sw/core/Format.h"

namespace sw {

void TUApp::Show(MessageKind kind, std::string_view text, int flags) const {
  CurrentMessageSink().ShowBox(
      MessageBoxRequest{kind, std::string(kMessageCaption), std::string(text), flags});
}

int TUApp::MsgBox(std::string_view text, int flags) const {
  return CurrentMessageSink().ShowBox(
      MessageBoxRequest{KindOfFlags(flags), std::string(kMessageCaption), std::string(text), flags});
}

bool TUApp::Confirm(std::string_view text) const {
  return CurrentMessageSink().ShowBox(MessageBoxRequest{MessageKind::Question, std::string(kMessageCaption),
                                                        std::string(text), mb::kYesNo | mb::kIconQuestion}) ==
         id::kYes;
}

void TUApp::ShowInfo(std::string_view text) const {
  Show(MessageKind::Information, text, mb::kOk | mb::kIconInformation);
}

void TUApp::ShowError(std::string_view text) const {
  Show(MessageKind::Error, text, mb::kOk | mb::kIconStop);
}

void TUApp::ShowWarning(std::string_view text) const {
  Show(MessageKind::Warning, text, mb::kOk | mb::kIconExclamation);
}

void TUApp::ShowPrompt(std::string_view text) const {
  Show(MessageKind::Prompt, text, mb::kOk | mb::kIconInformation);
}

bool TUApp::IsDate(std::string_view text) const {
  return sw::IsDate(text);
}

bool TUApp::IsTime(std::string_view text) const {
  return sw::IsTime(text);
}

Variant TUApp::CompressPacket(const Variant& packet) const {
  return sw::CompressPacket(packet);
}

Variant TUApp::DecompressPacket(const Variant& packet) const {
  return sw::DecompressPacket(packet);
}

void TUApp::WriteNetErrLog(std::string_view loginNo, std::string_view location,
                           std::string_view reason) const {
  try {
    WriteNetErrLogAt(loginNo, location, reason, Now());
  } catch (...) {
    // A log of last resort never fails its caller.
  }
}

void TUApp::WriteNetErrLogAt(std::string_view loginNo, std::string_view location, std::string_view reason,
                             TDateTime when) const {
  try {
    std::string record;
    record.append("登录号：").append(loginNo).append("\r\n");
    record.append("时间：").append(FormatDateTime("YYYY-MM-DD HH:MM:SS", when)).append("\r\n");
    record.append("位置：").append(location).append("\r\n");
    // The reason starts on a line of its own after a carriage return.
    record.append("原因：\r").append(reason).append("\r\n");
    record.append("\r\n");
    const std::string path = TUSystem().GetAppPath() + std::string(kNetErrLogName);
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file) return;
    const std::string bytes = Utf8ToGbk(record);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  } catch (...) {
    // A log of last resort never fails its caller.
  }
}

}  // namespace sw
