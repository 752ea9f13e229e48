#include "sw/appserver/PasswordHash.h"

#include <random>
#include <vector>

#include "sw/core/Text.h"

namespace sw::appserver {
namespace {

constexpr std::array<std::uint32_t, 64> kK = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline std::uint32_t Rotr(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

std::string ToHex(const std::uint8_t* p, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

bool FromHex(std::string_view hex, std::string& out) {
  if (hex.size() % 2 != 0) return false;
  out.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      const char c = hex[i + k];
      int d = -1;
      if (c >= '0' && c <= '9') d = c - '0';
      if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    out += static_cast<char>(v);
  }
  return true;
}

std::string Digest(std::string_view password, const std::string& salt, int rounds) {
  auto d = Sha256(salt + std::string(password));
  for (int i = 1; i < rounds; ++i) {
    d = Sha256(std::string(d.begin(), d.end()) + std::string(password));
  }
  return ToHex(d.data(), d.size());
}

}  // namespace

std::array<std::uint8_t, 32> Sha256(std::string_view data) {
  std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::vector<std::uint8_t> msg(data.begin(), data.end());
  const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
  msg.push_back(0x80);
  while (msg.size() % 64 != 56) msg.push_back(0);
  for (int i = 7; i >= 0; --i) msg.push_back(static_cast<std::uint8_t>(bits >> (i * 8)));
  for (std::size_t off = 0; off < msg.size(); off += 64) {
    std::array<std::uint32_t, 64> w{};
    for (int i = 0; i < 16; ++i) {
      w[i] = (std::uint32_t{msg[off + i * 4]} << 24) | (std::uint32_t{msg[off + i * 4 + 1]} << 16) |
             (std::uint32_t{msg[off + i * 4 + 2]} << 8) | std::uint32_t{msg[off + i * 4 + 3]};
    }
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, hh] = h;
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t s1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
      const std::uint32_t ch = (e & f) ^ (~e & g);
      const std::uint32_t t1 = hh + s1 + ch + kK[i] + w[i];
      const std::uint32_t s0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
      const std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
      const std::uint32_t t2 = s0 + maj;
      hh = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
    h[5] += f;
    h[6] += g;
    h[7] += hh;
  }
  std::array<std::uint8_t, 32> out{};
  for (int i = 0; i < 8; ++i) {
    for (int k = 0; k < 4; ++k) out[i * 4 + k] = static_cast<std::uint8_t>(h[i] >> (24 - k * 8));
  }
  return out;
}

std::string Sha256Hex(std::string_view data) {
  const auto d = Sha256(data);
  return ToHex(d.data(), d.size());
}

std::string MakePasswordHash(std::string_view password, int rounds) {
  std::random_device rd;
  std::uint8_t salt[16];
  for (auto& b : salt) b = static_cast<std::uint8_t>(rd());
  return MakePasswordHash(password, ToHex(salt, sizeof salt), rounds);
}

std::string MakePasswordHash(std::string_view password, std::string_view saltHex, int rounds) {
  std::string salt;
  if (!FromHex(saltHex, salt) || rounds < 1) return {};
  return "sha256$" + IntToStr(rounds) + "$" + std::string(saltHex) + "$" + Digest(password, salt, rounds);
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
  const auto parts = Split(stored, '$');
  if (parts.size() != 4 || parts[0] != "sha256") return false;
  const auto rounds = TryStrToInt64(parts[1]);
  std::string salt;
  if (!rounds || *rounds < 1 || *rounds > 1000000 || !FromHex(parts[2], salt)) return false;
  const std::string expected = Digest(password, salt, static_cast<int>(*rounds));
  // Compare in constant time: the length is public, the content is not.
  if (expected.size() != parts[3].size()) return false;
  unsigned diff = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) diff |= static_cast<unsigned>(expected[i] ^ parts[3][i]);
  return diff == 0;
}

}  // namespace sw::appserver
