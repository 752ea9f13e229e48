#pragma once
// Passwords are kept as salted, iterated SHA-256 digests: "sha256$ROUNDS$SALT$DIGEST" with SALT and DIGEST in
// lowercase hexadecimal. DIGEST is SHA-256 applied ROUNDS times, the first time to SALT bytes + password
// bytes and each further time to the previous digest + password bytes.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sw::appserver {

// FIPS 180-4 SHA-256 of a byte string.
std::array<std::uint8_t, 32> Sha256(std::string_view data);
std::string Sha256Hex(std::string_view data);

// A new stored form with a fresh random 16-byte salt.
std::string MakePasswordHash(std::string_view password, int rounds = 1000);
// The stored form for a given salt (hex); used by MakePasswordHash and by tests.
std::string MakePasswordHash(std::string_view password, std::string_view saltHex, int rounds);
// Whether the password matches the stored form. A malformed stored form never matches.
bool VerifyPassword(std::string_view password, std::string_view stored);

}  // namespace sw::appserver
