// The Windows converter (code pages and generated tables, no iconv) against
// the Linux build's results: every code point into each charset and random
// byte strings out of it, compared with the reference the host build wrote
// (tools/gen_charset_reference.cpp).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "charset/charset_reference.h"

namespace tl::test::charset_reference {
namespace {

#ifdef TIDYLINE_CHARSET_REFERENCE
// Where the two builds differ by design, and why:
// - Big5 is code page 950 on Windows: it has the box-drawing extras
//   (F9F9..F9FE) and maps the user-defined areas to private-use code points
//   (U+E000..U+F8FF), so their lead bytes (81..A0, FA..FE) alone at the
//   end are cut-off characters, not invalid ones; iconv's BIG5 has neither.
// - iconv's Big5 and Big5-HKSCS drop the tag characters U+E0000..U+E007F without a
//   word; the Windows tables refuse them (no Big5-HKSCS text holds one, so
//   no file of the program's can carry one there).
// - A GB18030 four-byte sequence cut short after an invalid third byte:
//   iconv counts the bytes and calls it cut off, the Windows decoder looks at
//   the third byte and calls it invalid.
bool KnownBlockDifference(const std::string& cs, std::uint32_t block) {
  if (cs == "BIG5") return block == 0x25 || (block >= 0xE0 && block <= 0xF8) || block == 0xE00;
  if (cs == "BIG5-HKSCS") return block == 0xE00;
  return false;
}
bool HasPrivateUse(const std::string& hexUtf8) {
  // UTF-8 of U+E000..U+F8FF: EE xx xx or EF 80..A3 xx.
  for (std::size_t i = 2; i + 6 <= hexUtf8.size(); i += 2) {
    const std::string b = hexUtf8.substr(i, 4);
    if (b.rfind("ee", 0) == 0 || (b.rfind("ef", 0) == 0 && b.substr(2) >= "80" && b.substr(2) <= "a3")) return true;
  }
  return false;
}
bool KnownStringDifference(const std::string& cs, const std::string& mine, const std::string& linux) {
  const bool sameText = mine.substr(2) == linux.substr(2);
  if (cs == "BIG5") return HasPrivateUse(mine) || (mine.substr(0, 2) == "4e" && linux.substr(0, 2) == "49" && sameText);
  if (cs == "GB18030") return mine.substr(0, 2) == "49" && linux.substr(0, 2) == "4e" && sameText;
  return false;
}
#endif

TEST(ConverterReference, SameResultsAsTheLinuxBuild) {
#ifndef TIDYLINE_CHARSET_REFERENCE
  GTEST_SKIP() << "the reference is the Linux build's own output: it is checked where the converter differs";
#else
  std::ifstream in(TIDYLINE_CHARSET_REFERENCE, std::ios::binary);
  ASSERT_TRUE(in) << "no reference at " << TIDYLINE_CHARSET_REFERENCE;
  std::map<std::string, int> checked, differing;
  std::string kind, cs, index, value;
  std::map<std::string, std::vector<std::string>> strings;
  while (in >> kind >> cs >> index >> value) {
    if (kind == "enc") {
      rt::CharsetConverter to(cs, "UTF-8");
      const std::uint32_t block = static_cast<std::uint32_t>(std::stoul(index));
      ++checked[cs + " code points"];
      if (std::to_string(BlockDigest(to, block)) != value && !KnownBlockDifference(cs, block)) {
        if (++differing[cs + " code points"] <= 5)
          ADD_FAILURE() << cs << ": code points U+" << std::hex << block * kBlock << "..U+"
                        << block * kBlock + kBlock - 1 << " convert differently";
      }
    } else {
      rt::CharsetConverter from("UTF-8", cs);
      auto& list = strings[cs];
      if (list.empty()) list = RandomStrings(Fnv(0, cs));
      const std::size_t i = std::stoul(index);
      ASSERT_LT(i, list.size());
      ++checked[cs + " byte strings"];
      const std::string mine = Hex(Convert(from, list[i]));
      if (mine != value && !KnownStringDifference(cs, mine, value) && ++differing[cs + " byte strings"] <= 5)
        ADD_FAILURE() << cs << ": bytes " << Hex(list[i]) << " give " << mine << ", Linux " << value;
    }
  }
  EXPECT_EQ(checked.size(), 2 * std::size(kCharsets)) << "the reference is incomplete";
  for (const auto& [what, n] : differing) ADD_FAILURE() << what << ": " << n << " of " << checked[what] << " differ";
#endif
}

// A text that ends in a character the converter holds back (Big5-HKSCS
// keeps Ê and ê in case a combining mark follows) keeps it.
TEST(ConverterReference, HeldBackCharactersAreWrittenAtTheEnd) {
  struct Case {
    std::string utf8, big5hkscs;
  } const cases[] = {{"aÊ", "a\x88\x66"}, {"ê", "\x88\xa7"}, {"Ê\xcc\x84", "\x88\x62"}, {"Êa", "\x88\x66" "a"}};
  for (const Case& c : cases) {
    rt::CharsetConverter to("BIG5-HKSCS", "UTF-8");
    EXPECT_EQ(Convert(to, c.utf8), "D" + c.big5hkscs) << c.utf8;
  }
}

}  // namespace
}  // namespace tl::test::charset_reference
