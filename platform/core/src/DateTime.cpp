#include "sw/core/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {
namespace {

// Day number of 1899-12-31 counting 0001-01-01 as day 1 (proleptic Gregorian calendar), so that 1899-12-30 is
// 0.
constexpr long long kDelta = 693594;

long long DaysBeforeYear(int y) {
  long long p = y - 1;
  return p * 365 + p / 4 - p / 100 + p / 400;
}

int DaysBeforeMonth(int y, int m) {
  static const int cum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return cum[m - 1] + ((m > 2 && IsLeapYear(y)) ? 1 : 0);
}

// Milliseconds of the day of a date-time, rounded as the platform does (to the nearest millisecond).
long long MillisOfDay(TDateTime dt) {
  double whole = std::floor(dt);
  double frac = dt - whole;
  if (dt < 0 && frac != 0) {
    // Negative date-times keep the time as the distance from the day: -1.25 is 1899-12-29 06:00.
    frac = std::fabs(dt - std::trunc(dt));
  }
  long long ms = std::llround(frac * 86400000.0);
  if (ms >= 86400000) ms = 86399999;
  return ms;
}

bool ParseUInt(std::string_view s, std::size_t& i, int maxDigits, int& out) {
  std::size_t start = i;
  int v = 0;
  while (i < s.size() && i - start < static_cast<std::size_t>(maxDigits) && s[i] >= '0' && s[i] <= '9') {
    v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (i == start) return false;
  out = v;
  return true;
}

bool ParseDatePart(std::string_view s, std::size_t& i, TDateTime& out) {
  int y, m, d;
  if (!ParseUInt(s, i, 4, y)) return false;
  if (i >= s.size() || (s[i] != '-' && s[i] != '/' && s[i] != '.')) return false;
  char sep = s[i++];
  if (!ParseUInt(s, i, 2, m)) return false;
  if (i >= s.size() || s[i] != sep) return false;
  ++i;
  if (!ParseUInt(s, i, 2, d)) return false;
  if (y < 100) y += (y < 50 ? 2000 : 1900);
  if (!IsValidDate(y, m, d)) return false;
  out = EncodeDate(y, m, d);
  return true;
}

bool ParseTimePart(std::string_view s, std::size_t& i, TDateTime& out) {
  int h, n, sec = 0, ms = 0;
  if (!ParseUInt(s, i, 2, h)) return false;
  if (i >= s.size() || s[i] != ':') return false;
  ++i;
  if (!ParseUInt(s, i, 2, n)) return false;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (!ParseUInt(s, i, 2, sec)) return false;
    if (i < s.size() && s[i] == '.') {
      ++i;
      if (!ParseUInt(s, i, 3, ms)) return false;
    }
  }
  if (!IsValidTime(h, n, sec, ms)) return false;
  out = EncodeTime(h, n, sec, ms);
  return true;
}

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return days[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool IsValidTime(int hour, int minute, int second, int msec) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && msec >= 0 &&
         msec < 1000;
}

TDateTime EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) throw Error("Invalid argument to date encode");
  long long days = DaysBeforeYear(year) + DaysBeforeMonth(year, month) + day;
  return static_cast<double>(days - kDelta);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  if (!IsValidTime(hour, minute, second, msec)) throw Error("Invalid argument to time encode");
  return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  double d = EncodeDate(year, month, day);
  double t = EncodeTime(hour, minute, second, msec);
  return d >= 0 ? d + t : d - t;
}

DateParts DecodeDate(TDateTime dt) {
  long long n = static_cast<long long>(std::trunc(dt)) + kDelta - 1;  // days since 0001-01-01
  if (n < 0) return {};
  // Civil-from-days on the 400-year cycle.
  long long y400 = n / 146097, r = n % 146097;
  long long y100 = r / 36524;
  if (y100 == 4) y100 = 3;
  r -= y100 * 36524;
  long long y4 = r / 1461;
  r %= 1461;
  long long y1 = r / 365;
  if (y1 == 4) y1 = 3;
  r -= y1 * 365;
  DateParts p;
  p.year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  int m = 1;
  while (r >= DaysInMonth(p.year, m)) r -= DaysInMonth(p.year, m++);
  p.month = m;
  p.day = static_cast<int>(r) + 1;
  return p;
}

TimeParts DecodeTime(TDateTime dt) {
  long long ms = MillisOfDay(dt);
  TimeParts t;
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.msec = static_cast<int>(ms % 1000);
  return t;
}

int DayOfWeek(TDateTime dt) {
  long long n = static_cast<long long>(std::trunc(dt)) + kDelta - 1;  // days since 0001-01-01, a Monday
  return static_cast<int>((n + 1) % 7) + 1;
}

TDateTime Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec, ms);
}

TDateTime Today() {
  return std::floor(Now());
}

std::optional<TDateTime> TryStrToDateTime(std::string_view text) {
  std::string t = Trim(text);
  std::size_t i = 0;
  TDateTime date = 0, time = 0;
  bool hasDate = ParseDatePart(t, i, date);
  if (hasDate) {
    if (i == t.size()) return date;
    if (t[i] != ' ' && t[i] != 'T') return std::nullopt;
    while (i < t.size() && (t[i] == ' ' || t[i] == 'T')) ++i;
  } else {
    i = 0;
  }
  if (!ParseTimePart(t, i, time) || i != t.size()) return std::nullopt;
  return date + time;
}

std::optional<TDateTime> TryStrToDate(std::string_view text) {
  std::string t = Trim(text);
  std::size_t i = 0;
  TDateTime date = 0;
  if (!ParseDatePart(t, i, date)) return std::nullopt;  // a date needs its date part; a bare time is not one
  return TryStrToDateTime(t);
}

std::optional<TDateTime> TryStrToTime(std::string_view text) {
  std::string t = Trim(text);
  std::size_t i = 0;
  TDateTime time = 0;
  if (!ParseTimePart(t, i, time) || i != t.size()) return std::nullopt;
  return time;
}

bool IsDate(std::string_view text) {
  return TryStrToDate(text).has_value();
}
bool IsTime(std::string_view text) {
  return TryStrToTime(text).has_value();
}

std::string DateToStr(TDateTime dt) {
  DateParts d = DecodeDate(dt);
  return PadNumber(d.year, 4) + "-" + PadNumber(d.month, 2) + "-" + PadNumber(d.day, 2);
}

std::string TimeToStr(TDateTime dt) {
  TimeParts t = DecodeTime(dt);
  return PadNumber(t.hour, 2) + ":" + PadNumber(t.minute, 2) + ":" + PadNumber(t.second, 2);
}

std::string DateTimeToStr(TDateTime dt) {
  bool hasTime = MillisOfDay(dt) != 0;
  if (std::trunc(dt) == 0 && hasTime) return TimeToStr(dt);
  return hasTime ? DateToStr(dt) + " " + TimeToStr(dt) : DateToStr(dt);
}

}  // namespace sw
