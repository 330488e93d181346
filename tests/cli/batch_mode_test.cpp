#include <gtest/gtest.h>

#include <filesystem>

#include "support/gbk.h"
#include "support/run_program.h"

namespace tl {
namespace {

namespace fsys = std::filesystem;

class CliBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fsys::temp_directory_path() / ("tidyline-cli-batch-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fsys::remove_all(dir_);
    fsys::create_directories(dir_);
  }
  void TearDown() override { fsys::remove_all(dir_); }

  std::string Put(const std::string& name, const std::string& bytes) {
    test::WriteWholeFile((dir_ / name).string(), bytes);
    return (dir_ / name).string();
  }
  std::string Result(const std::string& name) { return test::ReadWholeFile((dir_ / "保存目录" / name).string()); }
  bool HasResult(const std::string& name) { return fsys::exists(dir_ / "保存目录" / name); }

  test::RunResult Cli(const std::vector<std::string>& args, const std::string& input = "",
                      const std::string& locale = "LC_ALL=C.UTF-8") {
    return test::RunProgram(TIDYLINE_CLI_PATH, args, input, {locale});
  }

  fsys::path dir_;
};

std::string Utf16(const std::string& utf8, const char* charset) { return test::Recode(utf8, charset, "UTF-8"); }

TEST_F(CliBatch, EachFailedFileIsNamedWithItsReason) {
  const std::string good = Put("good.txt", "a\r\na");
  const std::string bad = Put("bad.txt", std::string("\0\0x", 3));
  const std::string missing = (dir_ / "missing.txt").string();
  auto r = Cli({"-d", good, bad, missing});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("tidyline-cli: '" + bad + "': cannot be read whole as text\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tidyline-cli: '" + missing + "': cannot be read whole as text\n"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("'" + good + "'"), std::string::npos) << r.err;
  // The failure follows its own status line, before the summary.
  EXPECT_LT(r.err.find("(3:2) bad"), r.err.find("'" + bad + "'")) << r.err;
  EXPECT_LT(r.err.find("'" + bad + "'"), r.err.find("(3:3) missing")) << r.err;
  EXPECT_NE(r.err.find("总 3 个文件，成功处理 1 个文件"), std::string::npos) << r.err;
  EXPECT_EQ(Result("good.txt"), "a");
}

TEST_F(CliBatch, FilesComeBackInTheirOwnEncodingAndMark) {
  const std::string bomLe = "\xFF\xFE", bomBe = "\xFE\xFF", bom8 = "\xEF\xBB\xBF";
  const struct {
    std::string name, content, want;
  } cases[] = {
      {"gbk.txt", test::Gbk("乙\r\n甲\r\n乙"), test::Gbk("甲\r\n乙")},
      // A UTF-8 file without a mark is written back with one, as the window does.
      {"utf8.txt", "\xE4\xB9\x99\r\nb\r\n\xE4\xB9\x99", bom8 + "b\r\n\xE4\xB9\x99"},
      {"utf8bom.txt", bom8 + "a\r\nb\r\na", bom8 + "b\r\na"},
      {"le.txt", bomLe + Utf16("甲\r\n乙\r\n甲", "UTF-16LE"), bomLe + Utf16("乙\r\n甲", "UTF-16LE")},
      {"be.txt", bomBe + Utf16("甲\r\n乙\r\n甲", "UTF-16BE"), bomBe + Utf16("乙\r\n甲", "UTF-16BE")},
      {"unix.txt", "b\na\nb\n", "a\nb"},
  };
  std::vector<std::string> args = {"-d"};
  for (const auto& c : cases) args.push_back(Put(c.name, c.content));
  auto r = Cli(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const auto& c : cases) EXPECT_EQ(Result(c.name), c.want) << c.name;
  // One status line per file, then the summary, all on standard error.
  EXPECT_NE(r.err.find("(6:1) gbk"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("(6:6) unix"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST_F(CliBatch, AFileThatCannotBeProcessedFailsTheRunButNotTheOthers) {
  std::string good = Put("good.txt", "a\r\na");
  std::string missing = (dir_ / "missing.txt").string();
  auto r = Cli({good, missing});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(Result("good.txt"), "a");
  EXPECT_FALSE(HasResult("missing.txt"));
}

TEST_F(CliBatch, ChosenEncodingOverridesDetection) {
  // Without a mark, UTF-16LE is only read as such when asked for.
  std::string body = Utf16("b\r\na\r\nb", "UTF-16LE");
  std::string path = Put("le.txt", body);
  auto r = Cli({"--encoding", "unicode", path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Result("le.txt"), "\xFF\xFE" + Utf16("a\r\nb", "UTF-16LE"));
}

TEST_F(CliBatch, FolderFilterListAndProcess) {
  Put("a.txt", "1\r\n1");
  Put("B.TXT", "2\r\n2");
  Put("c.log", "3\r\n3");
  fsys::create_directories(dir_ / "sub.txt");  // a folder is never listed

  auto list = Cli({"--folder", dir_.string(), "--filter", "*.txt", "--list"});
  EXPECT_EQ(list.exitCode, 0);
  std::string listed = list.out;
  EXPECT_NE(listed.find("a.txt\n"), std::string::npos);
  EXPECT_NE(listed.find("B.TXT\n"), std::string::npos);  // the search ignores ASCII case
  EXPECT_EQ(listed.find("c.log"), std::string::npos);
  EXPECT_EQ(listed.find("sub.txt"), std::string::npos);
  EXPECT_FALSE(HasResult("a.txt")) << "--list must not process anything";

  auto byObject = Cli({"--folder", dir_.string(), "--filter", "*.txt", "--list", "--by-object"});
  EXPECT_EQ(byObject.exitCode, 0);
  EXPECT_NE(byObject.out.find("a.txt\n"), std::string::npos);
  EXPECT_NE(byObject.out.find("B.TXT\n"), std::string::npos);  // extension filters ignore case
  EXPECT_EQ(byObject.out.find("c.log"), std::string::npos);

  auto run = Cli({"--folder", dir_.string(), "--filter", "*.txt|*.log"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Result("a.txt"), "1");
  EXPECT_EQ(Result("c.log"), "3");

  auto none = Cli({"--folder", dir_.string(), "--filter", "*.none"});
  EXPECT_EQ(none.exitCode, 1);
}

TEST_F(CliBatch, AFolderThatCannotBeReadIsAnErrorNamingIt) {
  const std::string file = Put("file.txt", "x");
  const std::string missing = (dir_ / "missing").string();
  const std::string empty = (dir_ / "empty").string();
  fsys::create_directories(empty);
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string named;  // the folder the message must name
  };
  std::vector<Case> cases = {
      // An empty name (an unset shell variable) is not the file-system root.
      {{"--folder", "", "--list"}, 2, ""},
      {{"--folder", "", "--filter", "no-such-name-*.none"}, 2, ""},
      {{"--folder", missing, "--list"}, 1, missing},
      {{"--folder", missing, "--list", "--by-object"}, 1, missing},
      {{"--folder", missing}, 1, missing},
      {{"--folder", file, "--list"}, 1, file},
      {{"--folder", empty, "--list"}, 0, ""},  // readable, nothing in it: nothing to list
  };
  const std::string locked = (dir_ / "locked").string();
  if (::geteuid() != 0) {  // permissions do not hold back root
    fsys::create_directories(locked);
    fsys::permissions(locked, fsys::perms::none);
    cases.push_back({{"--folder", locked, "--list"}, 1, locked});
  }
  for (const auto& c : cases) {
    auto r = Cli(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << testing::PrintToString(c.args) << r.err;
    EXPECT_TRUE(r.out.empty()) << testing::PrintToString(c.args) << r.out;
    if (!c.named.empty()) {
      EXPECT_NE(r.err.find("'" + c.named + "'"), std::string::npos) << r.err;
    }
  }
  if (fsys::exists(locked)) fsys::permissions(locked, fsys::perms::owner_all);
}

TEST_F(CliBatch, UnderTheCLocaleUtf8NamesAreTakenAsUtf8) {
  const std::string path = Put("甲.txt", "b\r\na\r\nb");
  auto run = Cli({"-d", path}, "", "LC_ALL=C");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Result("甲.txt"), "a\r\nb");
  // Names go back out in UTF-8, as the file system spells them.
  auto list = Cli({"--folder", dir_.string(), "--filter", "*.txt", "--list"}, "", "LC_ALL=C");
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out, path + "\n");
}

TEST_F(CliBatch, StandardInputKeepsItsEncoding) {
  const std::string bomLe = "\xFF\xFE";
  const struct {
    std::vector<std::string> args;
    std::string input, want;
  } cases[] = {
      {{}, bomLe + Utf16("b\r\na\r\nb", "UTF-16LE"), bomLe + Utf16("a\r\nb", "UTF-16LE")},
      {{}, "\xE7\x94\xB2\n\xE4\xB9\x99\n\xE7\x94\xB2\n", "\xE4\xB9\x99\n\xE7\x94\xB2\n"},
      {{"--encoding", "unicode-be"}, Utf16("b\r\na\r\nb", "UTF-16BE"), Utf16("a\r\nb", "UTF-16BE")},
      {{"--encoding", "big5"}, test::Recode("乙\r\n甲\r\n乙", "BIG5", "UTF-8"), test::Recode("甲\r\n乙", "BIG5", "UTF-8")},
      {{"--encoding", "ansi"}, test::Gbk("乙\r\n甲\r\n乙"), test::Gbk("甲\r\n乙")},
  };
  for (const auto& c : cases) {
    auto r = Cli(c.args, c.input);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.want) << testing::PrintToString(c.args);
  }
}

TEST_F(CliBatch, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"--filter", "*.txt"}, {"--list"}, {"--by-object"}, {"-", "x.txt"}, {"--encoding", "latin1"},
      {"--folder", "d", "x.txt"}};
  for (const auto& args : bad) {
    auto r = Cli(args, "a");
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args) << r.err;
  }
}

}  // namespace
}  // namespace tl
