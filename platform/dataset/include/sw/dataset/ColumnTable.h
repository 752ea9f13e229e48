#pragma once
// Column storage of the client data set and of packets: one typed column per field with a null bitmap; texts
// and bytes in one arena per column with an offset per row. Rows are appended; only the last row may change
// its text and byte values (the data set edits a copy of a record appended at the end, which keeps offsets
// ascending). Fixed-size values may change in any row.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/Variant.h"
#include "sw/dataset/FieldTypes.h"

namespace sw {

// How a column holds its values.
enum class TStorage : std::uint8_t {
  Int16,    // small integer
  UInt16,   // word
  Int32,    // integer; date (days); time (milliseconds of the day)
  Int64,    // large integer; currency and BCD (scaled by 10,000)
  Float64,  // float; date-time
  Bool,     // one byte
  Bytes,    // texts and blobs
};

TStorage StorageOf(TFieldType t);
std::size_t StorageWidth(TStorage s);  // bytes of a fixed-size value; 0 for Bytes

class Column {
 public:
  explicit Column(TFieldType type);

  TFieldType Type() const { return type_; }
  TStorage Storage() const { return storage_; }
  std::size_t Rows() const { return rows_; }

  bool IsNull(std::size_t row) const { return (nulls_[row >> 6] >> (row & 63)) & 1u; }
  void SetNullBit(std::size_t row, bool null) {
    std::uint64_t bit = std::uint64_t{1} << (row & 63);
    if (null) {
      nulls_[row >> 6] |= bit;
    } else {
      nulls_[row >> 6] &= ~bit;
    }
  }

  // Integer view of a fixed-size integer value (Int16..Int64, Bool).
  std::int64_t GetInt(std::size_t row) const;
  double GetFloat(std::size_t row) const {
    double v;
    std::memcpy(&v, fixed_.data() + row * 8, 8);
    return v;
  }
  std::string_view GetBytes(std::size_t row) const {
    return std::string_view(arena_).substr(offsets_[row], offsets_[row + 1] - offsets_[row]);
  }

  void SetInt(std::size_t row, std::int64_t v);  // also clears the null mark
  void SetFloat(std::size_t row, double v);
  void SetBytes(std::size_t row, std::string_view v);  // last row only
  void SetNull(std::size_t row);

  void AppendNull();
  // Appends a row holding a value. AppendValue converts and checks as Set does; AppendBytes takes the bytes
  // of a text or blob column as they are. Nothing is appended when the value is refused.
  void AppendValue(const Variant& v);
  void AppendBytes(std::string_view v);
  void AppendCopy(const Column& from, std::size_t row);
  void PopBack();
  void Clear();
  void Reserve(std::size_t rows, std::size_t arenaBytes = 0);
  void ShrinkToFit();
  std::size_t MemoryBytes() const;

  // The value as a variant of the field's kind: Int16/Int32/Int64, Double, Currency, Date, Boolean, Text, or
  // ByteArray for blob and graphic fields; null when the null mark is set.
  Variant Get(std::size_t row) const;
  // Stores a variant converted to the field's kind; empty and null clear the value. Raises sw::Error when the
  // value does not convert or is out of range.
  void Set(std::size_t row, const Variant& v);

  // Three-way comparison of two rows (nulls first), optionally ignoring ASCII letter case of texts.
  int Compare(std::size_t a, std::size_t b, bool caseInsensitive) const;

  // Raw access for the packet codec.
  std::vector<std::uint8_t>& Fixed() { return fixed_; }
  const std::vector<std::uint8_t>& Fixed() const { return fixed_; }
  std::vector<std::uint32_t>& Offsets() { return offsets_; }
  std::string& Arena() { return arena_; }
  std::vector<std::uint64_t>& NullBits() { return nulls_; }
  void SetRows(std::size_t rows) { rows_ = rows; }
  bool AnyNull() const;

 private:
  TFieldType type_;
  TStorage storage_;
  std::size_t rows_ = 0;
  std::vector<std::uint8_t> fixed_;     // fixed-size values, StorageWidth bytes per row
  std::vector<std::uint32_t> offsets_;  // Bytes: rows + 1 offsets into arena_
  std::string arena_;
  std::vector<std::uint64_t> nulls_;  // one bit per row
};

constexpr std::size_t kMaxFieldNameBytes = 1024;
constexpr std::size_t kMaxFieldCount = 4096;

// A table of columns sharing one row count.
class ColumnTable {
 public:
  explicit ColumnTable(std::vector<TFieldDef> defs = {});

  const std::vector<TFieldDef>& Defs() const { return defs_; }
  std::size_t ColumnCount() const { return columns_.size(); }
  std::size_t RowCount() const { return rows_; }
  Column& Col(std::size_t i) { return columns_[i]; }
  const Column& Col(std::size_t i) const { return columns_[i]; }
  // Index of a column by name without regard to case; -1 when absent.
  int IndexOf(std::string_view name) const;

  void AddColumn(const TFieldDef& def);      // only while the table has no rows
  void AddNullColumn(const TFieldDef& def);  // any time: the new column is null in every row
  std::uint32_t AppendNullRow();
  // Appends a copy of `row` of `from`, whose columns must match this table's in number and kind.
  std::uint32_t AppendCopy(const ColumnTable& from, std::uint32_t row);
  void PopBack();
  void Clear();
  void Reserve(std::size_t rows);
  void SetRowCount(std::size_t rows);  // packet decoder: columns already hold that many rows
  std::size_t MemoryBytes() const;

 private:
  void CheckNewColumn(const TFieldDef& def) const;
  std::vector<TFieldDef> defs_;
  std::vector<Column> columns_;
  std::size_t rows_ = 0;
};

}  // namespace sw
