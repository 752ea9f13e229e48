#include "sw/core/Variant.h"

#include <cmath>
#include <limits>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {

Currency Currency::FromDouble(double v) {
  double scaled = std::nearbyint(v * 10000.0);
  if (!(std::fabs(scaled) < 9.2e18)) throw Error("Currency value out of range");
  return Currency{static_cast<std::int64_t>(scaled)};
}

std::string Currency::ToString() const {
  std::int64_t a = scaled < 0 ? -scaled : scaled;
  std::string s = std::to_string(a / 10000);
  std::int64_t frac = a % 10000;
  if (frac != 0) {
    std::string f = PadNumber(frac, 4);
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return scaled < 0 ? "-" + s : s;
}

const char* VarTypeName(VarType t) {
  switch (t) {
    case VarType::Empty:
      return "empty";
    case VarType::Null:
      return "null";
    case VarType::Int16:
      return "int16";
    case VarType::Int32:
      return "int32";
    case VarType::Int64:
      return "int64";
    case VarType::Double:
      return "double";
    case VarType::Currency:
      return "currency";
    case VarType::Date:
      return "date";
    case VarType::Boolean:
      return "boolean";
    case VarType::Text:
      return "text";
    case VarType::ByteArray:
      return "bytearray";
    case VarType::Array:
      return "array";
  }
  return "unknown";
}

const Variant& VariantArray::At(std::int32_t index) const {
  if (index < low || index > High()) throw Error("Variant array index out of bounds");
  return items[static_cast<std::size_t>(index - low)];
}

Variant& VariantArray::At(std::int32_t index) {
  if (index < low || index > High()) throw Error("Variant array index out of bounds");
  return items[static_cast<std::size_t>(index - low)];
}

Variant Variant::Bytes(std::string_view bytes, std::int32_t low) {
  return Variant(ByteArray{low, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
}

Variant Variant::Array(std::vector<Variant> items, std::int32_t low) {
  return Variant(VariantArray{low, std::move(items)});
}

bool Variant::IsNumeric() const {
  switch (Type()) {
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
    case VarType::Double:
    case VarType::Currency:
      return true;
    default:
      return false;
  }
}

namespace {
[[noreturn]] void CannotConvert(VarType from, const char* to) {
  throw Error(std::string("Could not convert variant of type (") + VarTypeName(from) + ") into type (" + to +
              ")");
}
}  // namespace

std::string Variant::ToString() const {
  switch (Type()) {
    case VarType::Empty:
    case VarType::Null:
      return {};
    case VarType::Int16:
      return IntToStr(std::get<std::int16_t>(v_));
    case VarType::Int32:
      return IntToStr(std::get<std::int32_t>(v_));
    case VarType::Int64:
      return IntToStr(std::get<std::int64_t>(v_));
    case VarType::Double:
      return FloatToStr(std::get<double>(v_));
    case VarType::Currency:
      return std::get<Currency>(v_).ToString();
    case VarType::Date:
      return DateTimeToStr(std::get<DateValue>(v_).value);
    case VarType::Boolean:
      return std::get<bool>(v_) ? "True" : "False";
    case VarType::Text:
      return std::get<std::string>(v_);
    case VarType::ByteArray:
    case VarType::Array:
      CannotConvert(Type(), "string");
  }
  return {};
}

double Variant::ToDouble() const {
  switch (Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Int16:
      return std::get<std::int16_t>(v_);
    case VarType::Int32:
      return std::get<std::int32_t>(v_);
    case VarType::Int64:
      return static_cast<double>(std::get<std::int64_t>(v_));
    case VarType::Double:
      return std::get<double>(v_);
    case VarType::Currency:
      return std::get<Currency>(v_).ToDouble();
    case VarType::Date:
      return std::get<DateValue>(v_).value;
    case VarType::Boolean:
      return std::get<bool>(v_) ? -1 : 0;
    case VarType::Text: {
      auto v = TryStrToFloat(std::get<std::string>(v_));
      if (!v) throw Error("'" + std::get<std::string>(v_) + "' is not a valid floating point value");
      return *v;
    }
    default:
      CannotConvert(Type(), "double");
  }
}

std::int64_t Variant::ToInt64() const {
  switch (Type()) {
    case VarType::Empty:
      return 0;
    case VarType::Int16:
      return std::get<std::int16_t>(v_);
    case VarType::Int32:
      return std::get<std::int32_t>(v_);
    case VarType::Int64:
      return std::get<std::int64_t>(v_);
    case VarType::Boolean:
      return std::get<bool>(v_) ? -1 : 0;
    case VarType::Text: {
      const std::string& s = std::get<std::string>(v_);
      if (auto i = TryStrToInt64(s)) return *i;
      if (auto d = TryStrToFloat(s)) {
        double r = std::nearbyint(*d);
        if (std::fabs(r) < 9.2e18) return static_cast<std::int64_t>(r);
      }
      throw Error("'" + s + "' is not a valid integer value");
    }
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date: {
      // Rounded half to even, as the platform's variant conversion does.
      double r = std::nearbyint(ToDouble());
      if (!(std::fabs(r) < 9.2e18)) throw Error("Variant value out of range for an integer");
      return static_cast<std::int64_t>(r);
    }
    default:
      CannotConvert(Type(), "int64");
  }
}

std::int32_t Variant::ToInt32() const {
  std::int64_t v = ToInt64();
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    throw Error("Variant value out of range for a 32-bit integer");
  return static_cast<std::int32_t>(v);
}

Currency Variant::ToCurrency() const {
  switch (Type()) {
    case VarType::Currency:
      return std::get<Currency>(v_);
    case VarType::Int16:
    case VarType::Int32:
    case VarType::Int64:
      return Currency::FromUnits(ToInt64());
    default:
      return Currency::FromDouble(ToDouble());
  }
}

TDateTime Variant::ToDateTime() const {
  if (Type() == VarType::Text) {
    auto d = TryStrToDateTime(std::get<std::string>(v_));
    if (!d) throw Error("'" + std::get<std::string>(v_) + "' is not a valid date");
    return *d;
  }
  return ToDouble();
}

bool Variant::ToBool() const {
  switch (Type()) {
    case VarType::Empty:
      return false;
    case VarType::Boolean:
      return std::get<bool>(v_);
    case VarType::Text: {
      const std::string& s = std::get<std::string>(v_);
      if (SameText(Trim(s), "true")) return true;
      if (SameText(Trim(s), "false")) return false;
      if (auto d = TryStrToFloat(s)) return *d != 0;
      throw Error("'" + s + "' is not a valid boolean value");
    }
    default:
      return ToDouble() != 0;
  }
}

const std::string& Variant::AsText() const {
  if (Type() != VarType::Text) CannotConvert(Type(), "string");
  return std::get<std::string>(v_);
}

const ByteArray& Variant::AsBytes() const {
  if (Type() != VarType::ByteArray) CannotConvert(Type(), "bytearray");
  return std::get<ByteArray>(v_);
}

const VariantArray& Variant::AsArray() const {
  if (Type() != VarType::Array) CannotConvert(Type(), "array");
  return std::get<VariantArray>(v_);
}

VariantArray& Variant::AsArray() {
  if (Type() != VarType::Array) CannotConvert(Type(), "array");
  return std::get<VariantArray>(v_);
}

std::string Variant::BytesAsString() const {
  if (IsBlank()) return {};
  const auto& b = AsBytes().bytes;
  return std::string(b.begin(), b.end());
}

}  // namespace sw
