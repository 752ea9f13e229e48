#include "sw/common/PacketZip.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>
#include <vector>

#include "sw/core/Error.h"

namespace sw {
namespace {

// Smallest output buffer of either direction; from there it grows as needed.
constexpr std::size_t kFirstOutput = 64 * 1024;
// How many times its stream the last large inflated packet was (shared by all threads; only a first guess
// for the next one, which small packets such as class descriptions need not disturb).
std::atomic<double> lastInflateRatio{4.0};
constexpr std::size_t kLargePacket = 1024 * 1024;
// zlib counts one step's input and output in uInt.
constexpr std::size_t kMaxStep = std::numeric_limits<uInt>::max();

const ByteArray& PacketBytes(const Variant& packet, const char* operation) {
  if (!packet.IsBytes()) {
    throw Error(std::string(operation) + ": a packet must be a byte array, not " +
                VarTypeName(packet.Type()));
  }
  return packet.AsBytes();
}

// Ends a zlib stream whatever way the loop is left.
template <int (*End)(z_streamp)>
class StreamGuard {
 public:
  explicit StreamGuard(z_stream& zs) : zs_(zs) {}
  ~StreamGuard() { End(&zs_); }
  StreamGuard(const StreamGuard&) = delete;
  StreamGuard& operator=(const StreamGuard&) = delete;

 private:
  z_stream& zs_;
};

// Makes room for the next step of output once `out` is full (`used` bytes): room for what the `remaining`
// input bytes should give at the ratio of the `consumed` ones, and an eighth more; at least a quarter more
// and 64 KiB more (so that a poor guess still costs few copies), never more than `limit`. Sizing by the ratio
// instead of doubling keeps the zero-filled and never-used tail small.
void GrowOutput(std::vector<std::uint8_t>& out, std::size_t used, std::size_t limit, std::size_t consumed,
                std::size_t remaining) {
  if (used < out.size() || out.size() >= limit) return;
  const double ratio = static_cast<double>(used) / static_cast<double>(std::max<std::size_t>(consumed, 1));
  const double estimate = static_cast<double>(used) + static_cast<double>(remaining) * ratio * 1.125;
  std::size_t size = std::max(used + kFirstOutput, used + used / 4);
  if (estimate > static_cast<double>(size)) {
    size = estimate >= static_cast<double>(limit) ? limit : static_cast<std::size_t>(estimate);
  }
  out.resize(std::min(limit, size));
}

}  // namespace

struct PacketCompressor::Impl {
  z_stream zs{};
  std::vector<std::uint8_t> out = std::vector<std::uint8_t>(kFirstOutput);
  std::size_t used = 0;
  bool finished = false;

  // Runs deflate until it has taken all the input it was given (flush Z_NO_FLUSH) or written the end of the
  // stream (Z_FINISH). The output starts at 64 KiB and grows by the ratio it shows.
  void Deflate(int flush) {
    for (;;) {
      GrowOutput(out, used, std::numeric_limits<std::size_t>::max(), zs.total_in, zs.avail_in);
      const std::size_t room = std::min(out.size() - used, kMaxStep);
      zs.next_out = out.data() + used;
      zs.avail_out = static_cast<uInt>(room);
      const int rc = deflate(&zs, flush);
      used += room - zs.avail_out;
      if (rc == Z_STREAM_END) return;
      if (rc != Z_OK && rc != Z_BUF_ERROR) {
        throw Error("CompressPacket: zlib compression failed (" + std::to_string(rc) + ")");
      }
      if (flush == Z_NO_FLUSH && zs.avail_in == 0 && zs.avail_out != 0) return;
    }
  }
};

PacketCompressor::PacketCompressor() : impl_(std::make_unique<Impl>()) {
  if (deflateInit(&impl_->zs, 1) != Z_OK) throw Error("CompressPacket: zlib could not be initialised");
}

PacketCompressor::~PacketCompressor() {
  deflateEnd(&impl_->zs);
}

void PacketCompressor::Add(std::span<const std::uint8_t> bytes) {
  if (impl_->finished) throw Error("CompressPacket: the stream is already finished");
  // Pieces of any size give the stream one call with all the bytes gives: deflate keeps what it has not yet
  // matched until more comes.
  while (!bytes.empty()) {
    const std::size_t n = std::min(bytes.size(), kMaxStep);
    // zlib does not write through next_in; its interface just predates const.
    impl_->zs.next_in = const_cast<Bytef*>(bytes.data());
    impl_->zs.avail_in = static_cast<uInt>(n);
    impl_->Deflate(Z_NO_FLUSH);
    bytes = bytes.subspan(n);
  }
}

Variant PacketCompressor::Finish() {
  if (impl_->finished) throw Error("CompressPacket: the stream is already finished");
  impl_->zs.next_in = nullptr;
  impl_->zs.avail_in = 0;
  impl_->Deflate(Z_FINISH);
  impl_->finished = true;
  impl_->out.resize(impl_->used);
  return Variant::Bytes(std::move(impl_->out), 0);
}

Variant CompressPacket(const Variant& packet) {
  if (packet.IsEmpty()) return packet;
  const ByteArray& in = PacketBytes(packet, "CompressPacket");
  PacketCompressor z;
  z.Add(in.bytes);
  return z.Finish();
}

Variant DecompressPacket(const Variant& packet, std::size_t maxInflated) {
  if (packet.IsEmpty()) return packet;
  const ByteArray& in = PacketBytes(packet, "DecompressPacket");
  if (in.bytes.empty()) throw Error("DecompressPacket: the packet is empty, not a zlib stream");
  if (in.bytes.size() > kMaxStep) throw Error("DecompressPacket: the packet is too large");

  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw Error("DecompressPacket: zlib could not be initialised");
  StreamGuard<inflateEnd> guard(zs);
  zs.next_in = const_cast<Bytef*>(in.bytes.data());
  zs.avail_in = static_cast<uInt>(in.bytes.size());

  // The packet is inflated straight into the result, first sized by the ratio the previous large packet
  // inflated by and a little more (at most 16 times the stream: the packets of one program are much alike,
  // and each larger buffer a wrong guess needs is new memory to copy into), then as much as the rest of the
  // stream should give at the ratio seen so far, never beyond `maxInflated`. Once the result is full at that
  // bound, one more byte of output is asked for: a stream that still has one inflates to too much.
  const double guess =
      static_cast<double>(in.bytes.size()) * std::clamp(lastInflateRatio.load(), 1.0, 16.0) * 1.0625 +
      static_cast<double>(kFirstOutput);
  std::vector<std::uint8_t> out(
      std::min(maxInflated, std::max(kFirstOutput, static_cast<std::size_t>(std::min(guess, 1e15)))));
  std::size_t used = 0;
  std::uint8_t beyond = 0;
  for (;;) {
    GrowOutput(out, used, maxInflated, zs.total_in, zs.avail_in);
    const bool atBound = used == out.size();
    const std::size_t room = atBound ? 1 : std::min(out.size() - used, kMaxStep);
    zs.next_out = atBound ? &beyond : out.data() + used;
    zs.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t got = room - zs.avail_out;
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
      throw Error(std::string("DecompressPacket: the packet is not a valid zlib stream") +
                  (zs.msg ? std::string(" (") + zs.msg + ")" : std::string()));
    }
    if (rc == Z_MEM_ERROR) throw Error("DecompressPacket: out of memory while inflating");
    if (rc != Z_OK && rc != Z_BUF_ERROR && rc != Z_STREAM_END) {
      throw Error("DecompressPacket: zlib failed (" + std::to_string(rc) + ")");
    }
    if (atBound && got != 0) {
      throw Error("DecompressPacket: the packet inflates to more than " + std::to_string(maxInflated) +
                  " bytes; refused");
    }
    if (!atBound) used += got;
    if (rc == Z_STREAM_END) break;
    // No more input, or no progress possible with it: the stream ends before its end mark and checksum.
    if (got == 0 && (zs.avail_in == 0 || rc == Z_BUF_ERROR)) {
      throw Error("DecompressPacket: the zlib stream is truncated");
    }
  }
  out.resize(used);
  if (used >= kLargePacket) {
    lastInflateRatio.store(static_cast<double>(used) / static_cast<double>(in.bytes.size()));
  }
  return Variant::Bytes(std::move(out), 0);
}

}  // namespace sw
