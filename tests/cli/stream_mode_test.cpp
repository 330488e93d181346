// -o, --keep, --stats, --quiet, external mode through the command line, and
// the temporary files of interrupted and killed runs.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "runtime/core/random.h"
#include "support/gbk.h"
#include "support/paths.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "text/process_text.h"

namespace tl {
namespace {

namespace fs = std::filesystem;

test::RunResult Cli(const std::vector<std::string>& args, const std::string& input) {
  test::RunResult r = test::RunProgram(TIDYLINE_CLI_PATH, args, input, {"LC_ALL=C.UTF-8"});
  r.err = test::FromConsole(r.err);
  return r;
}

// The save folder's name as a path part ("保存目录", from UTF-8 on both
// systems).
fs::path SaveFolder(const std::string& dir) {
  const std::string name = "保存目录";
  return fs::path(dir) / fs::path(std::u8string(name.begin(), name.end()));
}

class StreamMode : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeTempDir("tidyline-stream-").string();
    ASSERT_FALSE(dir_.empty());
    spill_ = In("spill");
    fs::create_directories(spill_);
  }
  // A file or folder in the scratch folder, in the platform's spelling.
  std::string In(const std::string& name) const { return dir_ + test::kSep + test::Native(name); }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::vector<std::string> Leftovers(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().starts_with(".tidyline-")) names.push_back(e.path().filename().string());
    return names;
  }
  std::string dir_, spill_;
};

std::string Lines(std::size_t n, std::size_t distinct, const std::string& sep, unsigned seed) {
  std::mt19937 gen(seed);
  std::string t;
  for (std::size_t i = 0; i < n; ++i) t += "line " + std::to_string(gen() % distinct) + sep;
  return t;
}

// External mode writes what the in-memory engine writes, whatever the line
// breaks, mark and final break.
TEST_F(StreamMode, ExternalModeMatchesInMemory) {
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    std::string name, input;
    std::vector<std::string> args;
  } cases[] = {
      {"lf", Lines(1200, 300, "\n", 1), {}},
      {"crlf", Lines(1200, 300, "\r\n", 2), {}},
      {"lf with a stray crlf", Lines(800, 100, "\n", 3) + "x\r\n" + Lines(800, 100, "\n", 4), {}},
      {"no final break", Lines(1200, 300, "\n", 5) + "end", {}},
      {"utf-8 mark", bom + "\xE7\x94\xB2\n" + Lines(1200, 300, "\n", 6), {}},
      {"keep first", Lines(1200, 300, "\n", 7), {"--keep", "first"}},
      {"separator", Lines(1200, 300, ";;", 8), {"--separator", ";;"}},
      {"one record", std::string(40000, 'x') + "\n", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> external = c.args;
    for (std::string a : {"--memory", "4K", "--temp-dir"}) external.push_back(a);
    external.push_back(spill_);
    const auto want = Cli(c.args, c.input);
    const auto got = Cli(external, c.input);
    ASSERT_EQ(want.exitCode, 0) << want.err;
    EXPECT_EQ(got.exitCode, 0) << got.err;
    EXPECT_EQ(got.out, want.out) << c.name;
    EXPECT_TRUE(Leftovers(spill_).empty()) << c.name;
  }
}

std::string Utf16(const std::u16string& s, bool bigEndian) {
  std::string out;
  for (char16_t u : s) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

// Lines of a few words, with repeats, empty lines and characters outside
// ASCII (one beyond the 16-bit range), cut by `sep`.
std::u16string Words16(std::size_t n, const std::u16string& sep, unsigned seed) {
  const std::u16string words[] = {u"\u4E2D\u6587", u"abc", u"", u"x|y", u"\U0001F600", u"\u5317\u4EAC|", u"q"};
  std::mt19937 gen(seed);
  std::u16string t;
  for (std::size_t i = 0; i < n; ++i) t += words[gen() % 7] + (gen() % 3 ? u"" : u"7") + sep;
  return t;
}

// The other encodings go through GB18030 in external mode as in memory: the
// same bytes out, the same refusals of input that is not valid.
TEST_F(StreamMode, ExternalModeInEveryEncodingMatchesInMemory) {
  const std::string bom8 = "\xEF\xBB\xBF";
  const std::string le = "\xFF\xFE", be = "\xFE\xFF";
  std::string big5;  // "中文" and "北" in Big5
  for (int i = 0; i < 900; ++i) big5 += (i % 4 ? "\xA4\xA4\xA4\xE5" : "\xA5\x5F") + std::to_string(i % 200) + "\r\n";
  const struct {
    std::string name, input;
    std::vector<std::string> args;
  } cases[] = {
      {"utf-16le mark crlf", le + Utf16(Words16(900, u"\r\n", 1), false), {}},
      {"utf-16be mark lf", be + Utf16(Words16(900, u"\n", 2), true), {"--keep", "first"}},
      {"utf-16le chosen, no final break", Utf16(Words16(900, u"\n", 3) + u"end", false), {"--encoding", "unicode"}},
      {"utf-16 multi-byte separator", le + Utf16(Words16(900, u"\u3001", 4), false), {"--separator", "\xE3\x80\x81"}},
      {"big5", big5, {"--encoding", "big5"}},
      {"big5, cut at a letter", big5, {"--encoding", "big5", "--separator", "_"}},
      // A '|' byte can follow a lead byte of GBK: UTF-8 must be cut as text.
      {"utf-8 cut at |", bom8 + std::string(reinterpret_cast<const char*>(u8"\u5317\u4EAC|abc|\u4E2D|abc|") ) +
                             Lines(600, 90, "|", 5), {"--separator", "|"}},
      {"utf-8 without a mark cut at |", std::string(reinterpret_cast<const char*>(u8"\u5317|abc|\u5317|")) +
                                            Lines(600, 90, "|", 6), {"--separator", "|"}},
      {"ansi chosen on utf-8 with a mark", bom8 + "a\n" + Lines(900, 90, "\n", 7) + "a\n", {"--encoding", "ansi"}},
      {"one record larger than the budget", le + Utf16(std::u16string(30000, u'\u4E2D') + u"\r\nx\r\n", false), {}},
  };
  for (const auto& c : cases) {
    for (std::vector<std::string> mode : {std::vector<std::string>{"-d"}, {"-d", "-s", "--seed", "5"}}) {
      std::vector<std::string> args = c.args, external;
      args.insert(args.end(), mode.begin(), mode.end());
      external = args;
      for (std::string a : {"--memory", "4K", "--temp-dir"}) external.push_back(a);
      external.push_back(spill_);
      const auto want = Cli(args, c.input);
      const auto got = Cli(external, c.input);
      ASSERT_EQ(want.exitCode, 0) << c.name << ": " << want.err;
      ASSERT_EQ(got.exitCode, 0) << c.name << ": " << got.err;
      if (mode.size() == 1) {
        EXPECT_EQ(got.out, want.out) << c.name;
      } else {
        // Another order, the same bytes.
        std::string a = got.out, b = want.out;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(a, b) << c.name;
        for (const std::string& mark : {le, be, bom8})
          EXPECT_EQ(got.out.starts_with(mark), want.out.starts_with(mark)) << c.name << ": the mark";
      }
      EXPECT_TRUE(Leftovers(spill_).empty()) << c.name;
    }
  }

  const struct {
    std::string name, input;
    std::vector<std::string> args;
    std::string message;
  } refused[] = {
      {"stray byte in utf-8", bom8 + Lines(900, 90, "\n", 8) + "\xFF\n" + Lines(10, 5, "\n", 9), {}, "not valid UTF-8"},
      {"stray byte with a plain separator", bom8 + Lines(900, 90, "\n", 8) + "\xC3\n", {"--separator", ","},
       "not valid UTF-8"},
      {"lone surrogate", le + Utf16(Words16(900, u"\n", 10) + u"\xD800x\n", false), {}, "not valid UTF-16LE"},
      {"cut-off character", be + Utf16(Words16(900, u"\n", 11), true) + "\x4E", {}, "not valid UTF-16BE"},
  };
  for (const auto& c : refused) {
    std::vector<std::string> external = c.args;
    for (std::string a : {"--memory", "4K", "--temp-dir"}) external.push_back(a);
    external.push_back(spill_);
    const auto want = Cli(c.args, c.input);
    const auto got = Cli(external, c.input);
    EXPECT_EQ(want.exitCode, 1) << c.name;
    EXPECT_EQ(got.exitCode, 1) << c.name;
    EXPECT_EQ(got.err, want.err) << c.name;
    EXPECT_NE(got.err.find(c.message), std::string::npos) << c.name << ": " << got.err;
    EXPECT_TRUE(got.out.empty()) << c.name;
    EXPECT_TRUE(Leftovers(spill_).empty()) << c.name;
  }
}

// The external shuffle, after de-duplication or alone: the same records, a
// repeatable order for a seed, the final line break kept.
TEST_F(StreamMode, ExternalShuffle) {
  const std::string input = Lines(1500, 400, "\n", 14);
  auto sorted = [](std::string t) {
    std::vector<std::string> v;
    std::size_t at = 0;
    for (std::size_t nl; (nl = t.find('\n', at)) != std::string::npos; at = nl + 1) v.push_back(t.substr(at, nl - at));
    v.push_back(t.substr(at));
    std::sort(v.begin(), v.end());
    return v;
  };
  const struct {
    std::vector<std::string> args;
  } cases[] = {{{"-d", "-s"}}, {{"-s"}}};
  for (const auto& c : cases) {
    std::vector<std::string> ext = c.args;
    for (std::string a : {"--seed", "3", "--memory", "4K", "--temp-dir"}) ext.push_back(a);
    ext.push_back(spill_);
    const auto a = Cli(ext, input), b = Cli(ext, input), mem = Cli(c.args, input);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(sorted(a.out), sorted(mem.out));
    EXPECT_TRUE(a.out.ends_with("\n"));
    EXPECT_TRUE(Leftovers(spill_).empty());
  }
}

// A shuffle in memory goes out a few megabytes at a time: results larger
// than such a piece, with a record larger than one, in CR LF and LF, with
// and without a final break, alone and after de-duplication, are the bytes
// the engine gives whole for the same seed.
TEST_F(StreamMode, InMemoryShuffleInPieces) {
  const std::string huge(3u << 20, 'h');
  const struct {
    std::string name, input;
  } inputs[] = {
      {"lf", Lines(400000, 150000, "\n", 21)},
      {"crlf, no final break", Lines(400000, 150000, "\r\n", 22) + "end"},
      {"a record larger than a piece", Lines(200000, 100000, "\n", 23) + huge + "\n" + Lines(50000, 900, "\n", 24)},
  };
  for (const auto& in : inputs) {
    for (bool dedupe : {false, true}) {
      std::vector<std::string> args = {"-s", "--seed", "12345"};
      if (dedupe) args.push_back("-d");
      const auto got = Cli(args, in.input);
      ASSERT_EQ(got.exitCode, 0) << in.name << ": " << got.err;
      text::FixedOptions options;
      options.dedupe = dedupe;
      options.shuffle = true;
      rt::SetTickCountOverride(12345);
      rt::SetSeedCounter(0);
      std::string want(text::ProcessBytes(in.input, options).view());
      rt::SetTickCountOverride(std::nullopt);
      if (in.input.ends_with("\n")) want += text::EffectiveSeparator(options, in.input);
      ASSERT_EQ(got.out.size(), want.size()) << in.name << " dedupe=" << dedupe;
      EXPECT_TRUE(got.out == want) << in.name << " dedupe=" << dedupe;
    }
  }
}

TEST_F(StreamMode, KeepStatsAndQuiet) {
  auto r = Cli({"--keep", "first", "--stats"}, "b\na\nb\nc\na\n");
  EXPECT_EQ(r.out, "b\na\nc\n");
  EXPECT_NE(r.err.find("5 records in, 3 out, 2 duplicates removed"), std::string::npos) << r.err;
  EXPECT_EQ(Cli({"--keep", "last"}, "b\na\nb\n").out, "a\nb\n");
  EXPECT_EQ(Cli({"--keep", "middle"}, "a").exitCode, 2);
  EXPECT_EQ(Cli({"--memory", "lots"}, "a").exitCode, 2);

  test::WriteWholeFile(In("a.txt"), "x\r\ny\r\nx");
  r = Cli({"--quiet", "--keep", "first", In("a.txt")}, "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(test::ReadWholeFile(SaveFolder(dir_) / "a.txt"), "x\r\ny");
  r = Cli({"--stats", "-s", In("a.txt")}, "");
  EXPECT_NE(r.err.find("3 records in, 3 out, 0 duplicates removed"), std::string::npos) << r.err;
}

// -o onto the input replaces it only when the result is complete.
TEST_F(StreamMode, OutputOntoTheInputItself) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string path = In("list.txt");
  for (std::string memory : {"1G", "4K"}) {
    test::WriteWholeFile(path, bom + "b\na\nb\n");
    // Windows keeps only a read-only mark, which would refuse the write.
    if (!test::kWindows)
      fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::perms before = fs::status(path).permissions();
    auto r = Cli({"-d", "--memory", memory, "--temp-dir", spill_, "-o", path, path}, "");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadWholeFile(path), bom + "a\nb\n") << memory;
    EXPECT_EQ(fs::status(path).permissions(), before) << "the file replaced in place keeps its permissions";
    EXPECT_TRUE(Leftovers(dir_).empty());
  }
  // Standard input to a file.
  auto r = Cli({"-o", In("out.txt")}, "q\nq\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(test::ReadWholeFile(In("out.txt")), "q\n");
  // A folder that does not exist: an error saying why, and nothing else
  // changes.
  r = Cli({"-o", In("none/out.txt"), path}, "");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("': No such file or directory"), std::string::npos) << r.err;
  EXPECT_EQ(test::ReadWholeFile(path), bom + "a\nb\n");
  EXPECT_EQ(Cli({"-o", path, path, path}, "").exitCode, 2);
}

#ifdef _WIN32
TEST_F(StreamMode, InjectedWriteFailureLeavesNothing) {
  GTEST_SKIP() << "POSIX only: the file-size limit (ulimit -f) stands in for a full disk";
}
TEST_F(StreamMode, FullDisk) { GTEST_SKIP() << "POSIX only: mounts a small tmpfs"; }
TEST_F(StreamMode, InterruptRemovesTemporaryFiles) { GTEST_SKIP() << "POSIX only: SIGINT and SIGTERM"; }
TEST_F(StreamMode, InterruptedBatchLeavesNoTemporaryResult) { GTEST_SKIP() << "POSIX only: SIGINT and SIGTERM"; }
TEST_F(StreamMode, ShuffleToAnOutputThatFails) { GTEST_SKIP() << "POSIX only: /dev/full and a shell pipeline"; }
TEST_F(StreamMode, StandardInputFileIsLeftAtItsEnd) {
  GTEST_SKIP() << "POSIX only: a shell sharing one standard input between programs";
}
#else
// Standard output that cannot take the result, a full device or a pipe
// closed early while SIGPIPE is ignored, is an error (exit 1) for the
// shuffle that writes as it goes, whatever piece the failure meets.
TEST_F(StreamMode, ShuffleToAnOutputThatFails) {
  const std::string path = dir_ + "/in.txt";
  test::WriteWholeFile(path, Lines(600000, 300000, "\n", 25));
  const std::string cli = TIDYLINE_CLI_PATH;
  const struct {
    std::string name, command;
  } cases[] = {
      {"full device", cli + " -s < " + path + " > /dev/full 2> " + dir_ + "/err; echo $? > " + dir_ + "/status"},
      {"closed pipe", "trap '' PIPE; (" + cli + " -s < " + path + " 2> " + dir_ + "/err; echo $? > " + dir_ +
                          "/status) | head -c 100 > /dev/null"},
      {"closed pipe after de-duplication", "trap '' PIPE; (" + cli + " -d -s < " + path + " 2> " + dir_ +
                                               "/err; echo $? > " + dir_ + "/status) | head -c 3000000 > /dev/null"},
  };
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  for (const auto& c : cases) {
    ASSERT_EQ(std::system(("sh -c " + test::ShellQuote(c.command)).c_str()), 0) << c.name;
    EXPECT_EQ(test::ReadWholeFile(dir_ + "/status"), "1\n") << c.name;
    EXPECT_NE(test::ReadWholeFile(dir_ + "/err").find("cannot write standard output"), std::string::npos)
        << c.name << ": " << test::ReadWholeFile(dir_ + "/err");
  }
}

// A regular file on standard input is read in place, yet left at its end
// as a read through the stream leaves it, from wherever it stood.
TEST_F(StreamMode, StandardInputFileIsLeftAtItsEnd) {
  const std::string path = dir_ + "/in.txt";
  test::WriteWholeFile(path, "skip\nb\na\nb\n");
  const std::string cmd = "{ read first; " + std::string(TIDYLINE_CLI_PATH) + " -d; echo end; cat; } < " + path +
                          " > " + dir_ + "/out";
  ASSERT_EQ(std::system(("sh -c " + test::ShellQuote(cmd)).c_str()), 0);
  EXPECT_EQ(test::ReadWholeFile(dir_ + "/out"), "a\nb\nend\n");
}

// A write that fails (the file-size limit stands in for a full disk) leaves
// no temporary file and the input as it was.
TEST_F(StreamMode, InjectedWriteFailureLeavesNothing) {
  const std::string path = dir_ + "/big.txt";
  const std::string input = Lines(30000, 25000, "\n", 9);
  test::WriteWholeFile(path, input);
  const std::string cmd = "trap '' XFSZ; ulimit -f 100; exec env LC_ALL=C.UTF-8 " + std::string(TIDYLINE_CLI_PATH) +
                          " --memory 64K --temp-dir " + spill_ + " -o " + path + " " + path + " 2>" + dir_ + "/err";
  const int status = std::system(("sh -c " + test::ShellQuote(cmd)).c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(test::ReadWholeFile(dir_ + "/err").find("File too large"), std::string::npos)
      << test::ReadWholeFile(dir_ + "/err");
  EXPECT_TRUE(Leftovers(spill_).empty());
  EXPECT_TRUE(Leftovers(dir_).empty());
  EXPECT_EQ(test::ReadWholeFile(path), input);
}

// A full temporary folder: a clear error, nothing left behind.
TEST_F(StreamMode, FullDisk) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  if (mount("tmpfs", spill_.c_str(), "tmpfs", 0, "size=128k") != 0) GTEST_SKIP() << "cannot mount a tmpfs";
  const std::string path = dir_ + "/big.txt";
  const std::string input = Lines(60000, 50000, "\n", 10);
  test::WriteWholeFile(path, input);
  auto r = Cli({"--memory", "64K", "--temp-dir", spill_, "-o", path, path}, "");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_TRUE(Leftovers(spill_).empty());
  EXPECT_TRUE(Leftovers(dir_).empty());
  EXPECT_EQ(test::ReadWholeFile(path), input);
  umount(spill_.c_str());
}

// Ctrl-C or kill in the middle of external mode: its files go, the output
// file is untouched, the status is 128 + the signal.
TEST_F(StreamMode, InterruptRemovesTemporaryFiles) {
  for (int sig : {SIGINT, SIGTERM}) {
    const std::string out = dir_ + "/out.txt";
    test::WriteWholeFile(out, "old");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(pipeFds[0], 0);
      close(pipeFds[1]);
      execl(TIDYLINE_CLI_PATH, "tidyline-cli", "--memory", "4K", "--temp-dir", spill_.c_str(), "-o", out.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[0]);
    const std::string chunk = Lines(2000, 1000, "\n", 11);
    ASSERT_EQ(write(pipeFds[1], chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
    // The input does not fit: it is being spooled while the pipe stays open.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Leftovers(spill_).empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(Leftovers(spill_).empty()) << "no spool file appeared";
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    close(pipeFds[1]);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    EXPECT_TRUE(Leftovers(spill_).empty());
    EXPECT_TRUE(Leftovers(dir_).empty());
    EXPECT_EQ(test::ReadWholeFile(out), "old");
  }
}

// A batch stopped by Ctrl-C or kill leaves no partial temporary result.
TEST_F(StreamMode, InterruptedBatchLeavesNoTemporaryResult) {
  const std::string body = Lines(20000, 15000, "\r\n", 13);
  std::vector<std::string> files;
  for (int i = 0; i < 40; ++i) {
    files.push_back(dir_ + "/f" + std::to_string(i) + ".txt");
    test::WriteWholeFile(files.back(), body);
  }
  const std::string save = dir_ + "/保存目录";
  for (int sig : {SIGINT, SIGTERM}) {
    std::error_code ec;
    fs::remove_all(save, ec);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>("tidyline-cli"), const_cast<char*>("-q")};
      for (auto& f : files) argv.push_back(f.data());
      argv.push_back(nullptr);
      execv(TIDYLINE_CLI_PATH, argv.data());
      _exit(127);
    }
    // Wait for the first result, then stop the batch in its course.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(save + "/f0.txt") && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) GTEST_SKIP() << "the batch ended before the signal";
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    EXPECT_TRUE(Leftovers(save).empty());
    // Every result under its final name is complete (all sources are alike).
    const std::string first = test::ReadWholeFile(save + "/f0.txt");
    EXPECT_FALSE(first.empty());
    for (const auto& e : fs::directory_iterator(save)) EXPECT_EQ(test::ReadWholeFile(e.path().string()), first);
  }
}
#endif

// After a writer was killed outright, the next run into the folder removes
// its temporary file, but never one whose writer still runs.
TEST_F(StreamMode, NextRunSweepsFilesOfKilledWriters) {
  const long gone = test::EndedProcessId(TIDYLINE_CLI_PATH);
  ASSERT_GT(gone, 0);
  const fs::path save = SaveFolder(dir_);
  fs::create_directories(save);
  const std::string stale = ".tidyline-" + std::to_string(gone) + "-1.tmp";
  const std::string live = ".tidyline-" + std::to_string(test::CurrentProcessId()) + "-1.tmp";
  const std::string other = ".tidyline-notes.tmp";
  for (const fs::path& d : {save, fs::path(spill_)})
    for (const auto& n : {stale, live, other}) test::WriteWholeFile(d / n, std::string(1000, 'p'));
  test::WriteWholeFile(In("a.txt"), "x\ny\nx");
  EXPECT_EQ(Cli({In("a.txt")}, "").exitCode, 0);
  EXPECT_EQ(Cli({"--memory", "4K", "--temp-dir", spill_}, Lines(3000, 100, "\n", 12)).exitCode, 0);
  for (const fs::path& d : {save, fs::path(spill_)}) {
    EXPECT_FALSE(fs::exists(d / stale)) << d;
    EXPECT_TRUE(fs::exists(d / live)) << d;
    EXPECT_TRUE(fs::exists(d / other)) << d;
  }
}

}  // namespace
}  // namespace tl
