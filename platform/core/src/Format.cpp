#include "sw/core/Format.h"

#include <cmath>
#include <cstdio>

#include "sw/core/Error.h"
#include "sw/core/Text.h"

namespace sw {
namespace {

inline char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::size_t RunLength(std::string_view s, std::size_t i) {
  std::size_t n = 1;
  while (i + n < s.size() && Upper(s[i + n]) == Upper(s[i])) ++n;
  return n;
}

// Decimal digits and exponent of |v| to 15 significant digits (the precision of a double's decimal form): v =
// 0.d1d2d3... * 10^exponent.
struct Decimal {
  std::string digits;  // no leading zeros; empty for zero
  int exponent = 0;    // position of the decimal point relative to the digits
};

Decimal ToDecimal(double v) {
  Decimal d;
  v = std::fabs(v);
  if (v == 0) return d;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.14e", v);
  std::string t(buf);
  std::size_t e = t.find('e');
  d.digits = t.substr(0, 1) + t.substr(2, e - 2);
  d.exponent = std::atoi(t.c_str() + e + 1) + 1;
  return d;
}

// Rounds the decimal to `decimals` digits after the point, half away from zero.
void RoundDecimal(Decimal& d, int decimals) {
  if (d.digits.empty()) return;
  int keep = d.exponent + decimals;  // number of digits kept
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  if (keep >= static_cast<int>(d.digits.size())) return;
  bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9')
      d.digits[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    } else {
      ++d.digits[static_cast<std::size_t>(i)];
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

std::vector<std::string> SplitSections(std::string_view picture) {
  std::vector<std::string> sections(1);
  char quote = 0;
  for (char c : picture) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

std::string GroupThousands(const std::string& integer) {
  std::string out;
  int count = 0;
  for (auto it = integer.rbegin(); it != integer.rend(); ++it) {
    if (count && count % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++count;
  }
  return out;
}

std::string FormatSection(const std::string& pic, double value, bool showMinus) {
  // Split the picture into prefix literals, the placeholder body, and suffix literals.
  std::string prefix, suffix;
  std::size_t first = std::string::npos;
  bool grouping = false, scientific = false, expSignAlways = false;
  int expDigits = 0;
  int intZeros = 0, intHashes = 0, fracZeros = 0, fracHashes = 0;
  bool afterPoint = false;
  bool seenPoint = false;
  char quote = 0;
  std::string literalRun;
  for (std::size_t i = 0; i < pic.size(); ++i) {
    char c = pic[i];
    if (quote) {
      if (c == quote)
        quote = 0;
      else
        literalRun += c;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    bool placeholder = false;
    if (!scientific && (c == 'E' || c == 'e') && i + 1 < pic.size() &&
        (pic[i + 1] == '+' || pic[i + 1] == '-') && first != std::string::npos) {
      scientific = true;
      expSignAlways = pic[i + 1] == '+';
      ++i;
      while (i + 1 < pic.size() && pic[i + 1] == '0') ++expDigits, ++i;
      placeholder = true;
    } else if (!scientific && (c == '0' || c == '#')) {
      placeholder = true;
      if (afterPoint) {
        if (c == '0') {
          fracZeros += fracHashes + 1;  // every place up to the last '0' is always shown
          fracHashes = 0;
        } else {
          ++fracHashes;
        }
      } else if (c == '0' || intZeros > 0) {
        ++intZeros;
      } else {
        ++intHashes;
      }
    } else if (!scientific && c == '.' && !seenPoint) {
      placeholder = true;
      seenPoint = afterPoint = true;
    } else if (!scientific && c == ',' && !afterPoint) {
      grouping = true;
      placeholder = first != std::string::npos;
    }
    if (placeholder) {
      if (first == std::string::npos) {
        first = i;
        prefix = literalRun;
      }
      literalRun.clear();
    } else {
      literalRun += c;
    }
  }
  if (first == std::string::npos) return literalRun;  // no placeholders: the picture is the text
  suffix = literalRun;
  int maxDecimals = fracZeros + fracHashes;

  Decimal d = ToDecimal(value);
  std::string body;
  if (scientific) {
    int intDigits = std::max(1, intZeros + intHashes);
    int exponent = d.digits.empty() ? 0 : d.exponent - intDigits;
    Decimal m = d;
    m.exponent = d.digits.empty() ? 0 : intDigits;
    RoundDecimal(m, maxDecimals);
    if (!m.digits.empty() && m.exponent > intDigits) {  // rounding carried into a new digit
      m.exponent = intDigits;
      ++exponent;
    }
    std::string integer =
        m.digits.substr(0, std::min<std::size_t>(m.digits.size(), static_cast<std::size_t>(intDigits)));
    integer.resize(static_cast<std::size_t>(intDigits), '0');
    std::string frac = m.digits.size() > static_cast<std::size_t>(intDigits)
                           ? m.digits.substr(static_cast<std::size_t>(intDigits))
                           : "";
    if (static_cast<int>(frac.size()) < fracZeros) frac.resize(static_cast<std::size_t>(fracZeros), '0');
    body = integer + (frac.empty() ? "" : "." + frac) + "E";
    if (exponent < 0)
      body += "-";
    else if (expSignAlways)
      body += "+";
    body += PadNumber(std::abs(exponent), std::max(1, expDigits));
    return prefix + (showMinus && !d.digits.empty() ? "-" : "") + body + suffix;
  }

  RoundDecimal(d, maxDecimals);
  std::string integer, frac;
  if (!d.digits.empty()) {
    if (d.exponent > 0) {
      integer =
          d.digits.substr(0, std::min<std::size_t>(d.digits.size(), static_cast<std::size_t>(d.exponent)));
      integer.resize(static_cast<std::size_t>(d.exponent), '0');
      if (static_cast<int>(d.digits.size()) > d.exponent)
        frac = d.digits.substr(static_cast<std::size_t>(d.exponent));
    } else {
      frac = std::string(static_cast<std::size_t>(-d.exponent), '0') + d.digits;
    }
  }
  if (static_cast<int>(integer.size()) < intZeros)
    integer.insert(0, static_cast<std::size_t>(intZeros) - integer.size(), '0');
  if (grouping) integer = GroupThousands(integer);
  if (static_cast<int>(frac.size()) < fracZeros) frac.resize(static_cast<std::size_t>(fracZeros), '0');
  body = integer;
  if (!frac.empty()) body += "." + frac;
  bool negative = showMinus && !d.digits.empty();
  return prefix + (negative ? "-" : "") + body + suffix;
}

}  // namespace

std::string FormatDateTime(std::string_view picture, TDateTime dt) {
  DateParts d = DecodeDate(dt);
  TimeParts t = DecodeTime(dt);
  bool twelveHour = FindText(picture, "AM/PM") != std::string_view::npos;
  std::string out;
  char lastLetter = 0;
  for (std::size_t i = 0; i < picture.size();) {
    char c = picture[i];
    char u = Upper(c);
    if (c == '"' || c == '\'') {
      std::size_t end = picture.find(c, i + 1);
      if (end == std::string_view::npos) end = picture.size();
      out.append(picture.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (u == 'A' && StartsWithText(picture.substr(i), "AM/PM")) {
      out += t.hour < 12 ? "AM" : "PM";
      i += 5;
      continue;
    }
    std::size_t n = (u == 'Y' || u == 'M' || u == 'D' || u == 'H' || u == 'N' || u == 'S' || u == 'Z')
                        ? RunLength(picture, i)
                        : 1;
    switch (u) {
      case 'Y':
        out += n <= 2 ? PadNumber(d.year % 100, 2) : PadNumber(d.year, 4);
        break;
      case 'M':
        if (lastLetter == 'H')
          out += n == 1 ? std::to_string(t.minute) : PadNumber(t.minute, 2);
        else
          out += n == 1 ? std::to_string(d.month) : PadNumber(d.month, 2);
        break;
      case 'D':
        out += n == 1 ? std::to_string(d.day) : PadNumber(d.day, 2);
        break;
      case 'H': {
        int h = t.hour;
        if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
        out += n == 1 ? std::to_string(h) : PadNumber(h, 2);
        break;
      }
      case 'N':
        out += n == 1 ? std::to_string(t.minute) : PadNumber(t.minute, 2);
        break;
      case 'S':
        out += n == 1 ? std::to_string(t.second) : PadNumber(t.second, 2);
        break;
      case 'Z':
        out += n < 3 ? std::to_string(t.msec) : PadNumber(t.msec, 3);
        break;
      default:
        out += c;
        break;
    }
    if (u == 'Y' || u == 'M' || u == 'D' || u == 'H' || u == 'N' || u == 'S' || u == 'Z') lastLetter = u;
    i += n;
  }
  return out;
}

std::string FormatFloat(std::string_view picture, double value) {
  if (picture.empty()) return FloatToStr(value);
  std::vector<std::string> sections = SplitSections(picture);
  if (value == 0 && sections.size() >= 3 && !sections[2].empty())
    return FormatSection(sections[2], value, false);
  if (value < 0 && sections.size() >= 2 && !sections[1].empty())
    return FormatSection(sections[1], value, false);
  return FormatSection(sections[0], value, value < 0);
}

std::string Format(std::string_view format, const std::vector<Variant>& args) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    std::size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    if (i < format.size() && format[i] == '-') left = true, ++i;
    int width = -1, precision = -1;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9')
      width = (width < 0 ? 0 : width * 10) + (format[i++] - '0');
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = 0;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9')
        precision = precision * 10 + (format[i++] - '0');
    }
    if (i >= format.size())
      throw Error("Format '" + std::string(format) + "' invalid or incompatible with argument");
    char kind = Upper(format[i]);
    if (next >= args.size())
      throw Error("Format '" + std::string(format) + "' invalid or incompatible with argument");
    const Variant& arg = args[next++];
    std::string piece;
    try {
      switch (kind) {
        case 'S':
          piece = arg.ToString();
          if (precision >= 0 && piece.size() > static_cast<std::size_t>(precision))
            piece.resize(static_cast<std::size_t>(precision));
          break;
        case 'D':
        case 'U': {
          if (!(arg.Type() == VarType::Int16 || arg.Type() == VarType::Int32 || arg.Type() == VarType::Int64))
            throw Error("");
          std::int64_t v = arg.ToInt64();
          std::string digits = std::to_string(v < 0 ? -(v + 1) + 1ULL : static_cast<unsigned long long>(v));
          if (precision > 0 && digits.size() < static_cast<std::size_t>(precision))
            digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
          piece = (v < 0 ? "-" : "") + digits;
          break;
        }
        case 'X': {
          if (!(arg.Type() == VarType::Int16 || arg.Type() == VarType::Int32 || arg.Type() == VarType::Int64))
            throw Error("");
          char buf[32];
          std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(arg.ToInt64()));
          piece = buf;
          if (precision > 0 && piece.size() < static_cast<std::size_t>(precision))
            piece.insert(0, static_cast<std::size_t>(precision) - piece.size(), '0');
          break;
        }
        case 'F':
          piece =
              FormatFloat("0." + std::string(static_cast<std::size_t>(precision < 0 ? 2 : precision), '0'),
                          arg.ToDouble());
          break;
        case 'N':
          piece = FormatFloat(
              "#,##0." + std::string(static_cast<std::size_t>(precision < 0 ? 2 : precision), '0'),
              arg.ToDouble());
          break;
        case 'M':
          piece = FormatFloat(
              "#,##0." + std::string(static_cast<std::size_t>(precision < 0 ? 2 : precision), '0'),
              arg.ToDouble());
          break;
        case 'E': {
          char buf[64];
          std::snprintf(buf, sizeof buf, "%.*E", precision < 0 ? 14 : std::max(0, precision - 1),
                        arg.ToDouble());
          piece = buf;
          break;
        }
        case 'G':
          piece = FloatToStr(arg.ToDouble());
          break;
        default:
          throw Error("");
      }
    } catch (const Error&) {
      throw Error("Format '" + std::string(format.substr(start, i - start + 1)) +
                  "' invalid or incompatible with argument");
    }
    if (width > 0 && piece.size() < static_cast<std::size_t>(width)) {
      std::string pad(static_cast<std::size_t>(width) - piece.size(), ' ');
      piece = left ? piece + pad : pad + piece;
    }
    out += piece;
  }
  return out;
}

}  // namespace sw
