#include "sw/dataset/ColumnTable.h"

#include <cmath>
#include <limits>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

namespace {

constexpr double kMsPerDay = 86400000.0;

std::int64_t CheckedRange(std::int64_t v, std::int64_t lo, std::int64_t hi, TFieldType t) {
  if (v < lo || v > hi) {
    throw Error("Value " + IntToStr(v) + " is out of range for a field of type " + FieldTypeName(t));
  }
  return v;
}

double CheckedFinite(double v) {
  if (!std::isfinite(v)) throw Error("A field cannot hold a value that is not a finite number");
  return v;
}

std::int32_t DaysOf(TDateTime v) {
  double d = std::trunc(CheckedFinite(v));
  if (d < -693593 || d > 2958465) throw Error("Date value out of range");
  return static_cast<std::int32_t>(d);
}

std::int32_t MsOfDay(TDateTime v) {
  double frac = std::fabs(CheckedFinite(v) - std::trunc(v));
  auto ms = static_cast<std::int64_t>(std::llround(frac * kMsPerDay));
  if (ms >= 86400000) ms = 86399999;
  return static_cast<std::int32_t>(ms);
}

}  // namespace

TStorage StorageOf(TFieldType t) {
  switch (t) {
    case TFieldType::ftSmallint:
      return TStorage::Int16;
    case TFieldType::ftWord:
      return TStorage::UInt16;
    case TFieldType::ftInteger:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
      return TStorage::Int32;
    case TFieldType::ftLargeint:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
      return TStorage::Int64;
    case TFieldType::ftFloat:
    case TFieldType::ftDateTime:
      return TStorage::Float64;
    case TFieldType::ftBoolean:
      return TStorage::Bool;
    case TFieldType::ftString:
    case TFieldType::ftWideString:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftGraphic:
      return TStorage::Bytes;
    case TFieldType::ftUnknown:
      break;
  }
  throw Error("Field type " + IntToStr(static_cast<int>(t)) + " cannot be stored");
}

std::size_t StorageWidth(TStorage s) {
  switch (s) {
    case TStorage::Int16:
    case TStorage::UInt16:
      return 2;
    case TStorage::Int32:
      return 4;
    case TStorage::Int64:
    case TStorage::Float64:
      return 8;
    case TStorage::Bool:
      return 1;
    case TStorage::Bytes:
      return 0;
  }
  return 0;
}

// ---- Column ----

Column::Column(TFieldType type) : type_(type), storage_(StorageOf(type)) {
  if (storage_ == TStorage::Bytes) offsets_.push_back(0);
}

std::int64_t Column::GetInt(std::size_t row) const {
  const std::uint8_t* p = fixed_.data() + row * StorageWidth(storage_);
  switch (storage_) {
    case TStorage::Int16: {
      std::int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case TStorage::UInt16: {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case TStorage::Int32: {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case TStorage::Int64: {
      std::int64_t v;
      std::memcpy(&v, p, 8);
      return v;
    }
    case TStorage::Bool:
      return *p;
    case TStorage::Float64:
      return static_cast<std::int64_t>(GetFloat(row));
    case TStorage::Bytes:
      break;
  }
  return 0;
}

void Column::SetInt(std::size_t row, std::int64_t v) {
  std::uint8_t* p = fixed_.data() + row * StorageWidth(storage_);
  switch (storage_) {
    case TStorage::Int16: {
      auto x = static_cast<std::int16_t>(v);
      std::memcpy(p, &x, 2);
      break;
    }
    case TStorage::UInt16: {
      auto x = static_cast<std::uint16_t>(v);
      std::memcpy(p, &x, 2);
      break;
    }
    case TStorage::Int32: {
      auto x = static_cast<std::int32_t>(v);
      std::memcpy(p, &x, 4);
      break;
    }
    case TStorage::Int64:
      std::memcpy(p, &v, 8);
      break;
    case TStorage::Bool:
      *p = v != 0 ? 1 : 0;
      break;
    case TStorage::Float64:
      SetFloat(row, static_cast<double>(v));
      return;
    case TStorage::Bytes:
      throw Error("Text field cannot take an integer directly");
  }
  SetNullBit(row, false);
}

void Column::SetFloat(std::size_t row, double v) {
  std::memcpy(fixed_.data() + row * 8, &v, 8);
  SetNullBit(row, false);
}

void Column::SetBytes(std::size_t row, std::string_view v) {
  if (row + 1 != rows_) throw Error("Only the record being edited can change its text");
  arena_.resize(offsets_[row]);
  if (arena_.size() + v.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw Error("Text column is larger than 4 GB");
  }
  arena_.append(v);
  offsets_[row + 1] = static_cast<std::uint32_t>(arena_.size());
  SetNullBit(row, false);
}

void Column::SetNull(std::size_t row) {
  if (storage_ == TStorage::Bytes) {
    if (row + 1 == rows_) {
      arena_.resize(offsets_[row]);
      offsets_[row + 1] = offsets_[row];
    }
  } else {
    std::memset(fixed_.data() + row * StorageWidth(storage_), 0, StorageWidth(storage_));
  }
  SetNullBit(row, true);
}

void Column::AppendNull() {
  std::size_t row = rows_++;
  if ((row >> 6) >= nulls_.size()) nulls_.push_back(0);
  SetNullBit(row, true);
  if (storage_ == TStorage::Bytes) {
    offsets_.push_back(offsets_.back());
  } else {
    fixed_.resize(fixed_.size() + StorageWidth(storage_), 0);
  }
}

void Column::AppendValue(const Variant& v) {
  if (storage_ == TStorage::Bytes && !v.IsBlank() && v.Type() == VarType::Text) {
    AppendBytes(v.AsText());
    return;
  }
  AppendNull();
  try {
    Set(rows_ - 1, v);
  } catch (...) {
    PopBack();
    throw;
  }
}

void Column::AppendBytes(std::string_view v) {
  if (storage_ != TStorage::Bytes) throw Error("Only a text or blob field takes bytes directly");
  if (arena_.size() + v.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw Error("Text column is larger than 4 GB");
  }
  arena_.append(v);
  offsets_.push_back(static_cast<std::uint32_t>(arena_.size()));
  if ((rows_ >> 6) >= nulls_.size()) nulls_.push_back(0);
  SetNullBit(rows_, false);  // a row taken back may have left its mark
  ++rows_;
}

void Column::AppendCopy(const Column& from, std::size_t row) {
  // `from` may be this column: sizes are taken before growing and data pointers after.
  bool null = from.IsNull(row);
  if (storage_ == TStorage::Bytes) {
    std::uint32_t start = from.offsets_[row], len = from.offsets_[row + 1] - start;
    std::size_t old = arena_.size();
    if (old + len > std::numeric_limits<std::uint32_t>::max()) throw Error("Text column is larger than 4 GB");
    arena_.resize(old + len);
    std::memcpy(arena_.data() + old, from.arena_.data() + start, len);
    offsets_.push_back(static_cast<std::uint32_t>(arena_.size()));
  } else {
    std::size_t w = StorageWidth(storage_), old = fixed_.size();
    fixed_.resize(old + w);
    std::memcpy(fixed_.data() + old, from.fixed_.data() + row * w, w);
  }
  std::size_t dst = rows_++;
  if ((dst >> 6) >= nulls_.size()) nulls_.push_back(0);
  SetNullBit(dst, null);
}

void Column::PopBack() {
  if (rows_ == 0) return;
  --rows_;
  if (storage_ == TStorage::Bytes) {
    offsets_.pop_back();
    arena_.resize(offsets_.back());
  } else {
    fixed_.resize(rows_ * StorageWidth(storage_));
  }
  nulls_.resize((rows_ + 63) / 64);
}

void Column::Clear() {
  rows_ = 0;
  fixed_.clear();
  arena_.clear();
  nulls_.clear();
  offsets_.clear();
  if (storage_ == TStorage::Bytes) offsets_.push_back(0);
}

void Column::Reserve(std::size_t rows, std::size_t arenaBytes) {
  nulls_.reserve((rows + 63) / 64);
  if (storage_ == TStorage::Bytes) {
    offsets_.reserve(rows + 1);
    arena_.reserve(arenaBytes);
  } else {
    fixed_.reserve(rows * StorageWidth(storage_));
  }
}

void Column::ShrinkToFit() {
  fixed_.shrink_to_fit();
  offsets_.shrink_to_fit();
  arena_.shrink_to_fit();
  nulls_.shrink_to_fit();
}

std::size_t Column::MemoryBytes() const {
  return fixed_.capacity() + offsets_.capacity() * sizeof(std::uint32_t) + arena_.capacity() +
         nulls_.capacity() * sizeof(std::uint64_t) + sizeof(Column);
}

bool Column::AnyNull() const {
  std::size_t full = rows_ / 64;
  for (std::size_t i = 0; i < full; ++i) {
    if (nulls_[i] != 0) return true;
  }
  if (rows_ % 64 != 0) {
    std::uint64_t mask = (std::uint64_t{1} << (rows_ % 64)) - 1;
    if ((nulls_[full] & mask) != 0) return true;
  }
  return false;
}

Variant Column::Get(std::size_t row) const {
  if (IsNull(row)) return Variant::Null();
  switch (type_) {
    case TFieldType::ftSmallint:
      return Variant(static_cast<std::int16_t>(GetInt(row)));
    case TFieldType::ftWord:
    case TFieldType::ftInteger:
      return Variant(static_cast<std::int32_t>(GetInt(row)));
    case TFieldType::ftLargeint:
      return Variant(GetInt(row));
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
      return Variant(Currency{GetInt(row)});
    case TFieldType::ftFloat:
      return Variant(GetFloat(row));
    case TFieldType::ftDateTime:
      return Variant::Date(GetFloat(row));
    case TFieldType::ftDate:
      return Variant::Date(static_cast<double>(GetInt(row)));
    case TFieldType::ftTime:
      return Variant::Date(static_cast<double>(GetInt(row)) / kMsPerDay);
    case TFieldType::ftBoolean:
      return Variant(GetInt(row) != 0);
    case TFieldType::ftString:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
      return Variant(std::string(GetBytes(row)));
    case TFieldType::ftBlob:
    case TFieldType::ftGraphic:
      return Variant::Bytes(GetBytes(row));
    case TFieldType::ftUnknown:
      break;
  }
  return Variant::Null();
}

void Column::Set(std::size_t row, const Variant& v) {
  if (v.IsBlank()) {
    SetNull(row);
    return;
  }
  switch (type_) {
    case TFieldType::ftSmallint:
      SetInt(row, CheckedRange(v.ToInt64(), -32768, 32767, type_));
      break;
    case TFieldType::ftWord:
      SetInt(row, CheckedRange(v.ToInt64(), 0, 65535, type_));
      break;
    case TFieldType::ftInteger:
      SetInt(row, CheckedRange(v.ToInt64(), std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max(), type_));
      break;
    case TFieldType::ftLargeint:
      SetInt(row, v.ToInt64());
      break;
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
      SetInt(row, v.ToCurrency().scaled);
      break;
    case TFieldType::ftFloat:
      SetFloat(row, CheckedFinite(v.ToDouble()));
      break;
    case TFieldType::ftDateTime:
      SetFloat(row, CheckedFinite(v.ToDateTime()));
      break;
    case TFieldType::ftDate:
      SetInt(row, DaysOf(v.ToDateTime()));
      break;
    case TFieldType::ftTime:
      SetInt(row, MsOfDay(v.ToDateTime()));
      break;
    case TFieldType::ftBoolean:
      SetInt(row, v.ToBool() ? 1 : 0);
      break;
    case TFieldType::ftString:
    case TFieldType::ftWideString:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftBlob:
    case TFieldType::ftGraphic:
      if (v.IsBytes()) {
        const auto& b = v.AsBytes().bytes;
        SetBytes(row, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
      } else {
        SetBytes(row, v.ToString());
      }
      break;
    case TFieldType::ftUnknown:
      throw Error("Field of unknown type cannot take a value");
  }
}

int Column::Compare(std::size_t a, std::size_t b, bool caseInsensitive) const {
  bool na = IsNull(a), nb = IsNull(b);
  if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
  switch (storage_) {
    case TStorage::Float64: {
      double x = GetFloat(a), y = GetFloat(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    case TStorage::Bytes: {
      int c = caseInsensitive ? CompareText(GetBytes(a), GetBytes(b)) : CompareStr(GetBytes(a), GetBytes(b));
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default: {
      std::int64_t x = GetInt(a), y = GetInt(b);
      return x < y ? -1 : (x > y ? 1 : 0);
    }
  }
}

// ---- ColumnTable ----

ColumnTable::ColumnTable(std::vector<TFieldDef> defs) {
  for (const auto& d : defs) AddColumn(d);
}

int ColumnTable::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < defs_.size(); ++i) {
    if (SameText(defs_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

void ColumnTable::CheckNewColumn(const TFieldDef& def) const {
  // The limits of the packet format hold for every table, so whatever a data set holds can be sent.
  if (Trim(def.Name).empty()) throw Error("Field name is empty");
  if (def.Name.size() > kMaxFieldNameBytes) throw Error("Field name is longer than 1024 bytes");
  if (columns_.size() >= kMaxFieldCount) throw Error("A table holds at most 4096 fields");
}

void ColumnTable::AddColumn(const TFieldDef& def) {
  if (rows_ != 0) throw Error("Fields cannot be added to a table that has rows");
  CheckNewColumn(def);
  if (IndexOf(def.Name) >= 0) throw Error("Duplicate field name '" + def.Name + "'");
  columns_.emplace_back(def.DataType);  // raises for an unknown type before the definition is kept
  defs_.push_back(def);
}

void ColumnTable::AddNullColumn(const TFieldDef& def) {
  CheckNewColumn(def);
  if (IndexOf(def.Name) >= 0) throw Error("Duplicate field name '" + def.Name + "'");
  Column c(def.DataType);
  c.Reserve(rows_);
  for (std::size_t i = 0; i < rows_; ++i) c.AppendNull();
  columns_.push_back(std::move(c));
  defs_.push_back(def);
}

std::uint32_t ColumnTable::AppendNullRow() {
  if (rows_ >= std::numeric_limits<std::uint32_t>::max() - 1) throw Error("Too many rows");
  for (auto& c : columns_) c.AppendNull();
  return static_cast<std::uint32_t>(rows_++);
}

std::uint32_t ColumnTable::AppendCopy(const ColumnTable& from, std::uint32_t row) {
  if (rows_ >= std::numeric_limits<std::uint32_t>::max() - 1) throw Error("Too many rows");
  if (from.columns_.size() < columns_.size()) throw Error("Row copy between tables of different fields");
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (from.columns_[i].Type() != columns_[i].Type())
      throw Error("Row copy between tables of different fields");
  }
  std::size_t done = 0;
  try {
    for (; done < columns_.size(); ++done) columns_[done].AppendCopy(from.columns_[done], row);
  } catch (...) {
    for (std::size_t i = 0; i < done; ++i) columns_[i].PopBack();
    throw;
  }
  return static_cast<std::uint32_t>(rows_++);
}

void ColumnTable::PopBack() {
  if (rows_ == 0) return;
  for (auto& c : columns_) c.PopBack();
  --rows_;
}

void ColumnTable::Clear() {
  for (auto& c : columns_) c.Clear();
  rows_ = 0;
}

void ColumnTable::Reserve(std::size_t rows) {
  for (auto& c : columns_) c.Reserve(rows);
}

void ColumnTable::SetRowCount(std::size_t rows) {
  rows_ = rows;
}

std::size_t ColumnTable::MemoryBytes() const {
  std::size_t n = sizeof(ColumnTable);
  for (const auto& c : columns_) n += c.MemoryBytes();
  for (const auto& d : defs_) n += sizeof(TFieldDef) + d.Name.capacity();
  return n;
}

}  // namespace sw
