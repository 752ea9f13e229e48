#include "ModuleLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include "sw/core/Error.h"

namespace sw::host {

ModuleLibrary::ModuleLibrary(const std::string& path) : path_(path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw Error("文件 " + std::filesystem::path(path).filename().string() + " 打开失败。" +
                (why != nullptr ? std::string(" (") + why + ")" : std::string()));
  }
}

ModuleLibrary::~ModuleLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

TFormFactory ModuleLibrary::Factory(const std::string& name) const {
  dlerror();
  void* sym = dlsym(handle_, name.c_str());
  if (sym == nullptr) throw Error("函数 " + name + " 在 " + path_ + " 中没有找到");
  return reinterpret_cast<TFormFactory>(sym);
}

std::string ModuleLibrary::DefaultPath(const std::string& programDir) {
  if (const char* env = std::getenv("SW_MODULE"); env != nullptr && *env != 0) return env;
  namespace fs = std::filesystem;
  const fs::path dir(programDir);
  for (const fs::path& candidate : {dir / "libstaffwatch.so", dir / ".." / "lib" / "libstaffwatch.so"})
    if (fs::exists(candidate)) return fs::weakly_canonical(candidate).string();
  return (dir / ".." / "lib" / "libstaffwatch.so").string();
}

}  // namespace sw::host
