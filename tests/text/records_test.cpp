#include <gtest/gtest.h>

#include <random>

#include "reference.h"
#include "runtime/commands/text_commands.h"
#include "support/gbk.h"
#include "text/records.h"

namespace tl::text {
namespace {

std::vector<std::string> Split(std::string_view text, std::string_view sep) {
  RecordIndex idx(text, sep);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < idx.size(); ++i) out.emplace_back(idx[i]);
  return out;
}

using Recs = std::vector<std::string>;

Recs CommandSplit(std::string_view text, std::string_view sep) {
  rt::TextArray pieces = rt::SplitText(text, sep);
  Recs out;
  for (std::size_t i = 1; i <= pieces.size(); ++i) out.emplace_back(pieces[static_cast<std::int64_t>(i)]);
  return out;
}

TEST(SplitRecords, SeparatorPlacement) {
  const struct {
    std::string text, sep;
    Recs want;
  } cases[] = {
      {"", "\r\n", {}},
      {"\r\n", "\r\n", {""}},
      {"a\r\n\r\nb", "\r\n", {"a", "", "b"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"\r\na", "\r\n", {"", "a"}},
      {"a\r\nb", "", {"a\r\nb"}},
      {"a,,b,", ",", {"a", "", "b"}},
      {"aab", "ab", {"a"}},
      {"abab", "ab", {"", ""}},
      {"x", "longer than the text", {"x"}},
      {"a\nb", "\r\n", {"a\nb"}},
      {"aaa", "aa", {"", "a"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Split(c.text, c.sep), c.want) << c.text;
}

TEST(SplitRecords, NeverMatchesInsideADoubleByteCharacter) {
  // 0x955C is a GBK character whose second byte is a backslash.
  const std::string kanji = "\x95\x5C";
  EXPECT_EQ(Split("a" + kanji + "b\\c", "\\"), (Recs{"a" + kanji + "b", "c"}));
  EXPECT_EQ(Split(kanji + kanji, "\\"), (Recs{kanji + kanji}));
  // A trail byte that is an ASCII letter is not a record break either.
  const std::string zhong = test::Gbk("中");  // D6 D0
  EXPECT_EQ(Split("x" + zhong + "\xD0y", "\xD0y"), (Recs{"x" + zhong}));
  // Full-width comma as a separator among Chinese text.
  const std::string comma = test::Gbk("，");
  const std::string a = test::Gbk("甲"), b = test::Gbk("乙");
  EXPECT_EQ(Split(a + comma + b + comma, comma), (Recs{a, b}));
}

TEST(SplitRecords, LoneLeadByteAtTheEndStaysInTheLastRecord) {
  EXPECT_EQ(Split("a,b\xD6", ","), (Recs{"a", "b\xD6"}));
  EXPECT_EQ(Split("a,\xD6", ","), (Recs{"a", "\xD6"}));
  EXPECT_EQ(Split("\xD6", "\xD6"), (Recs{""}));
}

TEST(SplitRecords, HighByteBeforeAByteBelow0x30StandsAlone) {
  // No GBK or GB18030 character has a second byte below 0x30, so a single-byte
  // code page's letter before a line break or separator does not swallow it.
  const struct {
    std::string text, sep;
    Recs want;
  } cases[] = {
      {"caf\xE9\nx\ncaf\xE9\ny\n", "\n", {"caf\xE9", "x", "caf\xE9", "y"}},
      {"caf\xE9\r\nx", "\r\n", {"caf\xE9", "x"}},
      {"\xE9,b", ",", {"\xE9", "b"}},
      {"\xE9\xE9\xE9,b", ",", {"\xE9\xE9\xE9", "b"}},  // the third high byte is alone
      {"\x81/x", "/", {"\x81", "x"}},                      // 0x2F: just below the bound
      // Unchanged: 0x30 and above still trail (GB18030's four-byte codes use
      // 0x30..0x39 as their second byte), and a pair before a break is kept.
      {"\x81\x30\x81\x30", "0", {"\x81\x30\x81\x30"}},
      {"\xE9\xE9,b", ",", {"\xE9\xE9", "b"}},
      {"\xE9\xE9\xE9\x5C,", "\\", {"\xE9\xE9\xE9\x5C,"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Split(c.text, c.sep), c.want) << testing::PrintToString(c.text);
    EXPECT_EQ(test::ReferenceSplit(c.text, c.sep), c.want) << testing::PrintToString(c.text);
  }
}

// Random texts from small alphabets that provoke every rule: separators,
// their pieces, lead bytes whose trail byte equals a separator byte, and
// texts that end in a lone lead byte.
std::string RandomText(std::mt19937& rng, const std::vector<std::string>& alphabet, std::size_t maxPieces) {
  std::uniform_int_distribution<std::size_t> len(0, maxPieces);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string s;
  for (std::size_t i = len(rng); i > 0; --i) s += alphabet[pick(rng)];
  if (rng() % 8 == 0) s += '\xB0';
  return s;
}

const std::vector<std::string> kSeparators = {"\r\n", ",", "\\", "ab", "\x5C\x5C", "\xA3\xAC", "a", "\n", "aa",
                                             "0", "\xE9\n"};
const std::vector<std::string> kAlphabet = {"a", "b", "\r\n", "\r", "\n", ",", "\\", "\x95\x5C", "\xA3\xAC",
                                            "\xB0\x61", "\xD6\xD0", "ab", "\x1A", " ", "\xE9", "0", "/"};

TEST(SplitRecords, MatchesTheByteWalkOnRandomTexts) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 20000; ++round) {
    const std::string& sep = kSeparators[rng() % kSeparators.size()];
    std::string text = RandomText(rng, kAlphabet, 12);
    ASSERT_EQ(Split(text, sep), test::ReferenceSplit(text, sep)) << "sep=" << sep << " text=" << text;
    // The runtime's split command walks characters by the same rule.
    ASSERT_EQ(Split(text, sep), CommandSplit(text, sep)) << "sep=" << sep << " text=" << text;
  }
}

}  // namespace
}  // namespace tl::text
