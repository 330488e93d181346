#include "runtime/os/gb18030_fast.h"


#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tl::rt::gb18030 {

using Status = CharsetConverter::Status;

namespace {

// Two-byte codes: lead 0x81..0xFE, trail 0x40..0xFE (0x7F is never valid and
// stays a hole in the table).
constexpr std::uint32_t kLeads = 126;
constexpr std::uint32_t kTrailSpan = 191;
constexpr std::uint32_t kTwoByteCodes = kLeads * kTrailSpan;
// Four-byte codes counted linearly from 0x81308130; the supplementary planes
// start at 0x90308130.
constexpr std::uint32_t kFourBytePerLead = 10 * 126 * 10;
constexpr std::uint32_t kSupplementaryBase = (0x90 - 0x81) * kFourBytePerLead;
// The BMP's four-byte codes all lie under lead 0x84; the leads 0x81..0x84 are
// read from iconv, 0x85..0x8F are not assigned.
constexpr std::uint32_t kFourByteScanned = 4 * kFourBytePerLead;
// Encoder entries: 0 unmapped, 1..kTwoByteCodes a two-byte code (index + 1),
// from kEncodeFourBase on a four-byte code (index + kEncodeFourBase).
constexpr std::uint32_t kEncodeFourBase = kTwoByteCodes + 1;
// A two-byte entry with this value maps outside the BMP (GB18030-2005 moved
// a few codes there); U+FFFF itself is a four-byte code.
constexpr std::uint16_t kDecodeElsewhere = 0xFFFF;

std::uint32_t FourByteIndex(const std::uint8_t* p) {
  return ((p[0] - 0x81u) * 10 + (p[1] - 0x30u)) * 1260 + (p[2] - 0x81u) * 10 + (p[3] - 0x30u);
}

void PutFourByte(std::uint32_t index, std::uint8_t* o) {
  o[3] = static_cast<std::uint8_t>(0x30 + index % 10);
  index /= 10;
  o[2] = static_cast<std::uint8_t>(0x81 + index % 126);
  index /= 126;
  o[1] = static_cast<std::uint8_t>(0x30 + index % 10);
  o[0] = static_cast<std::uint8_t>(0x81 + index / 10);
}

// Copies the ASCII run at p (bounded by the input end and the output room).
void CopyAscii(const std::uint8_t*& p, const std::uint8_t* end, std::uint8_t*& o, std::uint8_t* oend) {
  const std::size_t n = std::min<std::size_t>(end - p, oend - o);
  const std::uint8_t* stop = p + n;
  while (stop - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    // All eight fit in the output; only the ASCII ones count as written.
    std::memcpy(o, &w, 8);
    const std::uint64_t high = w & 0x8080808080808080ull;
    if (high) {
      const std::size_t ascii = static_cast<std::size_t>(__builtin_ctzll(high)) / 8;
      p += ascii;
      o += ascii;
      return;
    }
    p += 8;
    o += 8;
  }
  while (p != stop && *p < 0x80) *o++ = *p++;
}

}  // namespace

struct Tables {
  struct Run {
    std::uint32_t index;  // first four-byte index of the run
    std::uint32_t cp;     // its code point
    std::uint32_t length;
  };
  // Exceptions to the rules, sorted by key: a handful at most.
  struct Exception {
    std::uint32_t key;
    std::uint32_t value;
    bool operator<(std::uint32_t k) const { return key < k; }
  };
  std::uint16_t encode[0x10000];          // by BMP code point, see kEncodeFourBase
  std::uint16_t decode2[kTwoByteCodes];   // code point, 0 = invalid, or kDecodeElsewhere
  std::vector<Run> decode4;               // four-byte codes below 0x85308130, by index
  std::vector<Exception> decode2Elsewhere;   // two-byte table index -> code point
  std::vector<Exception> encodeSupplementary;  // code point -> two-byte code (b1 << 8 | b2),
                                               // or four-byte index + 0x10000
  std::vector<Exception> decodeSupplementary;  // four-byte index -> code point, 0 = invalid

  static const Exception* Find(const std::vector<Exception>& v, std::uint32_t key) {
    auto it = std::lower_bound(v.begin(), v.end(), key);
    return it != v.end() && it->key == key ? &*it : nullptr;
  }

  std::uint32_t FourByteScanned(std::uint32_t index) const {
    auto it = std::upper_bound(decode4.begin(), decode4.end(), index,
                               [](std::uint32_t i, const Run& r) { return i < r.index; });
    if (it == decode4.begin()) return 0;
    --it;
    return index - it->index < it->length ? it->cp + (index - it->index) : 0;
  }
};

Status Utf8ToGb18030(const Tables& t, const char*& in, std::size_t& inLeft, char*& out,
                     std::size_t& outLeft) {
  auto* p = reinterpret_cast<const std::uint8_t*>(in);
  const std::uint8_t* const end = p + inLeft;
  auto* o = reinterpret_cast<std::uint8_t*>(out);
  std::uint8_t* const oend = o + outLeft;
  Status st = Status::kDone;
  while (p != end) {
    const std::uint32_t c = *p;
    if (c < 0x80) {
      CopyAscii(p, end, o, oend);
      if (p != end && *p < 0x80) {
        st = Status::kOutputFull;
        break;
      }
      continue;
    }
    // Common case first: a three-byte character with a two-byte code.
    if ((c & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
      const std::uint32_t cp = (c & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      const std::uint32_t v = cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? t.encode[cp] : 0;
      if (v != 0 && v < kEncodeFourBase && oend - o >= 2) {
        o[0] = static_cast<std::uint8_t>(0x81 + (v - 1) / kTrailSpan);
        o[1] = static_cast<std::uint8_t>(0x40 + (v - 1) % kTrailSpan);
        o += 2;
        p += 3;
        continue;
      }
    }
    // glibc's UTF-8 reader still takes the old 5- and 6-byte forms; what it
    // rejects itself is reported before any check of the output room.
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 2, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      n = 3, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      n = 4, cp = c & 0x07;
    } else if ((c & 0xFC) == 0xF8) {
      n = 5, cp = c & 0x03;
    } else if ((c & 0xFE) == 0xFC) {
      n = 6, cp = c & 0x01;
    } else {
      st = Status::kInvalid;
      break;
    }
    const std::size_t avail = static_cast<std::size_t>(end - p);
    if (avail < n) {
      // Cut short: incomplete only while everything present could continue.
      std::size_t i = 1;
      while (i < avail && (p[i] & 0xC0) == 0x80) ++i;
      st = i == avail ? Status::kIncomplete : Status::kInvalid;
      break;
    }
    std::size_t i = 1;
    for (; i < n && (p[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    if (i < n || (n > 2 && (cp >> (5 * n - 4)) == 0) || (cp >= 0xD800 && cp <= 0xDFFF)) {
      st = Status::kInvalid;
      break;
    }
    // The GB18030 side runs as a second stage in iconv: it finds the buffer
    // full before it looks at the character.
    if (o == oend) {
      st = Status::kOutputFull;
      break;
    }
    std::uint32_t index;
    if (cp <= 0xFFFF) {
      const std::uint32_t v = t.encode[cp];
      if (v == 0) {
        st = Status::kInvalid;
        break;
      }
      if (v < kEncodeFourBase) {
        if (oend - o < 2) {
          st = Status::kOutputFull;
          break;
        }
        o[0] = static_cast<std::uint8_t>(0x81 + (v - 1) / kTrailSpan);
        o[1] = static_cast<std::uint8_t>(0x40 + (v - 1) % kTrailSpan);
        o += 2;
        p += n;
        continue;
      }
      index = v - kEncodeFourBase;
    } else if (cp <= 0x10FFFF) {
      index = kSupplementaryBase + (cp - 0x10000);
      if (!t.encodeSupplementary.empty()) {
        if (const auto* e = Tables::Find(t.encodeSupplementary, cp)) {
          if (e->value < 0x10000) {
            if (oend - o < 2) {
              st = Status::kOutputFull;
              break;
            }
            o[0] = static_cast<std::uint8_t>(e->value >> 8);
            o[1] = static_cast<std::uint8_t>(e->value);
            o += 2;
            p += n;
            continue;
          }
          index = e->value - 0x10000;
        }
      }
    } else {
      st = Status::kInvalid;
      break;
    }
    if (oend - o < 4) {
      st = Status::kOutputFull;
      break;
    }
    PutFourByte(index, o);
    o += 4;
    p += n;
  }
  in = reinterpret_cast<const char*>(p);
  inLeft = static_cast<std::size_t>(end - p);
  out = reinterpret_cast<char*>(o);
  outLeft = static_cast<std::size_t>(oend - o);
  return st;
}

Status Gb18030ToUtf8(const Tables& t, const char*& in, std::size_t& inLeft, char*& out,
                     std::size_t& outLeft) {
  auto* p = reinterpret_cast<const std::uint8_t*>(in);
  const std::uint8_t* const end = p + inLeft;
  auto* o = reinterpret_cast<std::uint8_t*>(out);
  std::uint8_t* const oend = o + outLeft;
  Status st = Status::kDone;
  while (p != end) {
    const std::uint32_t c = *p;
    if (c < 0x80) {
      CopyAscii(p, end, o, oend);
      if (p != end && *p < 0x80) {
        st = Status::kOutputFull;
        break;
      }
      continue;
    }
    // Common case first: a two-byte code for a three-byte character.
    if (end - p >= 2 && p[1] >= 0x40 && p[1] <= 0xFE && c != 0x80 && c != 0xFF && oend - o >= 3) {
      const std::uint32_t cp = t.decode2[(c - 0x81) * kTrailSpan + (p[1] - 0x40u)];
      if (cp >= 0x800 && cp != kDecodeElsewhere) {
        o[0] = static_cast<std::uint8_t>(0xE0 | (cp >> 12));
        o[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        o[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        o += 3;
        p += 2;
        continue;
      }
    }
    // Decoding errors come before the output room, as in iconv.
    if (c == 0x80 || c == 0xFF) {
      st = Status::kInvalid;
      break;
    }
    const std::size_t avail = static_cast<std::size_t>(end - p);
    if (avail < 2) {
      st = Status::kIncomplete;
      break;
    }
    const std::uint32_t c2 = p[1];
    std::uint32_t cp;
    std::size_t n;
    if (c2 >= 0x40 && c2 <= 0xFE) {
      const std::uint32_t slot = (c - 0x81) * kTrailSpan + (c2 - 0x40);
      cp = t.decode2[slot];
      if (cp == kDecodeElsewhere) cp = Tables::Find(t.decode2Elsewhere, slot)->value;
      n = 2;
    } else if (c2 >= 0x30 && c2 <= 0x39) {
      if (avail < 4) {
        st = Status::kIncomplete;
        break;
      }
      if (p[2] < 0x81 || p[2] > 0xFE || p[3] < 0x30 || p[3] > 0x39) {
        st = Status::kInvalid;
        break;
      }
      const std::uint32_t index = FourByteIndex(p);
      if (index >= kSupplementaryBase) {
        cp = index - kSupplementaryBase + 0x10000;
        if (cp > 0x10FFFF) cp = 0;
        if (!t.decodeSupplementary.empty()) {
          if (const auto* e = Tables::Find(t.decodeSupplementary, index)) cp = e->value;
        }
      } else {
        cp = t.FourByteScanned(index);
      }
      n = 4;
    } else {
      cp = 0;
      n = 0;
    }
    if (cp == 0) {
      st = Status::kInvalid;
      break;
    }
    const std::size_t len = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (static_cast<std::size_t>(oend - o) < len) {
      st = Status::kOutputFull;
      break;
    }
    switch (len) {
      case 1: o[0] = static_cast<std::uint8_t>(cp); break;
      case 2:
        o[0] = static_cast<std::uint8_t>(0xC0 | (cp >> 6));
        o[1] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        break;
      case 3:
        o[0] = static_cast<std::uint8_t>(0xE0 | (cp >> 12));
        o[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        o[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        break;
      default:
        o[0] = static_cast<std::uint8_t>(0xF0 | (cp >> 18));
        o[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F));
        o[2] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        o[3] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        break;
    }
    o += len;
    p += n;
  }
  in = reinterpret_cast<const char*>(p);
  inLeft = static_cast<std::size_t>(end - p);
  out = reinterpret_cast<char*>(o);
  outLeft = static_cast<std::size_t>(oend - o);
  return st;
}

namespace {

// The system's converter (never the built-in pair these tables feed).
class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(to, from, CharsetConverter::Engine::kSystem) {}
  bool ok() const { return cd_.ok(); }
  // One call from the initial state; returns 0 or the errno iconv would set.
  int Run(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
    cd_.Reset();
    switch (cd_.Convert(in, inLeft, out, outLeft)) {
      case Status::kDone: return 0;
      case Status::kOutputFull: return E2BIG;
      case Status::kIncomplete: return EINVAL;
      default: return EILSEQ;
    }
  }

 private:
  CharsetConverter cd_;
};

std::size_t Utf8Length(const std::uint8_t* p, std::size_t avail) {
  const std::size_t n = p[0] < 0x80 ? 1 : p[0] >= 0xC2 && p[0] <= 0xDF ? 2
                      : (p[0] & 0xF0) == 0xE0 ? 3 : (p[0] & 0xF8) == 0xF0 ? 4 : 0;
  return n <= avail ? n : 0;
}

std::size_t GbLength(const std::uint8_t* p, std::size_t avail) {
  if (p[0] < 0x80) return 1;
  if (avail < 2) return 0;
  if (p[1] >= 0x30 && p[1] <= 0x39) return avail >= 4 ? 4 : 0;
  return p[1] >= 0x40 && p[1] <= 0xFE && p[1] != 0x7F ? 2 : 0;
}

std::uint32_t DecodeUtf8(const std::uint8_t* p, std::size_t n) {
  if (n == 1) return p[0];
  std::uint32_t cp = p[0] & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) cp = (cp << 6) | (p[i] & 0x3F);
  return cp;
}

// One character's worth of iconv output; length 0 when iconv rejected it.
struct Piece {
  std::uint8_t length = 0;
  std::uint8_t bytes[4] = {};
};

// Runs the concatenated pieces [starts[i], starts[i + 1]) of `input` through
// iconv in as few calls as it takes, splitting the output back per piece
// (every piece must give exactly one character). False when iconv does
// anything else.
bool ConvertPieces(Iconv& cd, const std::string& input, const std::vector<std::uint32_t>& starts,
                   bool gbOutput, std::vector<Piece>& result) {
  const std::size_t count = starts.size() - 1;
  result.assign(count, Piece{});
  std::string buffer(input.size() * 4 + 16, '\0');
  std::size_t piece = 0;
  while (piece < count) {
    const char* src = input.data() + starts[piece];
    std::size_t srcLeft = input.size() - starts[piece];
    char* dst = buffer.data();
    std::size_t dstLeft = buffer.size();
    const int err = cd.Run(src, srcLeft, dst, dstLeft);
    const std::size_t stop = static_cast<std::size_t>(src - input.data());
    auto* q = reinterpret_cast<const std::uint8_t*>(buffer.data());
    auto* qend = reinterpret_cast<const std::uint8_t*>(dst);
    while (piece < count && starts[piece] < stop) {
      if (starts[piece + 1] > stop || q == qend) return false;
      const std::size_t len = gbOutput ? GbLength(q, qend - q) : Utf8Length(q, qend - q);
      if (len == 0) return false;
      result[piece].length = static_cast<std::uint8_t>(len);
      std::memcpy(result[piece].bytes, q, len);
      q += len;
      ++piece;
    }
    if (q != qend) return false;
    if (err == 0) return piece == count;
    if (err != EILSEQ || piece == count) return false;
    ++piece;  // rejected: stays at length 0
  }
  return true;
}

void AppendUtf8(std::string& s, std::uint32_t cp) {
  if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
  } else {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  s += static_cast<char>(0x80 | (cp & 0x3F));
}

bool FillEncoder(Tables& t, Iconv& cd) {
  std::string input;
  std::vector<std::uint32_t> starts;
  std::vector<std::uint32_t> cps;
  for (std::uint32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;  // the UTF-8 reader rejects these itself
    starts.push_back(static_cast<std::uint32_t>(input.size()));
    cps.push_back(cp);
    AppendUtf8(input, cp);
  }
  starts.push_back(static_cast<std::uint32_t>(input.size()));
  std::vector<Piece> result;
  if (!ConvertPieces(cd, input, starts, true, result)) return false;
  for (std::size_t i = 0; i < cps.size(); ++i) {
    const Piece& r = result[i];
    std::uint32_t v;
    if (r.length == 2) {
      v = (r.bytes[0] - 0x81u) * kTrailSpan + (r.bytes[1] - 0x40u) + 1;
    } else if (r.length == 4) {
      const std::uint32_t index = FourByteIndex(r.bytes);
      if (index >= 0x10000 - kEncodeFourBase) return false;
      v = index + kEncodeFourBase;
    } else if (r.length == 0) {
      // Unmapped: the table says so, and the fast path reports it only
      // after the output-room check, like iconv's second stage. Confirm.
      const char* src = input.data() + starts[i];
      std::size_t srcLeft = starts[i + 1] - starts[i];
      char none[1];
      char* dst = none;  // a null output pointer means something else to iconv
      std::size_t dstLeft = 0;
      if (cd.Run(src, srcLeft, dst, dstLeft) != E2BIG) return false;
      v = 0;
    } else {
      return false;
    }
    t.encode[cps[i]] = static_cast<std::uint16_t>(v);
  }
  return true;
}

bool FillDecoder(Tables& t, Iconv& cd) {
  std::string input;
  std::vector<std::uint32_t> starts;
  for (std::uint32_t b1 = 0x81; b1 <= 0xFE; ++b1) {
    for (std::uint32_t b2 = 0x40; b2 <= 0xFE; ++b2) {
      if (b2 == 0x7F) continue;
      starts.push_back(static_cast<std::uint32_t>(input.size()));
      input += static_cast<char>(b1);
      input += static_cast<char>(b2);
    }
  }
  const std::size_t twoByteInputs = starts.size();
  for (std::uint32_t index = 0; index < kFourByteScanned; ++index) {
    starts.push_back(static_cast<std::uint32_t>(input.size()));
    std::uint8_t b[4];
    PutFourByte(index, b);
    input.append(reinterpret_cast<const char*>(b), 4);
  }
  starts.push_back(static_cast<std::uint32_t>(input.size()));
  std::vector<Piece> result;
  if (!ConvertPieces(cd, input, starts, false, result)) return false;
  auto codePoint = [&](std::size_t i, std::uint32_t& cp) {
    cp = result[i].length ? DecodeUtf8(result[i].bytes, result[i].length) : 0;
    // Zero marks "invalid" in the tables.
    return cp != 0 || result[i].length == 0;
  };
  for (std::size_t i = 0; i < twoByteInputs; ++i) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(input.data() + starts[i]);
    const std::uint32_t slot = (b[0] - 0x81u) * kTrailSpan + (b[1] - 0x40u);
    std::uint32_t cp;
    if (!codePoint(i, cp) || cp == kDecodeElsewhere) return false;
    if (cp > 0xFFFF) {
      t.decode2Elsewhere.push_back({slot, cp});
      cp = kDecodeElsewhere;
    }
    t.decode2[slot] = static_cast<std::uint16_t>(cp);
  }
  for (std::uint32_t index = 0; index < kFourByteScanned; ++index) {
    std::uint32_t cp;
    if (!codePoint(twoByteInputs + index, cp)) return false;
    if (cp == 0) continue;
    auto& runs = t.decode4;
    if (!runs.empty() && runs.back().index + runs.back().length == index &&
        runs.back().cp + runs.back().length == cp) {
      ++runs.back().length;
    } else {
      runs.push_back({index, cp, 1});
    }
  }
  t.decode4.shrink_to_fit();
  return true;
}

// Code points beyond the BMP that some GB18030 code decodes to: iconv may
// encode them away from the linear four-byte range, and may decode their
// linear codes differently. Both are asked here.
bool FillSupplementaryExceptions(Tables& t, Iconv& toGb, Iconv& toUtf8) {
  std::vector<std::uint32_t> cps;
  for (const auto& e : t.decode2Elsewhere) cps.push_back(e.value);
  for (const auto& r : t.decode4) {
    if (r.cp + r.length <= 0x10000) continue;
    if (r.length > 64) return false;
    for (std::uint32_t k = 0; k < r.length; ++k) cps.push_back(r.cp + k);
  }
  std::sort(cps.begin(), cps.end());
  cps.erase(std::unique(cps.begin(), cps.end()), cps.end());
  for (std::uint32_t cp : cps) {
    if (cp > 0x10FFFF) return false;
    std::string utf8;
    utf8 += static_cast<char>(0xF0 | (cp >> 18));
    utf8 += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
    const std::uint32_t linear = kSupplementaryBase + (cp - 0x10000);
    std::vector<Piece> result;
    if (!ConvertPieces(toGb, utf8, {0, 4}, true, result) || result[0].length == 0) return false;
    const Piece& r = result[0];
    if (r.length == 2) {
      t.encodeSupplementary.push_back({cp, static_cast<std::uint32_t>(r.bytes[0] << 8 | r.bytes[1])});
    } else if (r.length == 4 && FourByteIndex(r.bytes) != linear) {
      t.encodeSupplementary.push_back({cp, FourByteIndex(r.bytes) + 0x10000});
    } else if (r.length != 4) {
      return false;
    }
    std::string gb;
    std::uint8_t b[4];
    PutFourByte(linear, b);
    gb.append(reinterpret_cast<const char*>(b), 4);
    if (!ConvertPieces(toUtf8, gb, {0, 4}, false, result)) return false;
    const std::uint32_t back = result[0].length ? DecodeUtf8(result[0].bytes, result[0].length) : 0;
    if (back != cp) t.decodeSupplementary.push_back({linear, back});
  }
  auto byKey = [](const Tables::Exception& a, const Tables::Exception& b) { return a.key < b.key; };
  std::sort(t.decode2Elsewhere.begin(), t.decode2Elsewhere.end(), byKey);
  std::sort(t.encodeSupplementary.begin(), t.encodeSupplementary.end(), byKey);
  std::sort(t.decodeSupplementary.begin(), t.decodeSupplementary.end(), byKey);
  return true;
}

// Edge cases of glibc's readers that the fast paths reproduce by rule rather
// than by table; if this glibc disagrees on any, iconv keeps the job.
constexpr std::string_view kUtf8Probes[] = {
    "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF",
    "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xF8\x80\x80\x80\x80", "\xFC\x80\x80\x80\x80\x80",
    "\xE0\x80\x80", "\xF0\x8F\xBF\xBF", "\xC0\x80", "\xC1\xBF", "\x80", "\xBF", "\xFE\x80", "\xFF",
    "\xE0\x80", "\xED\xA0", "\xF8\x80\x80", "\xFC", "\xE2\x82\x41", "\xF0\x80\x41", "\xF0\x90\x80\x80",
    "A\xE4\xB8", "A\xE4\xB8\xAD\xF0\x9F\x98\x80", "\xC2\x80\xEF\xBF\xBF\x7F", "\xF0\xA0\x82\x87"};
constexpr std::string_view kGbProbes[] = {
    "\x80", "\xFF", "\x81", "\x81\x30", "\x81\x30\x20", "\x81\x30\xFF", "\x81\x20", "\x81\x7F",
    "\x81\xFF", "\x81\x30\x20\x30", "\x81\x30\x81\x20", "\x84\x31\xA4\x39", "\x84\x31\xA5\x30",
    "\x85\x30\x81\x30", "\x8F\x39\xFE\x39", "\x90\x30\x81\x30", "\xE3\x32\x9A\x35", "\xE3\x32\x9A\x36",
    "\xFE\x39\xFE\x39", "A\xD6\xD0\x81\x30\x81\x30", "A\x80", "\xFE\x51"};

template <typename Fast>
bool AgreesWithIconv(Iconv& cd, Fast fast, std::string_view input) {
  for (std::size_t room : {0, 1, 2, 3, 5, 16}) {
    char a[16], b[16];
    const char* ia = input.data();
    std::size_t ila = input.size(), ola = room;
    char* oa = a;
    const int err = cd.Run(ia, ila, oa, ola);
    const Status expected = err == 0 ? Status::kDone : err == E2BIG ? Status::kOutputFull
                          : err == EINVAL ? Status::kIncomplete : Status::kInvalid;
    const char* ib = input.data();
    std::size_t ilb = input.size(), olb = room;
    char* ob = b;
    if (fast(ib, ilb, ob, olb) != expected || ila != ilb || ola != olb ||
        std::memcmp(a, b, room - ola) != 0)
      return false;
  }
  return true;
}

const Tables* Build() {
  Iconv toGb("GB18030", "UTF-8"), toUtf8("UTF-8", "GB18030");
  if (!toGb.ok() || !toUtf8.ok()) return nullptr;
  auto t = std::make_unique<Tables>();
  // ASCII must pass through unchanged both ways: the fast paths copy it.
  std::string ascii(128, '\0');
  for (int i = 0; i < 128; ++i) ascii[i] = static_cast<char>(i);
  for (Iconv* cd : {&toGb, &toUtf8}) {
    char buf[128];
    const char* src = ascii.data();
    std::size_t srcLeft = ascii.size(), dstLeft = sizeof buf;
    char* dst = buf;
    if (cd->Run(src, srcLeft, dst, dstLeft) != 0 || dstLeft != 0 || std::memcmp(buf, ascii.data(), 128) != 0)
      return nullptr;
  }
  if (!FillEncoder(*t, toGb) || !FillDecoder(*t, toUtf8) || !FillSupplementaryExceptions(*t, toGb, toUtf8))
    return nullptr;
  const Tables& ready = *t;
  auto enc = [&](const char*& i, std::size_t& il, char*& o, std::size_t& ol) {
    return Utf8ToGb18030(ready, i, il, o, ol);
  };
  auto dec = [&](const char*& i, std::size_t& il, char*& o, std::size_t& ol) {
    return Gb18030ToUtf8(ready, i, il, o, ol);
  };
  for (std::string_view probe : kUtf8Probes)
    if (!AgreesWithIconv(toGb, enc, probe)) return nullptr;
  for (std::string_view probe : kGbProbes)
    if (!AgreesWithIconv(toUtf8, dec, probe)) return nullptr;
  return t.release();
}

}  // namespace

const Tables* SharedTables() {
  // Built once, on first use, and kept for the life of the process.
  static const Tables* const tables = Build();
  return tables;
}

}  // namespace tl::rt::gb18030
