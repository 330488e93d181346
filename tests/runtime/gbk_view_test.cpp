// The GBK reading rules every scanner shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "runtime/core/gbk_view.h"

namespace tl::gbk {
namespace {

TEST(GbkView, CharacterBoundaries) {
  // "\xD6\xD0" is one character; "\x81\\" is one character whose trail byte
  // looks like a separator; a high byte before a byte below 0x30 stands alone.
  const struct {
    std::string_view text;
    std::size_t from, pos;
    bool boundary;
  } cases[] = {
      {"ab", 0, 1, true},
      {"\xD6\xD0" "a", 0, 1, false},
      {"\xD6\xD0" "a", 0, 2, true},
      {"\xD6\xD0\xD6\xD0", 0, 3, false},
      {"\xD6\xD0\xD6\xD0", 0, 2, true},
      {"a\x81\\", 0, 2, false},
      {"a\x81\x81\\", 1, 3, true},   // counted from a known boundary,
      {"a\x81\x81\\", 2, 3, false},  // which decides the pairing
      {"a\x81/", 0, 2, true},
      {"caf\xE9\n", 0, 4, true},
      {"\xD6\xD0\xE9,", 0, 3, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AtBoundary(c.text, c.from, c.pos), c.boundary) << c.text << " " << c.from << " " << c.pos;
  EXPECT_TRUE(IsLeadAt("a\xD6\xD0", 1));
  EXPECT_FALSE(IsLeadAt("a\xD6\xD0", 2));
  EXPECT_FALSE(IsLeadAt("ab", 1));
}

TEST(GbkView, StepsAndLengths) {
  EXPECT_EQ(CharLength("\xD6\xD0", 0), 2u);
  EXPECT_EQ(CharLength("\xD6", 0), 1u);  // a lead byte at the end stands alone
  EXPECT_EQ(CharStep("a", 0), 1u);
  EXPECT_EQ(CharStep("\xD6\xD0", 0), 2u);
  EXPECT_EQ(CharStep(std::string_view("\xD6\0", 2), 0), 0u);  // a broken pair ends a walk
  EXPECT_EQ(CharStep("\xD6", 0), 0u);
}

TEST(GbkView, AsciiCaseFoldingLeavesOtherBytes) {
  EXPECT_EQ(FoldAscii('A'), 'a');
  EXPECT_EQ(FoldAscii('z'), 'z');
  EXPECT_EQ(FoldAscii('['), '[');
  EXPECT_EQ(FoldAscii('\xC1'), '\xC1');
  EXPECT_EQ(UpperAscii('a'), 'A');
  EXPECT_EQ(UpperAscii('Z'), 'Z');
  EXPECT_EQ(UpperAscii('{'), '{');
  EXPECT_EQ(UpperAscii('\xE1'), '\xE1');
  EXPECT_TRUE(EqualsNoCase("GB18030", "gb18030"));
  EXPECT_FALSE(EqualsNoCase("GB18030", "GB1803"));
  EXPECT_FALSE(EqualsNoCase("\xC1", "\xE1"));  // only ASCII letters fold
  EXPECT_TRUE(SameBytes("AbC", "aBc", 3, true));
  EXPECT_FALSE(SameBytes("AbC", "aBc", 3, false));
}

TEST(GbkView, LastSeparatorSkipsTrailBytes) {
  const struct {
    std::string_view path;
    std::size_t at;
  } cases[] = {
      {"a/b/c", 3}, {"abc", std::string_view::npos}, {"a/\x81/", 1}, {"\x81/", std::string_view::npos}, {"/", 0},
  };
  // Written with "/"; "\\" on Windows, where it is also a GBK trail byte.
  for (const auto& c : cases) {
    std::string path(c.path);
    std::replace(path.begin(), path.end(), '/', os::kSeparator);
    EXPECT_EQ(FindLastSeparator(path), c.at) << path;
  }
  EXPECT_EQ(FindLastCharacter("a.b\x81.", '.'), 1u);
}

}  // namespace
}  // namespace tl::gbk
