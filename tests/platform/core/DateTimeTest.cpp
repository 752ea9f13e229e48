#include <gtest/gtest.h>

#include "sw/core/DateTime.h"
#include "sw/core/Error.h"

using namespace sw;

TEST(DateTime, EncodeDecodeAroundTheEpoch) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(2010, 2, 5), 40214);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
  for (double d : {-1.0, 0.0, 59.0, 60.0, 40214.0, 2958465.0}) {
    DateParts p = DecodeDate(d);
    EXPECT_EQ(EncodeDate(p.year, p.month, p.day), d);
  }
  DateParts leap = DecodeDate(EncodeDate(2000, 2, 29));
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  EXPECT_THROW(EncodeDate(2009, 2, 29), Error);
  EXPECT_EQ(DayOfWeek(EncodeDate(2010, 2, 5)), 6);  // a Friday
}

TEST(DateTime, TimeOfDayRoundsToMilliseconds) {
  TDateTime dt = EncodeDateTime(2010, 2, 5, 14, 3, 9, 500);
  TimeParts t = DecodeTime(dt);
  EXPECT_EQ(t.hour, 14);
  EXPECT_EQ(t.minute, 3);
  EXPECT_EQ(t.second, 9);
  EXPECT_EQ(t.msec, 500);
  EXPECT_EQ(DateTimeToStr(dt), "2010-02-05 14:03:09");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2010, 2, 5)), "2010-02-05");
}

TEST(DateTime, IsDateAndIsTimeAcceptTheScreensFormats) {
  struct Case {
    const char* text;
    bool date, time;
  } cases[] = {
      {"2010-02-05", true, false},
      {"2010/2/5", true, false},
      {"2010-02-05 14:03:09", true, false},
      {"2010-02-30", false, false},
      {"14:03", false, true},
      {"14:03:09", false, true},
      {"24:00", false, false},
      {"", false, false},
      {"abc", false, false},
      {"2010-02-05x", false, false},
      {"2010-02-05 25:00", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsDate(c.text), c.date) << c.text;
    EXPECT_EQ(IsTime(c.text), c.time) << c.text;
  }
}
