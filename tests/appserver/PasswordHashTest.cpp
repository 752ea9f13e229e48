#include <gtest/gtest.h>

#include "sw/appserver/PasswordHash.h"

namespace sw::appserver {
namespace {

TEST(Sha256, KnownDigests) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& [in, hex] : cases) EXPECT_EQ(Sha256Hex(in), hex) << in.size();
}

TEST(PasswordHash, VerifiesOnlyTheRightPassword) {
  const std::string stored = MakePasswordHash("admin");
  EXPECT_TRUE(VerifyPassword("admin", stored));
  EXPECT_FALSE(VerifyPassword("Admin", stored));
  EXPECT_FALSE(VerifyPassword("", stored));
  EXPECT_NE(MakePasswordHash("admin"), stored) << "every hash has its own salt";
  EXPECT_EQ(MakePasswordHash("口令", "00ff", 3), MakePasswordHash("口令", "00ff", 3));
}

TEST(PasswordHash, MalformedStoredFormsNeverMatch) {
  const char* cases[] = {
      "", "admin", "sha256$1$zz$00", "md5$1$00$00", "sha256$0$00$00", "sha256$x$00$00", "sha256$1$00"};
  for (const char* c : cases) EXPECT_FALSE(VerifyPassword("admin", c)) << c;
}

}  // namespace
}  // namespace sw::appserver
