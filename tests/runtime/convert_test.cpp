#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/commands/convert_commands.h"
#include "runtime/core/datetime.h"
#include "runtime/core/frame.h"
#include "runtime/commands/number_commands.h"
#include "runtime/core/random.h"
#include "support/gbk.h"

namespace tl::rt {
namespace {

using test::Gbk;

// Days from 1899-12-30, computed with Python's datetime (proleptic Gregorian):
//   (date(y, m, d) - date(1899, 12, 30)).days
constexpr struct {
  int y, m, d;
  std::int64_t days;
} kCalendar[] = {
    {100, 1, 1, -657434},    {100, 2, 28, -657376},  {100, 3, 1, -657375},   {1582, 10, 4, -115869},
    {1582, 10, 15, -115858}, {1600, 2, 29, -109512}, {1899, 12, 29, -1},     {1899, 12, 30, 0},
    {1899, 12, 31, 1},       {1900, 1, 1, 2},        {1900, 2, 28, 60},      {1900, 3, 1, 61},
    {1970, 1, 1, 25569},     {2000, 2, 29, 36585},   {2000, 3, 1, 36586},    {2014, 4, 11, 41740},
    {2024, 2, 29, 45351},    {2024, 12, 31, 45657},  {9999, 12, 31, 2958465},
};

TEST(Calendar, AgreesWithAReferenceCalendar) {
  for (const auto& c : kCalendar) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
    EXPECT_EQ(DaysFromCivil(c.y, c.m, c.d), c.days);
    CivilTime t = CivilFromDays(c.days);
    EXPECT_EQ(t, (CivilTime{c.y, c.m, c.d, 0, 0, 0}));
    EXPECT_TRUE(IsValidCivil(t));
  }
}

TEST(Calendar, EveryDayOfTheRangeRoundTrips) {
  CivilTime prev = CivilFromDays(-657434);
  for (std::int64_t day = -657433; day <= 2958465; ++day) {
    CivilTime t = CivilFromDays(day);
    ASSERT_TRUE(IsValidCivil(t)) << day;
    // Consecutive days: the next day of the month, or the 1st after the last.
    bool next = (t.day == prev.day + 1 && t.month == prev.month && t.year == prev.year) ||
                (t.day == 1 && prev.day == DaysInMonth(prev.year, prev.month) &&
                 ((t.month == prev.month + 1 && t.year == prev.year) ||
                  (t.month == 1 && prev.month == 12 && t.year == prev.year + 1)));
    ASSERT_TRUE(next) << day;
    ASSERT_EQ(DaysFromCivil(t.year, t.month, t.day), day);
    prev = t;
  }
}

TEST(Calendar, TimeOfDayAndNegativeValues) {
  const struct {
    double value;
    CivilTime expected;
  } cases[] = {
      // Values from Python: days - fraction for days before 1899-12-30.
      {-1.25, {1899, 12, 29, 6, 0, 0}}, {-0.25, {1899, 12, 30, 6, 0, 0}},
      {-115858.99998842593, {1582, 10, 15, 23, 59, 59}}, {41740.5, {2014, 4, 11, 12, 0, 0}},
      {45351.545219907406, {2024, 2, 29, 13, 5, 7}},
      // A time of day on the first valid day lies below the range minimum.
      {-657434.0000115741, {100, 1, 1, 0, 0, 0}},
      {-657433.0000115741, {100, 1, 2, 0, 0, 1}},
      // Rounding to the nearest second carries into the next day.
      {41740.999999, {2014, 4, 12, 0, 0, 0}}, {-1.9999999, {1899, 12, 30, 0, 0, 0}},
      {41740.50001, {2014, 4, 11, 12, 0, 1}},
      // Out of range and NaN clamp.
      {3000000.0, {9999, 12, 31, 0, 0, 0}},
      {-700000.0, {100, 1, 1, 0, 0, 0}},
      {std::numeric_limits<double>::quiet_NaN(), {100, 1, 1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(CivilFromDateTime(c.value), c.expected);
  }
  const CivilTime parts[] = {{1899, 12, 29, 6, 0, 0}, {1582, 10, 15, 23, 59, 59}, {2024, 2, 29, 13, 5, 7}};
  const double values[] = {-1.25, -115858.99998842593, 45351.545219907406};
  for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(DateTimeFromCivil(parts[i]), values[i]);
}

TEST(Calendar, Validity) {
  const struct {
    CivilTime t;
    bool valid;
  } cases[] = {
      {{1900, 2, 29}, false}, {{2000, 2, 29}, true},     {{2024, 2, 29}, true},    {{2023, 2, 29}, false},
      {{99, 12, 31}, false},  {{100, 1, 1}, true},       {{9999, 12, 31}, true},   {{10000, 1, 1}, false},
      {{2000, 4, 31}, false}, {{2000, 13, 1}, false},    {{2000, 0, 1}, false},    {{2000, 1, 0}, false},
      {{2000, 1, 1, 24}, false}, {{2000, 1, 1, 23, 60}, false}, {{2000, 1, 1, 23, 59, 60}, false},
      {{2000, 1, 1, 23, 59, 59}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.t.year << "-" << c.t.month << "-" << c.t.day << " " << c.t.hour);
    EXPECT_EQ(IsValidCivil(c.t), c.valid);
  }
}

TEST(NormalizeWidth, FullWidthToAscii) {
  EXPECT_EQ(NormalizeWidth(Gbk("ＡＢｃ１２３－．")), "ABc123-.");
  EXPECT_EQ(NormalizeWidth(Gbk("　中～")), " " + Gbk("中") + "~");
  EXPECT_EQ(NormalizeWidth("\xA1\xEE\xA1\xEF"), "**");
  EXPECT_EQ(NormalizeWidth("\xA3\xA0x\xA3"), "\xA3\xA0x\xA3");  // A3 A0 is not full-width ASCII
}

TEST(ToText, NumbersAndBooleans) {
  const struct {
    TypedArg value;
    std::string expected;
  } cases[] = {
      {arg::Double(3.0), "3"}, {arg::Double(0.1), "0.1"}, {arg::Double(1.0 / 3), "0.3333333333333"},
      {arg::Double(1e20), "1e+20"}, {arg::Double(-2.5), "-2.5"},
      {arg::Double(123456789012345.0), "1.234567890123e+14"}, {arg::Double(0.30000000000000004), "0.3"},
      {arg::Double(1e-5), "1e-05"}, {arg::Float(0.1f), "0.1"}, {arg::Float(1.0f / 3), "0.333333"},
      {arg::Float(1234567.0f), "1.23457e+06"}, {arg::Int(-5), "-5"},
      {arg::Int(std::numeric_limits<std::int32_t>::min()), "-2147483648"},
      {arg::Byte(200), "200"}, {arg::Short(-3), "-3"}, {arg::Long(-9000000000LL), "-9000000000"},
      {arg::Long(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
      {arg::Boolean(true), Gbk("真")}, {arg::Boolean(false), Gbk("假")}, {arg::Omitted(), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(ToText(c.value), c.expected);
  }
  TypedArg routine;
  routine.lo = 1234;
  routine.tag = kTagRoutine;
  EXPECT_TRUE(ToText(routine).empty());
}

TEST(ToText, DateTimes) {
  const struct {
    double value;
    const char* utf8;
  } cases[] = {
      {41740.0, "2014年4月11日"},
      {41740.5, "2014年4月11日12时"},
      {41740.0 + (12 * 3600 + 30 * 60) / 86400.0, "2014年4月11日12时30分"},
      {45351.545219907406, "2024年2月29日13时5分7秒"}, {41740.0 + 5 / 86400.0, "2014年4月11日0时0分5秒"},
      {41740.0 + 300 / 86400.0, "2014年4月11日0时5分"}, {-1.25, "1899年12月29日6时"}, {0.0, "1899年12月30日"},
      {-657434.0, "100年1月1日"}, {3000000.0, "9999年12月31日"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(ToText(arg::DateTime(c.value)), Gbk(c.utf8));
  }
}

TEST(ToText, TextsByteSetsAndArrays) {
  const std::string zw = Gbk("中文");
  EXPECT_EQ(ToText(arg::Text(zw.c_str())), zw);
  EXPECT_TRUE(ToText(arg::Text("")).empty());

  ByteSet withNul(std::string_view("ab\0cd", 5));
  EXPECT_EQ(ToText(arg::ByteSet(withNul.block())), "ab");
  ByteSet plain("xyz");
  EXPECT_EQ(ToText(arg::ByteSet(plain.block())), "xyz");

  void* ints = array::NewOneDim(2, 4);
  const std::uint8_t bytes[8] = {'a', 'b', 'c', 'd', 'e', 0, 'f', 'g'};
  std::memcpy(array::Elements(ints), bytes, 8);
  EXPECT_EQ(ToText(arg::Array(kTagInt, ints)), "abcde");
  EXPECT_TRUE(ToText(arg::Array(kTagInt, nullptr)).empty());
  Release(ints);

  TextArray texts = TextArray();
  texts.Append("abc");
  EXPECT_TRUE(ToText(arg::Array(kTagText, texts.block())).empty());
}

TEST(ToInteger, Kinds) {
  const std::string fullWidth = Gbk("１２３");
  const std::string fullMinus = Gbk("－４２");
  const struct {
    TypedArg value;
    std::int32_t expected;
  } cases[] = {
      {arg::Text(fullWidth.c_str()), 123}, {arg::Text(fullMinus.c_str()), -42}, {arg::Text("  -42abc"), -42},
      {arg::Text("\t+7"), 7}, {arg::Text("abc"), 0}, {arg::Text("- 5"), 0},
      {arg::Text("99999999999"), std::numeric_limits<std::int32_t>::max()},
      {arg::Text("-99999999999"), std::numeric_limits<std::int32_t>::min()},
      {arg::Text("1.9"), 1}, {arg::Long(0x100000005LL), 5}, {arg::Long(-1), -1}, {arg::Double(-2.9), -2},
      {arg::Float(3.7f), 3},
      {arg::Double(1e20), std::numeric_limits<std::int32_t>::max()},
      {arg::Double(-1e20), std::numeric_limits<std::int32_t>::min()},
      {arg::Double(std::nan("")), 0}, {arg::Boolean(true), 1}, {arg::Byte(255), 255}, {arg::Short(-1), -1},
      {arg::DateTime(41740.5), 0}, {arg::Omitted(), 0},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i << ": " << ToText(cases[i].value).view());
    EXPECT_EQ(ToInteger(cases[i].value), cases[i].expected);
  }
}

TEST(ToNumber, Kinds) {
  const std::string fullWidth = Gbk("－２．５");
  TypedArg routine;
  routine.lo = 0xFFFFFFFFu;
  routine.tag = kTagRoutine;
  const struct {
    TypedArg value;
    double expected;
  } cases[] = {
      {arg::Text("abc"), 0.0}, {arg::Text(" 1.5e3x"), 1500.0}, {arg::Text(fullWidth.c_str()), -2.5},
      {arg::Text(".5"), 0.5}, {arg::Text("5."), 5.0}, {arg::Text("-"), 0.0}, {arg::Text("e5"), 0.0},
      {arg::Text("2e"), 2.0}, {arg::Text("0x10"), 0.0},
      {arg::Text("1e999"), std::numeric_limits<double>::infinity()},
      {arg::Text("-1e999"), -std::numeric_limits<double>::infinity()},
      {arg::Text("1e-999"), 0.0}, {arg::Text("0.0001e-400"), 0.0}, {routine, 4294967295.0},
      {arg::DateTime(41740.5), 0.0}, {arg::Int(-3), -3.0}, {arg::Float(0.5f), 0.5},
      {arg::Long(1LL << 40), 1099511627776.0}, {arg::Boolean(true), 1.0}, {arg::Omitted(), 0.0},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i << ": " << ToText(cases[i].value).view());
    EXPECT_EQ(ToNumber(cases[i].value), cases[i].expected);
  }
}

TEST(ToTime, ParsesValidDatesOnly) {
  const struct {
    const char* utf8;
    double expected;  // from Python's datetime; kMinDate for invalid texts
  } cases[] = {
      {"2000-2-29", 36585.0}, {"1900-2-29", kMinDate}, {"1900-2-28", 60.0}, {"2000年2月29日", 36585.0},
      {"２０００年２月２９日", 36585.0}, {"２０１４－４－１１　１２：００", 41740.5}, {"2014-04-11 12:00:00", 41740.5},
      {"2014/4/11 12:30", 41740.0 + 12.5 / 24}, {"2014.4.11.12.30", 41740.0 + 12.5 / 24},
      {"2014年4月11日12时30分15秒", 41740.0 + (12 * 3600 + 30 * 60 + 15) / 86400.0},
      {"2014年4月11日12时30分15秒以后", 41740.0 + (12 * 3600 + 30 * 60 + 15) / 86400.0},
      {"2014-4-11x", kMinDate}, {"2014-4-11 12:00:00 ", kMinDate}, {"2014-13-01", kMinDate}, {"2014-4-31", kMinDate},
      {"2014-4-11 24:00", kMinDate}, {"2014-4-11 23:60", kMinDate}, {"99-1-1", kMinDate}, {"10000-1-1", kMinDate},
      {"", kMinDate}, {"abc", kMinDate}, {"2014", kMinDate}, {"1899-12-29 6:00", -1.25},
      {"1582-10-15 23:59:59", -115858.99998842593}, {"9999-12-31", 2958465.0},
      {"9999-12-31 23:59:59", 2958465.0},  // clamped to the range
      {"100-1-1 0:0:1", kMinDate},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    const std::string text = Gbk(c.utf8);
    EXPECT_DOUBLE_EQ(TextToTime(text), c.expected);
    EXPECT_DOUBLE_EQ(ToTime(arg::Text(text.c_str())), c.expected);
  }
  EXPECT_EQ(ToTime(arg::DateTime(1.5)), 1.5);
  EXPECT_EQ(ToTime(arg::Int(5)), kMinDate);
  EXPECT_EQ(ToTime(arg::Double(41740.0)), kMinDate);
}

TEST(ToText, DateTimeTextParsesBack) {
  for (double v : {41740.0, 41740.5, 45351.545219907406, -1.25, -115858.99998842593}) {
    SCOPED_TRACE(v);
    EXPECT_NEAR(TextToTime(ToText(arg::DateTime(v)).view()), v, 0.5 / 86400);
  }
}

TEST(Round, Examples) {
  const struct {
    double x;
    std::optional<std::int32_t> digits;
    double expected;
  } cases[] = {
      {2.5, {}, 3.0},       {-2.5, {}, -3.0},       {2.4, {}, 2.0},        {-2.4, 0, -2.0},
      {0.0, {}, 0.0},       {1.005, 2, 1.01},       {2.675, 2, 2.68},      {-1.005, 2, -1.01},
      {123.456, 1, 123.5},  {0.125, 2, 0.13},       {1234.0, -2, 1200.0},  {1250.0, -2, 1300.0},
      {-1250.0, -2, -1300.0}, {49.0, -2, 0.0},     {5.0, -400, 0.0},      {1e300, 10, 1e300},
      {0.5, {}, 1.0},       {1.4999999999, {}, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << " " << c.digits.value_or(0));
    EXPECT_DOUBLE_EQ(Round(c.x, c.digits), c.expected);
  }
}

TEST(BitOps, Folds) {
  const std::vector<std::int32_t> a{0xF0, 0x3C}, b{0xFF, 0x0F, 0x03}, one{-5}, bits{1, 2, 4}, none{};
  EXPECT_EQ(BitAnd(a), 0x30);
  EXPECT_EQ(BitAnd(b), 0x03);
  EXPECT_EQ(BitAnd(one), -5);
  EXPECT_EQ(BitOr(one), -5);
  EXPECT_EQ(BitOr(bits), 7);
  EXPECT_EQ(BitOr(a), 0xFC);
  EXPECT_EQ(BitAnd(none), 0);
}

TEST(ConvertFrames, CallThroughTheFrame) {
  ResultRecord r = CallCommand(cmd::kToInteger, {arg::Text("42")});
  EXPECT_EQ(r.tag, kTagInt);
  EXPECT_EQ(r.as_int(), 42);
  EXPECT_EQ(TakeText(CallCommand(cmd::kToText, {arg::Double(0.1)})), "0.1");
  EXPECT_TRUE(TakeText(CallCommand(cmd::kToText, {})).empty());
  r = CallCommand(cmd::kToTime, {arg::Text("2000-2-29")});
  EXPECT_EQ(r.tag, kTagDateTime);
  EXPECT_EQ(r.as_double(), 36585.0);
  EXPECT_EQ(CallCommand(cmd::kToNumber, {arg::Text("2.5")}).as_double(), 2.5);
  EXPECT_EQ(CallCommand(cmd::kRound, {arg::Double(2.5), arg::Omitted()}).as_double(), 3.0);
  EXPECT_EQ(CallCommand(cmd::kRound, {arg::Double(1.005), arg::Int(2)}).as_double(), 1.01);
  EXPECT_EQ(CallCommand(cmd::kBitAnd, {arg::Int(0xFF), arg::Int(0x0F), arg::Int(0x03)}).as_int(), 3);
  EXPECT_EQ(CallCommand(cmd::kBitOr, {arg::Int(1), arg::Int(8)}).as_int(), 9);
}

TEST(RandomFrames, SeededSequenceAndRanges) {
  CallCommand(cmd::kSeedRandom, {arg::Int(1)});
  // state 1 -> 1 * 214013 + 2531011 = 2745024 -> (2745024 >> 16) & 0x7FFF = 41
  EXPECT_EQ(CallCommand(cmd::kRandom, {}).as_int(), 41);
  EXPECT_EQ(CallCommand(cmd::kRandom, {arg::Int(5), arg::Int(5)}).as_int(), 5);
  for (int i = 0; i < 200; ++i) {
    std::int32_t v = CallCommand(cmd::kRandom, {arg::Int(10), arg::Int(1)}).as_int();
    ASSERT_GE(v, 1);
    ASSERT_LE(v, 10);
    v = CallCommand(cmd::kRandom, {arg::Omitted(), arg::Omitted()}).as_int();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
  SetTickCountOverride(1000u);
  EXPECT_EQ(CallCommand(cmd::kTickCount, {}).as_int(), 1000);
  const std::uint32_t counter = SeedCounter();
  CallCommand(cmd::kSeedRandom, {arg::Omitted()});
  EXPECT_EQ(RandomState(), 1000u + counter);
  SetTickCountOverride(std::nullopt);
}

}  // namespace
}  // namespace tl::rt
