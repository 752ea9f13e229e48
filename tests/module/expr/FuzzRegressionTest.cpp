// Inputs kept from fuzzing Evaluate and Execute (fuzz/expr), with the same variables and data item in place:
// each must end in a result or an error of the language, never in a crash or another exception.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ExprTestUtil.h"

namespace sw {
namespace {

struct Case {
  std::string input;
  const char* evaluate;  // expected rendering of Evaluate ("!message" for an error at any position)
  bool executes;         // expected result of Execute
};

void Populate(TSysExpression& e) {
  auto item = std::make_unique<testing::MapDataItem>(e, "C1001");
  item->members["QTY"] = Variant(std::int32_t{3});
  item->members["PRICE"] = Variant(Currency{25000});
  item->members["NAME"] = Variant("张三");
  e.AddDataItem(std::move(item));
  e.AddVariable("N", Variant(std::int32_t{10}));
  e.AddVariable("S", Variant("中文abc"));
  e.AddVariable("D", Variant::Date(45000.5));
  e.AddVariable("B", Variant(true));
  e.AddVariable("C", Variant(Currency{15000}));
  e.AddVariable("NUL", Variant::Null());
  e.AddVariable("EMP", Variant());
}

TEST(FuzzRegression, EvaluateAndExecuteEndCleanly) {
  const Case cases[] = {
      {"\t\t", "empty:", true},
      {"111/1\030\026\377\037+", "double:111", false},
      {"\t\t\t;*\214\001", "empty:", true},
      {"2^2^32^2^3", "double:INF", false},
      {"2^3^2^IIF((1/0", "!除数为零!!@14", false},
      {"IIF(1 = 2, CTOD(\"\210\335\326\323\320\330\251\304L =1:\"))", "empty:", false},
      {"INT(-1.-1.5) +INT(-1.5)-1.-1.@~) +I; ", "double:-5", false},
      {"211202112017638176386", "int64:0", false},
      {"1+232*0^+03\036)2O*C)+2-\3772", "double:1", false},
      {"#\362\275,+0", "empty:", true},
      {"5-1..\\ )", "double:4", false},
      {"IIF(", "!函数[IIF]中缺少参数!!@4", false},
      {"IIF(S $ NAME, QTY", "!真值表达式值后缺少分格符\",\"@17", false},
      {"IIF(1 = 1, QTY, T.)", "int32:3", false},
      {"T. = 1", "!没有定义变量[T.]!!@2", false},
      {"QTY = QTY, PRICE = PRICE * C, NAME = NAME - S,", "!语法错误!!@4", true},
      {"N = D - D, S = -S", "!语法错误!!@2", true},
      {"IIF(10^400 = 10^400, 1, 2)", "int64:1", false},
      {"IIF(0^-1 > -(0^-1), 1, 2)", "int64:1", false},
      {"IIF((-1)^0.5 <> (-1)^0.5, 1, 2)", "!布尔表达式错误!!@8", false},
      {"STR(0 - (-1)^0.5)", "text:NAN", false},
      {"INT(10^300) + ROUND(10^300, 2) + ROUND(-(10^300), -2)", "double:1E300", false},
      {"ROUND((-1)^0.5, 2)", "double:NAN", false},
      {"DATE(10^10)", "!参数类型应是整型数!!@11", false},
      {"DAY(D + 10^7)", "!函数[DAY]中日期值有错误!!@13", false},
      {"MID(S, 2147483647, 2147483647)", "text:", false},
      {"MID(S, -2147483647, 2147483647)", "text:中文abc", false},
      {"LEFT(S, 10^9) + RIGHT(S, -10^9)", "text:中文abc", false},
      {"MONTH(-2147483647) + YEAR(2147483647)", "!参数类型应是整型数!!@37", false},
      {"C * 922337203685477", "double:1.38350580552822E15", false},
      {"C + 922337203685477 * 10000", "double:9.22337203685477E18", false},
      {"\"\200\237\"", "text:??", false},
      {"\xC0\xAF + 1", "!运算数据类型不匹配!!@5", false},
      {"中\x80文", "!没有定义变量[中]!!@1", false},
  };
  for (const Case& c : cases) {
    TSysExpression e;
    Populate(e);
    std::string actual;
    ASSERT_NO_THROW(actual = testing::EvalText(e, c.input)) << c.input;
    EXPECT_TRUE(testing::Matches(actual, c.evaluate)) << "{\"" << c.input << "\", \"" << actual << "\"}";
    bool executed = false;
    ASSERT_NO_THROW(executed = e.Execute(c.input)) << c.input;
    EXPECT_EQ(executed, c.executes) << c.input << " -> " << e.LastError();
  }
}

}  // namespace
}  // namespace sw
