// Stored text forms of numbers and date-times, and the line-break escape.
#include <gtest/gtest.h>

#include <cmath>

#include "files/fixture.h"
#include "runtime/value.h"
#include "settings/settings_convert.h"

namespace tl::settings {
namespace {

using tl::testing::Gbk;
using tl::testing::Utf8;
using rt::kMaxDate;
using rt::kMinDate;

TEST(StoreConvert, DateTimeTextBothWays) {
  struct Case {
    double value;
    const char* text;  // UTF-8
  } cases[] = {
      {41740.0, "2014年4月11日"},
      {41740.5, "2014年4月11日12时"},
      {41740.0 + 90.0 / 1440, "2014年4月11日1时30分"},
      {41740.0 + 3725.0 / 86400, "2014年4月11日1时2分5秒"},
      {0.0, "1899年12月30日"},
      {-1.25, "1899年12月29日6时"},
      {kMaxDate, "9999年12月31日"},
      {kMinDate, "100年1月1日"},
      {60.0, "1900年2月28日"},
      {61.0, "1900年3月1日"},
      {36585.0, "2000年2月29日"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Utf8(DateTimeToText(c.value)), c.text);
    EXPECT_DOUBLE_EQ(TextToDateTime(Gbk(c.text)), c.value);
  }
  EXPECT_EQ(Utf8(DateTimeToText(3000000.0)), "9999年12月31日");  // clamped
}

TEST(StoreConvert, DateTimeParsing) {
  struct Case {
    const char* text;  // UTF-8
    double value;
  } cases[] = {
      {"2014-04-11", 41740.0},
      {"2014/4/11 12:30", 41740.0 + 750.0 / 1440},
      {"２０１４．４．１１", 41740.0},
      {"2014-04-11 12:30:15秒 and more", 41740.0 + (12 * 3600 + 30 * 60 + 15) / 86400.0},
      {"2014-02-29", kMinDate},
      {"1900-02-29", kMinDate},
      {"2000-02-29", 36585.0},
      {"2014-13-01", kMinDate},
      {"2014-04-11 24:00", kMinDate},
      {"99-01-01", kMinDate},
      {"2014-04-11x", kMinDate},
      {"", kMinDate},
      {"abc", kMinDate},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(TextToDateTime(Gbk(c.text)), c.value) << c.text;
}

TEST(StoreConvert, Numbers) {
  const std::pair<double, const char*> toText[] = {{0, "0"},       {2, "2"},         {0.1, "0.1"},
                                                   {-3.5, "-3.5"}, {1e15, "1e+15"},  {123456789012.5, "123456789012.5"}};
  for (auto [v, t] : toText) EXPECT_EQ(NumberToText(v), t);
  struct Case {
    const char* text;  // UTF-8
    double value;
  } cases[] = {
      {"", 0},       {"12", 12},       {" -2.5e2x", -250}, {"+.5", 0.5},    {"１２．５", 12.5},
      {"abc", 0},    {"0x1A", 0},      {"inf", 0},        {"1e999", HUGE_VAL}, {"1e-999", 0},
      {"3.", 3},     {"-", 0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(TextToNumber(Gbk(c.text)), c.value) << c.text;
}

TEST(StoreConvert, ReplaceAllWalksCharacters) {
  const std::string mark = Gbk("┊*┊");
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", mark), "a" + mark + "b" + mark);
  EXPECT_EQ(ReplaceAll("a" + mark + mark, mark, "\r\n"), "a\r\n\r\n");
  // "\xA9\xAE" inside "\xB0\xA9" + "\xAE..." would match on a trail byte.
  std::string shifted = "\xB0\xA9\xAE*\xA9\xAE";
  EXPECT_EQ(ReplaceAll(shifted, mark, "\r\n"), shifted);
  EXPECT_EQ(ReplaceAll("", "\r\n", mark), "");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

}  // namespace
}  // namespace tl::settings
