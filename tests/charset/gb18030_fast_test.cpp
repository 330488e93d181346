// The built-in UTF-8 <-> GB18030 converter against glibc's iconv as the
// oracle (the system converter on Windows): same status, same input
// consumed, same bytes out, call by call.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <iconv.h>
#endif

#include <cerrno>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "runtime/os/gb18030_fast.h"
#include "runtime/os/charset.h"
#include "support/gbk.h"

namespace tl {
namespace {

using Status = rt::CharsetConverter::Status;

#ifdef _WIN32
// Windows has no iconv: the oracle is the system converter, which decodes
// and encodes one character at a time from the tables generated from the
// Linux host's iconv (charset_reference_test checks every code point of
// them against it); the fast converter's ranges, word copies and buffer
// handling must agree with it call for call.
class Oracle {
 public:
  Oracle(const char* to, const char* from) : conv_(to, from, rt::CharsetConverter::Engine::kSystem) {}
  bool ok() const { return conv_.ok(); }
  Status Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
    return conv_.Convert(in, inLeft, out, outLeft);
  }
  void Reset() { conv_.Reset(); }

 private:
  rt::CharsetConverter conv_;
};
#else
class Oracle {
 public:
  Oracle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Oracle() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  Status Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft) {
    char* src = const_cast<char*>(in);
    const std::size_t r = iconv(cd_, &src, &inLeft, &out, &outLeft);
    in = src;
    if (r != static_cast<std::size_t>(-1)) return Status::kDone;
    return errno == E2BIG ? Status::kOutputFull : errno == EINVAL ? Status::kIncomplete : Status::kInvalid;
  }
  void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t cd_;
};
#endif

// Everything one converter did with an input, so two runs compare as a whole
// and a mismatch prints where it happened.
struct Step {
  Status status;
  std::size_t offset;  // input position after the call
  std::string output;
  bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Step& s) {
  os << "{status " << static_cast<int>(s.status) << " at " << s.offset << ", out";
  for (unsigned char c : s.output) os << ' ' << std::hex << int(c) << std::dec;
  return os << '}';
}

// Converts `input` like a caller that adds `room` bytes of output whenever
// the converter reports a full buffer (what is left unused carries over, so
// a character that does not fit is retried with a little more room). After
// an invalid sequence it resumes one byte further on (or at the next piece
// boundary, if given); after an incomplete tail it stops.
template <typename Conv>
std::vector<Step> Transcript(Conv& conv, const std::string& input, std::size_t room,
                             const std::vector<std::size_t>* boundaries = nullptr) {
  std::vector<Step> steps;
  std::string buffer;
  const char* in = input.data();
  std::size_t inLeft = input.size();
  std::size_t left = room;
  auto next = boundaries ? boundaries->begin() : std::vector<std::size_t>::const_iterator{};
  for (;;) {
    if (buffer.size() < left) buffer.resize(left);
    char* out = buffer.data();
    std::size_t outLeft = left;
    const Status st = conv.Convert(in, inLeft, out, outLeft);
    const std::size_t offset = static_cast<std::size_t>(in - input.data());
    steps.push_back({st, offset, buffer.substr(0, left - outLeft)});
    left = outLeft;
    if (st == Status::kDone || st == Status::kIncomplete) break;
    if (st == Status::kOutputFull) {
      if (room == 0) break;
      left += room;
      continue;
    }
    std::size_t resume = offset + 1;
    if (boundaries) {
      while (next != boundaries->end() && *next <= offset) ++next;
      if (next != boundaries->end()) resume = *next;
    }
    in = input.data() + resume;
    inLeft = input.size() - resume;
  }
  return steps;
}

void AppendUtf8(std::string& s, std::uint32_t cp) {
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x200000) {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // The old five-byte form, which glibc's reader still accepts.
    s += static_cast<char>(0xF8 | (cp >> 24));
    for (int shift = 18; shift >= 0; shift -= 6) s += static_cast<char>(0x80 | ((cp >> shift) & 0x3F));
  }
}

void AppendFourByte(std::string& s, std::uint32_t index) {
  char b[4];
  b[3] = static_cast<char>(0x30 + index % 10);
  index /= 10;
  b[2] = static_cast<char>(0x81 + index % 126);
  index /= 126;
  b[1] = static_cast<char>(0x30 + index % 10);
  b[0] = static_cast<char>(0x81 + index / 10);
  s.append(b, 4);
}

class Gb18030FastTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(rt::gb18030::SharedTables(), nullptr) << "the built-in converter refused this glibc";
    ASSERT_TRUE(toGbOracle.ok() && toUtf8Oracle.ok());
  }

  // Whole-input comparison for one direction and one output room.
  void ExpectSame(bool toGb, const std::string& input, std::size_t room,
                  const std::vector<std::size_t>* boundaries = nullptr) {
    rt::CharsetConverter fast(toGb ? "GB18030" : "UTF-8", toGb ? "UTF-8" : "GB18030");
    ASSERT_TRUE(fast.ok());
    Oracle& oracle = toGb ? toGbOracle : toUtf8Oracle;
    oracle.Reset();
    const auto expected = Transcript(oracle, input, room, boundaries);
    const auto actual = Transcript(fast, input, room, boundaries);
    ASSERT_EQ(actual.size(), expected.size()) << (toGb ? "to GB18030" : "to UTF-8") << ", room " << room;
    for (std::size_t i = 0; i < expected.size(); ++i)
      ASSERT_EQ(actual[i], expected[i]) << (toGb ? "to GB18030" : "to UTF-8") << ", room " << room << ", call " << i;
  }

  Oracle toGbOracle{"GB18030", "UTF-8"};
  Oracle toUtf8Oracle{"UTF-8", "GB18030"};
};

TEST_F(Gb18030FastTest, EveryCodePointAndSurrogateFromUtf8) {
  std::string input;
  std::vector<std::size_t> boundaries;
  for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    AppendUtf8(input, cp);
    boundaries.push_back(input.size());
  }
  // Past U+10FFFF in the four- and five-byte forms.
  for (std::uint32_t cp : {0x110000u, 0x1FFFFFu, 0x200000u, 0x3FFFFFFu}) {
    AppendUtf8(input, cp);
    boundaries.push_back(input.size());
  }
  ExpectSame(true, input, 1 << 20, &boundaries);
}

TEST_F(Gb18030FastTest, EveryOneTwoAndFourByteGbSequence) {
  std::string input;
  std::vector<std::size_t> boundaries;
  for (int b = 0; b < 256; ++b) {
    input += static_cast<char>(b);
    boundaries.push_back(input.size());
  }
  for (int b1 = 0x81; b1 <= 0xFE; ++b1) {
    for (int b2 = 0; b2 < 256; ++b2) {
      if (b2 >= 0x30 && b2 <= 0x39) continue;
      input += static_cast<char>(b1);
      input += static_cast<char>(b2);
      boundaries.push_back(input.size());
    }
  }
  for (std::uint32_t index = 0; index < 126u * 10 * 126 * 10; ++index) {
    AppendFourByte(input, index);
    boundaries.push_back(input.size());
  }
  // Four-byte shapes with a bad third or fourth byte.
  for (int bad : {0x00, 0x30, 0x39, 0x7F, 0x80, 0xFF}) {
    input += std::string("\x81\x30", 2) + static_cast<char>(bad) + '0';
    boundaries.push_back(input.size());
    input += std::string("\x81\x30\x81", 3) + static_cast<char>(bad);
    boundaries.push_back(input.size());
  }
  ExpectSame(false, input, 1 << 20, &boundaries);
}

// Random mixtures of everything that matters to either reader.
std::string RandomUtf8(std::mt19937& rng) {
  std::string s;
  const int pieces = std::uniform_int_distribution<int>(0, 12)(rng);
  auto pick = [&](std::uint32_t lo, std::uint32_t hi) { return std::uniform_int_distribution<std::uint32_t>(lo, hi)(rng); };
  for (int i = 0; i < pieces; ++i) {
    switch (pick(0, 11)) {
      case 0: s.append(pick(1, 20), static_cast<char>(pick(0x20, 0x7E))); break;  // ASCII run
      case 1: AppendUtf8(s, pick(0x80, 0x7FF)); break;
      case 2: AppendUtf8(s, pick(0x4E00, 0x9FFF)); break;
      case 3: AppendUtf8(s, pick(0x800, 0xFFFF)); break;  // includes surrogates
      case 4: AppendUtf8(s, pick(0x10000, 0x10FFFF)); break;
      case 5: AppendUtf8(s, pick(0x110000, 0x3FFFFFF)); break;
      case 6: s += static_cast<char>(pick(0x80, 0xFF)); break;  // stray byte
      case 7: {  // overlong
        const std::uint32_t cp = pick(0, 0x7FF);
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
        break;
      }
      case 8: {  // a sequence cut short
        std::string one;
        AppendUtf8(one, pick(0x80, 0x10FFFF));
        s += one.substr(0, pick(1, static_cast<std::uint32_t>(one.size()) - 1));
        break;
      }
      case 9: s.append(pick(8, 40), static_cast<char>(pick(0x21, 0x7E))); break;
      default: {
        const int n = static_cast<int>(pick(1, 4));
        for (int k = 0; k < n; ++k) s += static_cast<char>(pick(0, 255));
      }
    }
  }
  return s;
}

std::string RandomGb(std::mt19937& rng) {
  std::string s;
  const int pieces = std::uniform_int_distribution<int>(0, 12)(rng);
  auto pick = [&](std::uint32_t lo, std::uint32_t hi) { return std::uniform_int_distribution<std::uint32_t>(lo, hi)(rng); };
  for (int i = 0; i < pieces; ++i) {
    switch (pick(0, 8)) {
      case 0: s.append(pick(1, 20), static_cast<char>(pick(0x20, 0x7E))); break;
      case 1:
      case 2:
        s += static_cast<char>(pick(0x81, 0xFE));
        s += static_cast<char>(pick(0x40, 0xFE));
        break;
      case 3: AppendFourByte(s, pick(0, 40000)); break;  // BMP four-byte codes and just past them
      case 4: AppendFourByte(s, pick(0, 126u * 10 * 126 * 10 - 1)); break;
      case 5: AppendFourByte(s, pick(189000, 189000 + 0x100000 + 10)); break;
      case 6: {  // cut short
        std::string one;
        AppendFourByte(one, pick(0, 1200000));
        s += one.substr(0, pick(1, 3));
        break;
      }
      case 7: s.append(pick(8, 40), static_cast<char>(pick(0x21, 0x7E))); break;
      default: {
        const int n = static_cast<int>(pick(1, 4));
        for (int k = 0; k < n; ++k) s += static_cast<char>(pick(0, 255));
      }
    }
  }
  return s;
}

// Each input through tiny output chunks (every place a character can fail to
// fit) and through one call per possible room size.
TEST_F(Gb18030FastTest, RandomInputsWithTinyBuffersBothWays) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 3000; ++round) {
    for (bool toGb : {true, false}) {
      const std::string input = toGb ? RandomUtf8(rng) : RandomGb(rng);
      for (std::size_t room : {0, 1, 2, 3, 4, 5, 7, 4096}) {
        ExpectSame(toGb, input, room);
        if (HasFatalFailure()) return;
      }
    }
  }
  for (int round = 0; round < 300; ++round) {
    for (bool toGb : {true, false}) {
      const std::string input = toGb ? RandomUtf8(rng) : RandomGb(rng);
      for (std::size_t room = 0; room <= input.size() * 2 + 4; ++room) {
        rt::CharsetConverter fast(toGb ? "GB18030" : "UTF-8", toGb ? "UTF-8" : "GB18030");
        Oracle& oracle = toGb ? toGbOracle : toUtf8Oracle;
        oracle.Reset();
        std::string a(room, '\0'), b(room, '\0');
        const char* ia = input.data();
        const char* ib = input.data();
        std::size_t ila = input.size(), ilb = input.size(), ola = room, olb = room;
        char* oa = a.data();
        char* ob = b.data();
        const Status sa = oracle.Convert(ia, ila, oa, ola);
        const Status sb = fast.Convert(ib, ilb, ob, olb);
        ASSERT_EQ(sb, sa) << "room " << room;
        ASSERT_EQ(ilb, ila) << "room " << room;
        ASSERT_EQ(b.substr(0, room - olb), a.substr(0, room - ola)) << "room " << room;
      }
    }
  }
}

TEST_F(Gb18030FastTest, LongAsciiRunsAroundOtherCharacters) {
  // The eight-bytes-at-a-time copy: a non-ASCII byte at every offset of a
  // word, and the output ending at every offset too.
  for (std::size_t at = 0; at < 20; ++at) {
    std::string utf8(24, 'x');
    utf8.insert(at, "\xE4\xB8\xAD");
    std::string gb(24, 'y');
    gb.insert(at, "\xD6\xD0");
    for (std::size_t room = 0; room <= 30; ++room) {
      ExpectSame(true, utf8, room);
      ExpectSame(false, gb, room);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(CharsetConverterTest, NamesInAnyCaseRoundTripAndReset) {
  const std::string utf8 = "A\xE4\xB8\xAD\xE6\x96\x87\xC2\xA9\xF0\x9F\x98\x80";
  struct Names {
    const char* utf8;
    const char* gb;
  };
  for (Names n : {Names{"UTF-8", "GB18030"}, Names{"utf-8", "gb18030"}, Names{"Utf-8", "Gb18030"}}) {
    rt::CharsetConverter there(n.gb, n.utf8), back(n.utf8, n.gb);
    ASSERT_TRUE(there.ok() && back.ok()) << n.utf8;
    std::string gb(64, '\0'), again(64, '\0');
    const char* in = utf8.data();
    std::size_t inLeft = utf8.size(), outLeft = gb.size();
    char* out = gb.data();
    ASSERT_EQ(there.Convert(in, inLeft, out, outLeft), Status::kDone);
    gb.resize(gb.size() - outLeft);
    EXPECT_EQ(gb, test::Gbk(utf8));
    // An incomplete tail leaves nothing behind after Reset.
    in = gb.data();
    inLeft = gb.size() - 1;
    std::size_t room = again.size();
    out = again.data();
    ASSERT_EQ(back.Convert(in, inLeft, out, room), Status::kIncomplete);
    EXPECT_EQ(inLeft, 3u);  // stopped at the cut four-byte code
    back.Reset();
    in = gb.data();
    inLeft = gb.size();
    room = again.size();
    out = again.data();
    ASSERT_EQ(back.Convert(in, inLeft, out, room), Status::kDone);
    EXPECT_EQ(again.substr(0, again.size() - room), utf8);
  }
}

}  // namespace
}  // namespace tl
