#pragma once
// System helper: where the running program lives.
#include <optional>
#include <string>

namespace sw {

class TUSystem {
 public:
  // The directory of the running program's executable, ending in '/'. An override, when set, is returned
  // instead (with a '/' added when it lacks one).
  std::string GetAppPath() const;

  // Replaces the program directory for the whole process, e.g. for tests and for a server's data folder;
  // std::nullopt restores the real one.
  static void OverrideAppPath(std::optional<std::string> path);
};

}  // namespace sw
