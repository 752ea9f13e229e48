#pragma once
// Field storage kinds, field kinds and field definitions of the in-memory client data set and its packets.
#include <cstdint>
#include <string>

namespace sw {

// Storage kind of a field. The numbers are written into data packets and never change.
enum class TFieldType : std::uint8_t {
  ftUnknown = 0,
  ftString = 1,      // text
  ftWideString = 2,  // text (wide on the wire, UTF-8 here)
  ftSmallint = 3,    // 16-bit signed integer
  ftInteger = 4,     // 32-bit signed integer
  ftWord = 5,        // 16-bit unsigned integer
  ftLargeint = 6,    // 64-bit signed integer
  ftFloat = 7,       // double
  ftCurrency = 8,    // 64-bit integer scaled by 10,000
  ftBCD = 9,         // decimal held as currency (four decimals)
  ftBoolean = 10,
  ftDate = 11,      // whole days
  ftTime = 12,      // milliseconds of the day
  ftDateTime = 13,  // days since 1899-12-30 with the time as fraction
  ftBlob = 14,      // bytes
  ftMemo = 15,      // long text
  ftFmtMemo = 16,   // formatted long text
  ftGraphic = 17,   // picture bytes
};

constexpr int kLastFieldType = 17;

// Data field (stored and sent), calculated field or lookup field (held locally, never sent in a packet).
enum class TFieldKind : std::uint8_t { fkData = 0, fkCalculated = 1, fkLookup = 2 };

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftString;
  int Size = 0;  // characters of a text field; 0 elsewhere
  bool Required = false;
  bool ReadOnly = false;
  TFieldKind Kind = TFieldKind::fkData;
};

// "ftString", "ftInteger", ...
const char* FieldTypeName(TFieldType t);
bool IsValidFieldType(int code);
// Text held as characters: string, wide string, memo, formatted memo.
bool IsTextFieldType(TFieldType t);
// Binary large objects: blob, memo, formatted memo, graphic.
bool IsBlobFieldType(TFieldType t);
// Small integer, integer, word, large integer.
bool IsIntegerFieldType(TFieldType t);
// Integers, float, currency, BCD.
bool IsNumericFieldType(TFieldType t);
// Date, time, date-time.
bool IsDateTimeFieldType(TFieldType t);

}  // namespace sw
