#pragma once
// Application helper: message boxes with the product caption, date and time checks, packet compression and
// the local network error log.
#include <string>
#include <string_view>

#include "sw/common/MessageSink.h"
#include "sw/core/DateTime.h"
#include "sw/core/Variant.h"

namespace sw {

// The caption of every message box of the module.
inline constexpr std::string_view kMessageCaption = "Norvik商业";
// The network error log in the program directory.
inline constexpr std::string_view kNetErrLogName = "NkNetErr.Log";

class TUApp {
 public:
  // A modal box with the product caption and the given flags (sw::mb); returns the pressed button (sw::id).
  int MsgBox(std::string_view text, int flags) const;
  // Yes/No with the question icon; true exactly when Yes is pressed.
  bool Confirm(std::string_view text) const;
  void ShowInfo(std::string_view text) const;     // OK, information icon
  void ShowError(std::string_view text) const;    // OK, stop icon
  void ShowWarning(std::string_view text) const;  // OK, exclamation icon
  void ShowPrompt(std::string_view text) const;   // OK, information icon; read and write failures

  bool IsDate(std::string_view text) const;
  bool IsTime(std::string_view text) const;

  Variant CompressPacket(const Variant& packet) const;
  Variant DecompressPacket(const Variant& packet) const;

  // Appends a five-line record to NkNetErr.Log in the program directory, in GBK with CR LF line ends: the
  // login number, the local time now, the location, the reason, an empty line. Never raises: a file that
  // cannot be written loses the record silently, as a log of last resort must not fail its caller.
  void WriteNetErrLog(std::string_view loginNo, std::string_view location, std::string_view reason) const;
  // The same with the time of the record given.
  void WriteNetErrLogAt(std::string_view loginNo, std::string_view location, std::string_view reason,
                        TDateTime when) const;

 private:
  void Show(MessageKind kind, std::string_view text, int flags) const;
};

}  // namespace sw
