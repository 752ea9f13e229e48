#pragma once
// Text helpers in the manner of the original platform's string routines. Texts are byte strings (UTF-8
// inside); letter case is folded for ASCII letters only, as the code page's own case rules leave double-byte
// text alone.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// Removes every leading and trailing byte <= 32 (spaces and control characters).
std::string Trim(std::string_view s);
// The same part of `s` as Trim, as a view into `s` (no copy).
std::string_view TrimmedView(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// Case-insensitive equality and three-way comparison (<0, 0, >0) of ASCII letters.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
// Case-sensitive byte comparison returning <0, 0, >0.
int CompareStr(std::string_view a, std::string_view b);

// Position of `needle` in `hay` from `from` on, without regard to case; npos when absent.
std::size_t FindText(std::string_view hay, std::string_view needle, std::size_t from = 0);
bool StartsWithText(std::string_view s, std::string_view prefix);
bool EndsWithText(std::string_view s, std::string_view suffix);

// Replaces every occurrence of `from` by `to`, comparing without regard to case (replace-all, ignore-case).
std::string ReplaceAllText(std::string_view s, std::string_view from, std::string_view to);
// Replaces every occurrence of `from` by `to`, case-sensitively.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Splits on `sep`, keeping empty pieces ("a;;b" gives "a", "", "b"; "" gives one empty piece).
std::vector<std::string> Split(std::string_view s, char sep);
// Splits a ";" list the way name lists are read: pieces are trimmed and empty ones dropped.
std::vector<std::string> SplitNames(std::string_view s, char sep = ';');
std::string Join(const std::vector<std::string>& parts, std::string_view sep);

// Doubles every single quote, so the value can stand between single quotes in SQL.
std::string QuoteDoubled(std::string_view value);
// The value between single quotes with inner quotes doubled: O'Hara gives 'O''Hara'.
std::string QuotedStr(std::string_view value);

// Integer and float texts. Parsing accepts surrounding blanks (bytes <= 32), an optional sign, and for floats
// a decimal point and an exponent; hexadecimal "$1F" integers as the platform does.
std::optional<std::int64_t> TryStrToInt64(std::string_view s);
std::optional<double> TryStrToFloat(std::string_view s);
std::int64_t StrToInt64Def(std::string_view s, std::int64_t def);
std::string IntToStr(std::int64_t v);
// Shortest general form with at most 15 significant digits, as the platform's FloatToStr: 1.5, 100, 1E20,
// 1E-5.
std::string FloatToStr(double v);

// Zero-pads a non-negative integer to `width` digits.
std::string PadNumber(std::int64_t v, int width);

}  // namespace sw
