#include "ExprArith.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "sw/core/Text.h"

namespace sw::expr {
namespace {

// How two numbers combine: two integers (logical values included) stay integers, a currency with an integer
// or a currency stays currency, anything with a real is real. An integer or currency result that overflows 64
// bits becomes real.
enum class NumClass { Int, Cur, Real };

__extension__ typedef __int128 Int128;  // the product of two scaled currencies

NumClass ClassOf(const Variant& v) {
  switch (v.Type()) {
    case VarType::Double:
      return NumClass::Real;
    case VarType::Currency:
      return NumClass::Cur;
    default:
      return NumClass::Int;
  }
}

std::int64_t IntValue(const Variant& v) {
  switch (v.Type()) {
    case VarType::Boolean:
      return v.ToBool() ? 1 : 0;
    default:
      return v.ToInt64();  // Int16, Int32, Int64
  }
}

std::optional<std::int64_t> ScaledValue(const Variant& v) {
  if (v.Type() == VarType::Currency) return v.ToCurrency().scaled;
  std::int64_t out = 0;
  if (__builtin_mul_overflow(IntValue(v), std::int64_t{10000}, &out)) return std::nullopt;
  return out;
}

double RealOp(double a, double b, char op) {
  switch (op) {
    case '+':
      return a + b;
    case '-':
      return a - b;
    default:
      return a * b;
  }
}

Variant IntOp(std::int64_t a, std::int64_t b, char op) {
  std::int64_t out = 0;
  bool overflow = false;
  switch (op) {
    case '+':
      overflow = __builtin_add_overflow(a, b, &out);
      break;
    case '-':
      overflow = __builtin_sub_overflow(a, b, &out);
      break;
    default:
      overflow = __builtin_mul_overflow(a, b, &out);
      break;
  }
  if (overflow) return Variant(RealOp(static_cast<double>(a), static_cast<double>(b), op));
  return Variant(out);
}

std::optional<std::int64_t> CurOp(std::int64_t a, std::int64_t b, char op) {
  std::int64_t out = 0;
  switch (op) {
    case '+':
      if (__builtin_add_overflow(a, b, &out)) return std::nullopt;
      return out;
    case '-':
      if (__builtin_sub_overflow(a, b, &out)) return std::nullopt;
      return out;
    default: {
      // Both are scaled by 10,000: the product is scaled twice; round half away from zero to one scale.
      Int128 p = static_cast<Int128>(a) * b;
      Int128 q = p >= 0 ? (p + 5000) / 10000 : (p - 5000) / 10000;
      if (q > std::numeric_limits<std::int64_t>::max() || q < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
      return static_cast<std::int64_t>(q);
    }
  }
}

Variant NumOp(const Variant& l, const Variant& r, char op) {
  NumClass cl = ClassOf(l), cr = ClassOf(r);
  if (cl == NumClass::Real || cr == NumClass::Real)
    return Variant(RealOp(NumberValue(l), NumberValue(r), op));
  if (cl == NumClass::Cur || cr == NumClass::Cur) {
    auto a = ScaledValue(l), b = ScaledValue(r);
    if (a && b) {
      if (auto out = CurOp(*a, *b, op)) return Variant(Currency{*out});
    }
    return Variant(RealOp(NumberValue(l), NumberValue(r), op));
  }
  return IntOp(IntValue(l), IntValue(r), op);
}

bool IsDate(const Variant& v) {
  return v.Type() == VarType::Date;
}

// The real value of an operand of "/" and "^": numbers and logical values as such, a date by its day count, a
// text by its decimal value, a blank as 0. Anything else (a text that is no decimal number, an array) has
// none.
std::optional<double> RealOperand(const Variant& v) {
  if (IsNumberLike(v)) return NumberValue(v);
  if (IsBlank(v)) return 0.0;
  if (IsDate(v)) return v.ToDouble();
  if (v.IsText()) return TryStrToFloat(v.AsText());
  return std::nullopt;
}

// Kind group for the same-kind test of a relation: empty and null are one group.
VarType KindGroup(const Variant& v) {
  return IsBlank(v) ? VarType::Empty : v.Type();
}

bool Holds(RelOp op, int cmp) {
  switch (op) {
    case RelOp::Equal:
      return cmp == 0;
    case RelOp::Greater:
      return cmp > 0;
    case RelOp::GreaterEqual:
      return cmp >= 0;
    case RelOp::Less:
      return cmp < 0;
    case RelOp::LessEqual:
      return cmp <= 0;
    case RelOp::NotEqual:
      return cmp != 0;
    case RelOp::Contains:
      return false;
  }
  return false;
}

bool IsIntClass(const Variant& v) {
  return IsNumberLike(v) && ClassOf(v) == NumClass::Int;
}

// Numbers compare to four decimals: each is scaled by 10,000 and cut toward zero. Integers and currency
// values are compared exactly on their scaled integers; reals (and values beyond the 64-bit range once
// scaled) on the cut reals, where a NaN is unequal to everything.
bool CompareNumbers(const Variant& l, RelOp op, const Variant& r) {
  if (op == RelOp::Contains) return false;
  if (IsIntClass(l) && IsIntClass(r)) {
    std::int64_t a = IntValue(l), b = IntValue(r);
    return Holds(op, a < b ? -1 : (a > b ? 1 : 0));
  }
  if (ClassOf(l) != NumClass::Real && ClassOf(r) != NumClass::Real) {
    auto a = ScaledValue(l), b = ScaledValue(r);
    if (a && b) return Holds(op, *a < *b ? -1 : (*a > *b ? 1 : 0));
  }
  double a = std::trunc(NumberValue(l) * 10000.0), b = std::trunc(NumberValue(r) * 10000.0);
  if (std::isnan(a) || std::isnan(b)) return op == RelOp::NotEqual;
  return Holds(op, a < b ? -1 : (a > b ? 1 : 0));
}

}  // namespace

bool IsBlank(const Variant& v) {
  return v.IsBlank();
}

bool IsNumber(const Variant& v) {
  return v.IsNumeric();
}

bool IsNumberLike(const Variant& v) {
  return v.IsNumeric() || v.Type() == VarType::Boolean;
}

double NumberValue(const Variant& v) {
  if (v.Type() == VarType::Boolean) return v.ToBool() ? 1.0 : 0.0;
  return v.ToDouble();
}

ArithStatus Add(Variant& l, const Variant& r) {
  if (IsBlank(l)) {
    l = r;
  } else if ((IsNumberLike(l) || IsDate(l) || l.IsText()) && IsBlank(r)) {
    // l stays
  } else if (IsNumberLike(l) && IsNumber(r)) {
    l = NumOp(l, r, '+');
  } else if ((IsNumberLike(l) && IsDate(r)) || (IsDate(l) && IsNumber(r))) {
    l = Variant::Date(IsDate(l) ? l.ToDouble() + NumberValue(r) : NumberValue(l) + r.ToDouble());
  } else if (l.IsText() && r.IsText()) {
    l = Variant(l.AsText() + r.AsText());
  } else {
    return kTypeMismatch;
  }
  return kArithOk;
}

ArithStatus Subtract(Variant& l, const Variant& r) {
  if (IsBlank(l) && IsBlank(r)) {
    l = r;
  } else if (IsBlank(l) && IsNumber(r)) {
    l = r;
    return Negate(l);
  } else if ((IsNumberLike(l) || IsDate(l) || l.IsText()) && IsBlank(r)) {
    // l stays
  } else if (IsNumberLike(l) && IsNumber(r)) {
    l = NumOp(l, r, '-');
  } else if (IsDate(l) && (IsNumber(r) || IsDate(r))) {
    l = Variant::Date(l.ToDouble() - (IsDate(r) ? r.ToDouble() : NumberValue(r)));
  } else if (l.IsText() && r.IsText()) {
    l = Variant(TrimRight(l.AsText()) + TrimLeft(r.AsText()));
  } else {
    return kTypeMismatch;
  }
  return kArithOk;
}

ArithStatus Multiply(Variant& l, const Variant& r) {
  if (IsBlank(l) || IsBlank(r)) {
    l = Variant::Null();
  } else if (IsNumberLike(l) && IsNumber(r)) {
    l = NumOp(l, r, '*');
  } else {
    return kTypeMismatch;
  }
  return kArithOk;
}

ArithStatus Divide(Variant& l, const Variant& r, bool skipping) {
  if (IsBlank(l) || IsBlank(r)) {
    l = Variant::Null();
    return kArithOk;
  }
  if (skipping) return kArithOk;
  if (!IsNumberLike(l) && !IsNumberLike(r)) return kTypeMismatch;
  auto a = RealOperand(l), b = RealOperand(r);
  if (!a || !b) return kTypeMismatch;
  if (std::fabs(*b) < 0.01) return kDivideByZero;
  l = Variant(*a / *b);
  return kArithOk;
}

ArithStatus Power(Variant& l, const Variant& r) {
  if (IsBlank(l)) return kArithOk;
  if (!IsNumberLike(l) && !IsNumberLike(r)) return kTypeMismatch;
  auto a = RealOperand(l), b = RealOperand(r);
  if (!a || !b) return kTypeMismatch;
  l = Variant(std::pow(*a, *b));
  return kArithOk;
}

ArithStatus Negate(Variant& v) {
  if (IsBlank(v)) return kArithOk;
  if (v.IsText()) {
    v = Variant(TrimLeft(v.AsText()));
    return kArithOk;
  }
  if (!IsNumber(v)) return kTypeMismatch;
  switch (ClassOf(v)) {
    case NumClass::Real:
      v = Variant(-v.ToDouble());
      break;
    case NumClass::Cur: {
      std::int64_t s = v.ToCurrency().scaled;
      v = s == std::numeric_limits<std::int64_t>::min() ? Variant(-v.ToDouble()) : Variant(Currency{-s});
      break;
    }
    case NumClass::Int: {
      std::int64_t i = v.ToInt64();
      v = i == std::numeric_limits<std::int64_t>::min() ? Variant(-static_cast<double>(i)) : Variant(-i);
      break;
    }
  }
  return kArithOk;
}

RelStatus Compare(const Variant& l, RelOp op, const Variant& r, bool skipping, bool& result) {
  result = false;
  bool bothNumberLike = IsNumberLike(l) && IsNumberLike(r);
  if (!bothNumberLike && !skipping && KindGroup(l) != KindGroup(r)) return kRelKindsDiffer;
  if (l.IsText()) {
    if (!r.IsText()) return kRelOk;  // only while skipping
    const std::string& a = l.AsText();
    const std::string& b = r.AsText();
    if (op == RelOp::Contains) {
      result = !b.empty() && UpperCase(a).find(UpperCase(b)) != std::string::npos;
    } else {
      result = Holds(op, CompareStr(a, b));
    }
    return kRelOk;
  }
  if (IsNumberLike(l)) {
    if (IsNumberLike(r)) result = CompareNumbers(l, op, r);
    return kRelOk;
  }
  return skipping ? kRelOk : kRelBadOperand;
}

}  // namespace sw::expr
