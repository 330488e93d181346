// The converter check shared by the host's reference writer
// (tools/gen_charset_reference.cpp, Linux build, iconv behind it) and the
// Windows test that compares against it (charset_reference_test.cpp):
// every code point, as UTF-8, into each charset, and seeded random byte
// strings out of each charset into UTF-8. Code points go in blocks of 256,
// each summarised by a digest of (status, output bytes) per code point.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/os/charset.h"

namespace tl::test::charset_reference {

inline const char* const kCharsets[] = {"GB18030", "UTF-16LE", "UTF-16BE", "BIG5", "BIG5-HKSCS"};
inline constexpr std::uint32_t kBlock = 256;
inline constexpr int kRandomStrings = 400;

inline std::string Utf8Of(std::uint32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// One whole conversion: a status letter (D done, I invalid, N incomplete,
// X no converter) and what was written before it stopped.
inline std::string Convert(rt::CharsetConverter& conv, const std::string& in) {
  if (!conv.ok()) return "X";
  conv.Reset();
  std::string out(in.size() * 4 + 16, '\0');
  const char* src = in.data();
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  const auto status = conv.Convert(src, srcLeft, dst, dstLeft);
  out.resize(out.size() - dstLeft);
  const char mark = status == rt::CharsetConverter::Status::kDone      ? 'D'
                    : status == rt::CharsetConverter::Status::kInvalid ? 'I'
                                                                       : 'N';
  return mark + out;
}

inline std::uint64_t Fnv(std::uint64_t h, const std::string& bytes) {
  for (unsigned char b : bytes) h = (h ^ b) * 0x100000001B3ull;
  return h;
}

// The code points of block `b` (surrogates left out), as UTF-8.
inline std::vector<std::uint32_t> BlockCodePoints(std::uint32_t b) {
  std::vector<std::uint32_t> cps;
  for (std::uint32_t c = b * kBlock; c < (b + 1) * kBlock && c <= 0x10FFFF; ++c)
    if (c < 0xD800 || c > 0xDFFF) cps.push_back(c);
  return cps;
}

inline std::uint64_t BlockDigest(rt::CharsetConverter& toCharset, std::uint32_t b) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (std::uint32_t c : BlockCodePoints(b)) h = Fnv(h, Convert(toCharset, Utf8Of(c)) + '\n');
  return h;
}

// Random byte strings, 1 to 12 bytes, the same on every system.
inline std::vector<std::string> RandomStrings(std::uint64_t seed) {
  std::vector<std::string> out;
  auto next = [&seed] {
    std::uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  for (int i = 0; i < kRandomStrings; ++i) {
    std::string s(1 + next() % 12, '\0');
    for (char& c : s) c = static_cast<char>(next() & 0xFF);
    out.push_back(s);
  }
  return out;
}

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string h;
  for (unsigned char b : bytes) {
    h += digits[b >> 4];
    h += digits[b & 15];
  }
  return h;
}

// The reference: one line per block ("enc CHARSET BLOCK DIGEST") and per
// random string ("dec CHARSET INDEX RESULT-IN-HEX").
inline std::string Reference() {
  std::string text;
  for (const char* cs : kCharsets) {
    rt::CharsetConverter to(cs, "UTF-8", rt::CharsetConverter::Engine::kAny);
    for (std::uint32_t b = 0; b * kBlock <= 0x10FFFF; ++b)
      text += std::string("enc ") + cs + " " + std::to_string(b) + " " + std::to_string(BlockDigest(to, b)) + "\n";
    rt::CharsetConverter from("UTF-8", cs, rt::CharsetConverter::Engine::kAny);
    const auto strings = RandomStrings(Fnv(0, cs));
    for (std::size_t i = 0; i < strings.size(); ++i)
      text += std::string("dec ") + cs + " " + std::to_string(i) + " " + Hex(Convert(from, strings[i])) + "\n";
  }
  return text;
}

}  // namespace tl::test::charset_reference
