#include "sw/dataset/Packet.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "PacketCodec.h"
#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {
namespace packet {

namespace {

constexpr std::uint8_t kMagic[4] = {'S', 'W', 'D', 'P'};

// Column encoding byte.
constexpr std::uint8_t kEncNulls = 0x01;    // a null bitmap follows
constexpr std::uint8_t kEncDelta = 0x02;    // integers are differences to the previous value
constexpr std::uint8_t kEncScaleShift = 2;  // bits 2-4: integers were divided by 10^p
constexpr std::uint8_t kEncScaleMask = 0x1C;
constexpr std::uint8_t kEncFloatAsInt = 0x20;  // float column held as integers (x 86,400,000 for date-times)
constexpr std::uint8_t kEncKnown = 0x3F;

constexpr std::int64_t kPow10[5] = {1, 10, 100, 1000, 10000};
constexpr double kMsPerDay = 86400000.0;

std::uint64_t ZigZag(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}
std::int64_t UnZigZag(std::uint64_t v) {
  return static_cast<std::int64_t>((v >> 1) ^ (~(v & 1) + 1));
}
std::size_t VarLen(std::uint64_t v) {
  std::size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

double FloatScale(TFieldType t) {
  return t == TFieldType::ftDateTime ? kMsPerDay : 1.0;
}

// Chooses the scale and delta flags for integer values and writes them.
void WriteInts(ByteWriter& w, std::uint8_t enc, std::vector<std::int64_t>& vals, std::size_t encPos) {
  int p = 4;
  for (std::int64_t v : vals) {
    while (p > 0 && v % kPow10[p] != 0) --p;
    if (p == 0) break;
  }
  if (p > 0) {
    for (auto& v : vals) v /= kPow10[p];
  }
  std::size_t plain = 0, delta = 0;
  std::int64_t prev = 0;
  for (std::int64_t v : vals) {
    plain += VarLen(ZigZag(v));
    delta += VarLen(
        ZigZag(static_cast<std::int64_t>(static_cast<std::uint64_t>(v) - static_cast<std::uint64_t>(prev))));
    prev = v;
  }
  bool useDelta = delta < plain;
  enc |= static_cast<std::uint8_t>(p << kEncScaleShift);
  if (useDelta) enc |= kEncDelta;
  w.Out()[encPos] = enc;
  std::uint8_t* out = w.Grow(useDelta ? delta : plain);
  prev = 0;
  for (std::int64_t v : vals) {
    if (useDelta) {
      out = ByteWriter::PutVarUInt(out, ZigZag(static_cast<std::int64_t>(static_cast<std::uint64_t>(v) -
                                                                         static_cast<std::uint64_t>(prev))));
      prev = v;
    } else {
      out = ByteWriter::PutVarUInt(out, ZigZag(v));
    }
  }
}

std::int64_t StorageMin(TStorage s) {
  switch (s) {
    case TStorage::Int16:
      return std::numeric_limits<std::int16_t>::min();
    case TStorage::UInt16:
      return 0;
    case TStorage::Int32:
      return std::numeric_limits<std::int32_t>::min();
    case TStorage::Bool:
      return 0;
    default:
      return std::numeric_limits<std::int64_t>::min();
  }
}
std::int64_t StorageMax(TStorage s) {
  switch (s) {
    case TStorage::Int16:
      return std::numeric_limits<std::int16_t>::max();
    case TStorage::UInt16:
      return std::numeric_limits<std::uint16_t>::max();
    case TStorage::Int32:
      return std::numeric_limits<std::int32_t>::max();
    case TStorage::Bool:
      return 1;
    default:
      return std::numeric_limits<std::int64_t>::max();
  }
}

void CheckTypeRange(TFieldType t, std::int64_t v, const std::string& field) {
  bool ok = true;
  if (t == TFieldType::ftDate) ok = v >= -693593 && v <= 2958465;
  if (t == TFieldType::ftTime) ok = v >= 0 && v < 86400000;
  if (!ok) throw Error("Packet value out of range in field '" + field + "'");
}

}  // namespace

std::uint8_t ByteReader::U8(const char* what) {
  return *Take(1, what);
}

std::uint16_t ByteReader::U16(const char* what) {
  const std::uint8_t* p = Take(2, what);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint64_t ByteReader::VarUInt(const char* what) {
  std::uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (pos_ >= in_.size()) throw Error(std::string("Packet is truncated in ") + what);
    std::uint8_t b = in_[pos_++];
    if (shift == 63 && b > 1) throw Error(std::string("Packet number too large in ") + what);
    v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) return v;
  }
  throw Error(std::string("Packet number too long in ") + what);
}

const std::uint8_t* ByteReader::Take(std::size_t n, const char* what) {
  if (n > Remaining()) throw Error(std::string("Packet is truncated in ") + what);
  const std::uint8_t* p = in_.data() + pos_;
  pos_ += n;
  return p;
}

void WriteHeader(ByteWriter& w, std::uint8_t kind, const std::vector<TFieldDef>& defs,
                 std::span<const std::uint32_t> columns) {
  w.Raw(kMagic, 4);
  w.U16(kPacketVersion);
  w.U8(kind);
  w.U8(0);
  w.VarUInt(columns.size());
  for (std::uint32_t c : columns) {
    const TFieldDef& d = defs[c];
    w.VarUInt(d.Name.size());
    w.Raw(d.Name.data(), d.Name.size());
    w.U8(static_cast<std::uint8_t>(d.DataType));
    w.VarUInt(static_cast<std::uint64_t>(d.Size < 0 ? 0 : d.Size));
    w.U8(static_cast<std::uint8_t>((d.Required ? 1 : 0) | (d.ReadOnly ? 2 : 0)));
  }
}

std::vector<TFieldDef> ReadHeader(ByteReader& r, std::uint8_t expectedKind) {
  const std::uint8_t* magic = r.Take(4, "the header");
  if (std::memcmp(magic, kMagic, 4) != 0) throw Error("Not a data packet (wrong magic)");
  std::uint16_t version = r.U16("the header");
  if (version != kPacketVersion) {
    throw Error("Data packet version " + IntToStr(version) + " is not supported (expected " +
                IntToStr(kPacketVersion) + ")");
  }
  std::uint8_t kind = r.U8("the header");
  if (kind != expectedKind) {
    throw Error(
        expectedKind == kKindDelta
            ? "Packet is a data packet, not a delta packet"
            : (kind == kKindDelta ? "Packet is a delta packet, not a data packet" : "Unknown packet kind"));
  }
  if (r.U8("the header") != 0) throw Error("Packet header has unknown flags");
  std::uint64_t count = r.VarUInt("the field count");
  if (count > kMaxFields || count * 5 > r.Remaining()) throw Error("Packet field count is out of range");
  std::vector<TFieldDef> defs;
  defs.reserve(count);
  for (std::uint64_t i = 0; i < count; ++i) {
    TFieldDef d;
    std::uint64_t len = r.VarUInt("a field name");
    if (len == 0 || len > kMaxNameBytes) throw Error("Packet field name length is out of range");
    const std::uint8_t* p = r.Take(len, "a field name");
    d.Name.assign(reinterpret_cast<const char*>(p), len);
    std::uint8_t type = r.U8("a field type");
    if (!IsValidFieldType(type))
      throw Error("Packet field '" + d.Name + "' has unknown type " + IntToStr(type));
    d.DataType = static_cast<TFieldType>(type);
    std::uint64_t size = r.VarUInt("a field size");
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      throw Error("Packet field size is out of range");
    }
    d.Size = static_cast<int>(size);
    std::uint8_t flags = r.U8("field flags");
    if (flags > 3) throw Error("Packet field '" + d.Name + "' has unknown flags");
    d.Required = (flags & 1) != 0;
    d.ReadOnly = (flags & 2) != 0;
    defs.push_back(std::move(d));
  }
  return defs;
}

// Most bytes one value of a fixed-size column takes as a (zigzag, possibly delta) variable-length integer.
std::size_t MaxValueBytes(TStorage s) {
  switch (s) {
    case TStorage::Bool:
      return 1;
    case TStorage::Int16:
    case TStorage::UInt16:
      return 3;  // 17 bits of difference, 18 after zigzag
    case TStorage::Int32:
      return 5;  // 33 bits of difference, 34 after zigzag
    default:
      return 10;  // 64-bit integers, and floats held as integers or as 8 raw bytes
  }
}

// An upper bound of what EncodeColumns writes, so that the output is allocated once instead of growing (and
// being copied) column by column.
std::size_t EncodedBound(const ColumnTable& table, std::span<const std::uint32_t> rows,
                         std::span<const std::uint32_t> columns) {
  std::size_t n = 0;
  for (std::uint32_t ci : columns) {
    const Column& col = table.Col(ci);
    n += 1 + (rows.size() + 7) / 8;
    if (col.Storage() == TStorage::Bytes) {
      for (std::uint32_t r : rows) {
        const std::size_t len = col.GetBytes(r).size();
        n += VarLen(len) + len;
      }
    } else {
      n += rows.size() * MaxValueBytes(col.Storage());
    }
  }
  return n;
}

void EncodeColumns(ByteWriter& w, const ColumnTable& table, std::span<const std::uint32_t> rows,
                   std::span<const std::uint32_t> columns) {
  w.Out().reserve(w.Out().size() + EncodedBound(table, rows, columns));
  std::vector<std::int64_t> ints;
  for (std::uint32_t ci : columns) {
    const Column& col = table.Col(ci);
    std::size_t encPos = w.Out().size();
    w.U8(0);
    std::uint8_t enc = 0;
    bool anyNull = false;
    for (std::uint32_t r : rows) {
      if (col.IsNull(r)) {
        anyNull = true;
        break;
      }
    }
    if (anyNull) {
      enc |= kEncNulls;
      std::size_t start = w.Out().size();
      w.Out().resize(start + (rows.size() + 7) / 8, 0);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (col.IsNull(rows[i])) w.Out()[start + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
      }
    }
    switch (col.Storage()) {
      case TStorage::Bytes: {
        w.Out()[encPos] = enc;
        std::size_t total = 0;
        for (std::uint32_t r : rows) {
          if (!col.IsNull(r)) {
            std::size_t n = col.GetBytes(r).size();
            total += VarLen(n) + n;
          }
        }
        std::uint8_t* out = w.Grow(total);
        for (std::uint32_t r : rows) {
          if (col.IsNull(r)) continue;
          std::string_view b = col.GetBytes(r);
          out = ByteWriter::PutVarUInt(out, b.size());
          std::memcpy(out, b.data(), b.size());
          out += b.size();
        }
        break;
      }
      case TStorage::Float64: {
        double scale = FloatScale(col.Type());
        bool asInt = true;
        ints.clear();
        for (std::uint32_t r : rows) {
          if (col.IsNull(r)) continue;
          double v = col.GetFloat(r);
          double s = v * scale;
          if (!(std::fabs(s) < 9.0e15)) {
            asInt = false;
            break;
          }
          auto m = static_cast<std::int64_t>(std::llround(s));
          if (static_cast<double>(m) / scale != v) {
            asInt = false;
            break;
          }
          ints.push_back(m);
        }
        if (asInt) {
          WriteInts(w, static_cast<std::uint8_t>(enc | kEncFloatAsInt), ints, encPos);
        } else {
          w.Out()[encPos] = enc;
          for (std::uint32_t r : rows) {
            if (col.IsNull(r)) continue;
            double v = col.GetFloat(r);
            std::uint64_t bits;
            std::memcpy(&bits, &v, 8);
            for (int i = 0; i < 8; ++i) w.U8(static_cast<std::uint8_t>(bits >> (8 * i)));
          }
        }
        break;
      }
      default:
        ints.clear();
        for (std::uint32_t r : rows) {
          if (!col.IsNull(r)) ints.push_back(col.GetInt(r));
        }
        WriteInts(w, enc, ints, encPos);
        break;
    }
  }
}

std::size_t CheckedRowCount(ByteReader& r, std::uint64_t rows, std::size_t columns, const char* what) {
  if (rows > kMaxRows) throw Error(std::string("Packet ") + what + " is out of range");
  if (columns == 0 && rows != 0) throw Error(std::string("Packet has rows but no fields"));
  // Every column spends at least one bit per row (a null mark) or one byte per value.
  if (columns != 0 && (rows + 7) / 8 * columns > r.Remaining()) {
    throw Error(std::string("Packet ") + what + " exceeds the packet's length");
  }
  return static_cast<std::size_t>(rows);
}

void DecodeColumns(ByteReader& r, ColumnTable& table, std::size_t rows) {
  for (std::size_t ci = 0; ci < table.ColumnCount(); ++ci) {
    Column& col = table.Col(ci);
    const std::string& name = table.Defs()[ci].Name;
    std::uint8_t enc = r.U8("a column encoding");
    if ((enc & ~kEncKnown) != 0) throw Error("Packet column '" + name + "' has an unknown encoding");
    bool floatAsInt = (enc & kEncFloatAsInt) != 0;
    int p = (enc & kEncScaleMask) >> kEncScaleShift;
    if (p > 4) throw Error("Packet column '" + name + "' has an unknown encoding");
    if (col.Storage() == TStorage::Bytes && (enc & ~kEncNulls) != 0) {
      throw Error("Packet column '" + name + "' has an encoding that does not fit its type");
    }
    if (col.Storage() == TStorage::Float64 && !floatAsInt && (enc & ~kEncNulls) != 0) {
      throw Error("Packet column '" + name + "' has an encoding that does not fit its type");
    }
    if (col.Storage() != TStorage::Float64 && floatAsInt) {
      throw Error("Packet column '" + name + "' has an encoding that does not fit its type");
    }

    // Null marks.
    auto& bits = col.NullBits();
    bits.assign((rows + 63) / 64, 0);
    std::size_t values = rows;
    if (enc & kEncNulls) {
      const std::uint8_t* bm = r.Take((rows + 7) / 8, "a null bitmap");
      for (std::size_t i = 0; i < (rows + 7) / 8; ++i) {
        bits[i / 8] |= static_cast<std::uint64_t>(bm[i]) << (8 * (i % 8));
      }
      if (rows % 8 != 0 && (bm[rows / 8] >> (rows % 8)) != 0) {
        throw Error("Packet column '" + name + "' has null marks past its last row");
      }
      values = 0;
      for (std::size_t i = 0; i < bits.size(); ++i)
        values += static_cast<std::size_t>(__builtin_popcountll(~bits[i]));
      values -= bits.size() * 64 - rows;  // bits past the end are zero and were counted as values
    }
    if (values > r.Remaining()) throw Error("Packet column '" + name + "' has more values than bytes");
    col.SetRows(rows);
    const bool hasNulls = (enc & kEncNulls) != 0;

    if (col.Storage() == TStorage::Bytes) {
      // First pass: lengths within the packet; then one allocation of the exact arena size.
      ByteReader probe = r;
      std::uint64_t total = 0;
      for (std::size_t i = 0; i < values; ++i) {
        std::uint64_t len = probe.VarUInt("a text length");
        probe.Take(len, "a text value");
        total += len;
      }
      if (total > std::numeric_limits<std::uint32_t>::max()) throw Error("Packet column is larger than 4 GB");
      auto& offsets = col.Offsets();
      auto& arena = col.Arena();
      offsets.assign(rows + 1, 0);
      arena.resize(total);
      std::uint32_t at = 0;
      for (std::size_t i = 0; i < rows; ++i) {
        if (!(hasNulls && col.IsNull(i))) {
          std::uint64_t len = r.VarUInt("a text length");
          const std::uint8_t* src = r.Take(len, "a text value");
          std::memcpy(arena.data() + at, src, len);
          at += static_cast<std::uint32_t>(len);
        }
        offsets[i + 1] = at;
      }
      continue;
    }

    std::size_t width = StorageWidth(col.Storage());
    auto& fixed = col.Fixed();
    fixed.assign(rows * width, 0);
    if (col.Storage() == TStorage::Float64 && !floatAsInt) {
      for (std::size_t i = 0; i < rows; ++i) {
        if (hasNulls && col.IsNull(i)) continue;
        const std::uint8_t* b = r.Take(8, "a float value");
        std::uint64_t u = 0;
        for (int k = 0; k < 8; ++k) u |= static_cast<std::uint64_t>(b[k]) << (8 * k);
        double v;
        std::memcpy(&v, &u, 8);
        if (!std::isfinite(v)) throw Error("Packet column '" + name + "' holds a value that is not a number");
        std::memcpy(fixed.data() + i * 8, &v, 8);
      }
      continue;
    }

    const bool delta = (enc & kEncDelta) != 0;
    const std::int64_t mul = kPow10[p];
    const std::int64_t lo = floatAsInt ? -(std::int64_t{1} << 53) : StorageMin(col.Storage());
    const std::int64_t hi = floatAsInt ? (std::int64_t{1} << 53) : StorageMax(col.Storage());
    const double scale = FloatScale(col.Type());
    const TFieldType type = col.Type();
    const bool checkType = type == TFieldType::ftDate || type == TFieldType::ftTime;
    std::int64_t prev = 0;
    for (std::size_t i = 0; i < rows; ++i) {
      if (hasNulls && col.IsNull(i)) continue;
      std::int64_t v = UnZigZag(r.VarUInt("an integer value"));
      if (delta) {
        v = static_cast<std::int64_t>(static_cast<std::uint64_t>(prev) + static_cast<std::uint64_t>(v));
        prev = v;
      }
      std::int64_t full;
      if (__builtin_mul_overflow(v, mul, &full) || full < lo || full > hi) {
        throw Error("Packet value out of range in field '" + name + "'");
      }
      if (checkType) CheckTypeRange(type, full, name);
      if (floatAsInt) {
        double d = static_cast<double>(full) / scale;
        std::memcpy(fixed.data() + i * 8, &d, 8);
      } else {
        switch (width) {
          case 1:
            fixed[i] = static_cast<std::uint8_t>(full);
            break;
          case 2: {
            auto x = static_cast<std::uint16_t>(full);
            std::memcpy(fixed.data() + i * 2, &x, 2);
            break;
          }
          case 4: {
            auto x = static_cast<std::int32_t>(full);
            std::memcpy(fixed.data() + i * 4, &x, 4);
            break;
          }
          default:
            std::memcpy(fixed.data() + i * 8, &full, 8);
            break;
        }
      }
    }
  }
  table.SetRowCount(rows);
}

std::span<const std::uint8_t> SpanOf(const Variant& packet) {
  if (!packet.IsBytes()) {
    throw Error(std::string("A data packet must be a byte array, not ") + VarTypeName(packet.Type()));
  }
  const auto& b = packet.AsBytes().bytes;
  return {b.data(), b.size()};
}

std::vector<std::uint8_t> BytesOf(const Variant& packet) {
  auto s = SpanOf(packet);
  return {s.begin(), s.end()};
}

}  // namespace packet

using namespace packet;

namespace {

std::vector<std::uint32_t> AllRows(std::size_t n) {
  std::vector<std::uint32_t> rows(n);
  std::iota(rows.begin(), rows.end(), 0u);
  return rows;
}

std::unique_ptr<ColumnTable> TableOf(const std::vector<TFieldDef>& defs) {
  return std::make_unique<ColumnTable>(defs);
}

void CheckAtEnd(const ByteReader& r) {
  if (!r.AtEnd())
    throw Error("Packet has " + IntToStr(static_cast<std::int64_t>(r.Remaining())) + " bytes past its end");
}

Variant AsVariant(std::vector<std::uint8_t> bytes) {
  return Variant::Bytes(std::move(bytes), 0);
}

}  // namespace

bool LooksLikePacket(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 4 && std::memcmp(bytes.data(), "SWDP", 4) == 0;
}

// ---- PacketWriter ----

PacketWriter::PacketWriter() : table_(std::make_unique<ColumnTable>()) {}
PacketWriter::PacketWriter(std::vector<TFieldDef> fields) : table_(std::make_unique<ColumnTable>()) {
  for (const auto& f : fields) AddField(f);  // the same checks as one by one
}
PacketWriter::~PacketWriter() = default;
PacketWriter::PacketWriter(PacketWriter&&) noexcept = default;
PacketWriter& PacketWriter::operator=(PacketWriter&&) noexcept = default;

void PacketWriter::AddField(std::string name, TFieldType type, int size, bool required) {
  TFieldDef d;
  d.Name = std::move(name);
  d.DataType = type;
  d.Size = size;
  d.Required = required;
  AddField(d);
}

void PacketWriter::AddField(const TFieldDef& def) {
  if (table_->RowCount() != 0 || column_ != 0) throw Error("Fields cannot be added after the first row");
  if (table_->ColumnCount() >= kMaxFields) throw Error("Too many fields for a packet");
  if (def.Name.size() > kMaxNameBytes) throw Error("Field name is too long for a packet");
  if (!IsValidFieldType(static_cast<int>(def.DataType)))
    throw Error("Field '" + def.Name + "' has no valid type");
  table_->AddColumn(def);
}

const std::vector<TFieldDef>& PacketWriter::Fields() const {
  return table_->Defs();
}

// Each value is appended to its own column as it comes; the table counts the row once EndRow has checked it
// complete. A value that is refused appends nothing, so the row stays where it was.
template <class AppendFn>
void PacketWriter::Put(AppendFn&& append) {
  CheckOpenRow();
  append(table_->Col(column_));
  ++column_;
}

void PacketWriter::CheckOpenRow() {
  if (table_->ColumnCount() == 0) throw Error("Packet has no fields");
  if (column_ >= table_->ColumnCount()) throw Error("Row has more values than the packet has fields");
  if (column_ == 0 && table_->RowCount() >= std::numeric_limits<std::uint32_t>::max() - 1) {
    throw Error("Too many rows");
  }
}

void PacketWriter::AddNull() {
  Put([](Column& c) { c.AppendNull(); });
}

void PacketWriter::AddInt(std::int64_t v) {
  Put([v](Column& c) { c.AppendValue(Variant(v)); });
}

void PacketWriter::AddFloat(double v) {
  Put([v](Column& c) { c.AppendValue(Variant(v)); });
}

void PacketWriter::AddCurrency(Currency v) {
  Put([v](Column& c) { c.AppendValue(Variant(v)); });
}

void PacketWriter::AddBool(bool v) {
  Put([v](Column& c) { c.AppendValue(Variant(v)); });
}

void PacketWriter::AddDateTime(TDateTime v) {
  Put([v](Column& c) { c.AppendValue(Variant::Date(v)); });
}

void PacketWriter::AddText(std::string_view v) {
  Put([v](Column& c) {
    if (c.Storage() == TStorage::Bytes) {
      c.AppendBytes(v);
    } else {
      c.AppendValue(Variant(v));
    }
  });
}

void PacketWriter::Add(const Variant& v) {
  Put([&v](Column& c) { c.AppendValue(v); });
}

void PacketWriter::EndRow() {
  if (column_ != table_->ColumnCount()) {
    throw Error("Row has " + IntToStr(static_cast<std::int64_t>(column_)) + " values for " +
                IntToStr(static_cast<std::int64_t>(table_->ColumnCount())) + " fields");
  }
  table_->SetRowCount(table_->RowCount() + 1);
  column_ = 0;
}

std::size_t PacketWriter::RowCount() const {
  return table_->RowCount();
}

std::vector<std::uint8_t> PacketWriter::Finish() {
  if (column_ != 0) throw Error("Packet cannot be finished inside a row");
  std::vector<std::uint8_t> out;
  ByteWriter w(out);
  auto cols = AllRows(table_->ColumnCount());
  WriteHeader(w, kKindData, table_->Defs(), cols);
  w.VarUInt(table_->RowCount());
  auto rows = AllRows(table_->RowCount());
  EncodeColumns(w, *table_, rows, cols);
  table_->Clear();
  return out;
}

Variant PacketWriter::FinishVariant() {
  return AsVariant(Finish());
}

void PacketWriter::FinishTo(const std::function<void(std::span<const std::uint8_t>)>& piece) {
  if (column_ != 0) throw Error("Packet cannot be finished inside a row");
  std::vector<std::uint8_t> out;
  ByteWriter w(out);
  const auto cols = AllRows(table_->ColumnCount());
  WriteHeader(w, kKindData, table_->Defs(), cols);
  w.VarUInt(table_->RowCount());
  piece(out);
  const auto rows = AllRows(table_->RowCount());
  for (const std::uint32_t c : cols) {
    out.clear();
    EncodeColumns(w, *table_, rows, std::span<const std::uint32_t>(&c, 1));
    piece(out);
  }
  table_->Clear();
}

// ---- PacketReader ----

PacketReader::PacketReader(std::span<const std::uint8_t> bytes) {
  ByteReader r(bytes);
  auto defs = ReadHeader(r, kKindData);
  auto table = TableOf(defs);
  std::size_t rows = CheckedRowCount(r, r.VarUInt("the row count"), defs.size(), "row count");
  DecodeColumns(r, *table, rows);
  CheckAtEnd(r);
  table_ = std::move(table);
}

PacketReader::PacketReader(const Variant& packet) : PacketReader(SpanOf(packet)) {}
PacketReader::~PacketReader() = default;
PacketReader::PacketReader(PacketReader&&) noexcept = default;
PacketReader& PacketReader::operator=(PacketReader&&) noexcept = default;

const std::vector<TFieldDef>& PacketReader::Fields() const {
  return table_->Defs();
}
int PacketReader::FieldIndex(std::string_view name) const {
  return table_->IndexOf(name);
}
std::size_t PacketReader::RowCount() const {
  return table_->RowCount();
}

bool PacketReader::IsNull(std::size_t row, std::size_t field) const {
  if (row >= table_->RowCount() || field >= table_->ColumnCount())
    throw Error("Packet row or field out of range");
  return table_->Col(field).IsNull(row);
}

Variant PacketReader::Value(std::size_t row, std::size_t field) const {
  if (row >= table_->RowCount() || field >= table_->ColumnCount())
    throw Error("Packet row or field out of range");
  return table_->Col(field).Get(row);
}

std::unique_ptr<ColumnTable> PacketReader::TakeTable() {
  if (!table_) throw Error("Packet table was already taken");
  auto t = std::move(table_);
  table_ = std::make_unique<ColumnTable>(t->Defs());
  return t;
}

// ---- DeltaWriter ----

DeltaWriter::DeltaWriter(std::vector<TFieldDef> fields) {
  // The fields get the checks PacketWriter gives them, so a delta is never written that no reader accepts.
  PacketWriter check(fields);
  old_ = std::make_unique<ColumnTable>(check.Fields());
  new_ = std::make_unique<ColumnTable>(check.Fields());
}

DeltaWriter::~DeltaWriter() = default;

void DeltaWriter::AddChange(TUpdateKind kind, std::span<const Variant> oldValues,
                            std::span<const Variant> newValues) {
  std::size_t n = old_->ColumnCount();
  bool wantOld = kind != TUpdateKind::ukInsert, wantNew = kind != TUpdateKind::ukDelete;
  if ((wantOld && oldValues.size() != n) || (wantNew && newValues.size() != n)) {
    throw Error("A change needs one value per field");
  }
  // Convert both rows before keeping either, so a bad value leaves the writer unchanged.
  if (wantOld) {
    old_->AppendNullRow();
    try {
      for (std::size_t i = 0; i < n; ++i) old_->Col(i).Set(old_->RowCount() - 1, oldValues[i]);
    } catch (...) {
      old_->PopBack();
      throw;
    }
  }
  if (wantNew) {
    new_->AppendNullRow();
    try {
      for (std::size_t i = 0; i < n; ++i) new_->Col(i).Set(new_->RowCount() - 1, newValues[i]);
    } catch (...) {
      new_->PopBack();
      if (wantOld) old_->PopBack();
      throw;
    }
  }
  kinds_.push_back(kind);
}

void DeltaWriter::AddChange(TUpdateKind kind, const ColumnTable* oldTable, std::uint32_t oldRow,
                            const ColumnTable* newTable, std::uint32_t newRow) {
  bool wantOld = kind != TUpdateKind::ukInsert, wantNew = kind != TUpdateKind::ukDelete;
  if ((wantOld && !oldTable) || (wantNew && !newTable)) throw Error("A change lacks its values");
  if (wantOld) old_->AppendCopy(*oldTable, oldRow);
  if (wantNew) new_->AppendCopy(*newTable, newRow);
  kinds_.push_back(kind);
}

std::vector<std::uint8_t> DeltaWriter::Finish() {
  std::vector<std::uint8_t> out;
  ByteWriter w(out);
  auto cols = AllRows(old_->ColumnCount());
  WriteHeader(w, kKindDelta, old_->Defs(), cols);
  w.VarUInt(kinds_.size());
  for (TUpdateKind k : kinds_) w.U8(static_cast<std::uint8_t>(k));
  EncodeColumns(w, *old_, AllRows(old_->RowCount()), cols);
  EncodeColumns(w, *new_, AllRows(new_->RowCount()), cols);
  kinds_.clear();
  old_->Clear();
  new_->Clear();
  return out;
}

Variant DeltaWriter::FinishVariant() {
  return AsVariant(Finish());
}

// ---- DeltaReader ----

DeltaReader::DeltaReader(std::span<const std::uint8_t> bytes) {
  ByteReader r(bytes);
  auto defs = ReadHeader(r, kKindDelta);
  std::uint64_t count = r.VarUInt("the change count");
  if (count > r.Remaining()) throw Error("Packet change count exceeds the packet's length");
  const std::uint8_t* kinds = r.Take(static_cast<std::size_t>(count), "the change kinds");
  std::vector<TUpdateKind> k;
  std::vector<std::uint32_t> oldRow, newRow;
  k.reserve(count);
  std::uint32_t nOld = 0, nNew = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (kinds[i] > 2) throw Error("Packet has an unknown change kind " + IntToStr(kinds[i]));
    auto kind = static_cast<TUpdateKind>(kinds[i]);
    k.push_back(kind);
    oldRow.push_back(kind != TUpdateKind::ukInsert ? nOld++ : UINT32_MAX);
    newRow.push_back(kind != TUpdateKind::ukDelete ? nNew++ : UINT32_MAX);
  }
  if (defs.empty() && count != 0) throw Error("Delta packet has changes but no fields");
  auto oldT = TableOf(defs), newT = TableOf(defs);
  DecodeColumns(r, *oldT, CheckedRowCount(r, nOld, defs.size(), "original rows"));
  DecodeColumns(r, *newT, CheckedRowCount(r, nNew, defs.size(), "new rows"));
  CheckAtEnd(r);
  kinds_ = std::move(k);
  oldRow_ = std::move(oldRow);
  newRow_ = std::move(newRow);
  old_ = std::move(oldT);
  new_ = std::move(newT);
}

DeltaReader::DeltaReader(const Variant& packet) : DeltaReader(SpanOf(packet)) {}
DeltaReader::~DeltaReader() = default;
DeltaReader::DeltaReader(DeltaReader&&) noexcept = default;
DeltaReader& DeltaReader::operator=(DeltaReader&&) noexcept = default;

const std::vector<TFieldDef>& DeltaReader::Fields() const {
  return old_->Defs();
}
int DeltaReader::FieldIndex(std::string_view name) const {
  return old_->IndexOf(name);
}
std::size_t DeltaReader::Count() const {
  return kinds_.size();
}

TUpdateKind DeltaReader::Kind(std::size_t change) const {
  if (change >= kinds_.size()) throw Error("Change index out of range");
  return kinds_[change];
}

Variant DeltaReader::OldValue(std::size_t change, std::size_t field) const {
  if (change >= kinds_.size() || field >= old_->ColumnCount())
    throw Error("Change or field index out of range");
  if (oldRow_[change] == UINT32_MAX) return Variant::Null();
  return old_->Col(field).Get(oldRow_[change]);
}

Variant DeltaReader::NewValue(std::size_t change, std::size_t field) const {
  if (change >= kinds_.size() || field >= new_->ColumnCount())
    throw Error("Change or field index out of range");
  if (newRow_[change] == UINT32_MAX) return Variant::Null();
  return new_->Col(field).Get(newRow_[change]);
}

bool DeltaReader::Changed(std::size_t change, std::size_t field) const {
  switch (Kind(change)) {
    case TUpdateKind::ukInsert:
      return !NewValue(change, field).IsNull();
    case TUpdateKind::ukDelete:
      return false;
    case TUpdateKind::ukModify:
      return !(OldValue(change, field) == NewValue(change, field));
  }
  return false;
}

}  // namespace sw
