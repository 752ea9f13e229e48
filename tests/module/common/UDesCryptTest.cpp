#include "sw/common/UDesCrypt.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>

#include "sw/common/UString.h"
#include "sw/core/Error.h"

namespace sw {
namespace {

struct KnownAnswer {
  std::uint64_t key, plain, cipher;
};

// Published known-answer vectors of the standard: the worked example, the NBS variable-plaintext and
// variable-key tests, and the classic "Now is t" example.
constexpr KnownAnswer kKnownAnswers[] = {
    {0x133457799BBCDFF1ull, 0x0123456789ABCDEFull, 0x85E813540F0AB405ull},
    {0x0101010101010101ull, 0x8000000000000000ull, 0x95F8A5E5DD31D900ull},
    {0x0101010101010101ull, 0x0000000000000001ull, 0x166B40B44ABA4BD6ull},
    {0x8001010101010101ull, 0x0000000000000000ull, 0x95A8D72813DAA94Dull},
    {0x0123456789ABCDEFull, 0x4E6F772069732074ull, 0x3FA40E8A984D4815ull},
    {0x0E329232EA6D0D73ull, 0x8787878787878787ull, 0x0000000000000000ull},
    {0x7CA110454A1A6E57ull, 0x01A1D6D039776742ull, 0x690F5B0D9A26939Bull},
};

TEST(DesBlock, KnownAnswersBothDirections) {
  for (const KnownAnswer& v : kKnownAnswers) {
    TUDesCrypt des;
    des.SetKey(v.key);
    EXPECT_EQ(des.EncryptBlock(v.plain), v.cipher) << std::hex << v.key;
    EXPECT_EQ(des.DecryptBlock(v.cipher), v.plain) << std::hex << v.key;
  }
}

TEST(DesBlock, ParityBitsOfTheKeyAreIgnored) {
  TUDesCrypt a, b;
  a.SetKey(0x133457799BBCDFF1ull);
  b.SetKey(0x133457799BBCDFF1ull ^ 0x0101010101010101ull);
  EXPECT_EQ(a.EncryptBlock(0x0123456789ABCDEFull), b.EncryptBlock(0x0123456789ABCDEFull));
}

TEST(DesBlock, UsingItWithoutAKeyIsAnError) {
  TUDesCrypt des;
  EXPECT_THROW(des.EncryptBlock(0), Error);
}

// Texts under the protection key "71594835", whose folded key bytes are 35 37 31 35 39 34 38 33 ("57159483":
// the eighth character comes first). Expected values were computed with an independent DES implementation.
struct TextCase {
  const char* name;
  std::string plain;  // UTF-8; the cipher sees its GBK bytes
  std::string hex;
};

const TextCase kTextCases[] = {
    {"empty text is one zero block", "", "F28269AF3D3B7607"},
    {"eight bytes make one block", "ABCDEFGH", "611DA2C1FEC19485"},
    {"a short block is zero padded", "SELECT 1", "766DEFC216F6C06A"},
    {"nine bytes make two blocks", "SELECT 12", "766DEFC216F6C06A35FFFFD9872CCA68"},
    {"four Chinese characters are eight GBK bytes", "删除用户", "3171788283116E9E"},
    {"one more byte after them opens a block", "删除用户A", "3171788283116E9EC584F8B3246A27B4"},
};

TEST(EncryptText, EnciphersGbkBytesUnderTheProtectionKey) {
  for (const TextCase& c : kTextCases) {
    EXPECT_EQ(EncryptText(c.plain), c.hex) << c.name;
    EXPECT_EQ(TUString().EncryptText(c.plain), c.hex) << c.name;
    EXPECT_EQ(DecryptText(c.hex), c.plain) << c.name;
  }
}

TEST(EncryptText, OutputIsUppercaseHexOfWholeBlocks) {
  const std::string hex = EncryptText("delete from tUsrUser where UserID=1234567");
  EXPECT_EQ(hex.size() % 16, 0u);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
}

TEST(EncryptText, TrailingZeroBytesEncipherLikeThePadding) {
  EXPECT_EQ(EncryptText(std::string("SELECT\0\0", 8)), EncryptText("SELECT"));
  EXPECT_EQ(EncryptText(std::string("AB\0", 3)), EncryptText("AB"));
}

TEST(EncryptToHex, FoldsALongerKeyOntoTheSameEightBytes) {
  // "0123456789": characters 9 and 10 are added to K[1] and K[2].
  const TUDesCrypt::KeyBytes expected{0x37, 0x30 + 0x38, 0x31 + 0x39, 0x32, 0x33, 0x34, 0x35, 0x36};
  EXPECT_EQ(TUDesCrypt::FoldKey("0123456789"), expected);
  TUDesCrypt des;
  EXPECT_EQ(des.EncryptToHex("ABCDEFGH", "0123456789"), "E34D345513A03604");
  // A key of sixteen characters folds back onto itself: each byte doubled.
  EXPECT_EQ(TUDesCrypt::FoldKey("7159483571594835"),
            (TUDesCrypt::KeyBytes{0x6A, 0x6E, 0x62, 0x6A, 0x72, 0x68, 0x70, 0x66}));
  EXPECT_EQ(TUDesCrypt::FoldKey(""), TUDesCrypt::KeyBytes{});
}

TEST(DecryptFromHex, RoundTripsBytesAndAcceptsLowerCase) {
  TUDesCrypt des;
  const std::string bytes("\x01\xff\x80 mixed bytes \x7f", 17);
  const std::string hex = des.EncryptToHex(bytes, "key");
  EXPECT_EQ(des.DecryptFromHex(hex, "key"), bytes);
  std::string lower = hex;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_EQ(des.DecryptFromHex(lower, "key"), bytes);
  EXPECT_EQ(des.DecryptFromHex(des.EncryptToHex("", "key"), "key"), "");
}

TEST(DecryptFromHex, RefusesMalformedText) {
  const char* const bad[] = {
      "",                    // nothing to decipher
      "F28269AF3D3B760",     // 15 digits
      "F28269AF3D3B7607F2",  // not whole blocks
      "F28269AF3D3B760G",    // not a digit
      "F28269AF3D3B76 7",    // a blank inside
  };
  for (const char* hex : bad) EXPECT_THROW(DecryptText(hex), Error) << '"' << hex << '"';
}

}  // namespace
}  // namespace sw
