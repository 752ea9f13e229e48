#include "sw/common/PacketZip.h"

#include <zlib.h>

#include <limits>
#include <string>
#include <vector>

#include "sw/core/Error.h"

namespace sw {
namespace {

// Output chunk of the inflate loop: the stream is read back 512 bytes at a time.
constexpr std::size_t kInflateChunk = 512;

const ByteArray& PacketBytes(const Variant& packet, const char* operation) {
  if (!packet.IsBytes()) {
    throw Error(std::string(operation) + ": a packet must be a byte array, not " +
                VarTypeName(packet.Type()));
  }
  return packet.AsBytes();
}

// Ends the inflate stream whatever way the loop is left.
class InflateGuard {
 public:
  explicit InflateGuard(z_stream& zs) : zs_(zs) {}
  ~InflateGuard() { inflateEnd(&zs_); }
  InflateGuard(const InflateGuard&) = delete;
  InflateGuard& operator=(const InflateGuard&) = delete;

 private:
  z_stream& zs_;
};

}  // namespace

Variant CompressPacket(const Variant& packet) {
  if (packet.IsEmpty()) return packet;
  const ByteArray& in = PacketBytes(packet, "CompressPacket");
  uLongf size = compressBound(static_cast<uLong>(in.bytes.size()));
  std::vector<std::uint8_t> out(size);
  const int rc = compress2(out.data(), &size, in.bytes.data(), static_cast<uLong>(in.bytes.size()), 1);
  if (rc != Z_OK) throw Error("CompressPacket: zlib compression failed (" + std::to_string(rc) + ")");
  out.resize(size);
  return Variant::Bytes(std::move(out), 0);
}

Variant DecompressPacket(const Variant& packet, std::size_t maxInflated) {
  if (packet.IsEmpty()) return packet;
  const ByteArray& in = PacketBytes(packet, "DecompressPacket");
  if (in.bytes.empty()) throw Error("DecompressPacket: the packet is empty, not a zlib stream");
  if (in.bytes.size() > std::numeric_limits<uInt>::max())
    throw Error("DecompressPacket: the packet is too large");

  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw Error("DecompressPacket: zlib could not be initialised");
  InflateGuard guard(zs);
  // zlib does not write through next_in; its interface just predates const.
  zs.next_in = const_cast<Bytef*>(in.bytes.data());
  zs.avail_in = static_cast<uInt>(in.bytes.size());

  std::vector<std::uint8_t> out;
  std::uint8_t chunk[kInflateChunk];
  for (;;) {
    zs.next_out = chunk;
    zs.avail_out = kInflateChunk;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t got = kInflateChunk - zs.avail_out;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
      throw Error(std::string("DecompressPacket: the packet is not a valid zlib stream") +
                  (zs.msg ? std::string(" (") + zs.msg + ")" : std::string()));
    }
    if (rc == Z_MEM_ERROR) throw Error("DecompressPacket: out of memory while inflating");
    if (rc != Z_OK && rc != Z_BUF_ERROR && rc != Z_STREAM_END) {
      throw Error("DecompressPacket: zlib failed (" + std::to_string(rc) + ")");
    }
    if (out.size() + got > maxInflated) {
      throw Error("DecompressPacket: the packet inflates to more than " + std::to_string(maxInflated) +
                  " bytes; refused");
    }
    out.insert(out.end(), chunk, chunk + got);
    if (rc == Z_STREAM_END) break;
    // No more input, or no progress possible with it: the stream ends before its end mark and checksum.
    if (got == 0 && (zs.avail_in == 0 || rc == Z_BUF_ERROR)) {
      throw Error("DecompressPacket: the zlib stream is truncated");
    }
  }
  return Variant::Bytes(std::move(out), 0);
}

}  // namespace sw
