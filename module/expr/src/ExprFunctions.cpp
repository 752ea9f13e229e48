#include "sw/expr/ExprFunctions.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "ExprArith.h"
#include "sw/core/Format.h"
#include "sw/core/Text.h"

namespace sw {
namespace {

// Rounds by formatting with a number picture and reading the text back, as the functions define their
// rounding (half away from zero). Values of 1e15 and more are already whole at every picture used here.
double RoundByPicture(double x, std::string_view picture) {
  if (!std::isfinite(x) || std::fabs(x) >= 1e15) return x;
  return TryStrToFloat(FormatFloat(picture, x)).value_or(x);
}

// The day numbers of 0001-01-01 and of the day after 9999-12-31.
constexpr double kFirstDay = -693593.0;
constexpr double kEndDay = 2958466.0;

// Bytes of s from the 1-based position `start`, `count` of them (all to the end when count < 0 is not given).
std::string CutBytes(const std::string& s, std::int64_t start, std::int64_t count) {
  if (start < 1) start = 1;
  if (count < 0 || start > static_cast<std::int64_t>(s.size())) return {};
  return s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

}  // namespace

TFunc::TFunc(TSysExpression& owner, std::string_view name, std::string_view helpText, int argCount)
    : TVCFItem(owner, name, TItemKind::Function), helpText_(helpText), argCount_(argCount) {}

void TFunc::Fail(const std::string& message) const {
  Owner().RaiseError(message);
}

void TFunc::FailWith(std::string_view tail) const {
  Fail("函数[" + GetName() + "]" + std::string(tail));
}

bool TFunc::AtDelimiter(std::string_view text) const {
  return Owner().IsDelimiter(text);
}

void TFunc::Next() {
  Owner().NextToken();
}

Variant TFunc::Sum() {
  return Owner().Sum();
}

bool TFunc::ReadCondition() {
  TSysExpression& e = Owner();
  e.PutBack();
  e.NextToken();
  return e.Disjunction();
}

Variant TFunc::SumSkipping(bool skip) {
  TSysExpression& e = Owner();
  struct Restore {
    TSysExpression& e;
    bool previous;
    ~Restore() { e.skipping_ = previous; }
  } restore{e, e.skipping_};
  e.skipping_ = e.skipping_ || skip;
  e.NextToken();  // the branch is read from its first token on with Skipping set
  return e.Sum();
}

void TFunc::GetValue(Variant& value) {
  TSysExpression& e = Owner();
  e.NextToken();
  if (!AtDelimiter("(")) FailWith("中缺少前括号\"(\"!!");
  e.NextToken();
  if (e.token_.text.empty()) FailWith("中缺少参数!!");
  Calculate(value);
  if (!AtDelimiter(")")) FailWith("中缺少尾括号\")\"或参数太多!!");
}

void TFunc::Calculate(Variant& /*value*/) {}

Variant TFunc::ReadNumArg() {
  Variant v = Sum();
  if (!expr::IsNumberLike(v)) FailWith("的参数数据类型错!!");
  return v;
}

std::string TFunc::ReadStrArg() {
  Variant v = Sum();
  if (!v.IsText()) FailWith("的参数数据类型错!!");
  return v.AsText();
}

std::int32_t TFunc::ReadIntArg() {
  Next();
  Variant v = Sum();
  if (!expr::IsNumberLike(v)) return 0;
  const double d = RoundByPicture(expr::NumberValue(v), "###0");
  if (!(d >= std::numeric_limits<std::int32_t>::min() && d <= std::numeric_limits<std::int32_t>::max()))
    Fail("参数类型应是整型数!!");
  return static_cast<std::int32_t>(d);
}

void TFunc::ReadDateBase(TDateTime& base, std::int32_t& offset) {
  base = Today();
  offset = 0;
  if (AtDelimiter(")")) return;
  Variant v = Sum();
  if (v.Type() == VarType::Date) {
    base = CheckedDate(v.ToDouble());
  } else if (expr::IsNumberLike(v)) {
    const double d = std::trunc(expr::NumberValue(v));
    if (!(std::fabs(d) <= std::numeric_limits<std::int32_t>::max())) Fail("参数类型应是整型数!!");
    offset = static_cast<std::int32_t>(d);
  } else {
    FailWith("的参数数据类型错!!");
  }
}

TDateTime TFunc::CheckedDate(double value) const {
  if (!(value >= kFirstDay && value < kEndDay)) FailWith("中日期值有错误!!");
  return value;
}

void TFAbs::Calculate(Variant& value) {
  value = Variant(std::fabs(expr::NumberValue(ReadNumArg())));
}

void TFInt::Calculate(Variant& value) {
  value = Variant(std::trunc(RoundByPicture(expr::NumberValue(ReadNumArg()), "#0.0000")));
}

void TFStr::Calculate(Variant& value) {
  value = Variant(FloatToStr(expr::NumberValue(ReadNumArg())));
}

void TFRound::Calculate(Variant& value) {
  const double x = expr::NumberValue(ReadNumArg());
  const std::int64_t n = AtDelimiter(",") ? ReadIntArg() : 0;
  const std::int64_t an = n < 0 ? -n : n;
  if (n > 18) {  // finer than a double holds: nothing to round
    value = Variant(x);
    return;
  }
  double p = 1;
  if (an <= 18) {
    std::int64_t ip = 1;
    for (std::int64_t i = 0; i < an; ++i) ip *= 10;
    p = static_cast<double>(ip);
  } else {
    p = std::pow(10.0, static_cast<double>(an));
  }
  if (!std::isfinite(p)) {  // coarser than any double: everything rounds to 0
    value = Variant(0.0);
    return;
  }
  const double y = n < 0 ? x / p : (n > 0 ? x * p : x);
  const double z = RoundByPicture(RoundByPicture(y, "#0.000000"), "#0");
  value = Variant(n < 0 ? z * p : (n > 0 ? z / p : z));
}

void TFDate::Calculate(Variant& value) {
  TDateTime base = 0;
  std::int32_t offset = 0;
  ReadDateBase(base, offset);
  value = Variant::Date(CheckedDate(base + offset));
}

void TFTime::Calculate(Variant& value) {
  if (!AtDelimiter(")")) Sum();  // an argument is read and ignored
  const TDateTime now = Now();
  value = Variant::Date(now - std::trunc(now));
}

void TFYear::Calculate(Variant& value) {
  TDateTime base = 0;
  std::int32_t offset = 0;
  ReadDateBase(base, offset);
  const std::int64_t year = DecodeDate(base).year + static_cast<std::int64_t>(offset);
  if (year > std::numeric_limits<std::int32_t>::max()) Fail("参数类型应是整型数!!");
  value = Variant(static_cast<std::int32_t>(year));
}

void TFMonth::Calculate(Variant& value) {
  TDateTime base = 0;
  std::int32_t offset = 0;
  ReadDateBase(base, offset);
  const std::int64_t m = DecodeDate(base).month + static_cast<std::int64_t>(offset);
  value = Variant(static_cast<std::int32_t>(((m - 1) % 12 + 12) % 12 + 1));  // the year is not changed
}

void TFDay::Calculate(Variant& value) {
  TDateTime base = 0;
  std::int32_t offset = 0;
  ReadDateBase(base, offset);
  value = Variant(static_cast<std::int32_t>(DecodeDate(CheckedDate(base + offset)).day));
}

void TFCToD::Calculate(Variant& value) {
  if (Skipping()) {  // in an IIF branch not taken the text is not read as a date
    Sum();
    value = Variant::Date(Today());
    return;
  }
  const auto d = TryStrToDate(ReadStrArg());
  if (!d) FailWith("中日期值有错误!!");
  value = Variant::Date(CheckedDate(*d));
}

void TFDToC::Calculate(Variant& value) {
  TDateTime base = 0;
  std::int32_t offset = 0;
  ReadDateBase(base, offset);
  value = Variant(FormatDateTime("YYYY-MM-DD", CheckedDate(base + offset)));
}

void TFLen::Calculate(Variant& value) {
  value = Variant(static_cast<std::int32_t>(std::min<std::size_t>(ReadStrArg().size(), INT32_MAX)));
}

void TFVal::Calculate(Variant& value) {
  const auto d = TryStrToFloat(ReadStrArg());
  if (!d) FailWith("中数字字符串有错误!!");
  value = Variant(*d);
}

void TFMid::Calculate(Variant& value) {
  const std::string s = ReadStrArg();
  if (!AtDelimiter(",")) FailWith("中缺少参数!!");
  const std::int32_t start = ReadIntArg();
  const std::int64_t count = AtDelimiter(",") ? ReadIntArg() : static_cast<std::int64_t>(s.size());
  value = Variant(CutBytes(s, start, count));
}

void TFLeft::Calculate(Variant& value) {
  const std::string s = ReadStrArg();
  if (!AtDelimiter(",")) {
    value = Variant(s);
    return;
  }
  const std::int32_t n = ReadIntArg();
  value = Variant(n <= 0 ? std::string() : s.substr(0, static_cast<std::size_t>(n)));
}

void TFRight::Calculate(Variant& value) {
  const std::string s = ReadStrArg();
  if (!AtDelimiter(",")) {
    value = Variant(s);
    return;
  }
  const std::int32_t n = ReadIntArg();
  if (n <= 0) {
    value = Variant(std::string());
  } else if (static_cast<std::size_t>(n) >= s.size()) {
    value = Variant(s);
  } else {
    value = Variant(s.substr(s.size() - static_cast<std::size_t>(n)));
  }
}

void TFTrim::Calculate(Variant& value) {
  value = Variant(Trim(ReadStrArg()));
}

void TFLTrim::Calculate(Variant& value) {
  value = Variant(TrimLeft(ReadStrArg()));
}

void TFRTrim::Calculate(Variant& value) {
  value = Variant(TrimRight(ReadStrArg()));
}

void TFIIF::Calculate(Variant& value) {
  const bool c = ReadCondition();
  if (!AtDelimiter(",")) Fail("条件表达式后缺少分格符\",\"");
  Variant whenTrue = SumSkipping(!c);
  Variant whenFalse;
  if (!AtDelimiter(")")) {
    if (!AtDelimiter(",")) Fail("真值表达式值后缺少分格符\",\"");
    whenFalse = SumSkipping(c);
  }
  value = c ? std::move(whenTrue) : std::move(whenFalse);
}

void TSysExpression::RegisterFunctions() {
  AddFunction<TFAbs>("Abs:     Abs(数值型参数):数值型值", 1);
  AddFunction<TFInt>("Int:     Int(数值型参数):数值型值", 1);
  AddFunction<TFStr>("Str:     Str(数值型参数):字符型值", 1);
  AddFunction<TFRound>("Round:   Round(数值型参数，数值型参数):数值型值", 2);
  AddFunction<TFDate>("Date:    Date(任意): 日期型值", 1);
  AddFunction<TFTime>("Time:    Time(任意): 时间型值", 1);
  AddFunction<TFYear>("Year:    Year(日期型参数/数值型参数): 数值型值", 1);
  AddFunction<TFMonth>("Month:   Month(日期型参数/数值型参数): 数值型值", 1);
  AddFunction<TFDay>("Day:     Day(日期型参数/数值型参数): 数值型值", 1);
  AddFunction<TFCToD>("CToD:    CToD(字符型参数):日期型值", 1);
  AddFunction<TFDToC>("DToC:    DToC(日期型参数):字符型值", 1);
  AddFunction<TFLen>("Len:     Len(数值型参数):数值型值", 1);
  AddFunction<TFVal>("Val:     Val(字符型数值参数):数值型值", 1);
  AddFunction<TFMid>("Mid:     Mid(字符型参数, 数值型参数, [数值型参数]):字符型值", 3);
  AddFunction<TFLeft>("Left:    Left(字符型参数, 数值型参数):字符型值", 2);
  AddFunction<TFRight>("Right:   Right(字符型参数, 数值型参数):字符型值", 2);
  AddFunction<TFTrim>("Trim:    Trim(字符型参数):字符型值", 1);
  AddFunction<TFLTrim>("LTrim:   LTrim(字符型参数):字符型值", 1);
  AddFunction<TFRTrim>("RTrim:   RTrim(字符型参数):字符型值", 1);
  AddFunction<TFIIF>("IIF:     IIF(逻辑表达式，表达式1，表达式2): 不定", 3);
}

}  // namespace sw
