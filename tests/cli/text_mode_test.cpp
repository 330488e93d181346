#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "support/gbk.h"
#include "support/paths.h"
#include "support/run_program.h"

namespace tl {
namespace {

test::RunResult Cli(const std::vector<std::string>& args, const std::string& input,
                    const std::vector<std::string>& env = {"LC_ALL=C.UTF-8"}) {
  test::RunResult r = test::RunProgram(TIDYLINE_CLI_PATH, args, input, env);
  r.err = test::FromConsole(r.err);
  return r;
}

// A typed argument: UTF-8 under Linux's UTF-8 locale, the ANSI code page
// (GBK) on Windows.
std::string Arg(const std::string& utf8) { return test::kWindows ? test::Gbk(utf8) : utf8; }

const std::string kSample = "777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777";

TEST(CliTextMode, ChoicesAndSeparators) {
  const struct {
    std::vector<std::string> args;
    std::string input, want;
  } cases[] = {
      {{}, kSample, "123\r\n333\r\n321\r\n222\r\n555\r\n655\r\n777"},
      {{"-d", "-"}, "b\r\na\r\nb", "a\r\nb"},
      {{"--dedupe"}, "b\na\nb\n", "a\nb\n"},                     // Unix-style text
      {{"-d", "--separator", ","}, "b,a,b,", "a,b"},
      {{"-d", "--separator", ""}, "b\r\nb", "b\r\nb"},            // empty separator: one record
      {{"-d", "--separator", Arg("，")}, test::Gbk("甲，乙，甲"), test::Gbk("乙，甲")},
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

TEST(CliTextMode, AFinalLineBreakInGivesAFinalLineBreakOut) {
  const std::string bom8 = "\xEF\xBB\xBF", bomLe = "\xFF\xFE";
  auto le = [](const std::string& s) { return test::Recode(s, "UTF-16LE", "UTF-8"); };
  const struct {
    std::vector<std::string> args;
    std::string input, want;
  } cases[] = {
      {{}, "a\nb\n", "a\nb\n"},
      {{}, "b\na\nb\n", "a\nb\n"},
      {{}, "b\na\nb", "a\nb"},                   // none in, none out
      {{}, "a\n", "a\n"},                         // one record: left as it is, break included
      {{}, "\n", "\n"},
      {{}, "", ""},
      {{}, "a\n\n", "a\n\n"},                     // two lines, the second one empty
      {{}, "\n\n", "\n"},                         // one distinct line, the empty one
      {{}, "\na\n", "a\n"},                       // a leading empty record leaves no trace
      {{}, "b\r\na\r\nb\r\n", "a\r\nb\r\n"},
      {{}, "a\r\nb\n", "a\r\nb\n"},               // cut at CR LF: the LF belongs to the record
      {{"-s", "--seed", "1"}, "a\n", "a\n"},
      {{"-s", "--seed", "1"}, "\n", "\n"},
      {{"-d", "-s", "--seed", "1"}, "a\na\n", "a\n"},
      {{"--separator", "\n"}, "b\na\nb\n", "a\nb"},  // a typed separator is not a line break
      {{}, "caf\xE9\nx\ncaf\xE9\ny\n", "x\ncaf\xE9\ny\n"},
      {{}, bom8 + "b\na\nb\n", bom8 + "a\nb\n"},
      {{}, bomLe + le("b\r\na\r\nb\r\n"), bomLe + le("a\r\nb\r\n")},
      {{"--encoding", "unicode"}, le("b\na\n"), le("b\na\n")},
      {{"--encoding", "unicode"}, le("b\na\nb\n"), le("a\nb\n")},
  };
  for (const auto& c : cases) {
    auto r = Cli(c.args, c.input);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.want) << testing::PrintToString(c.args) << " " << testing::PrintToString(c.input);
  }
  // A shuffle keeps the break too, once.
  auto shuffled = Cli({"-s", "--seed", "5"}, "a\nb\nc\n");
  EXPECT_EQ(shuffled.out.size(), 6u);
  EXPECT_TRUE(shuffled.out.ends_with("\n") && !shuffled.out.ends_with("\n\n")) << shuffled.out;
}

TEST(CliTextMode, SeparatorIsTakenAsUtf8WhenItIsUtf8EvenUnderTheCLocale) {
  if (test::kWindows) GTEST_SKIP() << "Windows has no C locale: arguments always arrive in the ANSI code page";
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
  EXPECT_TRUE(a.out.ends_with("\r\n"));  // as the input did
  EXPECT_FALSE(a.out.ends_with("\r\n\r\n"));
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

#ifdef _WIN32
TEST(CliTextMode, StandardInputFileTruncatedDuringTheRunIsNoCrash) {
  GTEST_SKIP() << "POSIX only: watches the program's mappings in /proc and truncates a file it holds open";
}
#else
// Starts tidyline-cli -d with `input` as its standard input, truncates that
// file to nothing once the program holds its content (mapped, or read from),
// and waits for the end. Returns the wait status; `out`/`err` get the output.
int RunAndTruncateInput(const std::string& input, std::string& out, std::string& err) {
  char dir[] = "/tmp/tidyline-shrink-XXXXXX";
  if (!::mkdtemp(dir)) return -1;
  const std::string base = dir, in = base + "/in", outPath = base + "/out", errPath = base + "/err";
  test::WriteWholeFile(in, input);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fdIn = ::open(in.c_str(), O_RDONLY);
    const int fdOut = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int fdErr = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fdIn < 0 || fdOut < 0 || fdErr < 0) ::_exit(126);
    ::dup2(fdIn, 0);
    ::dup2(fdOut, 1);
    ::dup2(fdErr, 2);
    ::execl(TIDYLINE_CLI_PATH, "tidyline-cli", "-d", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Holding the content: the file appears in the program's mappings, or its
  // standard input has been read from.
  auto holds = [&] {
    const std::string proc = "/proc/" + std::to_string(pid);
    if (test::ReadWholeFile(proc + "/maps").find(in) != std::string::npos) return true;
    const std::string info = test::ReadWholeFile(proc + "/fdinfo/0");
    const auto at = info.find("pos:");
    return at != std::string::npos && std::stoll(info.substr(at + 4)) > 0;
  };
  int status = -1;
  bool truncated = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    if (!truncated && holds()) truncated = ::truncate(in.c_str(), 0) == 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (status == -1) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  out = test::ReadWholeFile(outPath);
  err = test::ReadWholeFile(errPath);
  std::filesystem::remove_all(base);
  return truncated ? status : -2;
}

TEST(CliTextMode, StandardInputFileTruncatedDuringTheRunIsNoCrash) {
  // Distinct records, so the result is the input itself: de-duplicating a few
  // million of them takes long enough to truncate the file meanwhile.
  std::string input;
  char line[32];
  for (int i = 0; i < 3000000; ++i) input.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "r%07d\n", i)));
  std::string out, err;
  const int status = RunAndTruncateInput(input, out, err);
  ASSERT_NE(status, -2) << "the program ended before its input could be truncated";
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  // Either the bytes that were there, or an error and nothing on standard output.
  if (WEXITSTATUS(status) == 0) {
    EXPECT_FALSE(out.empty());
    EXPECT_TRUE(input.starts_with(out)) << out.substr(0, 40);
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(err.empty());
  }
}
#endif

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
