#pragma once
// Conversion between the UTF-8 held everywhere inside and the GBK (CP936) code page that the stored and wire
// formats and the byte-counting rules use. Conversions go through iconv.
#include <cstddef>
#include <string>
#include <string_view>

namespace sw {

// UTF-8 to GBK bytes. Characters that GBK cannot hold become '?'; invalid UTF-8 bytes become '?' too, so the
// conversion never fails and never loses the position of the text that follows.
std::string Utf8ToGbk(std::string_view utf8);

// GBK bytes to UTF-8. A byte sequence that is not valid GBK becomes U+FFFD, one per offending byte.
std::string GbkToUtf8(std::string_view gbk);

// Number of characters of a GBK byte string: a lead byte 0x81..0xFE followed by a trail byte counts once.
std::size_t GbkCharCount(std::string_view gbk);

// Number of characters (code points) of a UTF-8 string: every byte that is not a continuation byte.
std::size_t Utf8CharCount(std::string_view utf8);

// True when byte b starts a GBK double-byte character.
inline bool IsGbkLeadByte(unsigned char b) {
  return b >= 0x81 && b <= 0xFE;
}

}  // namespace sw
