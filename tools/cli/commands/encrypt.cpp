#include <ostream>

#include "Cli.h"
#include "sw/common/UString.h"

namespace {

// Prints the text as the module sends it enciphered to the application server.
int RunEncrypt(sw::cli::CliContext& ctx) {
  if (ctx.args.size() != 1) {
    ctx.err << "usage: staffwatch-cli encrypt TEXT\n";
    return sw::cli::kExitUsage;
  }
  ctx.out << sw::EncryptText(ctx.args[0]) << "\n";
  return sw::cli::kExitOk;
}

sw::cli::CliCommand reg{"encrypt", "encrypt TEXT",
                        "prints the DES hexadecimal form of TEXT (GBK bytes) under the protection key",
                        &RunEncrypt};

}  // namespace
