#include "sw/dispatch/Wire.h"

#include <gtest/gtest.h>

#include <limits>

#include "sw/core/Error.h"

namespace sw {
namespace {

// Every kind of variant survives the codec with its kind, value and bounds.
TEST(Wire, EveryVariantKindRoundTrips) {
  const std::vector<Variant> cases = {
      Variant(),
      Variant::Null(),
      Variant(std::int16_t{-12345}),
      Variant(std::int32_t{std::numeric_limits<std::int32_t>::min()}),
      Variant(std::int64_t{4294967296123LL}),
      Variant(-1234.5678e100),
      Variant(Currency{-123456789}),
      Variant::Date(45000.75),
      Variant(true),
      Variant(false),
      Variant(""),
      Variant("函数 GetNewID 出错"),
      Variant::Bytes(std::string("\0\x01\xff", 3), 0),
      Variant::Bytes(std::string("abc"), -5),
      Variant::Bytes(std::string(), 0),
      Variant::Array({}, 3),
      Variant::Array({Variant::Bytes("xy"), Variant(std::int32_t{57}), Variant::Array({Variant("in")}, 1)},
                     0),
  };
  for (const Variant& v : cases) {
    SCOPED_TRACE(VarTypeName(v.Type()));
    Variant back = DecodeVariant(EncodeVariant(v));
    EXPECT_EQ(back.Type(), v.Type());
    EXPECT_EQ(back, v);
  }
}

TEST(Wire, CallAndReplyFramesRoundTrip) {
  CallFrame call{7, "Icomm", 1610809344, {{Variant("login"), false}, {Variant(std::int32_t{0}), true}}};
  EXPECT_EQ(DecodeCall(EncodeCall(call)), call);

  ReplyFrame reply;
  reply.requestId = 7;
  reply.result = Variant::Bytes("packet");
  reply.written = {{1, Variant(std::int32_t{1})}};
  EXPECT_EQ(DecodeReply(EncodeReply(reply)), reply);

  ReplyFrame fault = ReplyFrame::Fault(9, "@用户已存在");
  EXPECT_EQ(DecodeReply(EncodeReply(fault)), fault);
}

// A connection encodes each frame into the buffer of the one before: the bytes are those of a fresh encoding,
// whatever the buffer held, and a buffer grown by a large frame is released when it is reset.
TEST(Wire, FramesEncodedIntoAUsedBufferAreThoseOfAFreshOne) {
  const CallFrame call{3, "Icomm", 2010, {{Variant("1"), false}, {Variant(), true}}};
  ReplyFrame reply;
  reply.requestId = 3;
  reply.written = {{1, Variant("系统管理员")}};
  for (const std::string& used : {std::string(), std::string("stale bytes"), std::string(100000, 'x')}) {
    SCOPED_TRACE(used.size());
    EXPECT_EQ(EncodeCall(call, used), EncodeCall(call));
    EXPECT_EQ(EncodeReply(reply, used), EncodeReply(reply));
  }
  std::string large = EncodeReply(ReplyFrame::Fault(1, std::string(kFrameBufferKeep * 2, 'y')));
  ResetFrameBuffer(large);
  EXPECT_TRUE(large.empty());
  EXPECT_LE(large.capacity(), kFrameBufferKeep);
  std::string small = EncodeReply(reply);
  const std::size_t kept = small.capacity();
  ResetFrameBuffer(small);
  EXPECT_TRUE(small.empty());
  EXPECT_EQ(small.capacity(), kept);
}

TEST(Wire, MalformedPayloadsRaise) {
  std::string good = EncodeCall(CallFrame{1, "Icomm", 302, {{Variant("x"), false}}});
  std::string wrongVersion = good;
  wrongVersion[0] = 9;
  std::string wrongKind = good;
  wrongKind[1] = 7;
  std::string badTag = EncodeVariant(Variant(std::int32_t{1}));
  badTag[0] = 42;
  std::string badBool = EncodeVariant(Variant(true));
  badBool[1] = 2;
  // An array claiming four billion elements in a few bytes.
  std::string hugeArray = EncodeVariant(Variant::Array({}, 0));
  hugeArray.replace(5, 4, "\xff\xff\xff\xff");
  // Arrays nested deeper than allowed.
  std::string deep;
  for (int i = 0; i <= kMaxVariantDepth + 1; ++i) deep += std::string("\x0b\0\0\0\0\x01\0\0\0", 9);
  deep += '\0';

  struct Case {
    const char* name;
    std::function<void()> decode;
  };
  const std::vector<Case> cases = {
      {"empty", [] { DecodeCall(""); }},
      {"truncated call", [&] { DecodeCall(good.substr(0, good.size() - 1)); }},
      {"trailing bytes", [&] { DecodeCall(good + "x"); }},
      {"wrong version", [&] { DecodeCall(wrongVersion); }},
      {"unknown kind", [&] { DecodeCall(wrongKind); }},
      {"reply read as call", [] { DecodeCall(EncodeReply(ReplyFrame{})); }},
      {"call read as reply", [&] { DecodeReply(good); }},
      {"unknown variant tag", [&] { DecodeVariant(badTag); }},
      {"boolean byte 2", [&] { DecodeVariant(badBool); }},
      {"array count beyond the bytes", [&] { DecodeVariant(hugeArray); }},
      {"nesting too deep", [&] { DecodeVariant(deep); }},
      {"text longer than the frame", [] { DecodeVariant(std::string("\x09\x10\0\0\0ab", 7)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(c.decode(), Error);
  }
}

TEST(Wire, ValueCountPerFrameIsBounded) {
  std::vector<Variant> many(kMaxFrameValues - 1);
  EXPECT_NO_THROW(DecodeVariant(EncodeVariant(Variant::Array(many))));  // the array itself is one value
  many.push_back(Variant());
  EXPECT_THROW(DecodeVariant(EncodeVariant(Variant::Array(many))), Error);
}

// Every truncation and thousands of deterministic byte mutations of valid frames either decode or raise
// sw::Error; nothing else may happen (run under the sanitizers, this is also a memory-safety check).
TEST(Wire, DamagedFramesDecodeOrRaiseButNeverCrash) {
  CallFrame call{
      3,
      "IGeneral",
      349,
      {{Variant(""), true},
       {Variant("3171788283116E9E"), false},
       {Variant::Array({Variant::Bytes("pk"), Variant(std::int64_t{1} << 40), Variant::Null()}, 2), true}}};
  ReplyFrame reply;
  reply.requestId = 3;
  reply.result = Variant::Array({Variant::Bytes(std::string(40, 'z')), Variant::Date(45000.5)});
  reply.written = {{0, Variant("表不存在")}, {2, Variant(Currency{5})}};
  const std::string frames[] = {EncodeCall(call), EncodeReply(reply)};
  std::uint32_t seed = 20100101;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  int decoded = 0, refused = 0;
  auto attempt = [&](const std::string& bytes) {
    try {
      DecodeCall(bytes);
      ++decoded;
    } catch (const Error&) {
      ++refused;
    }
    try {
      DecodeReply(bytes);
      ++decoded;
    } catch (const Error&) {
      ++refused;
    }
  };
  for (const std::string& frame : frames) {
    for (std::size_t n = 0; n < frame.size(); ++n) attempt(frame.substr(0, n));
    for (int i = 0; i < 5000; ++i) {
      std::string damaged = frame;
      for (int k = 1 + static_cast<int>(next() % 3); k > 0; --k)
        damaged[next() % damaged.size()] = static_cast<char>(next() >> 24);
      attempt(damaged);
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(decoded, 0);  // some mutations only change values
}

TEST(Wire, FrameHeaderAppliesTheSizeLimit) {
  EXPECT_EQ(FrameHeader(0x0A0B0C0D), std::string("\x0D\x0C\x0B\x0A", 4));  // little-endian
  std::string h = FrameHeader(300);
  std::uint8_t bytes[kFrameHeaderSize];
  std::copy(h.begin(), h.end(), bytes);
  EXPECT_EQ(ParseFrameHeader(bytes, 300), 300u);
  EXPECT_THROW(ParseFrameHeader(bytes, 299), Error);
  std::uint8_t zero[kFrameHeaderSize] = {0, 0, 0, 0};
  EXPECT_THROW(ParseFrameHeader(zero, 100), Error);
}

}  // namespace
}  // namespace sw
