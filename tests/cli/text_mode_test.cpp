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

TEST(CliTextMode, SeparatorUnderTheCLocaleIsTakenByteForByte) {
  auto r = Cli({"-d", "--separator", test::Gbk("，")}, test::Gbk("甲，乙，甲"), {"LC_ALL=C"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, test::Gbk("乙，甲"));
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
