#include "sw/common/UString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sw {
namespace {

struct CutCase {
  std::string text, sep;
  char side;
  std::string expected;
};

TEST(CutStr, TakesEitherSideOfTheFirstSeparator) {
  const CutCase cases[] = {
      {"0012-张三", "-", 'L', "0012"},
      {"0012-张三", "-", 'R', "张三"},
      {"0012-张三", "-", 'l', "0012"},  // the side letter is read without regard to case
      {"0012-张三", "-", 'r', "张三"},
      {"0012-张三", "-", 'X', ""},  // any other side gives nothing
      {"0012-张三", "-", 'M', ""},
      {"0012张三", "-", 'L', "0012张三"},  // no separator: all on the left, nothing on the right
      {"0012张三", "-", 'R', ""},
      {"a-b-c", "-", 'L', "a"},  // the first occurrence decides
      {"a-b-c", "-", 'R', "b-c"},
      {"key::value", "::", 'R', "value"},  // separators of several characters
      {"-lead", "-", 'L', ""},
      {"trail-", "-", 'R', ""},
      {"abc", "", 'L', "abc"},  // an empty separator never occurs
      {"abc", "", 'R', ""},
      {"", "-", 'L', ""},
  };
  TUString s;
  for (const CutCase& c : cases) {
    EXPECT_EQ(s.CutStr(c.text, c.sep, c.side), c.expected) << c.text << " '" << c.sep << "' " << c.side;
  }
  EXPECT_EQ(s.LeftOf("0012-张三", "-"), "0012");
  EXPECT_EQ(s.RightOf("0012-张三", "-"), "张三");
}

TEST(SplitToList, KeepsOnlyNonEmptyPieces) {
  const struct {
    std::string text;
    char sep;
    std::vector<std::string> expected;
  } cases[] = {
      {";UserCode;;UserName;", ';', {"UserCode", "UserName"}},
      {"a,b,c", ',', {"a", "b", "c"}},
      {"single", ';', {"single"}},
      {"", ';', {}},
      {";;;", ';', {}},
      {" a ; b ", ';', {" a ", " b "}},  // pieces are not trimmed
      {"编号;名称", ';', {"编号", "名称"}},
  };
  TUString s;
  for (const auto& c : cases) {
    std::vector<std::string> list{"left over"};
    EXPECT_TRUE(s.SplitToList(c.text, c.sep, list));
    EXPECT_EQ(list, c.expected) << c.text;
  }
}

TEST(RemoveChars, DropsEveryCharacterOfTheSet) {
  const struct {
    std::string text, chars, expected;
  } cases[] = {
      {"2010-02-05 14:03", "-:", "20100205 1403"},
      {"a.b,c.d,", ".,", "abcd"},
      {"nothing to do", "", "nothing to do"},
      {"", "-", ""},
      {"张-三-丰", "-", "张三丰"},
      {"张三丰", "三", "张丰"},    // a Chinese character is removed whole, its neighbours intact
      {"一二三", "丁", "一二三"},  // shares bytes with the text but is not in it
  };
  TUString s;
  for (const auto& c : cases) EXPECT_EQ(s.RemoveChars(c.text, c.chars), c.expected) << c.text;
}

}  // namespace
}  // namespace sw
