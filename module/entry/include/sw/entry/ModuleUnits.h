#pragma once
// The module's unit initialisation and finalisation. Load creates the common helper singletons and caption
// tables, then the single TAppServerInterface published in AppServerIntf; unload frees them in reverse order,
// leaving AppServerIntf null.
#include "sw/common/CommonUnits.h"
#include "sw/server/sysPstInterface.h"

namespace sw {

class ModuleUnits {
 public:
  ModuleUnits() = default;
  ~ModuleUnits() { Done(); }
  ModuleUnits(const ModuleUnits&) = delete;
  ModuleUnits& operator=(const ModuleUnits&) = delete;

  void Init();
  void Done();
  bool Initialised() const { return initialised_; }

 private:
  CommonUnits common_;
  ServerAccessUnit serverAccess_;
  bool initialised_ = false;
};

}  // namespace sw
