#include "sw/core/Text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sw {
namespace {

inline unsigned char Up(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}
inline unsigned char Low(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}
inline bool Blank(unsigned char c) {
  return c <= 32;
}

}  // namespace

std::string_view TrimmedView(std::string_view s) {
  std::size_t i = 0;
  std::size_t n = s.size();
  while (i < n && Blank(static_cast<unsigned char>(s[i]))) ++i;
  while (n > i && Blank(static_cast<unsigned char>(s[n - 1]))) --n;
  return s.substr(i, n - i);
}

std::string Trim(std::string_view s) {
  return std::string(TrimmedView(s));
}

std::string TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && Blank(static_cast<unsigned char>(s[i]))) ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && Blank(static_cast<unsigned char>(s[n - 1]))) --n;
  return std::string(s.substr(0, n));
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(Up(static_cast<unsigned char>(c)));
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(Low(static_cast<unsigned char>(c)));
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x == y) continue;  // most bytes of names that match are equal as they are
    const int d = static_cast<int>(Up(x)) - static_cast<int>(Up(y));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareStr(std::string_view a, std::string_view b) {
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::size_t FindText(std::string_view hay, std::string_view needle, std::size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : std::string_view::npos;
  if (needle.size() > hay.size()) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() &&
           Up(static_cast<unsigned char>(hay[i + k])) == Up(static_cast<unsigned char>(needle[k])))
      ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsWithText(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

namespace {

// Replaces every match that `find(s, from, pos)` reports; the replacement text is never searched again.
template <typename Finder>
std::string ReplaceEvery(std::string_view s, std::string_view from, std::string_view to, Finder find) {
  if (from.empty()) return std::string(s);
  std::string out;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = find(s, from, pos)) != std::string_view::npos; pos = hit + from.size()) {
    out.append(s.substr(pos, hit - pos));
    out.append(to);
  }
  out.append(s.substr(pos));
  return out;
}

}  // namespace

std::string ReplaceAllText(std::string_view s, std::string_view from, std::string_view to) {
  return ReplaceEvery(
      s, from, to, [](std::string_view h, std::string_view n, std::size_t p) { return FindText(h, n, p); });
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  return ReplaceEvery(s, from, to,
                      [](std::string_view h, std::string_view n, std::size_t p) { return h.find(n, p); });
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t hit = s.find(sep, start);
    if (hit == std::string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, hit - start));
    start = hit + 1;
  }
}

std::vector<std::string> SplitNames(std::string_view s, char sep) {
  std::vector<std::string> names;
  for (auto& piece : Split(s, sep)) {
    std::string t = Trim(piece);
    if (!t.empty()) names.push_back(std::move(t));
  }
  return names;
}

std::string Join(const std::vector<std::string>& parts, std::string_view sep) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out.append(sep);
    out.append(parts[i]);
  }
  return out;
}

std::string QuoteDoubled(std::string_view value) {
  return ReplaceAll(value, "'", "''");
}

std::string QuotedStr(std::string_view value) {
  return "'" + QuoteDoubled(value) + "'";
}

std::optional<std::int64_t> TryStrToInt64(std::string_view s) {
  std::string t = Trim(s);
  if (t.empty()) return std::nullopt;
  std::size_t i = 0;
  bool negative = false;
  if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return std::nullopt;
  unsigned long long acc = 0;
  const unsigned long long limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (; i < t.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    if (acc > (limit - static_cast<unsigned long long>(d)) / static_cast<unsigned long long>(base))
      return std::nullopt;
    acc = acc * static_cast<unsigned long long>(base) + static_cast<unsigned long long>(d);
  }
  if (negative) return acc == 9223372036854775808ULL ? INT64_MIN : -static_cast<std::int64_t>(acc);
  return static_cast<std::int64_t>(acc);
}

std::optional<double> TryStrToFloat(std::string_view s) {
  std::string t = Trim(s);
  if (t.empty()) return std::nullopt;
  // Accept only [sign] digits [. digits] [e [sign] digits]: strtod alone would take "inf", "nan" and hex.
  std::size_t i = 0;
  if (t[i] == '+' || t[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  errno = 0;
  double v = std::strtod(t.c_str(), nullptr);
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

std::int64_t StrToInt64Def(std::string_view s, std::int64_t def) {
  auto v = TryStrToInt64(s);
  return v ? *v : def;
}

std::string IntToStr(std::int64_t v) {
  return std::to_string(v);
}

std::string FloatToStr(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (v == 0) return "0";
  // Round to 15 significant digits and read the mantissa digits and exponent back.
  char buf[64];
  bool negative = v < 0;
  std::snprintf(buf, sizeof buf, "%.14E", negative ? -v : v);
  std::string text(buf);
  std::size_t e = text.find('E');
  int exponent = std::atoi(text.c_str() + e + 1);
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out;
  if (exponent >= 15 || exponent < -5) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E";
    if (exponent < 0) out += "-";
    out += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    std::size_t intLen = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intLen) {
      out = digits + std::string(intLen - digits.size(), '0');
    } else {
      out = digits.substr(0, intLen) + "." + digits.substr(intLen);
    }
  }
  return negative ? "-" + out : out;
}

std::string PadNumber(std::int64_t v, int width) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return s;
}

}  // namespace sw
