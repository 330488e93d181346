#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/core/frame.h"
#include "runtime/commands/text_commands.h"
#include "support/gbk.h"

namespace tl::rt {
namespace {

using test::Gbk;
using std::nullopt;

// GBK characters whose trail byte looks like ASCII: 丄 = 81 41 ('A'),
// 乤 = 81 61 ('a'), 乗 = 81 5C ('\'), 乧 = 81 63 ('c').

TEST(FindText, PositionsStartsAndCase) {
  const struct {
    std::string text, sought;
    std::optional<std::int32_t> start;
    std::optional<bool> ci;
    std::int32_t forward, reverse;
  } cases[] = {
      {"abc", "", nullopt, nullopt, 1, 1}, {"", "", nullopt, nullopt, -1, -1}, {"", "a", nullopt, nullopt, -1, -1},
      {"abcabc", "c", nullopt, nullopt, 3, 6},
      {"abcabc", "c", 4, nullopt, 6, 3},    // reverse: matches ending within the first 3 bytes
      {"abcabc", "c", 3, nullopt, 3, -1},   // reverse: "c" at 3 ends after byte 2
      {"abcabc", "abc", 7, nullopt, -1, 4}, // forward window empty; reverse takes the whole text
      {"abcabc", "abc", 100, nullopt, -1, 4},
      {"abcabc", "a", 0, nullopt, 1, -1},   // start 0 acts as 1; reverse window is empty
      {"abcabc", "a", -5, nullopt, 1, -1}, {"abc", "", 4, nullopt, -1, 1}, {"abc", "", 3, nullopt, 1, 1},
      {"abc", "abcd", nullopt, nullopt, -1, -1}, {"xAbCx", "abc", nullopt, nullopt, -1, -1},
      {"xAbCx", "abc", nullopt, true, 2, 2}, {"xAbCx", "abc", nullopt, false, -1, -1},
      {"a[b", "{B", nullopt, true, -1, -1},  // only letters fold
      {"ab\xD6", "\xD6", nullopt, nullopt, 3, 3},  // a lone lead byte at the end ends the walk
      {"ab\xD6", "b", nullopt, nullopt, 2, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.sought);
    EXPECT_EQ(FindText(c.text, c.sought, c.start, c.ci), c.forward);
    EXPECT_EQ(FindTextReverse(c.text, c.sought, c.start, c.ci), c.reverse);
  }
}

TEST(FindText, MatchesOnlyStartOnCharacterBoundaries) {
  const std::string zhongC = Gbk("中c");
  ASSERT_EQ(zhongC, "\xD6\xD0\x63");
  EXPECT_EQ(FindText(zhongC, "\xD0\x63"), -1);
  EXPECT_EQ(FindTextReverse(zhongC, "\xD0\x63"), -1);
  EXPECT_EQ(FindText(zhongC, "c"), 3);

  const std::string shang = Gbk("丄x乤y乧");
  EXPECT_EQ(FindText(shang, "A"), -1);
  EXPECT_EQ(FindText(shang, "a", nullopt, true), -1);
  EXPECT_EQ(FindText(shang, "c"), -1);
  EXPECT_EQ(FindText(shang, "y"), 6);
  EXPECT_EQ(FindText(shang, Gbk("乧")), 7);
  EXPECT_EQ(FindTextReverse(shang, Gbk("丄")), 1);

  const std::string path = Gbk("乗\\b");
  EXPECT_EQ(FindText(path, "\\"), 3);
  EXPECT_EQ(FindTextReverse(path, "\\"), 3);

  // A start in the middle of a character begins the walk there.
  EXPECT_EQ(FindText(zhongC, "\xD0\x63", 2), 2);
  EXPECT_EQ(FindText(Gbk("中文"), Gbk("文"), 2), -1);
  EXPECT_EQ(FindText(Gbk("中文"), Gbk("文"), 3), 3);
}

TEST(CutText, CountsPlainBytes) {
  const std::string zw = Gbk("中文");
  EXPECT_EQ(LeftText(zw, 1), "\xD6");
  EXPECT_EQ(RightText(zw, 1), "\xC4");
  EXPECT_EQ(MidText(zw, 2, 2), "\xD0\xCE");

  const struct {
    int start, n;
    const char* left;   // LeftText(text, n)
    const char* right;  // RightText(text, n)
    const char* mid;    // MidText(text, start, n)
  } cases[] = {
      {1, 0, "", "", ""}, {1, -3, "", "", ""}, {1, 2, "ab", "de", "ab"}, {2, 3, "abc", "cde", "bcd"},
      {4, 9, "abcde", "abcde", "de"}, {5, 1, "a", "e", "e"}, {6, 1, "a", "e", ""}, {0, 2, "ab", "de", ""},
      {-1, 2, "ab", "de", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.n);
    Text left = LeftText("abcde", c.n), right = RightText("abcde", c.n), mid = MidText("abcde", c.start, c.n);
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(right, c.right);
    EXPECT_EQ(mid, c.mid);
    // Empty results are null blocks.
    EXPECT_EQ(left.block() == nullptr, *c.left == '\0');
    EXPECT_EQ(mid.block() == nullptr, *c.mid == '\0');
  }
  EXPECT_TRUE(LeftText("", 5).empty());
}

TEST(ReplaceSubtext, Cases) {
  const struct {
    std::string text, old;
    std::optional<std::string_view> repl;
    std::optional<std::int32_t> start, count;
    std::optional<bool> cs;
    std::string expected;
  } cases[] = {
      {"AbAB", "ab", "x", nullopt, nullopt, nullopt, "xx"}, {"AbAB", "ab", "x", nullopt, nullopt, true, "AbAB"},
      {"AbAB", "ab", "x", nullopt, nullopt, false, "xx"}, {"abab", "ab", "x", nullopt, nullopt, true, "xx"},
      {"a,b,c", ",", nullopt, nullopt, nullopt, nullopt, "abc"},
      {"a,b,c", ",", ";;", nullopt, 1, nullopt, "a;;b,c"}, {"a,b,c", ",", ";", nullopt, 0, nullopt, "a,b,c"},
      {"a,b,c", ",", ";", nullopt, -1, nullopt, "a,b,c"}, {"a,b,c", ",", ";", 3, nullopt, nullopt, "a,b;c"},
      {"a,b,c", ",", ";", 0, nullopt, nullopt, "a;b;c"}, {"a,b,c", ",", ";", 6, nullopt, nullopt, "a,b,c"},
      {"a,b,c", "", ";", nullopt, nullopt, nullopt, "a,b,c"}, {"aaa", "aa", "b", nullopt, nullopt, nullopt, "ba"},
      {"abc", "abc", "", nullopt, nullopt, nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.old);
    EXPECT_EQ(ReplaceSubtext(c.text, c.old, c.repl, c.start, c.count, c.cs), c.expected);
  }
  EXPECT_TRUE(ReplaceSubtext("abc", "abc", "").empty());
  EXPECT_TRUE(ReplaceSubtext("", "a", "b").empty());
}

TEST(ReplaceSubtext, RespectsCharacterBoundaries) {
  // "A" and "a" inside 丄 / 乤 are trail bytes and stay untouched.
  const std::string text = Gbk("丄A乤a");
  EXPECT_EQ(ReplaceSubtext(text, "a", "-"), Gbk("丄-乤-"));
  EXPECT_EQ(ReplaceSubtext(Gbk("中c"), "\xD0\x63", "x"), Gbk("中c"));
  EXPECT_EQ(ReplaceSubtext(Gbk("乗\\乗"), "\\", "/"), Gbk("乗/乗"));
  EXPECT_EQ(ReplaceSubtext(Gbk("中文中"), Gbk("中"), Gbk("大")), Gbk("大文大"));
  // A lone lead byte at the end is kept.
  EXPECT_EQ(ReplaceSubtext("ab\xD6", "a", "x"), "xb\xD6");
}

std::vector<std::string> Pieces(const TextArray& a) {
  std::vector<std::string> out;
  for (std::size_t i = 1; i <= a.size(); ++i) out.emplace_back(a[static_cast<std::int64_t>(i)]);
  return out;
}

TEST(SplitText, Cases) {
  using V = std::vector<std::string>;
  const struct {
    std::string text;
    std::optional<std::string_view> delim;
    std::optional<std::int32_t> max;
    V expected;
  } cases[] = {
      {"a,,b", nullopt, nullopt, {"a", "", "b"}}, {"a,b,", nullopt, nullopt, {"a", "b"}},
      {",a", nullopt, nullopt, {"", "a"}}, {",", nullopt, nullopt, {""}}, {"a,b,c", ",", 2, {"a", "b"}},
      {"a,b,c", ",", 3, {"a", "b", "c"}}, {"a,b,c", ",", 1, {"a"}}, {"a,b,c", ",", 0, {}}, {"a,b,c", ",", -2, {}},
      {"abc", "", nullopt, {"abc"}}, {"", nullopt, nullopt, {}}, {"", "", nullopt, {}},
      {"a\r\nb\r\n\r\nc", "\r\n", nullopt, {"a", "b", "", "c"}},
      {"abc", "abcd", nullopt, {"abc"}},
      {"a;b", nullopt, nullopt, {"a;b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Pieces(SplitText(c.text, c.delim, c.max)), c.expected);
  }
}

TEST(SplitText, EmptyPiecesAreNullAndEmptyResultIsOneZero) {
  TextArray a = SplitText("a,,b");
  ASSERT_EQ(a.size(), 3u);
  auto* words = static_cast<const std::int32_t*>(a.block());
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[1], 3);
  auto* slots = reinterpret_cast<char* const*>(words + 2);
  EXPECT_NE(slots[0], nullptr);
  EXPECT_EQ(slots[1], nullptr);

  TextArray none = SplitText("");
  words = static_cast<const std::int32_t*>(none.block());
  ASSERT_NE(words, nullptr);
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[1], 0);
}

TEST(SplitText, DoubleByteDelimitersAndTrailBytes) {
  // The trail byte 5C of 乗 is not a backslash delimiter.
  EXPECT_EQ(Pieces(SplitText(Gbk("乗\\乗乗"), "\\")), (std::vector<std::string>{Gbk("乗"), Gbk("乗乗")}));
  EXPECT_EQ(Pieces(SplitText(Gbk("中c,文"), "\xD0\x63")), (std::vector<std::string>{Gbk("中c,文")}));
  EXPECT_EQ(Pieces(SplitText(Gbk("一，二，三"), Gbk("，"))),
            (std::vector<std::string>{Gbk("一"), Gbk("二"), Gbk("三")}));
  // A lone lead byte at the end stays in the last piece.
  EXPECT_EQ(Pieces(SplitText("a,b\xD6")), (std::vector<std::string>{"a", "b\xD6"}));
}

// A byte below 0x30 is never the second byte of a GBK or GB18030 character,
// so a high byte before it (a Latin-1 letter before a line break) stands
// alone, in every command that walks characters.
TEST(TextWalk, HighByteBeforeAByteBelow0x30StandsAlone) {
  using V = std::vector<std::string>;
  const struct {
    std::string text, sought;
    std::int32_t found;
    V pieces;
  } cases[] = {
      {"caf\xE9\nx", "\n", 5, {"caf\xE9", "x"}},
      {"caf\xE9\r\nx", "\r\n", 5, {"caf\xE9", "x"}},
      {"\xE9,a", ",", 2, {"\xE9", "a"}},
      {"\xE9\xE9\xE9 b", " ", 4, {"\xE9\xE9\xE9", "b"}},
      // 0x30 and above still trail.
      {"\x81\x30\x81\x30", "0", -1, {"\x81\x30\x81\x30"}},
      {"\xE9\xE9,a", ",", 3, {"\xE9\xE9", "a"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(FindText(c.text, c.sought), c.found);
    EXPECT_EQ(FindTextReverse(c.text, c.sought), c.found);
    EXPECT_EQ(Pieces(SplitText(c.text, c.sought)), c.pieces);
  }
  EXPECT_EQ(ReplaceSubtext("caf\xE9\r\ncaf\xE9\r\n", "\r\n", "|"), "caf\xE9|caf\xE9|");
  EXPECT_EQ(TrimBoth(" x\xE9 "), "x\xE9");
}

TEST(TrimBoth, SpacesAndFullWidthSpaces) {
  const struct {
    std::string in, out;
  } cases[] = {
      {Gbk("　x "), "x"}, {"\tx ", "\tx"}, {" x\r\n", "x\r\n"}, {"   ", ""}, {Gbk("　 　"), ""}, {"", ""},
      {Gbk(" 中 文 "), Gbk("中 文")},
      // B0 A1 is a character: its trail A1 plus a lone A1 is not a space pair.
      {"\xB0\xA1\xA1", "\xB0\xA1\xA1"},
      {"x\xB0\xA1\xA1\xA1", "x\xB0\xA1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(TrimBoth(c.in), c.out);
  }
  EXPECT_TRUE(TrimBoth("  ").empty());
}

TEST(ToLower, AsciiOnlyAndTrailBytesKept) {
  EXPECT_EQ(ToLower("AbC-Z@[z"), "abc-z@[z");
  EXPECT_EQ(ToLower(Gbk("丄A丆B")), Gbk("丄a丆b"));
  EXPECT_EQ(ToLower("X\xC1"), "x\xC1");
  EXPECT_TRUE(ToLower("").empty());
}

TEST(SpaceText, Lengths) {
  EXPECT_EQ(SpaceText(3), "   ");
  EXPECT_TRUE(SpaceText(0).empty());
  EXPECT_TRUE(SpaceText(-1).empty());
  EXPECT_EQ(TextLength(SpaceText(1000).view()), 1000);
}

TEST(TextCommandFrames, CallThroughTheFrame) {
  const char* text = "a,,b";
  ResultRecord r = CallCommand(cmd::kFindText, {arg::Text("abcabc"), arg::Text("c"), arg::Omitted(), arg::Omitted()});
  EXPECT_EQ(r.tag, kTagInt);
  EXPECT_EQ(r.as_int(), 3);
  r = CallCommand(cmd::kFindTextReverse, {arg::Text("abcabc"), arg::Text("C"), arg::Omitted(), arg::Boolean(true)});
  EXPECT_EQ(r.as_int(), 6);
  r = CallCommand(cmd::kFindText, {arg::Text("abcabc"), arg::Text("c"), arg::Int(4)});
  EXPECT_EQ(r.as_int(), 6);

  TextArray pieces = TakeTextArray(CallCommand(cmd::kSplitText, {arg::Text(text), arg::Omitted(), arg::Omitted()}));
  EXPECT_EQ(Pieces(pieces), (std::vector<std::string>{"a", "", "b"}));
  pieces = TakeTextArray(CallCommand(cmd::kSplitText, {arg::Text(text), arg::Text("")}));
  EXPECT_EQ(Pieces(pieces), (std::vector<std::string>{"a,,b"}));

  // Omitted new text: the old text is removed.
  EXPECT_EQ(TakeText(CallCommand(cmd::kReplaceSubtext, {arg::Text("AbAB"), arg::Text("ab"), arg::Omitted()})), "");
  ResultRecord empty = CallCommand(cmd::kMidText, {arg::Text("abc"), arg::Int(9), arg::Int(1)});
  EXPECT_EQ(empty.pointer(), nullptr);
  EXPECT_EQ(TakeText(CallCommand(cmd::kLeftText, {arg::Text("abc"), arg::Int(2)})), "ab");
  EXPECT_EQ(TakeText(CallCommand(cmd::kTrimBoth, {arg::Text(" a ")})), "a");
  EXPECT_EQ(CallCommand(cmd::kTextLength, {arg::Text("")}).as_int(), 0);
}

}  // namespace
}  // namespace tl::rt
