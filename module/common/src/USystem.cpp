#include "sw/common/USystem.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace sw {
namespace {

std::mutex g_overrideMutex;
std::optional<std::string> g_override;

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace

std::string TUSystem::GetAppPath() const {
  {
    std::lock_guard lock(g_overrideMutex);
    if (g_override) return WithSlash(*g_override);
  }
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) {
    // Without /proc the working directory is the best guess of where the program's files are.
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string("./") : WithSlash(cwd.string());
  }
  return WithSlash(exe.parent_path().string());
}

void TUSystem::OverrideAppPath(std::optional<std::string> path) {
  std::lock_guard lock(g_overrideMutex);
  g_override = std::move(path);
}

}  // namespace sw
