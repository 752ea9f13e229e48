#pragma once
// A late-bound object called by number: the client side of a remote object as the module sees it. Arguments
// are variants; an argument marked by reference receives the value the callee wrote back.
#include <concepts>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sw/core/Variant.h"

namespace sw {

// One argument of a call by number. Built implicitly from any value a Variant accepts (passed by value) or
// with ByRef(variable) (passed by reference: the variable is sent and then overwritten with the value the
// callee wrote back, if it wrote one).
class CallArg {
 public:
  template <class T>
  requires std::constructible_from<Variant, T&&> CallArg(T&& value) : value_(std::forward<T>(value)) {}

  static CallArg Ref(Variant& target) {
    CallArg a(target);
    a.target_ = &target;
    return a;
  }

  bool IsByRef() const { return target_ != nullptr; }
  const Variant& Value() const { return value_; }
  // Moves the value out (a transport that sends the argument and has no further use for it).
  Variant TakeValue() { return std::move(value_); }
  // Stores a written-back value in the caller's variable (by-reference arguments only).
  void WriteBack(Variant v) const {
    if (target_ != nullptr) *target_ = std::move(v);
  }

 private:
  Variant value_;
  Variant* target_ = nullptr;
};

inline CallArg ByRef(Variant& target) {
  return CallArg::Ref(target);
}

class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  // Calls the member with this number. Returns its result; raises sw::Error with the callee's fault text, or
  // with a transport error when the call could not be completed.
  virtual Variant Call(std::int32_t number, std::vector<CallArg> args) = 0;
  // Short description for messages, for example "Icomm at 127.0.0.1:5000".
  virtual std::string Describe() const = 0;
};

}  // namespace sw
