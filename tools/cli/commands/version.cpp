#include <ostream>

#include "Cli.h"

namespace {
int RunVersion(sw::cli::CliContext& ctx) {
  ctx.out << "staffwatch-cli 0.1.0\n";
  return sw::cli::kExitOk;
}
sw::cli::CliCommand reg{"version", "version", "prints the program version", &RunVersion};
}  // namespace
