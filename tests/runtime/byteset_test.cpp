#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "runtime/commands/byteset_commands.h"
#include "runtime/core/frame.h"
#include "runtime/core/raw_bytes.h"
#include "support/gbk.h"
#include "support/exit_code.h"

namespace tl::rt {
namespace {

using std::nullopt;
using namespace std::string_literals;

std::string Bytes(const ByteSet& b) { return std::string(b.view()); }

TEST(ByteSetCut, ClampsPositionsAndCounts) {
  const std::string b = "abcde";
  const struct {
    int start, n;
    const char *left, *right, *mid;
  } cases[] = {
      {1, 0, "", "", ""},       {1, -2, "", "", ""},           {1, 2, "ab", "de", "ab"},
      {2, 3, "abc", "cde", "bcd"}, {4, 9, "abcde", "abcde", "de"}, {0, 2, "ab", "de", "ab"},
      {-7, 1, "a", "e", "a"},   {6, 2, "ab", "de", ""},        {99, 2, "ab", "de", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.n);
    EXPECT_EQ(Bytes(LeftBytes(b, c.n)), c.left);
    EXPECT_EQ(Bytes(RightBytes(b, c.n)), c.right);
    ByteSet mid = MidBytes(b, c.start, c.n);
    EXPECT_EQ(Bytes(mid), c.mid);
    EXPECT_EQ(mid.block() == nullptr, *c.mid == '\0');  // never a zero-length block
  }
  EXPECT_EQ(ByteSetLength("a\0b"s), 3);
  EXPECT_EQ(ByteSetLength({}), 0);
}

TEST(FindBytes, Cases) {
  const std::string hay = "ab\0cab\0c"s;
  const struct {
    std::string sought;
    std::optional<std::int32_t> start;
    std::int32_t expected;
  } cases[] = {
      {"b\0c"s, nullopt, 2}, {"b\0c"s, 3, 6},  {"b\0c"s, 7, -1}, {"c", 0, 4},    {"c", -3, 4},
      {"", nullopt, -1},     {"abcd", nullopt, -1}, {"x", nullopt, -1}, {"c", 8, 8}, {"c", 9, -1},
      {hay, nullopt, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sought.size() << " @" << c.start.value_or(0));
    EXPECT_EQ(FindBytes(hay, c.sought, c.start), c.expected);
  }
  // Plain bytes: a match may start on the trail byte of a GBK character.
  EXPECT_EQ(FindBytes("\xD6\xD0\x63", "\xD0\x63"), 2);
}

TEST(ReplaceBytes, Cases) {
  const struct {
    std::string b, old;
    std::optional<std::string_view> repl;
    std::optional<std::int32_t> start, count;
    std::string expected;
  } cases[] = {
      {"a\0b\0c"s, "\0"s, "--", nullopt, nullopt, "a--b--c"}, {"a\0b\0c"s, "\0"s, nullopt, nullopt, nullopt, "abc"},
      {"a\0b\0c"s, "\0"s, "-", nullopt, 1, "a-b\0c"s}, {"a\0b\0c"s, "\0"s, "-", nullopt, 0, "a\0b\0c"s},
      {"a\0b\0c"s, "\0"s, "-", nullopt, -4, "a\0b\0c"s}, {"a\0b\0c"s, "\0"s, "-", 3, nullopt, "a\0b-c"s},
      {"a\0b\0c"s, "\0"s, "-", 6, nullopt, "a\0b\0c"s},
      {"AbAB", "ab", "x", nullopt, nullopt, "AbAB"},  // byte-exact
      {"abc", "", "x", nullopt, nullopt, "abc"},
      {"abc", "abc", nullopt, nullopt, nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.b);
    EXPECT_EQ(Bytes(ReplaceBytes(c.b, c.old, c.repl, c.start, c.count)), c.expected);
  }
  EXPECT_EQ(ReplaceBytes("abc", "abc").block(), nullptr);
}

TEST(ZeroAndPointerBytes, Lengths) {
  EXPECT_EQ(Bytes(ZeroBytes(3)), "\0\0\0"s);
  EXPECT_EQ(ZeroBytes(0).block(), nullptr);
  EXPECT_EQ(ZeroBytes(-1).block(), nullptr);
  const char data[] = "hello";
  EXPECT_EQ(Bytes(PointerToBytes(data, 4)), "hell");
  EXPECT_EQ(PointerToBytes(data, 0).block(), nullptr);
  EXPECT_EQ(PointerToBytes(nullptr, 4).block(), nullptr);
}

TEST(ToByteSet, RawBytesOfEachKind) {
  const std::string zw = test::Gbk("中文");
  ByteSet source("x\0y"s);
  void* shorts = array::NewOneDim(3, 2);
  const std::int16_t values[3] = {1, -2, 0x0300};
  std::memcpy(array::Elements(shorts), values, sizeof values);
  TextArray texts;
  texts.Append("abc");
  TypedArg routine;
  routine.lo = 0x11223344;
  routine.tag = kTagRoutine;

  const struct {
    TypedArg value;
    std::string expected;
  } cases[] = {
      {arg::Text(zw.c_str()), zw},  // without the NUL
      {arg::ByteSet(source.block()), "x\0y"s}, {arg::Byte(0xAB), "\xAB"}, {arg::Short(-2), "\xFE\xFF"},
      {arg::Int(0x01020304), "\x04\x03\x02\x01"},
      {arg::Long(0x0102030405060708LL), "\x08\x07\x06\x05\x04\x03\x02\x01"},
      {arg::Float(1.0f), "\x00\x00\x80\x3F"s},
      {arg::Double(1.0), "\x00\x00\x00\x00\x00\x00\xF0\x3F"s},
      {arg::DateTime(2.0), "\x00\x00\x00\x00\x00\x00\x00\x40"s},
      {arg::Boolean(true), "\x01\x00\x00\x00"s},
      {routine, "\x44\x33\x22\x11"},
      {arg::Array(kTagShort, shorts), "\x01\x00\xFE\xFF\x00\x03"s},
      {arg::Array(kTagText, texts.block()), ""}, {arg::Array(kTagBoolean, shorts), ""}, {arg::Omitted(), ""},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    ByteSet b = ToByteSet(cases[i].value);
    EXPECT_EQ(Bytes(b), cases[i].expected);
    EXPECT_EQ(b.block() == nullptr, cases[i].expected.empty());
  }
  Release(shorts);
}

TEST(FetchBytesData, ReadsAndAdvances) {
  EXPECT_EQ(FetchBytesData("\x01\x02", kFetchInt).as_int(), 513);

  // int 7, double 2.5, "hi\0", short -1, then a 1-byte tail.
  std::string data;
  const std::int32_t seven = 7;
  const double twoHalf = 2.5;
  data.append(reinterpret_cast<const char*>(&seven), 4);
  data.append(reinterpret_cast<const char*>(&twoHalf), 8);
  data.append("hi\0"s);
  data.append("\xFF\xFF");
  data.append("\x05");

  std::int32_t pos = 1;
  ResultRecord r = FetchBytesData(data, kFetchInt, &pos);
  EXPECT_EQ(r.tag, kTagInt);
  EXPECT_EQ(r.as_int(), 7);
  EXPECT_EQ(pos, 5);
  r = FetchBytesData(data, kFetchDouble, &pos);
  EXPECT_EQ(r.tag, kTagDouble);
  EXPECT_EQ(r.as_double(), 2.5);
  EXPECT_EQ(pos, 13);
  Text hi = TakeText(FetchBytesData(data, kFetchText, &pos));
  EXPECT_EQ(hi, "hi");
  EXPECT_EQ(pos, 16);  // past the NUL
  r = FetchBytesData(data, kFetchShort, &pos);
  EXPECT_EQ(r.as_int() << 16 >> 16, -1);
  EXPECT_EQ(pos, 18);
  // Only one byte left for an int: padded with zeros, and the end is reached.
  r = FetchBytesData(data, kFetchInt, &pos);
  EXPECT_EQ(r.as_int(), 5);
  EXPECT_EQ(pos, -1);
  // A finished position reads nothing and stays finished.
  r = FetchBytesData(data, kFetchInt, &pos);
  EXPECT_EQ(r.as_int(), 0);
  EXPECT_EQ(pos, -1);
}

TEST(FetchBytesData, EdgeCases) {
  const std::string eight = "\x01\x02\x03\x04\x05\x06\x07\x08";
  const struct {
    const char* what;
    std::string data;
    std::int32_t type, pos;
    std::uint32_t lo;  // the value's low word; texts compare `text`
    const char* text;
    std::int32_t posAfter;
  } cases[] = {
      {"text without a NUL runs to the end", "abc", kFetchText, 2, 0, "bc", -1},
      {"empty text stops after its NUL", "\0ab"s, kFetchText, 1, 0, "", 2},
      {"position 0 is finished", eight, kFetchByte, 0, 0, nullptr, -1},
      {"position past the end", eight, kFetchByte, 9, 0, nullptr, -1},
      {"the last byte", eight, kFetchByte, 8, 8, nullptr, -1},
      {"nothing to read", "", kFetchInt, 1, 0, nullptr, -1},
      {"a routine is 4 bytes", "\x01\x02\x03\x04\x05", kFetchRoutine, 1, 0x04030201u, nullptr, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::int32_t pos = c.pos;
    ResultRecord r = FetchBytesData(c.data, c.type, &pos);
    if (c.text) {
      EXPECT_EQ(TakeText(r), c.text);
    } else {
      EXPECT_EQ(r.lo, c.lo);
    }
    EXPECT_EQ(pos, c.posAfter);
  }
  // Boolean: non-zero becomes 1; date-time is clamped.
  ResultRecord b = FetchBytesData("\x00\x02\x00\x00"s, kFetchBoolean);
  EXPECT_EQ(b.tag, kTagBoolean);
  EXPECT_EQ(b.as_int(), 1);
  const double huge = 9e9;
  ResultRecord d = FetchBytesData(std::string_view(reinterpret_cast<const char*>(&huge), 8), kFetchDateTime);
  EXPECT_EQ(d.tag, kTagDateTime);
  EXPECT_EQ(d.as_double(), kMaxDate);
  EXPECT_EQ(FetchBytesData(eight.substr(0, 5), kFetchRoutine).tag, kTagRoutine);
  EXPECT_EQ(FetchBytesData("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", kFetchLong).as_long(), -1);
  EXPECT_EQ(FetchBytesData("\x00\x00\xC0\x3F"s, kFetchFloat).as_float(), 1.5f);
}

TEST(RawBytes, RoundTripThroughValueFromRawBytes) {
  const TypedArg values[] = {arg::Byte(9), arg::Short(-300), arg::Int(-70000), arg::Long(-5000000000LL),
                             arg::Float(-0.25f), arg::Double(1e-300), arg::DateTime(41740.5), arg::Boolean(true)};
  for (const TypedArg& v : values) {
    SCOPED_TRACE(v.tag);
    RawScratch scratch;
    std::string_view raw = RawBytesOf(v, scratch);
    std::size_t used = 0;
    ResultRecord back = ValueFromRawBytes(v.tag, raw, &used);
    EXPECT_EQ(used, raw.size());
    EXPECT_EQ(back.tag, v.tag);
    const std::uint64_t mask = raw.size() == 8 ? ~0ULL : ((1ULL << (8 * raw.size())) - 1);
    EXPECT_EQ(back.word(), v.word() & mask);
  }
}

using FetchBytesDataDeathTest = ::testing::Test;
TEST(FetchBytesDataDeathTest, InvalidTypeIsFatal) {
  EXPECT_EXIT((void)FetchBytesData("abcd", 0), ::testing::ExitedWithCode(tl::test::kFatalExitStatus), "");
  EXPECT_EXIT((void)FetchBytesData("abcd", 11), ::testing::ExitedWithCode(tl::test::kFatalExitStatus), "");
}

TEST(ByteSetFrames, CallThroughTheFrame) {
  ByteSet data("\x01\x02\x03\x04\x05\x06"s);
  std::int32_t pos = 1;
  ResultRecord r = CallCommand(cmd::kFetchBytesData, {arg::ByteSet(data.block()), arg::Int(kFetchShort), arg::IntVariable(&pos)});
  EXPECT_EQ(r.as_int(), 0x0201);
  EXPECT_EQ(pos, 3);
  r = CallCommand(cmd::kFetchBytesData, {arg::ByteSet(data.block()), arg::Int(kFetchInt), arg::IntVariable(&pos)});
  EXPECT_EQ(r.lo, 0x06050403u);
  EXPECT_EQ(pos, -1);
  // A position given as a plain value is read but nothing is written back.
  r = CallCommand(cmd::kFetchBytesData, {arg::ByteSet(data.block()), arg::Int(kFetchByte), arg::Int(6)});
  EXPECT_EQ(r.as_int(), 6);
  r = CallCommand(cmd::kFetchBytesData, {arg::ByteSet(data.block()), arg::Int(kFetchByte), arg::Omitted()});
  EXPECT_EQ(r.as_int(), 1);

  EXPECT_EQ(CallCommand(cmd::kFindBytes, {arg::ByteSet(data.block()), arg::ByteSet(ByteSet("\x03"s).block()), arg::Omitted()}).as_int(), 3);
  ByteSet replaced = TakeByteSet(CallCommand(cmd::kReplaceBytes, {arg::ByteSet(data.block()), arg::ByteSet(ByteSet("\x03\x04"s).block()), arg::Omitted()}));
  EXPECT_EQ(Bytes(replaced), "\x01\x02\x05\x06"s);
  ByteSet mid = TakeByteSet(CallCommand(cmd::kMidBytes, {arg::ByteSet(data.block()), arg::Int(2), arg::Int(2)}));
  EXPECT_EQ(Bytes(mid), "\x02\x03"s);
  EXPECT_EQ(CallCommand(cmd::kByteSetLength, {arg::ByteSet(nullptr)}).as_int(), 0);
  ByteSet text = TakeByteSet(CallCommand(cmd::kToByteSet, {arg::Text("ab")}));
  EXPECT_EQ(Bytes(text), "ab");
  EXPECT_EQ(CallCommand(cmd::kZeroBytes, {arg::Int(0)}).pointer(), nullptr);
}

}  // namespace
}  // namespace tl::rt
