#include "sw/common/PacketZip.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "sw/core/Error.h"

namespace sw {
namespace {

std::vector<std::uint8_t> TableLikeBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(size);
  for (std::size_t row = 0; bytes.size() < size; ++row) {
    const std::string line =
        "U" + std::to_string(100000 + row) + "\t张三" + std::to_string(row % 97) + "\t1\t";
    for (char c : line) {
      if (bytes.size() < size) bytes.push_back(static_cast<std::uint8_t>(c));
    }
  }
  return bytes;
}

// Bytes that do not compress: the stream is a little longer than the input.
std::vector<std::uint8_t> NoiseBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t seed = 2463534242u;
  for (auto& b : bytes) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    b = static_cast<std::uint8_t>(seed);
  }
  return bytes;
}

TEST(PacketZip, RoundTripsPacketsOfEverySize) {
  // Sizes around the first 64 KiB output buffer, packets whose inflated size outgrows the first guess (four
  // times the stream) several times, and noise whose stream outgrows the first guess of the compressor.
  const struct {
    const char* kind;
    std::size_t size;
  } cases[] = {{"table", 0},     {"table", 1},     {"table", 511},    {"table", 512},    {"table", 513},
               {"table", 65535}, {"table", 65536}, {"table", 65537},  {"table", 100000}, {"table", 3000000},
               {"noise", 1},     {"noise", 65536}, {"noise", 300000}, {"zeros", 5000000}};
  for (const auto& c : cases) {
    const std::string kind = c.kind;
    const Variant packet = Variant::Bytes(kind == "table"   ? TableLikeBytes(c.size)
                                          : kind == "noise" ? NoiseBytes(c.size)
                                                            : std::vector<std::uint8_t>(c.size, 0));
    const Variant zipped = CompressPacket(packet);
    ASSERT_TRUE(zipped.IsBytes());
    EXPECT_EQ(zipped.AsBytes().low, 0);
    const Variant back = DecompressPacket(zipped);
    EXPECT_EQ(back, packet) << c.kind << " " << c.size;
  }
}

TEST(PacketZip, WritesAZlibStreamAtTheFastestLevel) {
  // Small, larger than the compressor's first output buffer, and noise that outgrows it.
  for (const std::vector<std::uint8_t>& bytes :
       {TableLikeBytes(4096), TableLikeBytes(2000000), NoiseBytes(300000)}) {
    const Variant packet = CompressPacket(Variant::Bytes(bytes));
    const ByteArray& zipped = packet.AsBytes();
    ASSERT_GE(zipped.bytes.size(), 6u);
    EXPECT_EQ(zipped.bytes[0], 0x78);  // deflate, 32 KiB window
    EXPECT_EQ(zipped.bytes[1], 0x01);  // level 1, header checksum
    // Exactly what zlib's own one-shot call at level 1 produces, and readable by its one-shot inflate.
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> raw(size);
    ASSERT_EQ(compress2(raw.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 1), Z_OK);
    raw.resize(size);
    EXPECT_EQ(zipped.bytes, raw) << bytes.size();
    // Handed over in pieces of any size, the packet gives the same stream.
    PacketCompressor pieces;
    const std::span<const std::uint8_t> all(bytes);
    std::size_t at = 0;
    for (std::size_t n :
         {std::size_t{1}, std::size_t{7}, std::size_t{0}, std::size_t{65536}, std::size_t{3}}) {
      n = std::min(n, all.size() - at);
      pieces.Add(all.subspan(at, n));
      at += n;
    }
    pieces.Add(all.subspan(at));
    const Variant streamed = pieces.Finish();
    EXPECT_EQ(streamed.AsBytes().bytes, raw) << bytes.size();
    EXPECT_EQ(streamed.AsBytes().low, 0);
    EXPECT_THROW(pieces.Add(all), Error);
  }
}

TEST(PacketZip, EmptyVariantPassesBothWaysUnchanged) {
  EXPECT_TRUE(CompressPacket(Variant()).IsEmpty());
  EXPECT_TRUE(DecompressPacket(Variant()).IsEmpty());
}

TEST(PacketZip, ReadsAPacketWithAnotherLowerBound) {
  const Variant zipped = CompressPacket(Variant::Bytes(std::string_view("abc")));
  const Variant moved = Variant::Bytes(zipped.AsBytes().bytes, 1);
  EXPECT_EQ(DecompressPacket(moved).BytesAsString(), "abc");
  EXPECT_EQ(DecompressPacket(moved).AsBytes().low, 0);
}

TEST(PacketZip, RefusesWhatIsNotACompletePacket) {
  const std::vector<std::uint8_t> zipped =
      CompressPacket(Variant::Bytes(TableLikeBytes(20000))).AsBytes().bytes;
  std::vector<std::uint8_t> badChecksum = zipped;
  badChecksum.at(badChecksum.size() - 1) ^= 0xFF;
  std::vector<std::uint8_t> badBody = zipped;
  badBody[zipped.size() / 2] ^= 0x55;
  const struct {
    const char* name;
    Variant packet;
  } cases[] = {
      {"garbage", Variant::Bytes(std::string_view("this is not a zlib stream at all"))},
      {"empty byte array", Variant::Bytes(std::vector<std::uint8_t>{})},
      {"truncated in the middle",
       Variant::Bytes(std::vector<std::uint8_t>(zipped.begin(), zipped.begin() + 100))},
      {"checksum cut off", Variant::Bytes(std::vector<std::uint8_t>(zipped.begin(), zipped.end() - 2))},
      {"header only", Variant::Bytes(std::vector<std::uint8_t>(zipped.begin(), zipped.begin() + 2))},
      {"wrong checksum", Variant::Bytes(badChecksum)},
      {"damaged body", Variant::Bytes(badBody)},
      {"not a byte array", Variant("text")},
      {"null", Variant::Null()},
  };
  for (const auto& c : cases) EXPECT_THROW(DecompressPacket(c.packet), Error) << c.name;
  EXPECT_THROW(CompressPacket(Variant(42)), Error);
  EXPECT_THROW(CompressPacket(Variant::Null()), Error);
}

TEST(PacketZip, RefusesAPacketThatInflatesBeyondTheBound) {
  // 16 MiB of zeros shrink to about 16 KiB: a small packet that would swell far past a small bound.
  const Variant bomb = CompressPacket(Variant::Bytes(std::vector<std::uint8_t>(16u << 20, 0)));
  ASSERT_LT(bomb.AsBytes().bytes.size(), 1u << 20);
  try {
    DecompressPacket(bomb, 1u << 20);
    FAIL() << "a packet beyond the bound was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("more than 1048576 bytes"), std::string::npos) << e.what();
  }
  // Exactly at the bound is still accepted, one byte beyond is not: with the bound below the first output
  // buffer, and with the bound reached only after the buffer has grown several times.
  for (std::size_t size : {std::size_t{1000}, std::size_t{5u << 20}}) {
    const Variant fits = CompressPacket(Variant::Bytes(std::vector<std::uint8_t>(size, 7)));
    EXPECT_EQ(DecompressPacket(fits, size).AsBytes().bytes.size(), size);
    EXPECT_THROW(DecompressPacket(fits, size - 1), Error) << size;
    EXPECT_THROW(DecompressPacket(fits, 0), Error) << size;
  }
  // An empty packet fits even a bound of nothing.
  EXPECT_TRUE(DecompressPacket(CompressPacket(Variant::Bytes(std::vector<std::uint8_t>{})), 0)
                  .AsBytes()
                  .bytes.empty());
}

}  // namespace
}  // namespace sw
