#include "sw/core/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <stdexcept>

namespace sw {
namespace {

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenConverter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  return IconvHandle(cd);
}

// Converts with iconv; on a byte it cannot convert, appends `replacement` and skips `skip` input bytes.
std::string Convert(const char* to, const char* from, std::string_view in, std::string_view replacement) {
  thread_local IconvHandle toGbk;
  thread_local IconvHandle fromGbk;
  IconvHandle& slot = (std::string_view(to) == "GBK") ? toGbk : fromGbk;
  if (!slot) slot = OpenConverter(to, from);
  iconv_t cd = static_cast<iconv_t>(slot.get());
  iconv(cd, nullptr, nullptr, nullptr, nullptr);

  std::string out;
  out.reserve(in.size() * 2 + 4);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: one unusable input position. For UTF-8 input skip the whole sequence.
      std::size_t skip = 1;
      if (std::string_view(from) == "UTF-8") {
        unsigned char lead = static_cast<unsigned char>(*inPtr);
        std::size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        skip = 1;
        while (skip < want && skip < inLeft && (static_cast<unsigned char>(inPtr[skip]) & 0xC0) == 0x80)
          ++skip;
      }
      out.append(replacement);
      inPtr += skip;
      inLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return Convert("GBK", "UTF-8", utf8, "?");
}

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  return Convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD");
}

std::size_t GbkCharCount(std::string_view gbk) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < gbk.size(); ++i, ++count) {
    if (IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size()) ++i;
  }
  return count;
}

std::size_t Utf8CharCount(std::string_view utf8) {
  std::size_t count = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace sw
