#include <ostream>
#include <string>

#include "Cli.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"
#include "sw/data/ClassDescDump.h"
#include "sw/data/USysDict.h"

namespace {

// Lists a stored class description (the full stream, as the server sends it) in readable form.
int RunClassDescDump(sw::cli::CliContext& ctx) {
  if (ctx.args.size() != 1) {
    ctx.err << "usage: staffwatch-cli classdesc-dump FILE\n";
    return sw::cli::kExitUsage;
  }
  const std::string& path = ctx.args[0];
  try {
    sw::TMemoryStream stream;
    stream.LoadFromFile(path);
    sw::TSysClassDesc desc;
    desc.LoadFromStream(stream, true);
    if (stream.Remaining() != 0) {
      throw sw::Error(sw::IntToStr(static_cast<std::int64_t>(stream.Remaining())) +
                      " bytes follow the class description");
    }
    sw::DumpClassDesc(desc, ctx.out);
  } catch (const sw::Error& e) {
    ctx.err << "classdesc-dump: " << path << ": " << e.what() << "\n";
    return sw::cli::kExitUsage;
  }
  return sw::cli::kExitOk;
}

sw::cli::CliCommand reg{"classdesc-dump", "classdesc-dump FILE",
                        "prints a class description stream: its header and one line per property",
                        &RunClassDescDump};

}  // namespace
