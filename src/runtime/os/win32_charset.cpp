// The system charset converter on Windows, without iconv (runtime/os/charset.h).
//
// Every conversion decodes one character of the source into code points and
// encodes them into the target, stopping where iconv stops: at an invalid
// sequence or a character the target lacks (kInvalid, `in` at its start), at a
// sequence cut off by the end of the input (kIncomplete), or when the next
// character does not fit (kOutputFull).
//
// UTF-8 and UTF-16 are plain rules; GBK and Big5 are the system's code pages
// 936 and 950; GB18030 (54936 is missing in wine) and Big5-HKSCS (which
// Windows lacks) use tables generated at build time from the Linux host's
// iconv, so both builds convert these alike.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "charset_tables.h"
#include "runtime/core/gbk_view.h"
#include "runtime/os/charset.h"

namespace tl::rt::system_charset {

namespace {

using Status = CharsetConverter::Status;
namespace ct = charset_tables;

enum class Kind { kUtf8, kUtf16Le, kUtf16Be, kCodePage, kGb18030, kBig5Hkscs };

struct Codec {
  Kind kind;
  UINT codePage = 0;
};

// Decoding results besides a length.
constexpr int kBad = -1;
constexpr int kCut = -2;

constexpr std::uint32_t kLead = 0xFFFFFFFFu;

bool KnownName(const std::string& upper, Codec& codec) {
  if (upper == "UTF-8" || upper == "UTF8") codec = {Kind::kUtf8};
  else if (upper == "UTF-16LE") codec = {Kind::kUtf16Le};
  else if (upper == "UTF-16BE") codec = {Kind::kUtf16Be};
  else if (upper == "GB18030") codec = {Kind::kGb18030};
  else if (upper == "BIG5-HKSCS" || upper == "BIG5HKSCS") codec = {Kind::kBig5Hkscs};
  else if (upper == "GBK" || upper == "CP936") codec = {Kind::kCodePage, 936};
  else if (upper == "BIG5" || upper == "BIG-5" || upper == "CP950") codec = {Kind::kCodePage, 950};
  else return false;
  return true;
}

// ---- decoding: one character at p (avail > 0) into cps; its length or kBad/kCut.

int DecodeUtf8(const std::uint8_t* p, std::size_t avail, std::uint32_t* cps, int& n) {
  const std::uint32_t c = p[0];
  n = 1;
  if (c < 0x80) {
    cps[0] = c;
    return 1;
  }
  // iconv's reader also takes the old forms up to six bytes; what they
  // give beyond U+10FFFF is a character no target has (see Encode).
  int len;
  std::uint32_t cp, min;
  if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F, min = 0x80;
  else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF7) len = 4, cp = c & 0x07, min = 0x10000;
  else if (c >= 0xF8 && c <= 0xFB) len = 5, cp = c & 0x03, min = 0x200000;
  else if (c >= 0xFC && c <= 0xFD) len = 6, cp = c & 0x01, min = 0x4000000;
  else return kBad;
  for (int i = 1; i < len; ++i) {
    if (static_cast<std::size_t>(i) >= avail) return kCut;
    if ((p[i] & 0xC0) != 0x80) return kBad;
    cp = cp << 6 | (p[i] & 0x3F);
  }
  if (cp < min || (cp >= 0xD800 && cp < 0xE000)) return kBad;
  cps[0] = cp;
  return len;
}

int DecodeUtf16(bool big, const std::uint8_t* p, std::size_t avail, std::uint32_t* cps, int& n) {
  auto unit = [&](std::size_t i) -> std::uint32_t {
    return big ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
  };
  n = 1;
  if (avail < 2) return kCut;
  const std::uint32_t u = unit(0);
  if (u >= 0xDC00 && u < 0xE000) return kBad;
  if (u < 0xD800 || u >= 0xE000) {
    cps[0] = u;
    return 2;
  }
  if (avail < 4) return kCut;
  const std::uint32_t l = unit(2);
  if (l < 0xDC00 || l >= 0xE000) return kBad;
  cps[0] = 0x10000 + ((u - 0xD800) << 10) + (l - 0xDC00);
  return 4;
}

int DecodeCodePage(UINT cp, const std::uint8_t* p, std::size_t avail, std::uint32_t* cps, int& n) {
  n = 1;
  if (p[0] < 0x80) {
    cps[0] = p[0];
    return 1;
  }
  int len = IsDBCSLeadByteEx(cp, p[0]) ? 2 : 1;
  if (static_cast<std::size_t>(len) > avail) return kCut;
  WCHAR w[2];
  int got = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p), len, w, 2);
  if (got != 1) return kBad;
  cps[0] = w[0];
  return len;
}

int DecodeGb18030(const std::uint8_t* p, std::size_t avail, std::uint32_t* cps, int& n) {
  n = 1;
  if (p[0] < 0x80) {
    cps[0] = p[0];
    return 1;
  }
  const std::uint32_t single = ct::kGbSingle[p[0] - 0x80];
  if (single != kLead) {
    if (single == 0) return kBad;
    cps[0] = single;
    return 1;
  }
  if (avail < 2) return kCut;
  const std::uint8_t b2 = p[1];
  if (b2 >= 0x30 && b2 <= 0x39) {
    // iconv waits for all four bytes before it judges the third.
    if (avail < 4) return kCut;
    if (p[2] < 0x81 || p[2] > 0xFE) return kBad;
    if (p[3] < 0x30 || p[3] > 0x39) return kBad;
    const std::uint32_t index = (p[0] - 0x81u) * 12600 + (b2 - 0x30u) * 1260 + (p[2] - 0x81u) * 10 + (p[3] - 0x30u);
    if (index >= 189000) {
      const std::uint32_t cp = 0x10000 + (index - 189000);
      if (cp > 0x10FFFF) return kBad;
      cps[0] = cp;
      return 4;
    }
    // Runs of (index, code point, length), sorted by index.
    constexpr std::size_t kRuns = std::size(ct::kGbFourRuns) / 3;
    std::size_t lo = 0, hi = kRuns;
    while (lo < hi) {
      std::size_t mid = (lo + hi) / 2;
      if (ct::kGbFourRuns[3 * mid] <= index) lo = mid + 1;
      else hi = mid;
    }
    if (lo == 0) return kBad;
    const std::uint32_t* run = &ct::kGbFourRuns[3 * (lo - 1)];
    if (index - run[0] >= run[2]) return kBad;
    cps[0] = run[1] + (index - run[0]);
    return 4;
  }
  const int t = b2 >= 0x40 && b2 <= 0x7E ? b2 - 0x40 : b2 >= 0x80 && b2 <= 0xFE ? b2 - 0x80 + 63 : -1;
  if (t < 0) return kBad;
  const std::uint32_t cp = ct::kGbTwo[(p[0] - 0x81) * 190 + t];
  if (cp == 0) return kBad;
  cps[0] = cp;
  return 2;
}

int Big5Trail(std::uint8_t b2) {
  return b2 >= 0x40 && b2 <= 0x7E ? b2 - 0x40 : b2 >= 0xA1 && b2 <= 0xFE ? b2 - 0xA1 + 63 : -1;
}

int DecodeBig5Hkscs(const std::uint8_t* p, std::size_t avail, std::uint32_t* cps, int& n) {
  n = 1;
  if (p[0] < 0x80) {
    cps[0] = p[0];
    return 1;
  }
  const std::uint32_t single = ct::kHkSingle[p[0] - 0x80];
  if (single != kLead) {
    if (single == 0) return kBad;
    cps[0] = single;
    return 1;
  }
  if (avail < 2) return kCut;
  const int t = Big5Trail(p[1]);
  if (t < 0) return kBad;
  const std::uint32_t* e = &ct::kHkTwo[2 * ((p[0] - 0x81) * 157 + t)];
  if (e[0] == 0) return kBad;
  cps[0] = e[0];
  cps[1] = e[1];
  n = e[1] ? 2 : 1;
  return 2;
}

int Decode(const Codec& c, const std::uint8_t* p, std::size_t avail, std::uint32_t* cps, int& n) {
  switch (c.kind) {
    case Kind::kUtf8: return DecodeUtf8(p, avail, cps, n);
    case Kind::kUtf16Le: return DecodeUtf16(false, p, avail, cps, n);
    case Kind::kUtf16Be: return DecodeUtf16(true, p, avail, cps, n);
    case Kind::kCodePage: return DecodeCodePage(c.codePage, p, avail, cps, n);
    case Kind::kGb18030: return DecodeGb18030(p, avail, cps, n);
    case Kind::kBig5Hkscs: return DecodeBig5Hkscs(p, avail, cps, n);
  }
  return kBad;
}

// ---- encoding: one code point into out (room for 8 bytes); bytes or 0 when
// the target lacks it.

int EncodeUtf8(std::uint32_t cp, std::uint8_t* o) {
  if (cp < 0x80) return o[0] = static_cast<std::uint8_t>(cp), 1;
  if (cp < 0x800) {
    o[0] = static_cast<std::uint8_t>(0xC0 | cp >> 6);
    o[1] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    o[0] = static_cast<std::uint8_t>(0xE0 | cp >> 12);
    o[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    o[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
    return 3;
  }
  o[0] = static_cast<std::uint8_t>(0xF0 | cp >> 18);
  o[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F));
  o[2] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
  o[3] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
  return 4;
}

int EncodeUtf16(bool big, std::uint32_t cp, std::uint8_t* o) {
  auto put = [&](std::uint32_t u, std::uint8_t* at) {
    at[big ? 0 : 1] = static_cast<std::uint8_t>(u >> 8);
    at[big ? 1 : 0] = static_cast<std::uint8_t>(u & 0xFF);
  };
  if (cp < 0x10000) {
    put(cp, o);
    return 2;
  }
  put(0xD800 + ((cp - 0x10000) >> 10), o);
  put(0xDC00 + ((cp - 0x10000) & 0x3FF), o + 2);
  return 4;
}

int EncodeCodePage(UINT page, std::uint32_t cp, std::uint8_t* o) {
  if (cp < 0x80) return o[0] = static_cast<std::uint8_t>(cp), 1;
  WCHAR w[2];
  int units = 1;
  if (cp < 0x10000) {
    w[0] = static_cast<WCHAR>(cp);
  } else {
    w[0] = static_cast<WCHAR>(0xD800 + ((cp - 0x10000) >> 10));
    w[1] = static_cast<WCHAR>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    units = 2;
  }
  BOOL usedDefault = FALSE;
  int got = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, w, units, reinterpret_cast<char*>(o), 8, nullptr,
                                &usedDefault);
  return got <= 0 || usedDefault ? 0 : got;
}

int EncodeGb18030(std::uint32_t cp, std::uint8_t* o) {
  if (cp < 0x80) return o[0] = static_cast<std::uint8_t>(cp), 1;
  std::uint32_t v = 0;
  if (cp < 0x10000) {
    v = ct::kGbEncode[cp];
    if (v == 0) return 0;
  } else {
    for (std::size_t i = 0; i + 1 < std::size(ct::kGbEncodeSupplementary); i += 2)
      if (ct::kGbEncodeSupplementary[i] == cp) v = ct::kGbEncodeSupplementary[i + 1];
    if (v == 0) v = 0x80000000u | (189000 + (cp - 0x10000));
  }
  if (v & 0x80000000u) {
    const std::uint32_t index = v & 0x7FFFFFFFu;
    o[0] = static_cast<std::uint8_t>(0x81 + index / 12600);
    o[1] = static_cast<std::uint8_t>(0x30 + index / 1260 % 10);
    o[2] = static_cast<std::uint8_t>(0x81 + index / 10 % 126);
    o[3] = static_cast<std::uint8_t>(0x30 + index % 10);
    return 4;
  }
  if (v < 0x100) return o[0] = static_cast<std::uint8_t>(v), 1;
  o[0] = static_cast<std::uint8_t>(v >> 8);
  o[1] = static_cast<std::uint8_t>(v & 0xFF);
  return 2;
}

int EncodeBig5Hkscs(std::uint32_t cp, std::uint8_t* o) {
  if (cp < 0x80) return o[0] = static_cast<std::uint8_t>(cp), 1;
  // Pairs (code point, code) sorted by code point.
  constexpr std::size_t kPairs = std::size(ct::kHkEncode) / 2;
  std::size_t lo = 0, hi = kPairs;
  while (lo < hi) {
    std::size_t mid = (lo + hi) / 2;
    if (ct::kHkEncode[2 * mid] < cp) lo = mid + 1;
    else hi = mid;
  }
  if (lo == kPairs || ct::kHkEncode[2 * lo] != cp) return 0;
  const std::uint32_t v = ct::kHkEncode[2 * lo + 1];
  if (v < 0x100) return o[0] = static_cast<std::uint8_t>(v), 1;
  o[0] = static_cast<std::uint8_t>(v >> 8);
  o[1] = static_cast<std::uint8_t>(v & 0xFF);
  return 2;
}

int Encode(const Codec& c, std::uint32_t cp, std::uint8_t* o) {
  if (cp > 0x10FFFF) return 0;
  switch (c.kind) {
    case Kind::kUtf8: return EncodeUtf8(cp, o);
    case Kind::kUtf16Le: return EncodeUtf16(false, cp, o);
    case Kind::kUtf16Be: return EncodeUtf16(true, cp, o);
    case Kind::kCodePage: return EncodeCodePage(c.codePage, cp, o);
    case Kind::kGb18030: return EncodeGb18030(cp, o);
    case Kind::kBig5Hkscs: return EncodeBig5Hkscs(cp, o);
  }
  return 0;
}

// Big5-HKSCS has codes for a letter followed by a combining mark.
int EncodeCombined(const Codec& c, std::uint32_t a, std::uint32_t b, std::uint8_t* o) {
  if (c.kind != Kind::kBig5Hkscs) return 0;
  for (std::size_t i = 0; i + 2 < std::size(ct::kHkCombined); i += 3) {
    if (ct::kHkCombined[i] == a && ct::kHkCombined[i + 1] == b) {
      o[0] = static_cast<std::uint8_t>(ct::kHkCombined[i + 2] >> 8);
      o[1] = static_cast<std::uint8_t>(ct::kHkCombined[i + 2] & 0xFF);
      return 2;
    }
  }
  return 0;
}

bool MayCombine(const Codec& c, std::uint32_t cp) {
  return c.kind == Kind::kBig5Hkscs && (cp == 0xCA || cp == 0xEA);
}

struct Converter {
  Codec to;
  Codec from;
};

}  // namespace

void* Open(const char* to, const char* from) {
  std::string t(to), f(from);
  for (char& ch : t) ch = gbk::UpperAscii(ch);
  for (char& ch : f) ch = gbk::UpperAscii(ch);
  Converter c{};
  if (!KnownName(t, c.to) || !KnownName(f, c.from)) return nullptr;
  return new Converter(c);
}

void Close(void* handle) { delete static_cast<Converter*>(handle); }

Status Convert(void* handle, const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
  const Converter& c = *static_cast<Converter*>(handle);
  auto* p = reinterpret_cast<const std::uint8_t*>(in);
  const std::uint8_t* const end = p + inLeft;
  auto* o = reinterpret_cast<std::uint8_t*>(out);
  std::uint8_t* const oend = o + outLeft;
  Status st = Status::kDone;
  while (p != end) {
    std::uint32_t cps[2] = {0, 0};
    int n = 0;
    const int len = Decode(c.from, p, static_cast<std::size_t>(end - p), cps, n);
    if (len < 0) {
      st = len == kCut ? Status::kIncomplete : Status::kInvalid;
      break;
    }
    // iconv encodes in a second stage, which finds the output full before it
    // looks the character up: with no room left, a character the target
    // lacks is "output full", not "invalid", as on Linux (the built-in
    // GB18030 pair checks that it agrees with this converter).
    if (o == oend) {
      st = Status::kOutputFull;
      break;
    }
    std::uint8_t buf[16];
    int bytes = 0, used = len;
    if (n == 1 && MayCombine(c.to, cps[0]) && end - p > len) {
      std::uint32_t next[2] = {0, 0};
      int nn = 0;
      const int nextLen = Decode(c.from, p + len, static_cast<std::size_t>(end - p - len), next, nn);
      if (nextLen > 0 && nn == 1 && (bytes = EncodeCombined(c.to, cps[0], next[0], buf)) > 0) used += nextLen;
    }
    if (bytes == 0) {
      if (n == 2) bytes = EncodeCombined(c.to, cps[0], cps[1], buf);
      if (bytes == 0) {
        for (int i = 0; i < n; ++i) {
          const int b = Encode(c.to, cps[i], buf + bytes);
          if (b == 0) {
            bytes = -1;
            break;
          }
          bytes += b;
        }
      }
    }
    if (bytes < 0) {
      st = Status::kInvalid;
      break;
    }
    if (oend - o < bytes) {
      st = Status::kOutputFull;
      break;
    }
    std::memcpy(o, buf, static_cast<std::size_t>(bytes));
    o += bytes;
    p += used;
  }
  in = reinterpret_cast<const char*>(p);
  inLeft = static_cast<std::size_t>(end - p);
  out = reinterpret_cast<char*>(o);
  outLeft = static_cast<std::size_t>(oend - o);
  return st;
}

void Reset(void* /*handle*/) {}

}  // namespace tl::rt::system_charset
