#include "sw/common/UDesCrypt.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

}  // namespace
}  // namespace sw
