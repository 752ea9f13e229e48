#include "sw/common/USysStream.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

// ---- TMemoryStream ----

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  std::size_t n = count < Remaining() ? count : Remaining();
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (count > bytes_.size() - position_) bytes_.resize(position_ + count);
  std::memcpy(bytes_.data() + position_, buffer, count);
  position_ += count;
}

std::size_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning:
      base = 0;
      break;
    case TSeekOrigin::soCurrent:
      base = static_cast<std::int64_t>(position_);
      break;
    case TSeekOrigin::soEnd:
      base = static_cast<std::int64_t>(bytes_.size());
      break;
  }
  const std::int64_t size = static_cast<std::int64_t>(bytes_.size());
  // Compared without forming base + offset, which could overflow for an absurd offset.
  if (offset < -base || offset > size - base) {
    throw Error("memory stream: cannot seek to offset " + IntToStr(offset) + " from " + IntToStr(base) +
                " in a stream of " + IntToStr(size) + " bytes");
  }
  position_ = static_cast<std::size_t>(base + offset);
  return position_;
}

void TMemoryStream::SetSize(std::size_t size) {
  bytes_.resize(size);
  if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

std::vector<std::uint8_t> TMemoryStream::TakeBytes() {
  std::vector<std::uint8_t> out = std::move(bytes_);
  Clear();
  return out;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot open " + path + ": " + std::strerror(errno));
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Error("cannot read " + path);
  bytes_ = std::move(bytes);
  position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw Error("cannot create " + path + ": " + std::strerror(errno));
  out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  out.close();
  if (!out) throw Error("cannot write " + path);
}

// ---- TSysStream ----

bool TSysStream::ReadExact(void* buffer, std::size_t count) {
  if (stream_.Remaining() < count) {
    stream_.Seek(0, TSeekOrigin::soEnd);
    truncated_ = true;
    return false;
  }
  stream_.Read(buffer, count);
  return true;
}

std::uint8_t TSysStream::ReadByte() {
  std::uint8_t b = 0;
  return ReadExact(&b, 1) ? b : 0;
}

std::uint16_t TSysStream::ReadWord() {
  std::uint8_t b[2];
  if (!ReadExact(b, 2)) return 0;
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::int32_t TSysStream::ReadInteger() {
  std::uint8_t b[4];
  if (!ReadExact(b, 4)) return 0;
  std::uint32_t u = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                    (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
  return static_cast<std::int32_t>(u);  // two's complement, well defined since C++20
}

std::string TSysStream::ReadString() {
  std::uint8_t b[2];
  if (!ReadExact(b, 2)) return {};
  const std::size_t length = static_cast<std::size_t>(b[0] | (b[1] << 8));
  // The bytes and the terminator must both be there; otherwise the whole string counts as missing.
  if (stream_.Remaining() < length + 1) {
    stream_.Seek(0, TSeekOrigin::soEnd);
    truncated_ = true;
    return {};
  }
  std::string value(length, '\0');
  if (length > 0) stream_.Read(value.data(), length);
  std::uint8_t terminator = 0;
  stream_.Read(&terminator, 1);  // consumed whatever it holds
  return value;
}

void TSysStream::WriteByte(std::uint8_t value) {
  stream_.Write(&value, 1);
}

void TSysStream::WriteWord(std::uint16_t value) {
  const std::uint8_t b[2] = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
  stream_.Write(b, 2);
}

void TSysStream::WriteInteger(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(u & 0xFF), static_cast<std::uint8_t>((u >> 8) & 0xFF),
                             static_cast<std::uint8_t>((u >> 16) & 0xFF), static_cast<std::uint8_t>(u >> 24)};
  stream_.Write(b, 4);
}

void TSysStream::WriteString(std::string_view value) {
  if (value.size() > kMaxStringLength) {
    throw Error("stream string of " + IntToStr(static_cast<std::int64_t>(value.size())) +
                " bytes is longer than the 65535 bytes its length field can hold");
  }
  WriteWord(static_cast<std::uint16_t>(value.size()));
  if (!value.empty()) stream_.Write(value.data(), value.size());
  WriteByte(0);
}

}  // namespace sw
