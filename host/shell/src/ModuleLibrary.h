#pragma once
// The module as the host sees it: a shared library loaded with dlopen() whose five factories are resolved by
// name. Unloading happens when the object goes.
#include <string>

#include "sw/forms/ModuleExports.h"

namespace sw::host {

class ModuleLibrary {
 public:
  // Loads the library; raises sw::Error "文件 <file> 打开失败。" with the loader's reason when it cannot.
  explicit ModuleLibrary(const std::string& path);
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  const std::string& Path() const { return path_; }
  // The factory exported under this name; raises sw::Error when the library does not export it.
  TFormFactory Factory(const std::string& name) const;

  // Where the module is looked for when no path is given: $SW_MODULE, else libstaffwatch.so next to the
  // program or in ../lib from it.
  static std::string DefaultPath(const std::string& programDir);

 private:
  std::string path_;
  void* handle_ = nullptr;
};

}  // namespace sw::host
