// The built-in functions: registration, the call protocol, the argument readers and each function's result.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ExprTestUtil.h"
#include "sw/core/Format.h"
#include "sw/expr/ExprFunctions.h"

namespace sw {
namespace {

using testing::EvalText;
using testing::Matches;

struct Case {
  const char* formula;
  const char* expected;
};

void Check(std::initializer_list<Case> cases) {
  TSysExpression e;
  e.AddVariable("NUL", Variant::Null());
  e.AddVariable("B", Variant(true));
  for (const Case& c : cases) {
    std::string actual = EvalText(e, c.formula);
    EXPECT_TRUE(Matches(actual, c.expected))
        << "formula: " << c.formula << "\n  actual:   " << actual << "\n  expected: " << c.expected;
  }
}

TEST(Functions, RegisteredInOrderWithNamesHelpTextsAndCounts) {
  TSysExpression e;
  struct Reg {
    const char* name;
    const char* help;
    int count;
  };
  const std::vector<Reg> expected = {
      {"ABS", "Abs:     Abs(数值型参数):数值型值", 1},
      {"INT", "Int:     Int(数值型参数):数值型值", 1},
      {"STR", "Str:     Str(数值型参数):字符型值", 1},
      {"ROUND", "Round:   Round(数值型参数，数值型参数):数值型值", 2},
      {"DATE", "Date:    Date(任意): 日期型值", 1},
      {"TIME", "Time:    Time(任意): 时间型值", 1},
      {"YEAR", "Year:    Year(日期型参数/数值型参数): 数值型值", 1},
      {"MONTH", "Month:   Month(日期型参数/数值型参数): 数值型值", 1},
      {"DAY", "Day:     Day(日期型参数/数值型参数): 数值型值", 1},
      {"CTOD", "CToD:    CToD(字符型参数):日期型值", 1},
      {"DTOC", "DToC:    DToC(日期型参数):字符型值", 1},
      {"LEN", "Len:     Len(数值型参数):数值型值", 1},
      {"VAL", "Val:     Val(字符型数值参数):数值型值", 1},
      {"MID", "Mid:     Mid(字符型参数, 数值型参数, [数值型参数]):字符型值", 3},
      {"LEFT", "Left:    Left(字符型参数, 数值型参数):字符型值", 2},
      {"RIGHT", "Right:   Right(字符型参数, 数值型参数):字符型值", 2},
      {"TRIM", "Trim:    Trim(字符型参数):字符型值", 1},
      {"LTRIM", "LTrim:   LTrim(字符型参数):字符型值", 1},
      {"RTRIM", "RTrim:   RTrim(字符型参数):字符型值", 1},
      {"IIF", "IIF:     IIF(逻辑表达式，表达式1，表达式2): 不定", 3},
  };
  ASSERT_EQ(e.Items().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto* f = dynamic_cast<const TFunc*>(e.Items()[i].get());
    ASSERT_NE(f, nullptr) << i;
    EXPECT_EQ(f->GetName(), expected[i].name);
    EXPECT_EQ(f->Kind(), TItemKind::Function);
    EXPECT_EQ(f->HelpText(), expected[i].help);
    EXPECT_EQ(f->ArgCount(), expected[i].count);
  }
}

TEST(Functions, CallProtocol) {
  Check({
      {"ABS", "!函数[ABS]中缺少前括号\"(\"!!@3"},
      {"ABS 1", "!函数[ABS]中缺少前括号\"(\"!!"},
      {"abs(-1)", "double:1"},
      {"ABS(", "!函数[ABS]中缺少参数!!"},
      {"LEN(\"\")", "!函数[LEN]中缺少参数!!"},  // an empty literal counts as no argument
      {"ABS()", "!语法错误!!"},
      {"ABS(1, 2)", "!函数[ABS]中缺少尾括号\")\"或参数太多!!"},
      {"ABS(1", "!函数[ABS]中缺少尾括号\")\"或参数太多!!"},
      {"ABS(-2) * 2", "double:4"},
  });
}

TEST(Functions, NumericFunctions) {
  Check({
      {"ABS(-3)", "double:3"},
      {"ABS(B)", "double:1"},
      {"ABS(\"1\")", "!函数[ABS]的参数数据类型错!!"},
      {"ABS(NUL)", "!函数[ABS]的参数数据类型错!!"},
      {"INT(2.99999)", "double:3"},  // rounded to four decimals first
      {"INT(2.9999)", "double:2"},
      {"INT(-1.5)", "double:-1"},
      {"INT(7)", "double:7"},
      {"STR(12)", "text:12"},
      {"STR(1/3)", "text:0.333333333333333"},
      {"STR(-2.5)", "text:-2.5"},
      {"STR(\"a\")", "!函数[STR]的参数数据类型错!!"},
      {"ROUND(1.005, 2)", "double:1.01"},
      {"ROUND(2.675, 2)", "double:2.68"},
      {"ROUND(2.5)", "double:3"},
      {"ROUND(-2.5)", "double:-3"},
      {"ROUND(1250, -2)", "double:1300"},
      {"ROUND(1249.99, -2)", "double:1200"},
      {"ROUND(3.14159, 2.5)", "double:3.142"},  // 2.5 becomes 3
      {"ROUND(3.14159, 2.4)", "double:3.14"},
      {"ROUND(3.14159, \"a\")", "double:3"},  // a count that is no number counts 0
      {"ROUND(1.5, 2147483648)", "!参数类型应是整型数!!"},
      {"ROUND(1.5, -2147483649)", "!参数类型应是整型数!!"},
      {"ROUND(123.456, 19)", "double:123.456"},
      {"ROUND(123.456, -400)", "double:0"},
      {"ROUND(5E3)", "!没有定义变量[E3]!!"},
      {"ROUND(\"1\")", "!函数[ROUND]的参数数据类型错!!"},
      {"ROUND(1, )", "!语法错误!!"},
      {"VAL(\" 12.5 \")", "double:12.5"},
      {"VAL(\"1e3\")", "double:1000"},
      {"VAL(\"x\")", "!函数[VAL]中数字字符串有错误!!"},
      {"VAL(\" \")", "!函数[VAL]中数字字符串有错误!!"},
      {"VAL(5)", "!函数[VAL]的参数数据类型错!!"},
  });
}

TEST(Functions, StringFunctionsCountBytes) {
  Check({
      {"LEN(\"中文\")", "int32:4"},
      {"LEN(\"abc\")", "int32:3"},
      {"LEN(123)", "!函数[LEN]的参数数据类型错!!"},  // although its help text names a number
      {"LEN(NUL)", "!函数[LEN]的参数数据类型错!!"},
      {"LEFT(\"abcdef\")", "text:abcdef"},
      {"LEFT(\"abcdef\", 2)", "text:ab"},
      {"LEFT(\"abcdef\", 0)", "text:"},
      {"LEFT(\"abcdef\", -1)", "text:"},
      {"LEFT(\"abc\", 10)", "text:abc"},
      {"LEFT(\"中文\", 2)", "text:中"},
      {"MID(\"abcdef\", 0, 2)", "text:ab"},
      {"MID(\"abcdef\", 3)", "text:cdef"},
      {"MID(\"abcdef\", 2, 3)", "text:bcd"},
      {"MID(\"abcdef\", -3, 2)", "text:ab"},
      {"MID(\"abcdef\", 7)", "text:"},
      {"MID(\"abcdef\", 2, -1)", "text:"},
      {"MID(\"abcdef\", 5, 10)", "text:ef"},
      {"MID(\"中文字\", 3, 2)", "text:文"},
      {"MID(\"abc\")", "!函数[MID]中缺少参数!!"},
      {"MID(\"abc\" 2)", "!函数[MID]中缺少参数!!"},
      {"MID(1, 2)", "!函数[MID]的参数数据类型错!!"},
      {"RIGHT(\"abc\", 5)", "text:abc"},
      {"RIGHT(\"abc\", 2)", "text:bc"},
      {"RIGHT(\"abc\", 0)", "text:"},
      {"RIGHT(\"abc\")", "text:abc"},
      {"RIGHT(\"中文\", 2)", "text:文"},
      {"TRIM(\"  a b  \")", "text:a b"},
      {"LTRIM(\"  a b  \")", "text:a b  "},
      {"RTRIM(\"  a b  \")", "text:  a b"},
      {"TRIM(1)", "!函数[TRIM]的参数数据类型错!!"},
      {"LTRIM(NUL)", "!函数[LTRIM]的参数数据类型错!!"},
      {"RTRIM(B)", "!函数[RTRIM]的参数数据类型错!!"},
  });
}

TEST(Functions, DateFunctionsOnFixedDates) {
  Check({
      {"CTOD(\"2020-05-17\")", "date:43968"},
      {"CTOD(\"2020/5/7\")", "date:43958"},
      {"CTOD(\"2020-13-01\")", "!函数[CTOD]中日期值有错误!!"},
      {"CTOD(\"x\")", "!函数[CTOD]中日期值有错误!!"},
      {"CTOD(1)", "!函数[CTOD]的参数数据类型错!!"},
      {"YEAR(CTOD(\"2020-05-17\"))", "int32:2020"},
      {"MONTH(CTOD(\"2020-05-17\"))", "int32:5"},
      {"DAY(CTOD(\"2020-05-17\"))", "int32:17"},
      {"DAY(CTOD(\"2020-05-17\") + 15)", "int32:1"},
      {"DTOC(CTOD(\"2020-05-17\"))", "text:2020-05-17"},
      {"DTOC(CTOD(\"2020-02-28\") + 1)", "text:2020-02-29"},
      {"DATE(CTOD(\"2020-05-17\") + 0.25)", "date:43968.25"},  // the time of day stays
      {"DATE(\"x\")", "!函数[DATE]的参数数据类型错!!"},
      {"DTOC(NUL)", "!函数[DTOC]的参数数据类型错!!"},
      {"DATE(99999999)", "!函数[DATE]中日期值有错误!!"},
      {"DATE(3000000000)", "!参数类型应是整型数!!"},
      {"DAY(CTOD(\"9999-12-31\") + 1)", "!函数[DAY]中日期值有错误!!"},
      {"YEAR(CTOD(\"2020-05-17\") * 1E9)", "!没有定义变量[E9]!!"},
  });
}

TEST(Functions, DateFunctionsRelativeToToday) {
  TSysExpression e;
  const TDateTime today = Today();
  const DateParts d = DecodeDate(today);
  EXPECT_EQ(EvalText(e, "DATE()"), "date:" + FloatToStr(today));
  EXPECT_EQ(EvalText(e, "DATE(1)"), "date:" + FloatToStr(today + 1));
  EXPECT_EQ(EvalText(e, "DATE(-1.9)"), "date:" + FloatToStr(today - 1));  // the offset is cut to whole days
  EXPECT_EQ(EvalText(e, "DTOC(-1)"), "text:" + FormatDateTime("YYYY-MM-DD", today - 1));
  EXPECT_EQ(EvalText(e, "IIF(YEAR(DATE()) = YEAR(), 1, 2)"), "int64:1");
  EXPECT_EQ(EvalText(e, "YEAR(1)"), "int32:" + std::to_string(d.year + 1));
  EXPECT_EQ(EvalText(e, "DAY()"), "int32:" + std::to_string(d.day));
  EXPECT_EQ(EvalText(e, "DAY(1)"), "int32:" + std::to_string(DecodeDate(today + 1).day));
  // MONTH wraps inside the year: in December MONTH(1) is 1, in January MONTH(-1) is 12.
  for (int offset : {-13, -1, 0, 1, 11, 12, 25}) {
    const int expected = ((d.month - 1 + offset) % 12 + 12) % 12 + 1;
    EXPECT_EQ(EvalText(e, "MONTH(" + std::to_string(offset) + ")"), "int32:" + std::to_string(expected));
  }
  Variant t;
  ASSERT_TRUE(e.Evaluate(t, "TIME()"));
  EXPECT_EQ(t.Type(), VarType::Date);
  EXPECT_GE(t.ToDouble(), 0.0);
  EXPECT_LT(t.ToDouble(), 1.0);
  ASSERT_TRUE(e.Evaluate(t, "TIME(\"ignored\")"));
  ASSERT_TRUE(e.Evaluate(t, "TIME(123)"));
  EXPECT_LT(t.ToDouble(), 1.0);
}

}  // namespace
}  // namespace sw
