#pragma once
// The binary stream of class descriptions: an in-memory byte stream with a position (`TMemoryStream`) and the
// reader/writer of little-endian integers and length-prefixed strings over it (`TSysStream`).
//
// A string travels as a 2-byte unsigned length N, the N bytes exactly as held (no code-page conversion), and
// a terminator byte written as 0. An empty string is the three bytes 00 00 00.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A growable byte buffer with a current position. Reads deliver what is there and never fail; writes grow the
// buffer. The position never lies beyond the end: seeking there raises sw::Error.
class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  explicit TMemoryStream(std::string_view bytes) : bytes_(bytes.begin(), bytes.end()) {}

  // Copies up to `count` bytes from the position into `buffer`; returns how many it copied.
  std::size_t Read(void* buffer, std::size_t count);
  // Writes `count` bytes at the position, overwriting and growing as needed.
  void Write(const void* buffer, std::size_t count);
  // Moves the position and returns it. A target before the start or beyond the end raises sw::Error.
  std::size_t Seek(std::int64_t offset, TSeekOrigin origin);

  std::size_t Position() const { return position_; }
  void SetPosition(std::size_t position) {
    Seek(static_cast<std::int64_t>(position), TSeekOrigin::soBeginning);
  }
  std::size_t Size() const { return bytes_.size(); }
  // Cuts or zero-extends the buffer; a position beyond the new end moves to the end.
  void SetSize(std::size_t size);
  std::size_t Remaining() const { return bytes_.size() - position_; }
  // Empties the buffer and rewinds.
  void Clear();

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // Hands the buffer over and leaves the stream empty.
  std::vector<std::uint8_t> TakeBytes();

  // Replaces the content with a file's bytes and rewinds; writes the whole content to a file. Both raise
  // sw::Error naming the file when it cannot be read or written.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// Reads and writes values at the current position of a memory stream it does not own; the position advances
// by the bytes moved. A value that is not wholly present reads as 0 (or an empty string): the position then
// stays at the end and `Truncated()` turns true, so a reader of a layout can tell a short stream from real
// zeros.
class TSysStream {
 public:
  // The longest string the 2-byte length can describe.
  static constexpr std::size_t kMaxStringLength = 65535;

  explicit TSysStream(TMemoryStream& stream) : stream_(stream) {}

  std::uint8_t ReadByte();
  std::uint16_t ReadWord();
  std::int32_t ReadInteger();
  // Length, bytes, then one terminator byte whose value is ignored.
  std::string ReadString();

  void WriteByte(std::uint8_t value);
  void WriteWord(std::uint16_t value);
  void WriteInteger(std::int32_t value);
  // Raises sw::Error, writing nothing, for a string longer than kMaxStringLength bytes.
  void WriteString(std::string_view value);

  // True once a read ran past the end of the stream (since construction or the last ResetTruncated).
  bool Truncated() const { return truncated_; }
  void ResetTruncated() { truncated_ = false; }

  TMemoryStream& Stream() const { return stream_; }

 private:
  // Reads exactly `count` bytes, or marks the stream truncated, moves to the end and returns false.
  bool ReadExact(void* buffer, std::size_t count);

  TMemoryStream& stream_;
  bool truncated_ = false;
};

}  // namespace sw
