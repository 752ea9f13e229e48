#include <istream>
#include <iterator>
#include <ostream>
#include <string>

#include "Cli.h"
#include "sw/common/PacketZip.h"

namespace {

// Both commands filter standard input to standard output, as bytes.
int RunPacketFilter(sw::cli::CliContext& ctx, const char* name,
                    sw::Variant (*transform)(const sw::Variant&)) {
  if (!ctx.args.empty()) {
    ctx.err << "usage: staffwatch-cli " << name << " < IN > OUT\n";
    return sw::cli::kExitUsage;
  }
  const std::string input{std::istreambuf_iterator<char>(ctx.in), std::istreambuf_iterator<char>()};
  const sw::Variant result = transform(sw::Variant::Bytes(std::string_view(input)));
  const std::string bytes = result.BytesAsString();
  ctx.out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ctx.out.flush();
  return sw::cli::kExitOk;
}

sw::Variant Compress(const sw::Variant& v) {
  return sw::CompressPacket(v);
}
sw::Variant Decompress(const sw::Variant& v) {
  return sw::DecompressPacket(v);
}

int RunCompress(sw::cli::CliContext& ctx) {
  return RunPacketFilter(ctx, "compress", &Compress);
}
int RunDecompress(sw::cli::CliContext& ctx) {
  return RunPacketFilter(ctx, "decompress", &Decompress);
}

sw::cli::CliCommand regCompress{"compress", "compress < IN > OUT",
                                "writes standard input as a compressed packet (zlib, level 1)", &RunCompress};
sw::cli::CliCommand regDecompress{
    "decompress", "decompress < IN > OUT",
    "inflates a compressed packet from standard input; malformed input is refused", &RunDecompress};

}  // namespace
