#include <gtest/gtest.h>

#include "sw/core/Error.h"
#include "sw/core/Format.h"

using namespace sw;

TEST(Format, DateTimePictures) {
  TDateTime dt = EncodeDateTime(2010, 2, 5, 14, 3, 9, 7);
  struct Case {
    const char* picture;
    const char* text;
  } cases[] = {
      {"YYYY-MM-DD HH:MM:SS", "2010-02-05 14:03:09"},  // M after an hour letter is minutes
      {"YYY-MM-DD HH:NN:SS", "2010-02-05 14:03:09"},   // three Y write four digits
      {"yy-m-d", "10-2-5"},
      {"yyyymmdd", "20100205"},
      {"hh:nn:ss.zzz", "14:03:09.007"},
      {"h:n:s", "14:3:9"},
      {"hh:nn AM/PM", "02:03 PM"},
      {"YYYY\"年\"MM\"月\"", "2010年02月"},
      {"MM", "02"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.picture, dt), c.text) << c.picture;
}

TEST(Format, NumberPictures) {
  struct Case {
    const char* picture;
    double value;
    const char* text;
  } cases[] = {
      {"#0.0000", 1.5, "1.5000"},
      {"#0.0000", 0.123456, "0.1235"},
      {"#0.00", 1.005, "1.01"},   // half away from zero on the decimal digits
      {"#0.00", -0.001, "0.00"},  // a value rounded to zero shows no sign
      {"#0.00", -12.345, "-12.35"},
      {"###############", 0, ""},
      {"###############", 1234.5, "1235"},
      {"#,##0.00", 1234567.891, "1,234,567.89"},
      {"#,##0", 999.5, "1,000"},
      {"0000", 42, "0042"},
      {"0.##", 2.5, "2.5"},
      {"0.0#", 2, "2.0"},
      {"#.#0", 2, "2.00"},
      {"0.00E+00", 12345, "1.23E+04"},
      {"0%", 50, "50%"},
      {"¥#0.00", 3, "¥3.00"},
      {"#0.00;(#0.00);零", -3, "(3.00)"},
      {"#0.00;(#0.00);零", 0, "零"},
      {"", 2.5, "2.5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatFloat(c.picture, c.value), c.text) << c.picture << " " << c.value;
}

TEST(Format, PercentFormats) {
  EXPECT_EQ(Format("共%d条记录, %s", {Variant(std::int32_t{12}), Variant("完成")}), "共12条记录, 完成");
  EXPECT_EQ(Format("%5d|%-4s|%%", {Variant(std::int32_t{7}), Variant("ab")}), "    7|ab  |%");
  EXPECT_EQ(Format("%.2f", {Variant(3.14159)}), "3.14");
  EXPECT_EQ(Format("%x", {Variant(std::int32_t{255})}), "FF");
  EXPECT_EQ(Format("%.3d", {Variant(std::int32_t{5})}), "005");
  EXPECT_THROW(Format("%d", {Variant("x")}), Error);
  EXPECT_THROW(Format("%s %s", {Variant("x")}), Error);
}
