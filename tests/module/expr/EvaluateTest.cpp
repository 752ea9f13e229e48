// Evaluate: a table of formulas covering the tokenizer, the value grammar, the arithmetic tables and the
// relations, against an evaluator holding variables of every value kind.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ExprTestUtil.h"
#include "sw/common/MessageSink.h"

namespace sw {
namespace {

using testing::EvalText;
using testing::Matches;

struct Case {
  const char* formula;
  const char* expected;  // "kind:value", or "!message" / "!message@ErrorPos"
};

class EvaluateTable : public ::testing::Test {
 protected:
  void SetUp() override {
    e.AddVariable("N", Variant(std::int32_t{10}));
    e.AddVariable("S", Variant("中文abc"));
    e.AddVariable("D", Variant::Date(45000.5));
    e.AddVariable("B", Variant(true));
    e.AddVariable("F", Variant(false));
    e.AddVariable("C", Variant(Currency{15000}));
    e.AddVariable("NUL", Variant::Null());
    e.AddVariable("EMP", Variant());
    e.AddVariable("名称", Variant("值"));
  }
  void Check(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
      std::string actual = EvalText(e, c.formula);
      EXPECT_TRUE(Matches(actual, c.expected))
          << "formula: " << c.formula << "\n  actual:   " << actual << "\n  expected: " << c.expected;
    }
  }
  TSysExpression e;
};

TEST_F(EvaluateTable, PrecedenceSignsAndStartOfFormula) {
  Check({
      {"1+2*3", "int64:7"},
      {"(1+2)*3", "!语法错误!!@1"},  // a formula may not begin with a parenthesis
      {"3*(1+2)", "int64:9"},
      {"-5", "!语法错误!!@1"},  // nor with a sign
      {"0-5", "int64:-5"},
      {"2*-5", "int64:-10"},
      {"0+-2^2", "double:4"},   // the sign binds tighter than "^"
      {"2^3^2", "double:512"},  // "^" groups from the right
      {"0--5", "!语法错误!!"},
      {"0+--5", "!语法错误!!"},  // only one sign
      {"0-+5", "int64:-5"},
      {"10-4-3", "int64:3"},
      {"2*3^2", "double:18"},
      {"8/2/2", "double:2"},
      {"3*(1+2", "!括号不配对!!"},
      {"3*()", "!语法错误!!"},
      {"1+", "!语法错误!!"},
      {"1 2", "!语法错误!!@2"},
      {"N N", "!语法错误!!@2"},
      {"+", "!语法错误!!"},
      {"and", "!语法错误!!"},
      {"1 + NOT", "!语法错误!!"},
      {"N", "int32:10"},
      {"n + 1", "int64:11"},  // names ignore letter case
      {"名称", "text:值"},
  });
}

TEST_F(EvaluateTable, TokenizerStopsCommentsLiteralsAndNames) {
  Check({
      {"", "empty:"},
      {"   ", "empty:"},
      {"; only a comment", "empty:"},
      {"1 + 2 # remark", "int64:3"},
      {"1 + 2 ; remark", "int64:3"},
      {"1.2.3", "double:1.2"},
      {".5", "empty:"},      // "." stops the reading before anything was read
      {"1\r+2", "int64:1"},  // a carriage return stops the reading
      {"1\t+\n2", "int64:3"},
      {"1 @ 2", "int64:1"},
      {"1 [2]", "int64:1"},
      {"\"a;b\"", "text:a;b"},
      {"\"a\nb\"", "text:ab"},  // line feeds inside a literal are dropped
      {"\"abc", "text:abc"},    // an unclosed literal runs to the end
      {"\"\"", "text:"},
      {"&&?9", "text:&&?9"},
      {"12&?", "text:12&?"},  // digits followed by a mask character form a mask
      {"1.5&", "!语法错误!!"},
      {"99999999999999999999", "int64:0"},  // too large for 64 bits
      {"1.", "double:1"},
      {"x", "!没有定义变量[x]!!@1"},
      {"1 + 中文", "!没有定义变量[中文]!!@6"},  // positions count characters, not bytes
      {"N.X", "!没有定义变量[N.X]!!"},
      {"a_b1", "!没有定义变量[a_b1]!!"},
  });
}

TEST_F(EvaluateTable, TokensHoldAtMost255Bytes) {
  const std::string ok(255, 'a');
  const std::string tooLong(256, 'a');
  EXPECT_EQ(EvalText(e, "LEN(\"" + ok + "\")"), "int32:255");
  EXPECT_EQ(EvalText(e, "\"" + tooLong + "\"").substr(0, 33), "!单词长度超过255个字节!!");
  EXPECT_EQ(EvalText(e, std::string(300, '9')).substr(0, 33), "!单词长度超过255个字节!!");
  EXPECT_EQ(EvalText(e, "\"" + std::string(127, 'x') + "中\""), "text:" + std::string(127, 'x') + "中");
}

TEST_F(EvaluateTable, AdditionAndSubtractionByOperandKind) {
  Check({
      {"EMP + 1", "int64:1"},
      {"NUL + \"a\"", "text:a"},
      {"1 + NUL", "int64:1"},
      {"S + EMP", "text:中文abc"},
      {"D + NUL", "date:45000.5"},
      {"B + 1", "int64:2"},  // a logical value counts 1
      {"1 + B", "!运算数据类型不匹配!!"},
      {"1 + 2.5", "double:3.5"},
      {"C + 1", "currency:2.5"},
      {"C + 0.5", "double:2"},
      {"1 + D", "date:45001.5"},
      {"D + 1", "date:45001.5"},
      {"D + D", "!运算数据类型不匹配!!"},
      {"\"ab\" + \"cd\"", "text:abcd"},
      {"1 + \"a\"", "!运算数据类型不匹配!!@7"},
      {"\"a\" + 1", "!运算数据类型不匹配!!"},
      {"9223372036854775807 + 1", "double:9.22337203685478E18"},  // overflow turns real
      {"NUL - NUL", "null:"},
      {"EMP - 5", "int64:-5"},
      {"NUL - \"a\"", "!运算数据类型不匹配!!"},
      {"S - NUL", "text:中文abc"},
      {"5 - 2.5", "double:2.5"},
      {"D - 0.5", "date:45000"},
      {"D - D", "date:0"},
      {"1 - D", "!运算数据类型不匹配!!"},
      {"\"ab \" - \" cd\"", "text:abcd"},
      {"\"a\" - 1", "!运算数据类型不匹配!!"},
  });
}

TEST_F(EvaluateTable, ProductQuotientPowerAndSign) {
  Check({
      {"NUL * 2", "null:"},
      {"2 * EMP", "null:"},
      {"C * C", "currency:2.25"},
      {"B * 3", "int64:3"},
      {"3 * B", "!运算数据类型不匹配!!"},
      {"\"a\" * 2", "!运算数据类型不匹配!!"},
      {"3037000500 * 3037000500", "double:9.22337203700025E18"},
      {"7/2", "double:3.5"},
      {"7/0.02", "double:350"},
      {"7/0.005", "!除数为零!!@7"},
      {"7/-0.0099", "!除数为零!!"},
      {"7/0", "!除数为零!!"},
      {"NUL / 0", "null:"},
      {"\"12\" / 4", "double:3"},  // a text operand of "/" counts by its numeric value
      {"12 / \"x\"", "!运算数据类型不匹配!!"},
      {"\"a\" / \"b\"", "!运算数据类型不匹配!!"},
      {"D / 2", "double:22500.25"},  // one number-like operand: both by their real values
      {"2 / B", "double:2"},
      {"NUL ^ 2", "null:"},
      {"2 ^ NUL", "double:1"},
      {"\"2\" ^ 3", "double:8"},
      {"\"a\" ^ \"b\"", "!运算数据类型不匹配!!"},
      {"0 - N", "int64:-10"},
      {"2 * -C", "currency:-3"},
      {"2 * -2.5", "double:-5"},
      {"NUL * -NUL", "null:"},
      {"\"x\" + -\"  ab\"", "text:xab"},  // "-" takes the leading blanks off a text
      {"1 + -D", "!运算数据类型不匹配!!"},
      {"1 + -B", "!运算数据类型不匹配!!"},
      {"1 + +D", "date:45001.5"},
      {"0 - 9223372036854775807 - 1", "int64:-9223372036854775808"},
      {"0 + -(0 - 9223372036854775807 - 1)", "double:9.22337203685478E18"},
  });
}

TEST_F(EvaluateTable, RelationsAndConditions) {
  Check({
      {"IIF(\"ABC\" $ \"b\", 1, 2)", "int64:1"},
      {"IIF(\"b\" $ \"ABC\", 1, 2)", "int64:2"},
      {"IIF(\"ABC\" $ \"\", 1, 2)", "int64:2"},  // an empty text never occurs
      {"IIF(S $ \"文A\", 1, 2)", "int64:1"},
      {"IIF(12 $ 1, 1, 2)", "int64:2"},
      {"IIF(1.00001 = 1.00002, 1, 2)", "int64:1"},  // four decimals
      {"IIF(1.0001 = 1.0002, 1, 2)", "int64:2"},
      {"IIF(-1.00001 = -1.00009, 1, 2)", "int64:1"},
      {"IIF(C = 1.5, 1, 2)", "int64:1"},
      {"IIF(B = 1, 1, 2)", "int64:1"},
      {"IIF(F < B, 1, 2)", "int64:1"},
      {"IIF(9223372036854775807 > 9223372036854775806, 1, 2)", "int64:1"},
      {"IIF(1E300 > 1, 1, 2)", "!没有定义变量[E300]!!"},
      {"IIF(10^300 > 10^299, 1, 2)", "int64:1"},  // beyond 64 bits once scaled
      {"IIF(\"A\" = \"a\", 1, 2)", "int64:2"},    // text equality is exact
      {"IIF(\"a\" < \"b\", 1, 2)", "int64:1"},
      {"IIF(\"ab\" >= \"ab\", 1, 2)", "int64:1"},
      {"IIF(\"ab\" <> \"ab\", 1, 2)", "int64:2"},
      {"IIF(1 = \"1\", 1, 2)", "!关系式两边的表达式类型不一致!!"},
      {"IIF(D = 1, 1, 2)", "!关系式两边的表达式类型不一致!!"},
      {"IIF(D = D, 1, 2)", "!关系式或关系运算符有错误!!"},
      {"IIF(DATE() = DATE(), 1, 2)", "!关系式或关系运算符有错误!!"},
      {"IIF(NUL = EMP, 1, 2)", "!关系式或关系运算符有错误!!"},
      {"IIF(1 >= 1, 1, 2)", "int64:1"},
      {"IIF(1 > = 1, 1, 2)", "!语法错误!!"},  // no blank inside ">="
      {"IIF(1 < = 2, 1, 2)", "!语法错误!!"},
      {"IIF(2 <= 2, 1, 2)", "int64:1"},
      {"IIF(1 <> 2, 1, 2)", "int64:1"},
      {"IIF(1 < 2, 1, 2)", "int64:1"},
      {"IIF(1 > 2, 1, 2)", "int64:2"},
      {"IIF(1 = 1 AND 2 = 3, 1, 2)", "int64:2"},
      {"IIF(1 = 2 OR 2 = 2, 1, 2)", "int64:1"},
      {"IIF(1 = 1 OR 1 = 1 AND 1 = 2, 1, 2)", "int64:1"},  // AND binds tighter
      {"IIF(NOT 1 = 2, 1, 2)", "int64:1"},
      {"IIF(NOT (1 = 1 AND 2 = 2), 1, 2)", "int64:2"},
      {"IIF((1 = 1), 1, 2)", "int64:1"},
      {"IIF(1 = 1 and 2 = 2, 1, 2)", "!条件表达式后缺少分格符\",\""},  // lower case ends the condition
      {"IIF(1 = 1 Or 2 = 2, 1, 2)", "!条件表达式后缺少分格符\",\""},
      {"IIF(1 = 1 AND 1 = \"a\", 1, 2)", "!关系式两边的表达式类型不一致!!"},  // both sides are evaluated
      {"IIF(not 1 = 2, 1, 2)", "!语法错误!!"},
      {"IIF((1+2)*3 > 1, 1, 2)", "!布尔表达式错误!!"},  // "(" opens a condition
      {"IIF((1 = 1, 1, 2)", "!括号不配对!!"},
      {"IIF(1, 1, 2)", "!布尔表达式错误!!"},  // a single value is no condition
      {"IIF(1 = , 1, 2)", "!语法错误!!"},
      {"IIF(1 = 1 2, 3)", "!条件表达式后缺少分格符\",\""},
      {"IIF(1 = 1, 2 3)", "!真值表达式值后缺少分格符\",\""},
      {"IIF(1 = 1, 2, 3, 4)", "!函数[IIF]中缺少尾括号\")\"或参数太多!!"},
  });
}

TEST_F(EvaluateTable, IifSkipsTypeAndDataErrorsInTheBranchNotTaken) {
  Check({
      {"IIF(1 = 2, 10)", "empty:"},
      {"IIF(1 = 1, 10)", "int64:10"},
      {"IIF(1 = 1, 10, 1/0)", "int64:10"},
      {"IIF(1 = 2, 1/0, 10)", "int64:10"},
      {"IIF(1 = 2, 1/0, 10/0)", "!除数为零!!"},
      {"IIF(1 = 2, \"a\" - 1, 5)", "int64:5"},
      {"IIF(1 = 1, 5, D * D)", "int64:5"},
      {"IIF(1 = 1, 5, IIF(1 = \"a\", 1, 2))", "int64:5"},
      {"IIF(1 = 1, 5, IIF(D = D, 1, 2))", "int64:5"},
      {"IIF(1 = 1, 10, VAL(\"x\"))", "!函数[VAL]中数字字符串有错误!!"},  // functions still raise
      {"IIF(1 = 1, 10, LEN(1))", "!函数[LEN]的参数数据类型错!!"},
      {"IIF(1 = 1, 10, CTOD(\"x\"))", "int64:10"},  // except CTOD
      {"IIF(1 = 1, 10, NOSUCH)", "!没有定义变量[NOSUCH]!!"},
      {"IIF(1 = 1, 1, IIF(1 = 1, 1/0, 2))", "int64:1"},  // a nested IIF inside a skipped branch skips too
      {"IIF(1 = 2, 1, 2) + 1", "int64:3"},
      {"IIF(N > 5, \"big\", \"small\")", "text:big"},
  });
}

TEST(Evaluate, SkippingIsRestoredAfterAnErrorInsideABranch) {
  TSysExpression e;
  EXPECT_TRUE(Matches(EvalText(e, "IIF(1 = 1, 1, VAL(\"x\"))"), "!函数[VAL]中数字字符串有错误!!"));
  EXPECT_FALSE(e.Skipping());
  EXPECT_TRUE(Matches(EvalText(e, "1/0"), "!除数为零!!"));
}

TEST(Evaluate, FailureLeavesTheValueAndKeepsLastErrorUntilTheNextError) {
  TSysExpression e;
  Variant v(std::int32_t{42});
  EXPECT_FALSE(e.Evaluate(v, "1 +"));
  EXPECT_EQ(v, Variant(std::int32_t{42}));
  EXPECT_EQ(e.LastError(), "语法错误!!");
  EXPECT_EQ(e.ErrorPos(), 3);
  EXPECT_TRUE(e.Evaluate(v, "\"中\" + \"文\""));
  EXPECT_EQ(v, Variant("中文"));
  EXPECT_EQ(e.LastError(), "语法错误!!");  // kept after a success
  EXPECT_TRUE(e.Evaluate(v, ""));
  EXPECT_TRUE(v.IsEmpty());
}

TEST(Evaluate, ShownErrorsBeepAndShowAPlainMessage) {
  RecordingMessageSink sink;
  ScopedMessageSink scope(sink);
  TSysExpression e;
  Variant v;
  EXPECT_FALSE(e.Evaluate(v, "1/0"));
  EXPECT_EQ(sink.Beeps(), 0);
  EXPECT_TRUE(sink.Messages().empty());
  EXPECT_FALSE(e.Evaluate(v, "1/0", true));
  EXPECT_EQ(sink.Beeps(), 1);
  ASSERT_EQ(sink.Messages().size(), 1u);
  EXPECT_EQ(sink.Messages()[0], "除数为零!!");
  EXPECT_TRUE(sink.Boxes().empty());
  EXPECT_FALSE(e.Execute("X = 1", true));
  EXPECT_EQ(sink.Beeps(), 2);
  EXPECT_EQ(sink.Messages().back(), "没有定义变量[X]!!");
}

TEST(Evaluate, NestingDepthIsBounded) {
  TSysExpression e;
  std::string deep = "1+" + std::string(1000, '(') + "1" + std::string(1000, ')');
  EXPECT_TRUE(Matches(EvalText(e, deep), "!表达式嵌套太深!!"));
  std::string ok = "1+" + std::string(50, '(') + "1" + std::string(50, ')');
  EXPECT_EQ(EvalText(e, ok), "int64:2");
  std::string powers = "2";
  for (int i = 0; i < 500; ++i) powers += "^1";
  EXPECT_TRUE(Matches(EvalText(e, powers), "!表达式嵌套太深!!"));
}

}  // namespace
}  // namespace sw
