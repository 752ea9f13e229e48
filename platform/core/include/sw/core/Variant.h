#pragma once
// The variant value that crosses every interface: remote-call arguments and results, field values, session
// values. Kinds: empty, null, 16/32/64-bit integers, double, currency, date, boolean, text (UTF-8), byte
// array with a lower bound, and variant array with a lower bound.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sw/core/DateTime.h"

namespace sw {

// Currency: a 64-bit integer scaled by 10,000 (four fixed decimals).
struct Currency {
  std::int64_t scaled = 0;
  static Currency FromDouble(double v);
  static Currency FromUnits(std::int64_t units) { return Currency{units * 10000}; }
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  // Up to four decimals, trailing zeros dropped: 12.5, 3, -0.0001.
  std::string ToString() const;
  friend bool operator==(Currency a, Currency b) { return a.scaled == b.scaled; }
};

enum class VarType : std::uint8_t {
  Empty = 0,
  Null = 1,
  Int16 = 2,
  Int32 = 3,
  Int64 = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  Boolean = 8,
  Text = 9,
  ByteArray = 10,
  Array = 11,
};

const char* VarTypeName(VarType t);

class Variant;

struct ByteArray {
  std::int32_t low = 0;
  std::vector<std::uint8_t> bytes;
  std::int32_t High() const { return low + static_cast<std::int32_t>(bytes.size()) - 1; }
  friend bool operator==(const ByteArray&, const ByteArray&) = default;
};

struct VariantArray {
  std::int32_t low = 0;
  std::vector<Variant> items;
  std::int32_t High() const;  // defined below, where Variant is complete
  // Element by its index within the bounds; throws sw::Error outside them.
  const Variant& At(std::int32_t index) const;
  Variant& At(std::int32_t index);
  friend bool operator==(const VariantArray&, const VariantArray&);
};

struct NullValue {
  friend bool operator==(NullValue, NullValue) { return true; }
};
struct DateValue {
  TDateTime value = 0;
  friend bool operator==(DateValue a, DateValue b) { return a.value == b.value; }
};

class Variant {
 public:
  Variant() = default;
  Variant(std::int16_t v) : v_(v) {}
  Variant(std::int32_t v) : v_(v) {}
  Variant(std::int64_t v) : v_(v) {}
  Variant(double v) : v_(v) {}
  Variant(Currency v) : v_(v) {}
  Variant(bool v) : v_(v) {}
  Variant(const char* v) : v_(std::string(v)) {}
  Variant(std::string v) : v_(std::move(v)) {}
  Variant(std::string_view v) : v_(std::string(v)) {}
  Variant(ByteArray v) : v_(std::move(v)) {}
  Variant(VariantArray v) : v_(std::move(v)) {}

  static Variant Null() { return Variant(NullValue{}); }
  static Variant Date(TDateTime v) { return Variant(DateValue{v}); }
  static Variant Bytes(std::vector<std::uint8_t> bytes, std::int32_t low = 0) {
    return Variant(ByteArray{low, std::move(bytes)});
  }
  static Variant Bytes(std::string_view bytes, std::int32_t low = 0);
  static Variant Array(std::vector<Variant> items, std::int32_t low = 0);

  VarType Type() const { return static_cast<VarType>(v_.index()); }
  bool IsEmpty() const { return Type() == VarType::Empty; }
  bool IsNull() const { return Type() == VarType::Null; }
  // Empty or null: "no value" for the platform's VarIsNull/VarIsEmpty tests taken together.
  bool IsBlank() const { return IsEmpty() || IsNull(); }
  bool IsNumeric() const;  // integers, double, currency
  bool IsText() const { return Type() == VarType::Text; }
  bool IsArray() const { return Type() == VarType::Array; }
  bool IsBytes() const { return Type() == VarType::ByteArray; }

  // Conversions as the platform's variant conversions do them. Empty converts to 0 / "" / false; null to ""
  // for text and raises sw::Error for numbers; texts are parsed and raise sw::Error when not numeric.
  std::string ToString() const;
  std::int64_t ToInt64() const;
  std::int32_t ToInt32() const;
  double ToDouble() const;
  Currency ToCurrency() const;
  TDateTime ToDateTime() const;
  bool ToBool() const;

  // Direct access; throws sw::Error when the kind differs.
  const std::string& AsText() const;
  const ByteArray& AsBytes() const;
  const VariantArray& AsArray() const;
  VariantArray& AsArray();
  // The bytes of a byte array as a string (empty for empty/null).
  std::string BytesAsString() const;

  friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

 private:
  explicit Variant(NullValue n) : v_(n) {}
  explicit Variant(DateValue d) : v_(d) {}

  std::variant<std::monostate, NullValue, std::int16_t, std::int32_t, std::int64_t, double, Currency,
               DateValue, bool, std::string, ByteArray, VariantArray>
      v_;
};

inline std::int32_t VariantArray::High() const {
  return low + static_cast<std::int32_t>(items.size()) - 1;
}

inline bool operator==(const VariantArray& a, const VariantArray& b) {
  return a.low == b.low && a.items == b.items;
}

}  // namespace sw
