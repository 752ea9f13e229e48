#pragma once
// The wire format of remote calls: length-prefixed frames carrying typed variants. A frame is a 4-byte
// little-endian payload length followed by the payload; the payload starts with a version byte and a kind
// byte. docs/protocol.md describes every byte. Decoding never trusts a count: every length is checked against
// the bytes that remain, nesting is bounded, and any inconsistency raises sw::Error ("Malformed frame: ...").
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/Variant.h"

namespace sw {

inline constexpr std::uint8_t kWireVersion = 1;
// Largest payload accepted by default (64 MiB); both ends refuse a larger length before allocating anything.
inline constexpr std::uint32_t kDefaultMaxFrameSize = 64u * 1024u * 1024u;
// Deepest nesting of variant arrays accepted when decoding.
inline constexpr int kMaxVariantDepth = 32;
// Most variants one frame may carry: a variant in memory is far larger than its one tag byte on the wire, so
// a frame of a million tiny values must not be able to make the reader allocate gigabytes.
inline constexpr std::size_t kMaxFrameValues = 1000000;
// Size of the length prefix in front of every payload.
inline constexpr std::size_t kFrameHeaderSize = 4;

// Bytes a connection's frame buffer keeps from one frame to the next; one that a large frame grew further is
// released.
inline constexpr std::size_t kFrameBufferKeep = 16 * 1024;

// Empties a frame buffer for the next frame, releasing it when a large frame grew it beyond kFrameBufferKeep.
inline void ResetFrameBuffer(std::string& buffer) {
  if (buffer.capacity() > kFrameBufferKeep)
    std::string().swap(buffer);
  else
    buffer.clear();
}

enum class FrameKind : std::uint8_t { Call = 1, Reply = 2, Fault = 3 };

// Appends `v` little-endian on every host: the bytes are assembled explicitly, then appended in one piece.
template <class T>
void AppendLittleEndian(std::string& out, T v) {
  char bytes[sizeof(T)];
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<char>(v >> (8 * i));
  out.append(bytes, sizeof(T));
}

// Appends little-endian values to a byte string. The fixed-size writes are inline: a call frame is a few
// dozen of them, and each is a handful of instructions.
class WireWriter {
 public:
  // Room for a small call or reply from the start, so that one allocation serves most frames.
  WireWriter() { out_.reserve(256); }
  // Writes into `buffer`: what it holds is dropped, its capacity is reused (a connection's reply buffer).
  explicit WireWriter(std::string buffer) : out_(std::move(buffer)) {
    out_.clear();
    out_.reserve(256);
  }
  void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v) { AppendLittleEndian(out_, v); }
  void U32(std::uint32_t v) { AppendLittleEndian(out_, v); }
  void U64(std::uint64_t v) { AppendLittleEndian(out_, v); }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void F64(double v) { U64(std::bit_cast<std::uint64_t>(v)); }
  void Str(std::string_view s);  // u32 length + bytes
  void Raw(std::string_view bytes) { out_.append(bytes); }
  void Value(const Variant& v);

  const std::string& Bytes() const { return out_; }
  std::string Take() { return std::move(out_); }

 private:
  void ValueAt(const Variant& v, int depth);
  std::string out_;
};

// Reads little-endian values from a byte range; raises sw::Error on every shortfall or bad tag.
class WireReader {
 public:
  explicit WireReader(std::string_view bytes) : data_(bytes) {}
  std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)[0]); }
  std::uint16_t U16() { return ReadLe<std::uint16_t>(Take(2)); }
  std::uint32_t U32() { return ReadLe<std::uint32_t>(Take(4)); }
  std::uint64_t U64() { return ReadLe<std::uint64_t>(Take(8)); }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  double F64() { return std::bit_cast<double>(U64()); }
  std::string Str() { return std::string(Take(U32())); }
  Variant Value();

  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }

 private:
  Variant ValueAt(int depth);
  // The next `n` bytes; a shortfall raises (out of line: it is the rare path).
  std::string_view Take(std::size_t n) {
    if (n > Remaining()) Short(n);
    const std::string_view s(data_.data() + pos_, n);
    pos_ += n;
    return s;
  }
  [[noreturn]] void Short(std::size_t n) const;
  template <class T>
  static T ReadLe(std::string_view s) {
    T v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) v = static_cast<T>((v << 8) | static_cast<std::uint8_t>(s[i]));
    return v;
  }
  std::string_view data_;
  std::size_t pos_ = 0;
  std::size_t values_ = 0;
};

// One argument of a call as it travels: its value and whether the callee may write it back.
struct WireArg {
  Variant value;
  bool byRef = false;
  friend bool operator==(const WireArg&, const WireArg&) = default;
};

// A call: the target object (its name or class identifier), the call number and the arguments in order.
struct CallFrame {
  std::uint32_t requestId = 0;
  std::string object;
  std::int32_t number = 0;
  std::vector<WireArg> args;
  friend bool operator==(const CallFrame&, const CallFrame&) = default;
};

// A by-reference argument written back by the callee: its index in the call's argument list and new value.
struct WrittenArg {
  std::uint32_t index = 0;
  Variant value;
  friend bool operator==(const WrittenArg&, const WrittenArg&) = default;
};

// A reply: either the result with the written-back by-reference arguments, or a fault text in their place.
struct ReplyFrame {
  std::uint32_t requestId = 0;
  bool fault = false;
  std::string faultText;  // when fault
  Variant result;
  std::vector<WrittenArg> written;
  friend bool operator==(const ReplyFrame&, const ReplyFrame&) = default;

  static ReplyFrame Fault(std::uint32_t requestId, std::string text) {
    ReplyFrame r;
    r.requestId = requestId;
    r.fault = true;
    r.faultText = std::move(text);
    return r;
  }
};

// Payload encoders (without the length prefix) and decoders. Decoders raise sw::Error on malformed input,
// including trailing bytes and a wrong version or kind.
std::string EncodeCall(const CallFrame& call);
std::string EncodeReply(const ReplyFrame& reply);
// The same payloads written into `buffer`: its contents are replaced and its capacity reused, so that a
// connection encoding one frame after another allocates once.
std::string EncodeCall(const CallFrame& call, std::string buffer);
std::string EncodeReply(const ReplyFrame& reply, std::string buffer);
CallFrame DecodeCall(std::string_view payload);
ReplyFrame DecodeReply(std::string_view payload);

// Encoding of one variant on its own (the same bytes the frames use for values).
std::string EncodeVariant(const Variant& v);
Variant DecodeVariant(std::string_view bytes);

// The 4-byte length prefix of a payload, and its reading with the size limit applied: raises sw::Error for a
// zero length or one above maxFrameSize.
std::string FrameHeader(std::size_t payloadSize);
std::uint32_t ParseFrameHeader(const std::uint8_t (&header)[kFrameHeaderSize], std::uint32_t maxFrameSize);

}  // namespace sw
