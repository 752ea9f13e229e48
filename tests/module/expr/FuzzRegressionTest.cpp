// Inputs kept from fuzzing Evaluate and Execute: each must end in a result or an error of the language, never
// in a crash or another exception.
#include <gtest/gtest.h>

#include <string>

#include "ExprTestUtil.h"

namespace sw {
namespace {

struct Case {
  std::string input;
  const char* evaluate;  // expected rendering of Evaluate
};

TEST(FuzzRegression, EvaluateAndExecuteEndCleanly) {
  const Case cases[] = {
      {"IIF(", "!函数[IIF]中缺少参数!!"},
  };
  for (const Case& c : cases) {
    TSysExpression e;
    std::string actual;
    ASSERT_NO_THROW(actual = testing::EvalText(e, c.input)) << c.input;
    EXPECT_TRUE(testing::Matches(actual, c.evaluate)) << c.input << "\n  actual: " << actual;
    ASSERT_NO_THROW(e.Execute(c.input)) << c.input;
  }
}

}  // namespace
}  // namespace sw
