#include <gtest/gtest.h>

#include "sw/core/Text.h"

using namespace sw;

TEST(Text, TrimRemovesEveryControlByteAndSpace) {
  EXPECT_EQ(Trim(" \t\r\n abc \x01\x1f"), "abc");
  EXPECT_EQ(Trim("\x20\x20"), "");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(Trim("用户 "), "用户");  // bytes above 127 are kept
  const std::string_view padded = " \t ab c\r\n";
  EXPECT_EQ(TrimmedView(padded), "ab c");
  EXPECT_EQ(TrimmedView(padded).data(), padded.data() + 3);  // a view into the text, not a copy
  EXPECT_EQ(TrimmedView(" \x01 "), "");
}

TEST(Text, CaseInsensitiveCompareAndReplaceAll) {
  EXPECT_TRUE(SameText("UserCode", "USERCODE"));
  EXPECT_FALSE(SameText("UserCode", "UserCod"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(FindText("select * FROM t", "from"), 9u);
  EXPECT_EQ(ReplaceAllText("a CurOrgCode b curorgcode", "CURORGCODE", "'01'"), "a '01' b '01'");
  EXPECT_EQ(ReplaceAllText("aaa", "a", "aa"), "aaaaaa");  // no re-scan of the replacement
  EXPECT_EQ(ReplaceAll("x'y'", "'", "''"), "x''y''");
}

TEST(Text, ListsAndQuoting) {
  EXPECT_EQ(Split("a;;b", ';'), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitNames(" a ; ;b;", ';'), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(QuotedStr("O'Hara"), "'O''Hara'");
  EXPECT_EQ(Join({"a", "b"}, ";"), "a;b");
}

TEST(Text, NumberTexts) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> value;
  } cases[] = {{"12", 12},
               {" -7 ", -7},
               {"$1F", 31},
               {"9223372036854775807", INT64_MAX},
               {"9223372036854775808", std::nullopt},
               {"-9223372036854775808", INT64_MIN},
               {"1.5", std::nullopt},
               {"", std::nullopt},
               {"abc", std::nullopt},
               {"+", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(TryStrToInt64(c.text), c.value) << c.text;

  EXPECT_EQ(TryStrToFloat("1.25e2"), 125.0);
  EXPECT_EQ(TryStrToFloat(".5"), 0.5);
  EXPECT_FALSE(TryStrToFloat("1.2.3"));
  EXPECT_FALSE(TryStrToFloat("inf"));
  EXPECT_FALSE(TryStrToFloat("1e"));

  struct F {
    double v;
    const char* text;
  } floats[] = {
      {1.5, "1.5"},   {100, "100"},       {0.1 + 0.2, "0.3"}, {-2.25, "-2.25"},
      {1e20, "1E20"}, {1.5e-7, "1.5E-7"}, {0.0001, "0.0001"}, {123456789012345.0, "123456789012345"},
      {0, "0"}};
  for (const auto& f : floats) EXPECT_EQ(FloatToStr(f.v), f.text);
}
