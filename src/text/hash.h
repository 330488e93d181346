// A fast 64-bit hash for record bytes. Not cryptographic; equal hashes are
// always confirmed by comparing the bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tl::text {

inline std::uint64_t HashBytes(std::string_view s) {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  const char* p = s.data();
  std::size_t n = s.size();
  std::uint64_t h = 0x243F6A8885A308D3ull ^ (n * kMul);
  while (n >= 8) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    h = (h ^ v) * kMul;
    h ^= h >> 29;
    p += 8;
    n -= 8;
  }
  if (n > 0) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, n);
    h = (h ^ v ^ (static_cast<std::uint64_t>(n) << 56)) * kMul;
  }
  // Final avalanche (MurmurHash3's fmix64).
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

}  // namespace tl::text
