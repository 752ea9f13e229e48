#pragma once
// Data packets and delta packets of the client data set (byte layout in docs/packet-format.md).
//
// A data packet holds field definitions and rows; a delta packet holds, for every change of a change log, its
// kind, the original values (modify, delete) and the new values (insert, modify). The application server
// writes data packets from query results with PacketWriter and reads the deltas it is sent with DeltaReader;
// neither needs a TClientDataSet. Every reader refuses a malformed packet with sw::Error before it allocates
// memory that the packet's own length cannot justify.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/Variant.h"
#include "sw/dataset/FieldTypes.h"

namespace sw {

class ColumnTable;

// Kind of one change of a change log, as the data set reports it and as the delta packet carries it.
enum class TUpdateKind : std::uint8_t { ukModify = 0, ukInsert = 1, ukDelete = 2 };

constexpr std::uint16_t kPacketVersion = 1;

// Builds a data packet row by row. Values are given in field order; each Add... call fills the next field of
// the current row and EndRow closes it. A value that does not fit its field's kind raises sw::Error.
//
//   PacketWriter w;
//   w.AddField("UserID", TFieldType::ftLargeint);
//   w.AddField("UserName", TFieldType::ftString, 40);
//   w.AddInt(7); w.AddText("张三"); w.EndRow();
//   Variant packet = w.FinishVariant();
class PacketWriter {
 public:
  PacketWriter();
  explicit PacketWriter(std::vector<TFieldDef> fields);
  ~PacketWriter();
  PacketWriter(PacketWriter&&) noexcept;
  PacketWriter& operator=(PacketWriter&&) noexcept;

  // Adds a field; only before the first value. Names must be unique without regard to case.
  void AddField(std::string name, TFieldType type, int size = 0, bool required = false);
  void AddField(const TFieldDef& def);
  const std::vector<TFieldDef>& Fields() const;

  void AddNull();
  void AddInt(std::int64_t v);    // integer fields; also currency, BCD and float fields
  void AddFloat(double v);        // float, currency, BCD, date-time fields
  void AddCurrency(Currency v);   // currency, BCD, float fields
  void AddBool(bool v);           // boolean fields
  void AddDateTime(TDateTime v);  // date, time, date-time fields (date keeps the day, time the time of day)
  void AddText(std::string_view v);  // text, memo, blob fields; other kinds parse the text as Variant does
  void Add(const Variant& v);        // any variant, converted to the field's kind; empty and null add a null
  void EndRow();                     // raises sw::Error when the row is not complete

  std::size_t RowCount() const;
  // The packet bytes; the writer is empty afterwards (fields are kept).
  std::vector<std::uint8_t> Finish();
  // The packet as a byte-array variant with lower bound 0, as GetData returns it.
  Variant FinishVariant();
  // The same bytes handed to `piece` in order, a column at a time (for a consumer such as a compressor that
  // need not hold the whole packet); each piece is valid only during its call.
  void FinishTo(const std::function<void(std::span<const std::uint8_t>)>& piece);

 private:
  void CheckOpenRow();
  template <class AppendFn>
  void Put(AppendFn&& append);
  std::unique_ptr<ColumnTable> table_;
  std::size_t column_ = 0;  // next field of the current row
};

// Reads a whole data packet into memory; rows and fields by index.
class PacketReader {
 public:
  explicit PacketReader(std::span<const std::uint8_t> bytes);
  explicit PacketReader(const Variant& packet);  // a byte array; anything else raises sw::Error
  ~PacketReader();
  PacketReader(PacketReader&&) noexcept;
  PacketReader& operator=(PacketReader&&) noexcept;

  const std::vector<TFieldDef>& Fields() const;
  int FieldIndex(std::string_view name) const;  // -1 when absent; case-insensitive
  std::size_t RowCount() const;
  bool IsNull(std::size_t row, std::size_t field) const;
  Variant Value(std::size_t row, std::size_t field) const;
  // The decoded table (used by the data set to adopt the rows without copying them again).
  std::unique_ptr<ColumnTable> TakeTable();

 private:
  std::unique_ptr<ColumnTable> table_;
};

// Reads a delta packet: one entry per change in the order the changes were made.
class DeltaReader {
 public:
  explicit DeltaReader(std::span<const std::uint8_t> bytes);
  explicit DeltaReader(const Variant& packet);
  ~DeltaReader();
  DeltaReader(DeltaReader&&) noexcept;
  DeltaReader& operator=(DeltaReader&&) noexcept;

  const std::vector<TFieldDef>& Fields() const;
  int FieldIndex(std::string_view name) const;  // -1 when absent; case-insensitive
  std::size_t Count() const;
  TUpdateKind Kind(std::size_t change) const;
  // The value the row had when it was loaded (modify, delete); null for an insert.
  Variant OldValue(std::size_t change, std::size_t field) const;
  // The value the row has now (insert, modify); null for a delete.
  Variant NewValue(std::size_t change, std::size_t field) const;
  // Insert: the new value is not null. Modify: old and new values differ. Delete: false.
  bool Changed(std::size_t change, std::size_t field) const;

 private:
  std::vector<TUpdateKind> kinds_;
  std::vector<std::uint32_t> oldRow_, newRow_;  // row of each change in the old/new tables (or none)
  std::unique_ptr<ColumnTable> old_, new_;
};

// Builds a delta packet change by change (the data set writes its change log with it; tests and tools may
// too).
class DeltaWriter {
 public:
  explicit DeltaWriter(std::vector<TFieldDef> fields);
  ~DeltaWriter();
  // `oldValues` for modify and delete, `newValues` for insert and modify, each one value per field.
  void AddChange(TUpdateKind kind, std::span<const Variant> oldValues, std::span<const Variant> newValues);
  // Same, copying rows of tables that have this writer's fields (the data set's own path).
  void AddChange(TUpdateKind kind, const ColumnTable* oldTable, std::uint32_t oldRow,
                 const ColumnTable* newTable, std::uint32_t newRow);
  std::size_t Count() const { return kinds_.size(); }
  std::vector<std::uint8_t> Finish();
  Variant FinishVariant();

 private:
  std::vector<TUpdateKind> kinds_;
  std::unique_ptr<ColumnTable> old_, new_;
};

// True when the bytes start like a packet of this format (magic); says nothing about the rest.
bool LooksLikePacket(std::span<const std::uint8_t> bytes);

}  // namespace sw
