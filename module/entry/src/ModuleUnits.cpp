#include "sw/entry/ModuleUnits.h"

namespace sw {

void ModuleUnits::Init() {
  if (initialised_) return;
  common_.Init();
  serverAccess_.Init();
  initialised_ = true;
}

void ModuleUnits::Done() {
  if (!initialised_) return;
  serverAccess_.Done();
  common_.Done();
  initialised_ = false;
}

}  // namespace sw
