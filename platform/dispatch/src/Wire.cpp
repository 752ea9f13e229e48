#include "sw/dispatch/Wire.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "sw/core/Error.h"

namespace sw {

namespace {
[[noreturn]] void Malformed(const std::string& what) {
  throw Error("Malformed frame: " + what);
}
}  // namespace

void WireWriter::Str(std::string_view s) {
  if (s.size() > UINT32_MAX) throw Error("Text too long for a frame");
  U32(static_cast<std::uint32_t>(s.size()));
  out_.append(s);
}

void WireWriter::Value(const Variant& v) {
  ValueAt(v, 0);
}

void WireWriter::ValueAt(const Variant& v, int depth) {
  if (depth > kMaxVariantDepth) throw Error("Variant arrays nested too deeply to send");
  U8(static_cast<std::uint8_t>(v.Type()));
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null:
      break;
    case VarType::Int16:
      U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v.ToInt32())));
      break;
    case VarType::Int32:
      I32(v.ToInt32());
      break;
    case VarType::Int64:
      U64(static_cast<std::uint64_t>(v.ToInt64()));
      break;
    case VarType::Double:
      F64(v.ToDouble());
      break;
    case VarType::Currency:
      U64(static_cast<std::uint64_t>(v.ToCurrency().scaled));
      break;
    case VarType::Date:
      F64(v.ToDateTime());
      break;
    case VarType::Boolean:
      U8(v.ToBool() ? 1 : 0);
      break;
    case VarType::Text:
      Str(v.AsText());
      break;
    case VarType::ByteArray: {
      const ByteArray& b = v.AsBytes();
      I32(b.low);
      U32(static_cast<std::uint32_t>(b.bytes.size()));
      out_.append(reinterpret_cast<const char*>(b.bytes.data()), b.bytes.size());
      break;
    }
    case VarType::Array: {
      const VariantArray& a = v.AsArray();
      I32(a.low);
      U32(static_cast<std::uint32_t>(a.items.size()));
      for (const Variant& item : a.items) ValueAt(item, depth + 1);
      break;
    }
  }
}

void WireReader::Short(std::size_t n) const {
  Malformed("needs " + std::to_string(n) + " bytes, " + std::to_string(Remaining()) + " left");
}

Variant WireReader::Value() {
  return ValueAt(0);
}

Variant WireReader::ValueAt(int depth) {
  if (depth > kMaxVariantDepth) Malformed("variant arrays nested too deeply");
  if (++values_ > kMaxFrameValues) Malformed("more than " + std::to_string(kMaxFrameValues) + " values");
  std::uint8_t tag = U8();
  switch (static_cast<VarType>(tag)) {
    case VarType::Empty:
      return Variant();
    case VarType::Null:
      return Variant::Null();
    case VarType::Int16:
      return Variant(static_cast<std::int16_t>(U16()));
    case VarType::Int32:
      return Variant(I32());
    case VarType::Int64:
      return Variant(static_cast<std::int64_t>(U64()));
    case VarType::Double:
      return Variant(F64());
    case VarType::Currency:
      return Variant(Currency{static_cast<std::int64_t>(U64())});
    case VarType::Date:
      return Variant::Date(F64());
    case VarType::Boolean: {
      std::uint8_t b = U8();
      if (b > 1) Malformed("boolean byte " + std::to_string(b));
      return Variant(b == 1);
    }
    case VarType::Text:
      return Variant(Str());
    case VarType::ByteArray: {
      std::int32_t low = I32();
      std::uint32_t n = U32();
      std::string_view bytes = Take(n);
      return Variant::Bytes(bytes, low);
    }
    case VarType::Array: {
      std::int32_t low = I32();
      std::uint32_t n = U32();
      // Every element takes at least its tag byte: a count beyond the remaining bytes is a lie.
      if (n > Remaining())
        Malformed("array of " + std::to_string(n) + " elements in " + std::to_string(Remaining()) + " bytes");
      std::vector<Variant> items;
      items.reserve(std::min<std::size_t>(n, 1024));
      for (std::uint32_t i = 0; i < n; ++i) items.push_back(ValueAt(depth + 1));
      return Variant::Array(std::move(items), low);
    }
  }
  Malformed("unknown variant type " + std::to_string(tag));
}

namespace {

void BeginPayload(WireWriter& w, FrameKind kind) {
  w.U8(kWireVersion);
  w.U8(static_cast<std::uint8_t>(kind));
}

FrameKind ReadPayloadStart(WireReader& r) {
  std::uint8_t version = r.U8();
  if (version != kWireVersion) Malformed("unsupported version " + std::to_string(version));
  std::uint8_t kind = r.U8();
  if (kind < 1 || kind > 3) Malformed("unknown frame kind " + std::to_string(kind));
  return static_cast<FrameKind>(kind);
}

void ExpectEnd(const WireReader& r) {
  if (!r.AtEnd()) Malformed(std::to_string(r.Remaining()) + " bytes after the end");
}

}  // namespace

std::string EncodeCall(const CallFrame& call) {
  return EncodeCall(call, std::string());
}

std::string EncodeCall(const CallFrame& call, std::string buffer) {
  WireWriter w(std::move(buffer));
  BeginPayload(w, FrameKind::Call);
  w.U32(call.requestId);
  w.Str(call.object);
  w.I32(call.number);
  w.U32(static_cast<std::uint32_t>(call.args.size()));
  for (const WireArg& a : call.args) {
    w.U8(a.byRef ? 1 : 0);
    w.Value(a.value);
  }
  return w.Take();
}

std::string EncodeReply(const ReplyFrame& reply) {
  return EncodeReply(reply, std::string());
}

std::string EncodeReply(const ReplyFrame& reply, std::string buffer) {
  WireWriter w(std::move(buffer));
  BeginPayload(w, reply.fault ? FrameKind::Fault : FrameKind::Reply);
  w.U32(reply.requestId);
  if (reply.fault) {
    w.Str(reply.faultText);
    return w.Take();
  }
  w.Value(reply.result);
  w.U32(static_cast<std::uint32_t>(reply.written.size()));
  for (const WrittenArg& a : reply.written) {
    w.U32(a.index);
    w.Value(a.value);
  }
  return w.Take();
}

CallFrame DecodeCall(std::string_view payload) {
  WireReader r(payload);
  if (ReadPayloadStart(r) != FrameKind::Call) Malformed("expected a call");
  CallFrame call;
  call.requestId = r.U32();
  call.object = r.Str();
  call.number = r.I32();
  std::uint32_t n = r.U32();
  if (n > r.Remaining()) Malformed("argument count " + std::to_string(n) + " exceeds the frame");
  call.args.reserve(std::min<std::size_t>(n, 1024));
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint8_t flags = r.U8();
    if (flags > 1) Malformed("argument flags " + std::to_string(flags));
    WireArg a;
    a.byRef = flags == 1;
    a.value = r.Value();
    call.args.push_back(std::move(a));
  }
  ExpectEnd(r);
  return call;
}

ReplyFrame DecodeReply(std::string_view payload) {
  WireReader r(payload);
  FrameKind kind = ReadPayloadStart(r);
  if (kind == FrameKind::Call) Malformed("expected a reply");
  ReplyFrame reply;
  reply.requestId = r.U32();
  if (kind == FrameKind::Fault) {
    reply.fault = true;
    reply.faultText = r.Str();
    ExpectEnd(r);
    return reply;
  }
  reply.result = r.Value();
  std::uint32_t n = r.U32();
  if (n > r.Remaining()) Malformed("written-back count " + std::to_string(n) + " exceeds the frame");
  reply.written.reserve(std::min<std::size_t>(n, 1024));
  for (std::uint32_t i = 0; i < n; ++i) {
    WrittenArg a;
    a.index = r.U32();
    a.value = r.Value();
    reply.written.push_back(std::move(a));
  }
  ExpectEnd(r);
  return reply;
}

std::string EncodeVariant(const Variant& v) {
  WireWriter w;
  w.Value(v);
  return w.Take();
}

Variant DecodeVariant(std::string_view bytes) {
  WireReader r(bytes);
  Variant v = r.Value();
  ExpectEnd(r);
  return v;
}

std::string FrameHeader(std::size_t payloadSize) {
  if (payloadSize > UINT32_MAX) throw Error("Frame too large to send");
  // Four bytes fit a string's own storage: no writer (whose reserve would allocate) is needed.
  std::string header;
  AppendLittleEndian(header, static_cast<std::uint32_t>(payloadSize));
  return header;
}

std::uint32_t ParseFrameHeader(const std::uint8_t (&header)[kFrameHeaderSize], std::uint32_t maxFrameSize) {
  std::uint32_t n = static_cast<std::uint32_t>(header[0]) | (static_cast<std::uint32_t>(header[1]) << 8) |
                    (static_cast<std::uint32_t>(header[2]) << 16) |
                    (static_cast<std::uint32_t>(header[3]) << 24);
  if (n == 0) Malformed("empty payload");
  if (n > maxFrameSize)
    throw Error("Frame length " + std::to_string(n) + " exceeds the limit of " +
                std::to_string(maxFrameSize) + " bytes");
  return n;
}

}  // namespace sw
