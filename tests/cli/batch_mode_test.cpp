#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/gbk.h"
#include "support/paths.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tl {
namespace {

namespace fsys = std::filesystem;

// A name in a table: the file system's bytes on Linux, UTF-8 for the
// UTF-16 names of Windows.
fsys::path Name(const std::string& name) {
  if (test::kWindows) return fsys::path(std::u8string(name.begin(), name.end()));
  return fsys::path(name);
}

class CliBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempDir("tidyline-cli-batch-");
    ASSERT_FALSE(dir_.empty());
    dirArg_ = dir_.string();
  }
  void TearDown() override {
    std::error_code ec;
    fsys::remove_all(dir_, ec);
  }

  // The argument naming a file of the scratch folder: UTF-8 under Linux's
  // UTF-8 locale, the ANSI code page (GBK) on Windows.
  std::string Arg(const std::string& name) const {
    return dirArg_ + test::kSep + (test::kWindows ? test::Gbk(name) : name);
  }
  std::string Put(const std::string& name, const std::string& bytes) {
    test::WriteWholeFile(dir_ / Name(name), bytes);
    return Arg(name);
  }
  fsys::path Save() const { return dir_ / Name("保存目录"); }
  std::string Result(const std::string& name) { return test::ReadWholeFile(Save() / Name(name)); }
  bool HasResult(const std::string& name) { return fsys::exists(Save() / Name(name)); }

  // Standard error as the checks read it: UTF-8, LF.
  test::RunResult Cli(const std::vector<std::string>& args, const std::string& input = "",
                      const std::string& locale = "LC_ALL=C.UTF-8") {
    test::RunResult r = test::RunProgram(TIDYLINE_CLI_PATH, args, input, {locale});
    r.err = test::FromConsole(r.err);
    return r;
  }

  // The lines --list printed (CR LF on Windows, LF on Linux).
  static std::vector<std::string> Lines(const std::string& out) {
    const std::string eol = test::kWindows ? "\r\n" : "\n";
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = out.find(eol, at)) != std::string::npos; at = end + eol.size())
      lines.push_back(out.substr(at, end - at));
    return lines;
  }

  fsys::path dir_;
  std::string dirArg_;
};

std::string Utf16(const std::string& utf8, const char* charset) { return test::Recode(utf8, charset, "UTF-8"); }

TEST_F(CliBatch, EachFailedFileIsNamedWithItsReason) {
  const std::string good = Put("good.txt", "a\r\na");
  const std::string bad = Put("bad.txt", std::string("\0\0x", 3));
  const std::string missing = Arg("missing.txt");
  auto r = Cli({"-d", good, bad, missing});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("tidyline-cli: '" + bad + "': cannot be read whole as text\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tidyline-cli: '" + missing + "': cannot be opened for reading\n"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("'" + good + "'"), std::string::npos) << r.err;
  // The failure follows its own status line, before the summary.
  EXPECT_LT(r.err.find("(3:2) bad"), r.err.find("'" + bad + "'")) << r.err;
  EXPECT_LT(r.err.find("'" + bad + "'"), r.err.find("(3:3) missing")) << r.err;
  EXPECT_NE(r.err.find("总 3 个文件，成功处理 1 个文件"), std::string::npos) << r.err;
  EXPECT_EQ(Result("good.txt"), "a");
}

// A file larger than the memory budget goes through external mode and
// comes out byte for byte as the in-memory batch writes it.
TEST_F(CliBatch, FilesLargerThanTheBudgetComeOutAsInMemory) {
  std::string lines;
  for (int i = 0; i < 900; ++i) lines += (i % 3 ? "\xE4\xB8\xAD " : "x|") + std::to_string(i % 150) + "\r\n";
  std::string gbkLines;
  for (int i = 0; i < 900; ++i) gbkLines += (i % 3 ? "\xD6\xD0|" : "a|") + std::to_string(i % 150) + "\n";
  const struct {
    std::string name, bytes;
    std::vector<std::string> args;
  } cases[] = {
      {"utf8.txt", lines, {}},  // no mark in, one out
      {"utf8cut.txt", "\xEF\xBB\xBF" + lines, {"--separator", "|"}},
      {"utf16.txt", "\xFF\xFE" + Utf16(lines, "UTF-16LE"), {"--keep", "first"}},
      {"gbk.txt", gbkLines + "\x1A", {}},  // the end-of-file mark is dropped
      {"gbkcut.txt", gbkLines, {"--separator", "|"}},
      {"ascii.txt", std::string("b\r\na\r\nb\x1A") + std::string(5000, 'z'), {}},
      {"one.txt", std::string(20000, 'q') + "\x1A", {}},
  };
  for (const auto& c : cases) {
    const std::string path = Put(c.name, c.bytes);
    std::vector<std::string> args = c.args;
    args.push_back("-d");
    args.push_back(path);
    ASSERT_EQ(Cli(args).exitCode, 0) << c.name;
    const std::string want = Result(c.name);
    fsys::remove(Save() / c.name);
    args.insert(args.begin(), {"--memory", "4K"});
    const auto r = Cli(args);
    ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err;
    EXPECT_EQ(Result(c.name), want) << c.name;
    fsys::remove(dir_ / c.name);
  }
  for (const auto& e : fsys::directory_iterator(Save()))
    EXPECT_FALSE(e.path().filename().string().starts_with(".tidyline-")) << e.path();

  // A NUL in raw text fails the file as in memory, and the batch goes on.
  const std::string bad = Put("bad.txt", std::string(6000, 'a') + std::string(1, '\0') + "\r\nb");
  const std::string good = Put("good.txt", "b\r\n" + std::string(6000, 'c') + "\r\nb");
  const auto r = Cli({"--memory", "4K", "-d", bad, good});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("'" + bad + "': cannot be read whole as text"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("'" + bad + "': not processed"), std::string::npos) << r.err;
  EXPECT_FALSE(HasResult("bad.txt"));
  EXPECT_EQ(Result("good.txt"), std::string(6000, 'c') + "\r\nb");
  EXPECT_NE(r.err.find("总 2 个文件，成功处理 1 个文件"), std::string::npos) << r.err;
}

// A temporary file of external mode that cannot be made or written fails
// the file with a line that names it, after de-duplication alone or before a
// shuffle, and leaves nothing behind. (A file-size limit stands in for a
// full disk.)
TEST_F(CliBatch, TemporaryFileFailuresNameTheFile) {
  std::string lines;
  for (int i = 0; i < 20000; ++i) lines += "line " + std::to_string(i % 7000) + "\n";
  const std::string path = Put("big.txt", lines);
  const std::string small = Put("small.txt", "b\na\nb\n");
  const std::string spill = (dir_ / "spill").string(), missing = (dir_ / "missing").string();
  fsys::create_directories(spill);
  const auto nothingLost = [&](const std::string& name) {
    EXPECT_TRUE(fsys::is_empty(spill)) << name;
    EXPECT_FALSE(HasResult("big.txt")) << name;
    EXPECT_EQ(test::ReadWholeFile(dir_ / "big.txt"), lines) << name;
  };
  {
    const test::RunResult r = Cli({"--memory", "4K", "--temp-dir", missing, "-d", small, path});
    EXPECT_EQ(r.exitCode, 1);
    const std::string message = "'" + path + "': cannot create a temporary file in '" + missing + "'";
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    nothingLost("no temporary folder");
  }
#ifdef _WIN32
  GTEST_SKIP() << "a full temporary file needs ulimit -f, which Windows lacks";
#else
  const std::string cli = TIDYLINE_CLI_PATH;
  for (const char* mode : {"-d", "-d -s"}) {
    const std::string err = (dir_ / "err").string();
    const std::string command = "trap '' XFSZ; ulimit -f 100; exec " + cli + " --memory 4K --temp-dir " + spill +
                                " " + mode + " " + path + " 2> " + err;
    const int status = std::system(("sh -c " + test::ShellQuote(command)).c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1) << mode;
    const std::string got = test::ReadWholeFile(err);
    const std::string message = "'" + path + "': cannot write a temporary file in '" + spill + "': File too large";
    EXPECT_NE(got.find(message), std::string::npos) << mode << ": " << got;
    nothingLost(mode);
  }
#endif
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
  std::string missing = Arg("missing.txt");
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

  const auto sorted = [](std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  // The search ignores ASCII case; so do the object's extension filters.
  const std::vector<std::string> want = sorted({Arg("B.TXT"), Arg("a.txt")});
  auto list = Cli({"--folder", dirArg_, "--filter", "*.txt", "--list"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(sorted(Lines(list.out)), want) << list.out;
  EXPECT_FALSE(HasResult("a.txt")) << "--list must not process anything";

  auto byObject = Cli({"--folder", dirArg_, "--filter", "*.txt", "--list", "--by-object"});
  EXPECT_EQ(byObject.exitCode, 0);
  EXPECT_EQ(sorted(Lines(byObject.out)), want) << byObject.out;

  auto run = Cli({"--folder", dirArg_, "--filter", "*.txt|*.log"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Result("a.txt"), "1");
  EXPECT_EQ(Result("c.log"), "3");

  auto none = Cli({"--folder", dirArg_, "--filter", "*.none"});
  EXPECT_EQ(none.exitCode, 1);
}

TEST_F(CliBatch, AFolderThatCannotBeReadIsAnErrorNamingIt) {
  const std::string file = Put("file.txt", "x");
  const std::string missing = Arg("missing");
  const std::string empty = Arg("empty");
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
  const std::string locked = Arg("locked");
#ifndef _WIN32
  if (::geteuid() != 0) {  // permissions do not hold back root
    fsys::create_directories(locked);
    fsys::permissions(locked, fsys::perms::none);
    cases.push_back({{"--folder", locked, "--list"}, 1, locked});
  }
#endif
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
  if (test::kWindows) GTEST_SKIP() << "Windows has no C locale: names always arrive in the ANSI code page";
  const std::string path = Put("甲.txt", "b\r\na\r\nb");
  auto run = Cli({"-d", path}, "", "LC_ALL=C");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Result("甲.txt"), "a\r\nb");
  // Names go back out in UTF-8, as the file system spells them.
  auto list = Cli({"--folder", dirArg_, "--filter", "*.txt", "--list"}, "", "LC_ALL=C");
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

// Input that is not valid in its declared or detected encoding is not
// processed: named with the reason and the byte offset, nothing written
// (batch), nothing on standard output (standard input). GBK is never
// invalid: it is processed byte for byte.
TEST_F(CliBatch, InvalidInputIsNamedWithItsOffsetAndNotProcessed) {
  const std::string bom8 = "\xEF\xBB\xBF", le = "\xFF\xFE";
  const struct {
    const char* name;
    std::string content;
    std::string encoding;
    std::string reason;  // empty: processed
    std::string stdoutWant;
  } cases[] = {
      {"mark.txt", bom8 + "a\n\xFF\nb\n", "auto", "not valid UTF-8 at byte offset 5", ""},
      {"chosen.txt", "a\nb\xC3(\n", "utf-8", "not valid UTF-8 at byte offset 3", ""},
      {"surrogate.txt", le + std::string("a\0\n\0\x00\xDC\n\0", 8), "auto", "not valid UTF-16LE at byte offset 6",
       ""},
      {"gbk.txt", test::Gbk("乙\n甲\n乙\n") + "\xFF\n", "auto", "", test::Gbk("甲\n乙\n") + "\xFF\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Put(c.name, c.content);
    auto batch = Cli({"--encoding", c.encoding, path});
    auto in = Cli({"--encoding", c.encoding}, c.content);
    if (c.reason.empty()) {
      EXPECT_EQ(batch.exitCode, 0) << batch.err;
      EXPECT_TRUE(HasResult(c.name));
      EXPECT_EQ(in.exitCode, 0) << in.err;
      EXPECT_EQ(in.out, c.stdoutWant);
      continue;
    }
    EXPECT_EQ(batch.exitCode, 1) << batch.err;
    EXPECT_NE(batch.err.find("tidyline-cli: '" + path + "': " + c.reason + "\n"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("总 1 个文件，成功处理 0 个文件"), std::string::npos) << batch.err;
    EXPECT_FALSE(HasResult(c.name));
    EXPECT_EQ(in.exitCode, 1) << in.err;
    EXPECT_EQ(in.err, "tidyline-cli: standard input: " + c.reason + "\n");
    EXPECT_TRUE(in.out.empty()) << in.out;
  }
}

// A listed name opens exactly the entry it came from. A name in GBK bytes
// reads as the UTF-8 name of another file, so it is reported (escaped) and
// fails the run; a Latin-1 name opens as it is.
//
// Windows names are UTF-16: one outside the ANSI code page (Hangul is not in
// GBK) cannot be carried, and is reported with "?" in its place.
TEST_F(CliBatch, ListedNamesOpenTheirOwnEntry) {
  const std::string unnamed = test::kWindows ? "\xED\x95\x9Cx.txt" : "\xD6\xD0x.txt";
  const std::string latin = test::kWindows ? "caf\xC3\xA9.txt" : "caf\xE9.txt";
  test::WriteWholeFile(dir_ / Name(unnamed), "A\nA\n");
  Put("中x.txt", "B\nB\n");
  const std::string latinArg = Put(latin, "C\nC\n");
  const std::string lost = "tidyline-cli: '" + dirArg_ + test::kSep + (test::kWindows ? "?" : "\\xd6\\xd0") +
                           "x.txt': the name cannot be converted exactly, so it is not opened\n";
  const std::vector<std::string> modes[] = {{}, {"--by-object"}};
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.empty() ? "search" : "object");
    std::vector<std::string> args = {"--folder", dirArg_};
    args.insert(args.end(), mode.begin(), mode.end());

    std::vector<std::string> listArgs = args;
    listArgs.push_back("--list");
    auto list = Cli(listArgs);
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_EQ(list.err, lost);
    std::vector<std::string> lines = Lines(list.out), want = {latinArg, Arg("中x.txt")};
    std::sort(lines.begin(), lines.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(lines, want);

    auto run = Cli(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(lost), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("总 3 个文件，成功处理 2 个文件"), std::string::npos) << run.err;
    EXPECT_EQ(Result("中x.txt"), "B");
    EXPECT_EQ(Result(latin), "C");
    EXPECT_FALSE(HasResult(unnamed));
    fsys::remove_all(Save());
  }
}

// A result whose own name is as long as the file system allows is written
// (its temporary name is short), and a file that reports size 0 is read to
// its end. On Windows the limit is the whole path's (MAX_PATH, 259
// characters without the end), and no file reports size 0 with content.
TEST_F(CliBatch, LongNamesAndSizeZeroFilesAreProcessed) {
  struct Case {
    std::string name, content, want;
  };
  std::vector<Case> cases;
  if (test::kWindows) {
    // "<folder>\保存目录\<name>": the name takes what MAX_PATH leaves.
    const std::size_t room = 259 - dir_.wstring().size() - 6;
    ASSERT_GT(room, 20u);
    std::string chinese;
    for (std::size_t i = 0; i < room; ++i) chinese += "中";
    cases.push_back({std::string(room - 4, 'n') + ".txt", "b\na\nb\n", "a\nb"});
    cases.push_back({chinese, "b\na\nb\n", "a\nb"});
  } else {
    std::string chinese;
    for (int i = 0; i < 85; ++i) chinese += "中";  // 255 bytes in UTF-8
    cases.push_back({std::string(251, 'n') + ".txt", "b\na\nb\n", "a\nb"});
    cases.push_back({chinese, "b\na\nb\n", "a\nb"});
    fsys::create_symlink("/proc/version", dir_ / "version.txt");
    const std::string version = test::ReadWholeFile("/proc/version");
    ASSERT_FALSE(version.empty());
    cases.push_back({"version.txt", "", version});
  }
  std::vector<std::string> args = {"-d"};
  for (const auto& c : cases) args.push_back(c.content.empty() ? Arg(c.name) : Put(c.name, c.content));
  auto r = Cli(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const auto& c : cases) EXPECT_EQ(Result(c.name), c.want) << c.name;
  for (const auto& e : fsys::directory_iterator(Save()))
    EXPECT_NE(e.path().filename().string()[0], '.') << "a temporary file was left: " << e.path();
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
