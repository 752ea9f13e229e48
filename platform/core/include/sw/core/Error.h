#pragma once
// Errors are exceptions that carry a UTF-8 message. A cancelled user action ends in a silent abort that every
// handler swallows without showing anything.
#include <stdexcept>
#include <string>

namespace sw {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The silent abort: raised to unwind a cancelled action; never shown to the user.
class Abort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

// The message of the exception being handled; call it only inside a catch block.
inline std::string CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace sw
