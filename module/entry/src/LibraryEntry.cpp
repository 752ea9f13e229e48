// The load and unload of libstaffwatch.so: the module's units are initialised when the host loads the library
// and finalised when it unloads it.
#include "sw/entry/ModuleUnits.h"

namespace {

sw::ModuleUnits& Units() {
  static sw::ModuleUnits units;
  return units;
}

__attribute__((constructor)) void ModuleLoad() {
  Units().Init();
}
__attribute__((destructor)) void ModuleUnload() {
  Units().Done();
}

}  // namespace
