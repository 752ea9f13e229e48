#include "sw/common/UString.h"

#include "sw/common/UDesCrypt.h"
#include "sw/core/CodePage.h"
#include "sw/core/Text.h"

namespace sw {
namespace {

// Length of the UTF-8 sequence that starts with byte b (1 for a stray continuation or invalid byte, so a
// malformed text is still walked byte by byte).
std::size_t SequenceLength(unsigned char b) {
  if (b >= 0xF0 && b <= 0xF4) return 4;
  if (b >= 0xE0) return b <= 0xEF ? 3 : 1;
  if (b >= 0xC2) return 2;
  return 1;
}

}  // namespace

std::string TUString::CutStr(std::string_view text, std::string_view sep, char side) const {
  const std::size_t at = sep.empty() ? std::string_view::npos : text.find(sep);
  if (side == 'L' || side == 'l')
    return std::string(at == std::string_view::npos ? text : text.substr(0, at));
  if (side == 'R' || side == 'r') {
    return at == std::string_view::npos ? std::string() : std::string(text.substr(at + sep.size()));
  }
  return {};
}

std::string TUString::RemoveChars(std::string_view text, std::string_view chars) const {
  std::vector<std::string_view> set;
  for (std::size_t i = 0; i < chars.size();) {
    const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(chars[i])), chars.size() - i);
    set.push_back(chars.substr(i, n));
    i += n;
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
    const std::string_view ch = text.substr(i, n);
    bool drop = false;
    for (std::string_view c : set) drop = drop || c == ch;
    if (!drop) out.append(ch);
    i += n;
  }
  return out;
}

bool TUString::SplitToList(std::string_view text, char sep, std::vector<std::string>& list) const {
  list.clear();
  for (std::string& piece : Split(text, sep)) {
    if (!piece.empty()) list.push_back(std::move(piece));
  }
  return true;
}

std::string TUString::EncryptText(std::string_view text) const {
  return sw::EncryptText(text);
}

std::string EncryptText(std::string_view text) {
  TUDesCrypt des;
  return des.EncryptToHex(Utf8ToGbk(text), kProtectionKey);
}

std::string DecryptText(std::string_view hex) {
  TUDesCrypt des;
  return GbkToUtf8(des.DecryptFromHex(hex, kProtectionKey));
}

}  // namespace sw
