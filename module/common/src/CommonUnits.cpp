#include "sw/common/CommonUnits.h"

#include <atomic>

#include "sw/core/Error.h"

namespace sw {
namespace {

std::atomic<const CommonUnits*> g_current{nullptr};

struct StandIns {
  TUString uString;
  TUNumeric uNumeric;
  TUSystem uSystem;
  TUApp uApp;
  TErrInfo errInfo;
  TInteInfo inteInfo;
};

StandIns& Stand() {
  static StandIns s;
  return s;
}

template <typename T>
T& Require(const std::unique_ptr<T>& p, const char* name) {
  if (!p) throw Error(std::string("The common unit ") + name + " is not initialised");
  return *p;
}

}  // namespace

void CommonUnits::Init() {
  if (!Initialised()) {
    uString_ = std::make_unique<TUString>();
    uNumeric_ = std::make_unique<TUNumeric>();
    uSystem_ = std::make_unique<TUSystem>();
    uApp_ = std::make_unique<TUApp>();
    errInfo_ = std::make_unique<TErrInfo>();
    inteInfo_ = std::make_unique<TInteInfo>();
  }
  g_current.store(this);
}

void CommonUnits::Done() {
  const CommonUnits* self = this;
  g_current.compare_exchange_strong(self, nullptr);
  inteInfo_.reset();
  errInfo_.reset();
  uApp_.reset();
  uSystem_.reset();
  uNumeric_.reset();
  uString_.reset();
}

TUString& CommonUnits::UString() const {
  return Require(uString_, "TUString");
}
TUNumeric& CommonUnits::UNumeric() const {
  return Require(uNumeric_, "TUNumeric");
}
TUSystem& CommonUnits::USystem() const {
  return Require(uSystem_, "TUSystem");
}
TUApp& CommonUnits::UApp() const {
  return Require(uApp_, "TUApp");
}
const TErrInfo& CommonUnits::ErrInfo() const {
  return Require(errInfo_, "TErrInfo");
}
const TInteInfo& CommonUnits::InteInfo() const {
  return Require(inteInfo_, "TInteInfo");
}

TUString& UString() {
  const CommonUnits* u = g_current.load();
  return u ? u->UString() : Stand().uString;
}
TUNumeric& UNumeric() {
  const CommonUnits* u = g_current.load();
  return u ? u->UNumeric() : Stand().uNumeric;
}
TUSystem& USystem() {
  const CommonUnits* u = g_current.load();
  return u ? u->USystem() : Stand().uSystem;
}
TUApp& UApp() {
  const CommonUnits* u = g_current.load();
  return u ? u->UApp() : Stand().uApp;
}
const TErrInfo& ErrInfo() {
  const CommonUnits* u = g_current.load();
  return u ? u->ErrInfo() : Stand().errInfo;
}
const TInteInfo& InteInfo() {
  const CommonUnits* u = g_current.load();
  return u ? u->InteInfo() : Stand().inteInfo;
}

}  // namespace sw
