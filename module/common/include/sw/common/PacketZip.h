#pragma once
// Compression of the packets exchanged with the application server: a data packet (a byte array with lower
// bound 0) travels as its zlib stream (header and checksum) written at level 1, the fastest.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "sw/core/Variant.h"

namespace sw {

// Upper bound of the inflated size of one packet: a stream that would inflate beyond it is refused rather
// than allowed to exhaust memory.
inline constexpr std::size_t kMaxInflatedPacket = std::size_t{512} * 1024 * 1024;

// An empty variant is returned unchanged. Otherwise the bytes of the byte array are compressed at level 1 and
// returned as a new byte array with lower bound 0. Any other kind of value raises sw::Error.
Variant CompressPacket(const Variant& packet);

// Compresses a packet handed over in pieces (a writer that encodes it a column at a time) into the very
// stream CompressPacket writes for the whole packet, without the whole packet ever being in memory.
class PacketCompressor {
 public:
  PacketCompressor();
  ~PacketCompressor();
  PacketCompressor(const PacketCompressor&) = delete;
  PacketCompressor& operator=(const PacketCompressor&) = delete;

  void Add(std::span<const std::uint8_t> bytes);
  // The stream as a byte array with lower bound 0; nothing may be added afterwards.
  Variant Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An empty variant is returned unchanged. Otherwise the byte array is inflated straight into the result, a
// buffer that grows as the stream fills it but never beyond `maxInflated` bytes, and returned as a new byte
// array with lower bound 0. Raises sw::Error when the value is not a byte array, when its bytes are not a
// complete zlib stream (garbage, truncated, bad checksum), or when it would inflate to more than
// `maxInflated` bytes.
Variant DecompressPacket(const Variant& packet, std::size_t maxInflated = kMaxInflatedPacket);

}  // namespace sw
