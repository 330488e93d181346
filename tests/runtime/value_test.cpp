#include <gtest/gtest.h>

#include <limits>

#include "gbk_texts.h"
#include "runtime/core/frame.h"
#include "runtime/core/heap.h"
#include "runtime/core/value.h"
#include "support/exit_code.h"

namespace tl::rt {
namespace {

TEST(Values, EmptyTextAndByteSetAreNull) {
  EXPECT_EQ(Text("").block(), nullptr);
  EXPECT_EQ(ByteSet("").block(), nullptr);
  Text t("ab");
  ASSERT_NE(t.block(), nullptr);
  EXPECT_EQ(t.block()[2], '\0');
  ByteSet b("xyz");
  auto* words = static_cast<const std::int32_t*>(b.block());
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[1], 3);
}

TEST(Values, ConstantRegionIsNeverFreedAndReallocateCopiesOut) {
  RegisterProgramConstants();
  const char* constant = gbk::True.data();
  EXPECT_TRUE(InConstantRegion(constant));
  Release(constant);  // must be ignored
  void* fresh = Reallocate(const_cast<char*>(constant), 2);
  EXPECT_FALSE(InConstantRegion(fresh));
  EXPECT_EQ(std::string_view(static_cast<char*>(fresh), 2), gbk::True);
  Release(fresh);
}

TEST(Values, DateClamp) {
  const struct { double in, out; } cases[] = {
      {3000000.0, 2958465.0}, {-700000.0, -657434.0}, {1.5, 1.5}, {kMinDate, kMinDate}};
  for (auto c : cases) EXPECT_EQ(ClampDate(c.in), c.out) << c.in;
}

using ValuesDeathTest = ::testing::Test;
TEST(ValuesDeathTest, ArrayIndexErrors) {
  TextArray a(2);
  EXPECT_EXIT((void)a[0], ::testing::ExitedWithCode(tl::test::kFatalExitStatus), "");
  EXPECT_EXIT((void)a[3], ::testing::ExitedWithCode(tl::test::kFatalExitStatus), "");
}

TEST(FrameArguments, NumbersReadAsIntSaturate) {
  const struct {
    TypedArg arg;
    std::int32_t want;
  } cases[] = {
      {arg::Double(3.9), 3},          {arg::Double(-3.9), -3},
      {arg::Double(1e300), 2147483647}, {arg::Double(-1e300), -2147483647 - 1},
      {arg::Double(std::numeric_limits<double>::quiet_NaN()), 0},
      {arg::Float(5e9f), 2147483647}, {arg::Long(0x100000005LL), 5},
      {arg::Byte(200), 200},          {arg::Short(-5), -5},
  };
  for (const auto& c : cases) EXPECT_EQ(ArgInt(1, &c.arg, 0), c.want);
  EXPECT_FALSE(ArgInt(1, nullptr, 1).has_value());
}

}  // namespace
}  // namespace tl::rt
