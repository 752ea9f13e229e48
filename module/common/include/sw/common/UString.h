#pragma once
// String helper of the module: cutting a text at a separator, splitting a separated list, removing
// characters, and the protection of SQL texts for the application server.
#include <string>
#include <string_view>
#include <vector>

namespace sw {

class TUString {
 public:
  // Side 'L' (or 'l'): the part before the first occurrence of `sep`, or the whole text when it does not
  // occur. Side 'R' (or 'r'): the part after the first occurrence, or empty text when it does not occur. Any
  // other side gives empty text. An empty separator never occurs.
  std::string CutStr(std::string_view text, std::string_view sep, char side) const;
  std::string LeftOf(std::string_view text, std::string_view sep) const { return CutStr(text, sep, 'L'); }
  std::string RightOf(std::string_view text, std::string_view sep) const { return CutStr(text, sep, 'R'); }

  // The text without every character that occurs in `chars`. Characters are whole UTF-8 sequences, so
  // removing a Chinese character never cuts another one apart.
  std::string RemoveChars(std::string_view text, std::string_view chars) const;

  // Clears `list` and fills it with the non-empty pieces of `text` between separators; always true.
  bool SplitToList(std::string_view text, char sep, std::vector<std::string>& list) const;

  // The uppercase hexadecimal DES form of the text's GBK bytes under the protection key.
  std::string EncryptText(std::string_view text) const;
};

// EncryptText of the string helper, for callers without the singleton (the application server, the CLI).
std::string EncryptText(std::string_view text);
// The reverse of EncryptText: hexadecimal digits back to the GBK bytes, then to UTF-8. Raises sw::Error on a
// text that is not a well-formed enciphered text.
std::string DecryptText(std::string_view hex);

}  // namespace sw
