#include <gtest/gtest.h>

#include <algorithm>

#include "support/gbk.h"
#include "support/run_program.h"

namespace tl {
namespace {

test::RunResult Cli(const std::vector<std::string>& args, const std::string& input,
                    const std::vector<std::string>& env = {"LC_ALL=C.UTF-8"}) {
  return test::RunProgram(TIDYLINE_CLI_PATH, args, input, env);
}

const std::string kSample = "777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777";

TEST(CliTextMode, ChoicesAndSeparators) {
  const struct {
    std::vector<std::string> args;
    std::string input, want;
  } cases[] = {
      {{}, kSample, "123\r\n333\r\n321\r\n222\r\n555\r\n655\r\n777"},
      {{"-d", "-"}, "b\r\na\r\nb", "a\r\nb"},
      {{"--dedupe"}, "b\na\nb\n", "a\nb"},                       // Unix-style text
      {{"-d", "--separator", ","}, "b,a,b,", "a,b"},
      {{"-d", "--separator", ""}, "b\r\nb", "b\r\nb"},            // empty separator: one record
      {{"-d", "--separator", "，"}, test::Gbk("甲，乙，甲"), test::Gbk("乙，甲")},
      {{"-d"}, "", ""},
      {{"-d"}, "x\x1A" "y\r\nz\r\nx\x1A" "y", "z\r\nx\x1A" "y"},
      {{"-d"}, std::string("a\0b\r\nc\r\na\0b", 11), std::string("c\r\na\0b", 6)},
      {{"-d"}, "tail\xB0", "tail\xB0"},
      {{"-d", "--separator", "a much longer separator"}, "abc", "abc"},
  };
  for (const auto& c : cases) {
    auto r = Cli(c.args, c.input);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.want) << testing::PrintToString(c.args);
  }
}

TEST(CliTextMode, SeparatorIsTakenAsUtf8WhenItIsUtf8EvenUnderTheCLocale) {
  // A separator that is not valid UTF-8 passes byte for byte under the C
  // locale; one that is valid UTF-8 is converted as under a UTF-8 locale.
  const struct {
    const char* locale;
    std::string separator, input, want;
  } cases[] = {
      {"LC_ALL=C", "，", "甲，乙，甲", "乙，甲"},
      {"LC_ALL=C", "，", test::Gbk("甲，乙，甲"), test::Gbk("乙，甲")},
      {"LC_ALL=C", test::Gbk("，"), test::Gbk("甲，乙，甲"), test::Gbk("乙，甲")},
      {"LC_ALL=POSIX", "，", "甲，乙，甲", "乙，甲"},
      {"LC_ALL=C.UTF-8", "，", "甲，乙，甲", "乙，甲"},
  };
  for (const auto& c : cases) {
    auto r = Cli({"-d", "--separator", c.separator}, c.input, {c.locale});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.want) << c.locale << " " << testing::PrintToString(c.separator);
  }
}

TEST(CliTextMode, SeedMustFitTheTickCount) {
  const std::string input = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng";
  const struct {
    std::string seed;
    int exitCode;
  } cases[] = {
      {"", 2}, {"x", 2}, {"-1", 2}, {"+1", 2}, {" 1", 2}, {"1 ", 2}, {"1.5", 2}, {"0x10", 2},
      {"4294967296", 2}, {"99999999999999999999", 2}, {"000000000004294967296", 2},
      {"0", 0}, {"4294967295", 0}, {"007", 0}, {"000000000004294967295", 0},
  };
  for (const auto& c : cases) {
    auto r = Cli({"-s", "--seed", c.seed}, input);
    EXPECT_EQ(r.exitCode, c.exitCode) << testing::PrintToString(c.seed) << r.err;
    if (c.exitCode == 2) {
      EXPECT_TRUE(r.out.empty()) << testing::PrintToString(c.seed);
      EXPECT_NE(r.err.find("--seed"), std::string::npos) << r.err;
    }
  }
  // Leading zeros change nothing; the largest seed is its own value.
  EXPECT_EQ(Cli({"-s", "--seed", "007"}, input).out, Cli({"-s", "--seed", "7"}, input).out);
  EXPECT_EQ(Cli({"-s", "--seed", "000000000004294967295"}, input).out,
            Cli({"-s", "--seed", "4294967295"}, input).out);
}

TEST(CliTextMode, SeedGivesARepeatableShuffleOfEveryRecord) {
  std::string input;
  for (int i = 0; i < 500; ++i) input += "r" + std::to_string(i % 400) + "\r\n";
  auto a = Cli({"-s", "--seed", "42"}, input);
  auto b = Cli({"-s", "--seed", "42"}, input);
  auto c = Cli({"-s", "--seed", "43"}, input);
  ASSERT_EQ(a.exitCode, 0);
  EXPECT_EQ(a.out, b.out);
  EXPECT_NE(a.out, c.out);
  EXPECT_FALSE(a.out.ends_with("\r\n"));
  auto lines = [](std::string s) {
    std::vector<std::string> v;
    std::size_t p;
    while ((p = s.find("\r\n")) != std::string::npos) {
      v.push_back(s.substr(0, p));
      s.erase(0, p + 2);
    }
    if (!s.empty()) v.push_back(s);
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(lines(a.out), lines(input));
  // De-duplicate then shuffle: 400 distinct records.
  auto both = Cli({"-d", "-s", "--seed", "42"}, input);
  EXPECT_EQ(lines(both.out).size(), 400u);
}

TEST(CliTextMode, HelpVersionAndUsageErrors) {
  auto help = Cli({"--help"}, "");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--separator"), std::string::npos);
  auto version = Cli({"--version"}, "");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.out.find("1.2.0.0"), std::string::npos);
  const std::vector<std::vector<std::string>> bad = {
      {"--no-such-option"}, {"--seed"}, {"--seed", "x"}, {"--separator"}};
  for (const auto& args : bad) {
    auto r = Cli(args, "a");
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(r.err.empty());
  }
}

}  // namespace
}  // namespace tl
