// Direct, slow transcriptions of the record rules: the pairwise de-duplicate,
// the moving pool and the byte walk of the split. The fast engine must give
// exactly their output.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/core/random.h"

namespace tl::test {

inline std::vector<std::string> ReferenceSplit(std::string_view text, std::string_view sep) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  if (sep.empty()) return {std::string(text)};
  std::string buf(text);  // NUL-terminated walk, as on a runtime text
  const char* s = buf.c_str();
  const char* p = s;
  std::size_t r = buf.size();
  const std::size_t m = sep.size();
  while (r >= m) {
    if (std::string_view(p, m) == sep) {
      out.emplace_back(s, static_cast<std::size_t>(p - s));
      p += m;
      r -= m;
      s = p;
    } else {
      if (static_cast<unsigned char>(*p) >= 0x80) {
        if (p[1] == '\0') break;
        // A byte below 0x30 is never a second byte: the high byte stands alone.
        if (static_cast<unsigned char>(p[1]) >= 0x30) {
          ++p;
          --r;
        }
      }
      ++p;
      --r;
    }
  }
  if (*s) out.emplace_back(s);
  return out;
}

inline std::string ReferenceDedupe(std::string_view text, std::string_view sep) {
  auto recs = ReferenceSplit(text, sep);
  std::size_t n = recs.size();
  if (n < 2) return std::string(text);
  std::string result;
  auto append = [&](const std::string& rec) {
    if (result.empty())
      result = rec;
    else
      result += std::string(sep) + rec;
  };
  for (std::size_t i = 0; i + 1 < n; ++i) {
    bool later = false;
    for (std::size_t j = i + 1; j < n && !later; ++j) later = recs[i] == recs[j];
    if (!later) append(recs[i]);
  }
  append(recs[n - 1]);
  return result;
}

// The pool as a moving array, with positions beyond one generator output
// drawn from two outputs combined.
struct ReferencePool {
  std::vector<std::int32_t> pool;
  std::int32_t Draw(std::int32_t low, std::int32_t high) {
    rt::SeedRandom();
    if (pool.empty())
      for (std::int32_t v = low; v <= high; ++v) pool.push_back(v);
    std::size_t m = pool.size();
    std::size_t k;
    if (m > 32768) {
      std::uint32_t a = rt::NextRandom();
      std::uint32_t b = rt::NextRandom();
      k = ((a << 15) | b) % m + 1;
    } else {
      k = static_cast<std::size_t>(rt::Random(1, static_cast<std::int32_t>(m)));
    }
    std::int32_t value = pool[k - 1];
    pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(k - 1));
    return value;
  }
};

inline std::string ReferenceShuffle(std::string_view text, std::string_view sep) {
  rt::SeedRandom();
  if (sep.empty()) sep = "\r\n";
  auto recs = ReferenceSplit(text, sep);
  std::size_t n = recs.size();
  ReferencePool pool;
  std::string out;
  for (std::size_t i = 1; i <= n; ++i) {
    auto k = pool.Draw(1, static_cast<std::int32_t>(n));
    out += recs[static_cast<std::size_t>(k) - 1];
    if (i != n) out += sep;
  }
  return out;
}

}  // namespace tl::test
