#pragma once
// The Data Encryption Standard (FIPS 46-3) in electronic codebook mode, and the protection of SQL texts built
// on it: a text travels as the uppercase hexadecimal form of its encipherment under a key both ends know.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sw {

// The fixed key under which the module protects texts for the application server.
inline constexpr std::string_view kProtectionKey = "71594835";

class TUDesCrypt {
 public:
  using KeyBytes = std::array<std::uint8_t, 8>;

  TUDesCrypt() = default;

  // Key bytes from a key text: byte n (1-based) of the text is added, modulo 256, to K[n mod 8], starting
  // from eight zero bytes. An eight-byte key thus puts its eighth byte first; longer keys fold onto the same
  // bytes.
  static KeyBytes FoldKey(std::string_view keyText);

  // Builds the 16 round keys for a 64-bit key given as eight bytes, K[0] the most significant. Parity bits
  // are ignored.
  void SetKey(const KeyBytes& key);
  void SetKey(std::uint64_t key);

  // One 64-bit block, the first byte being the most significant. The key must have been set.
  std::uint64_t EncryptBlock(std::uint64_t block) const;
  std::uint64_t DecryptBlock(std::uint64_t block) const;

  // Enciphers the bytes of `plain` under the folded `keyText`: blocks of eight bytes, the last one filled up
  // with zero bytes, at least one block; the result is two uppercase hexadecimal digits per cipher byte.
  std::string EncryptToHex(std::string_view plain, std::string_view keyText);

  // The reverse of EncryptToHex: hexadecimal digits (either case) to bytes, deciphered, with the trailing
  // zero bytes of the padding removed. Raises sw::Error when the text is empty, holds a character that is not
  // a hexadecimal digit, or its length is not a multiple of 16.
  std::string DecryptFromHex(std::string_view hex, std::string_view keyText);

 private:
  std::array<std::uint64_t, 16> roundKeys_{};
  bool hasKey_ = false;
};

}  // namespace sw
