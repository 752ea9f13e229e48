#include "sw/common/UDesCrypt.h"

#include "sw/core/Error.h"

namespace sw {
namespace {

// The tables of the standard. Bit positions count from 1 at the most significant bit of the input.
constexpr std::uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                                  62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                                  57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                                  61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::uint8_t kFP[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                                  38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                                  36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                                  34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

constexpr std::uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                 2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                                   35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                                   46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                   26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                   51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr std::uint8_t kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Picks bits of a `width`-bit input in the order of `table` (1 = most significant input bit).
template <std::size_t N>
std::uint64_t Permute(std::uint64_t in, int width, const std::uint8_t (&table)[N]) {
  std::uint64_t out = 0;
  for (std::uint8_t pos : table) out = (out << 1) | ((in >> (width - pos)) & 1u);
  return out;
}

std::uint32_t Rotate28(std::uint32_t v, int n) {
  return ((v << n) | (v >> (28 - n))) & 0x0FFFFFFFu;
}

// The block function works on tables derived once from the standard's tables: the initial and final
// permutations as the OR of one entry per input byte, and each S-box with permutation P applied to its
// output.
struct BlockTables {
  std::uint64_t ip[8][256];
  std::uint64_t fp[8][256];
  std::uint32_t sp[8][64];  // indexed by the six input bits of the box
};

const BlockTables& Tables() {
  static const BlockTables tables = [] {
    BlockTables t{};
    for (int byte = 0; byte < 8; ++byte) {
      for (unsigned v = 0; v < 256; ++v) {
        const std::uint64_t in = static_cast<std::uint64_t>(v) << (56 - 8 * byte);
        t.ip[byte][v] = Permute(in, 64, kIP);
        t.fp[byte][v] = Permute(in, 64, kFP);
      }
    }
    for (int box = 0; box < 8; ++box) {
      for (unsigned six = 0; six < 64; ++six) {
        const unsigned row = ((six & 0x20u) >> 4) | (six & 1u);
        const unsigned col = (six >> 1) & 0x0Fu;
        const std::uint32_t s = static_cast<std::uint32_t>(kS[box][row * 16 + col]) << (28 - 4 * box);
        t.sp[box][six] = static_cast<std::uint32_t>(Permute(s, 32, kP));
      }
    }
    return t;
  }();
  return tables;
}

std::uint64_t PermuteBytes(std::uint64_t in, const std::uint64_t (&table)[8][256]) {
  std::uint64_t out = 0;
  for (int byte = 0; byte < 8; ++byte) out |= table[byte][(in >> (56 - 8 * byte)) & 0xFFu];
  return out;
}

// The round function: expansion, key mixing, the eight S-boxes, permutation P. The expansion gives box n the
// six bits of R from position 4n to 4n+5 (1-based, wrapping round), which are six consecutive bits of R
// rotated right by one and written twice.
std::uint32_t Feistel(std::uint32_t r, std::uint64_t roundKey, const BlockTables& t) {
  const std::uint32_t rotated = (r >> 1) | (r << 31);
  const std::uint64_t twice = (static_cast<std::uint64_t>(rotated) << 32) | rotated;
  std::uint32_t f = 0;
  for (int box = 0; box < 8; ++box) {
    const unsigned six =
        static_cast<unsigned>(((twice >> (58 - 4 * box)) ^ (roundKey >> (42 - 6 * box))) & 0x3Fu);
    f |= t.sp[box][six];
  }
  return f;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

TUDesCrypt::KeyBytes TUDesCrypt::FoldKey(std::string_view keyText) {
  KeyBytes k{};
  for (std::size_t i = 0; i < keyText.size(); ++i) {
    const std::size_t n = i + 1;  // 1-based position of the character
    k[n % 8] = static_cast<std::uint8_t>(k[n % 8] + static_cast<unsigned char>(keyText[i]));
  }
  return k;
}

void TUDesCrypt::SetKey(const KeyBytes& key) {
  std::uint64_t v = 0;
  for (std::uint8_t b : key) v = (v << 8) | b;
  SetKey(v);
}

void TUDesCrypt::SetKey(std::uint64_t key) {
  const std::uint64_t cd = Permute(key, 64, kPC1);
  std::uint32_t c = static_cast<std::uint32_t>(cd >> 28) & 0x0FFFFFFFu;
  std::uint32_t d = static_cast<std::uint32_t>(cd) & 0x0FFFFFFFu;
  for (int round = 0; round < 16; ++round) {
    c = Rotate28(c, kShifts[round]);
    d = Rotate28(d, kShifts[round]);
    roundKeys_[round] = Permute((static_cast<std::uint64_t>(c) << 28) | d, 56, kPC2);
  }
  hasKey_ = true;
}

namespace {
std::uint64_t Crypt(std::uint64_t block, const std::array<std::uint64_t, 16>& keys, bool decrypt) {
  const BlockTables& t = Tables();
  const std::uint64_t ip = PermuteBytes(block, t.ip);
  std::uint32_t l = static_cast<std::uint32_t>(ip >> 32);
  std::uint32_t r = static_cast<std::uint32_t>(ip);
  for (int round = 0; round < 16; ++round) {
    const std::uint32_t next = l ^ Feistel(r, keys[decrypt ? 15 - round : round], t);
    l = r;
    r = next;
  }
  // The halves are swapped once more before the final permutation.
  return PermuteBytes((static_cast<std::uint64_t>(r) << 32) | l, t.fp);
}
}  // namespace

std::uint64_t TUDesCrypt::EncryptBlock(std::uint64_t block) const {
  if (!hasKey_) throw Error("TUDesCrypt: no key set");
  return Crypt(block, roundKeys_, false);
}

std::uint64_t TUDesCrypt::DecryptBlock(std::uint64_t block) const {
  if (!hasKey_) throw Error("TUDesCrypt: no key set");
  return Crypt(block, roundKeys_, true);
}

std::string TUDesCrypt::EncryptToHex(std::string_view plain, std::string_view keyText) {
  SetKey(FoldKey(keyText));
  const std::size_t blocks = plain.empty() ? 1 : (plain.size() + 7) / 8;
  std::string hex;
  hex.reserve(blocks * 16);
  for (std::size_t b = 0; b < blocks; ++b) {
    std::uint64_t block = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      const std::size_t at = b * 8 + i;
      const std::uint8_t byte = at < plain.size() ? static_cast<unsigned char>(plain[at]) : 0;
      block = (block << 8) | byte;
    }
    const std::uint64_t cipher = EncryptBlock(block);
    for (int shift = 60; shift >= 0; shift -= 4) hex.push_back(kHexDigits[(cipher >> shift) & 0x0Fu]);
  }
  return hex;
}

std::string TUDesCrypt::DecryptFromHex(std::string_view hex, std::string_view keyText) {
  if (hex.empty()) throw Error("DecryptFromHex: the enciphered text is empty");
  if (hex.size() % 16 != 0) {
    throw Error("DecryptFromHex: the enciphered text has " + std::to_string(hex.size()) +
                " digits, not a multiple of 16");
  }
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (HexValue(hex[i]) < 0) {
      throw Error("DecryptFromHex: character " + std::to_string(i + 1) +
                  " of the enciphered text is not a "
                  "hexadecimal digit");
    }
  }
  SetKey(FoldKey(keyText));
  std::string plain;
  plain.reserve(hex.size() / 2);
  for (std::size_t at = 0; at < hex.size(); at += 16) {
    std::uint64_t block = 0;
    for (std::size_t i = 0; i < 16; ++i) block = (block << 4) | static_cast<unsigned>(HexValue(hex[at + i]));
    const std::uint64_t clear = DecryptBlock(block);
    for (int shift = 56; shift >= 0; shift -= 8) plain.push_back(static_cast<char>((clear >> shift) & 0xFFu));
  }
  const std::size_t end = plain.find_last_not_of('\0');
  plain.resize(end == std::string::npos ? 0 : end + 1);
  return plain;
}

}  // namespace sw
