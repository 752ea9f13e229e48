#pragma once
// The three picture languages of the system: date/time pictures, number pictures and "%" formats.
#include <string>
#include <string_view>
#include <vector>

#include "sw/core/DateTime.h"
#include "sw/core/Variant.h"

namespace sw {

// Date/time picture: Y year (one or two letters: two digits; three or more: four digits); M month (M: no
// padding, MM and longer: two digits), but minutes when the last letter before it was an hour letter; D day;
// H hour; N minutes; S seconds; Z milliseconds (Z: no padding, ZZZ: three digits); "AM/PM" gives AM or PM and
// turns the hour into a 12-hour clock; text between double or single quotes and every other character is
// copied. Letters are read without regard to case.
std::string FormatDateTime(std::string_view picture, TDateTime dt);

// Number picture: "0" a digit always shown, "#" a digit shown when significant, "." the decimal point, ","
// anywhere in the integer part turns on thousands grouping, "E+"/"E-" scientific notation; quoted text and
// other characters are copied where they stand before or after the digits. Up to three sections separated by
// ";" are used for positive, negative and zero values. Rounding is half away from zero on the value's 15
// significant decimal digits. An empty picture gives FloatToStr's general form.
std::string FormatFloat(std::string_view picture, double value);

// "%" formats: %s (text), %d (integer), %u, %x (hexadecimal), %f, %e, %g, %n (grouped), %m (currency, two
// decimals), %% ; an optional "-" for left alignment, a width and a ".precision". Throws sw::Error when a
// directive has no argument or the argument does not fit the directive.
std::string Format(std::string_view format, const std::vector<Variant>& args);

}  // namespace sw
