#pragma once
// Byte-level codec shared by the packet readers and writers and the data set: header, field definitions and
// column blocks (layout in docs/packet-format.md).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sw/dataset/ColumnTable.h"

namespace sw::packet {

constexpr std::uint8_t kKindData = 0;
constexpr std::uint8_t kKindDelta = 1;
constexpr std::size_t kMaxFields = kMaxFieldCount;
constexpr std::size_t kMaxNameBytes = kMaxFieldNameBytes;
constexpr std::size_t kMaxRows = std::size_t{1} << 31;

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void VarUInt(std::uint64_t v) {
    while (v >= 0x80) {
      out_.push_back(static_cast<std::uint8_t>(v | 0x80));
      v >>= 7;
    }
    out_.push_back(static_cast<std::uint8_t>(v));
  }
  void Raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  std::vector<std::uint8_t>& Out() { return out_; }
  // Appends n bytes and returns where they start (valid until the next append).
  std::uint8_t* Grow(std::size_t n) {
    std::size_t at = out_.size();
    out_.resize(at + n);
    return out_.data() + at;
  }
  static std::uint8_t* PutVarUInt(std::uint8_t* p, std::uint64_t v) {
    while (v >= 0x80) {
      *p++ = static_cast<std::uint8_t>(v | 0x80);
      v >>= 7;
    }
    *p++ = static_cast<std::uint8_t>(v);
    return p;
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// Bounds-checked reading; every overrun raises sw::Error naming what was being read.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> in) : in_(in) {}
  std::size_t Remaining() const { return in_.size() - pos_; }
  std::size_t Pos() const { return pos_; }
  std::uint8_t U8(const char* what);
  std::uint16_t U16(const char* what);
  std::uint64_t VarUInt(const char* what);
  const std::uint8_t* Take(std::size_t n, const char* what);
  bool AtEnd() const { return pos_ == in_.size(); }

 private:
  std::span<const std::uint8_t> in_;
  std::size_t pos_ = 0;
};

void WriteHeader(ByteWriter& w, std::uint8_t kind, const std::vector<TFieldDef>& defs,
                 std::span<const std::uint32_t> columns);
// Reads magic, version, kind and field definitions; raises sw::Error when the kind is not `expectedKind`.
std::vector<TFieldDef> ReadHeader(ByteReader& r, std::uint8_t expectedKind);

// Writes the column block of `rows` of `table` for the given columns.
void EncodeColumns(ByteWriter& w, const ColumnTable& table, std::span<const std::uint32_t> rows,
                   std::span<const std::uint32_t> columns);
// Reads a column block of `rows` rows into the (empty) table, whose columns were made from the header.
void DecodeColumns(ByteReader& r, ColumnTable& table, std::size_t rows);

// Rows of a count read from a packet, refused when the bytes left cannot hold them.
std::size_t CheckedRowCount(ByteReader& r, std::uint64_t rows, std::size_t columns, const char* what);

std::vector<std::uint8_t> BytesOf(const Variant& packet);
std::span<const std::uint8_t> SpanOf(const Variant& packet);

}  // namespace sw::packet
