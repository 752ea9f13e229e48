#pragma once
// Date-time values are doubles counting days since 1899-12-30; the fraction is the time of day.
#include <optional>
#include <string>
#include <string_view>

namespace sw {

using TDateTime = double;

struct DateParts {
  int year = 1899, month = 12, day = 30;
};
struct TimeParts {
  int hour = 0, minute = 0, second = 0, msec = 0;
};

bool IsValidDate(int year, int month, int day);
bool IsValidTime(int hour, int minute, int second, int msec = 0);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Throws sw::Error on an invalid date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);
DateParts DecodeDate(TDateTime dt);
TimeParts DecodeTime(TDateTime dt);
// Day of the week, 1 = Sunday to 7 = Saturday.
int DayOfWeek(TDateTime dt);

TDateTime Now();
TDateTime Today();

// Reads a date and/or time the way the user's locale does here: "YYYY-MM-DD", "YYYY/MM/DD", "YYYY.MM.DD"
// (month and day of one or two digits), optionally followed by a time; a time "HH:NN", "HH:NN:SS" or
// "HH:NN:SS.ZZZ".
std::optional<TDateTime> TryStrToDateTime(std::string_view text);
std::optional<TDateTime> TryStrToDate(std::string_view text);
std::optional<TDateTime> TryStrToTime(std::string_view text);

// Whether the text is a date (with or without a time of day) / a time of day, as the conversions above
// accept.
bool IsDate(std::string_view text);
bool IsTime(std::string_view text);

// "YYYY-MM-DD", with " HH:NN:SS" when the time part is not zero; just the time when the date part is zero.
std::string DateTimeToStr(TDateTime dt);
std::string DateToStr(TDateTime dt);
std::string TimeToStr(TDateTime dt);

}  // namespace sw
