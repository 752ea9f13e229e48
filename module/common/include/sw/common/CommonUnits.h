#pragma once
// The module-wide helper singletons and caption tables. The module entry owns one CommonUnits: Init creates
// TUString, TUNumeric, TUSystem, TUApp, TErrInfo and TInteInfo in that order and makes them the current ones;
// Done (or the destructor) frees them in reverse order.
//
// The free accessors UString(), UApp(), ... return the current units' objects. The helpers hold no state, so
// before Init and after Done the accessors hand out process-wide stand-ins instead of failing: code that runs
// outside the module (the application server, the CLI, tests) can use them without an entry.
#include <memory>

#include "sw/common/ErrInfo.h"
#include "sw/common/InteInfo.h"
#include "sw/common/UApp.h"
#include "sw/common/UNumeric.h"
#include "sw/common/UString.h"
#include "sw/common/USystem.h"

namespace sw {

class CommonUnits {
 public:
  CommonUnits() = default;
  ~CommonUnits() { Done(); }
  CommonUnits(const CommonUnits&) = delete;
  CommonUnits& operator=(const CommonUnits&) = delete;

  // Creates the singletons (once; a second call does nothing) and makes these units the current ones.
  void Init();
  // Frees them in reverse order of creation; these units stop being the current ones.
  void Done();
  bool Initialised() const { return inteInfo_ != nullptr; }

  // Raise sw::Error when the units are not initialised.
  TUString& UString() const;
  TUNumeric& UNumeric() const;
  TUSystem& USystem() const;
  TUApp& UApp() const;
  const TErrInfo& ErrInfo() const;
  const TInteInfo& InteInfo() const;

 private:
  std::unique_ptr<TUString> uString_;
  std::unique_ptr<TUNumeric> uNumeric_;
  std::unique_ptr<TUSystem> uSystem_;
  std::unique_ptr<TUApp> uApp_;
  std::unique_ptr<TErrInfo> errInfo_;
  std::unique_ptr<TInteInfo> inteInfo_;
};

// The objects of the current units, or the stand-ins when none are initialised.
TUString& UString();
TUNumeric& UNumeric();
TUSystem& USystem();
TUApp& UApp();
const TErrInfo& ErrInfo();
const TInteInfo& InteInfo();

}  // namespace sw
