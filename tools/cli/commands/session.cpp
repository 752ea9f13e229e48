#include <ostream>
#include <string>

#include "Cli.h"
#include "sw/core/Error.h"
#include "sw/hostvars/HostVars.h"
#include "sw/session/SessionValues.h"

namespace {

// Loads a host session file and prints the symbolic session values the module would see, one "name=value"
// line each: all of them, or the names given.
int RunSession(sw::cli::CliContext& ctx) {
  if (ctx.args.empty()) {
    ctx.err << "usage: staffwatch-cli session FILE [NAME...]\n";
    return sw::cli::kExitUsage;
  }
  try {
    sw::LoadSessionFile(ctx.args[0]);
  } catch (const sw::Error& e) {
    ctx.err << "session: " << e.what() << "\n";
    return sw::cli::kExitUsage;
  }
  std::vector<std::string> names(ctx.args.begin() + 1, ctx.args.end());
  if (names.empty())
    for (std::string_view n : sw::SymbolicSessionNames()) names.emplace_back(n);
  int code = sw::cli::kExitOk;
  for (const std::string& name : names) {
    std::string value;
    try {
      if (sw::ResolveSessionValue(name, value)) {
        ctx.out << name << "=" << value << "\n";
      } else {
        ctx.err << "session: unknown name " << name << "\n";
        code = sw::cli::kExitFailure;
      }
    } catch (const sw::Error& e) {
      ctx.err << "session: " << name << ": " << e.what() << "\n";
      code = sw::cli::kExitFailure;
    }
  }
  return code;
}

sw::cli::CliCommand reg{"session", "session FILE [NAME...]",
                        "loads a host session file (INI or JSON) and prints the symbolic session values",
                        &RunSession};

}  // namespace
