#include <gtest/gtest.h>

#include "sw/core/CodePage.h"

using namespace sw;

TEST(CodePage, RoundTripAndCounts) {
  std::string text = "用户编码ABC";
  std::string gbk = Utf8ToGbk(text);
  EXPECT_EQ(gbk.size(), 11u);                           // four double-byte characters and three single bytes
  EXPECT_EQ(static_cast<unsigned char>(gbk[0]), 0xD3);  // 用 = D3 C3
  EXPECT_EQ(static_cast<unsigned char>(gbk[1]), 0xC3);
  EXPECT_EQ(GbkToUtf8(gbk), text);
  EXPECT_EQ(GbkCharCount(gbk), 7u);
  EXPECT_EQ(Utf8CharCount(text), 7u);
  EXPECT_EQ(Utf8ToGbk("Norvik商业"), "Norvik\xC9\xCC\xD2\xB5");
}

TEST(CodePage, UnconvertibleInputIsReplacedNotDropped) {
  EXPECT_EQ(Utf8ToGbk("a\xFF"
                      "b"),
            "a?b");
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b"),
            "a?b");                                // an emoji has no GBK form
  EXPECT_EQ(GbkToUtf8("a\x81"), "a\xEF\xBF\xBD");  // a lone lead byte at the end
  EXPECT_EQ(GbkCharCount("a\x81"), 2u);
}
