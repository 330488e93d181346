// The batch matrix through tidyline-cli, on Linux and Windows alike: for each
// fault every source is byte-identical afterwards (and keeps its
// permissions), no partial result sits under a final name, no temporary file
// is left, and the summary's counts and the exit code are true. The faults
// only POSIX has (a FIFO, a full disk, a kill) are in fault_matrix_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "batch_fixture.h"
#include "support/gbk.h"
#include "support/paths.h"
#include "support/run_program.h"
#include "support/wine.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tl {
namespace {

namespace fsys = std::filesystem;

using test::FileState;
using test::kSave;
using test::U8;

class BatchMatrix : public test::BatchFixture {
 public:
#ifdef _WIN32
  // Under wine the tests run as root, whom neither a folder's read-only
  // mark nor its Unix permissions hold back. A folder nobody may create
  // anything in is a process's /proc/<pid>/fd: the test holds the source
  // open, and Z:\proc\<pid>\fd\<n> names that very file, so the save
  // folder beside it cannot be made. Empty when wine does not show it.
  std::string HeldThroughProc(const std::string& rel) {
    held_ = CreateFileW((dir_ / test::U8(rel)).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION want{};
    char byte;
    DWORD got = 0;
    // Wine hands the client its Unix descriptor on first use.
    if (held_ == INVALID_HANDLE_VALUE || !ReadFile(held_, &byte, 1, &got, nullptr) ||
        !GetFileInformationByHandle(held_, &want))
      return "";
    std::istringstream stat(test::ReadWholeFile("Z:\\proc\\self\\stat"));
    long pid = 0;
    if (!(stat >> pid) || pid <= 0) return "";
    const std::string fds = "Z:\\proc\\" + std::to_string(pid) + "\\fd\\";
    for (int n = 0; n < 4096; ++n) {
      const std::string candidate = fds + std::to_string(n);
      HANDLE h = CreateFileA(candidate.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      BY_HANDLE_FILE_INFORMATION info{};
      const bool same = GetFileInformationByHandle(h, &info) &&
                        info.dwVolumeSerialNumber == want.dwVolumeSerialNumber &&
                        info.nFileIndexHigh == want.nFileIndexHigh && info.nFileIndexLow == want.nFileIndexLow;
      CloseHandle(h);
      if (same) return candidate;
    }
    return "";
  }
  void Release() {
    if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
    held_ = INVALID_HANDLE_VALUE;
  }
  HANDLE held_ = INVALID_HANDLE_VALUE;
#else
  void Release() {}
#endif

 protected:
  void SetUp() override { dir_ = test::MakeTempDir("tidyline-matrix-"); }
  void TearDown() override {
    Release();
    Clean();
  }

  test::RunResult Cli(const std::vector<std::string>& args, bool asNobody) {
#ifdef _WIN32
    (void)asNobody;
    test::RunResult r = test::RunProgram(TIDYLINE_CLI_PATH, args, "");
    r.err = test::FromConsole(r.err);
    return r;
#else
    std::vector<std::string> all;
    if (asNobody) all = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    all.push_back(TIDYLINE_CLI_PATH);
    all.insert(all.end(), args.begin(), args.end());
    return test::RunProgram(all.front(), {all.begin() + 1, all.end()}, "", {"LC_ALL=C.UTF-8"});
#endif
  }
};

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

struct Row {
  const char* fault;
  // Lays out the files and gives the arguments after "-d"; an empty
  // string as the first argument skips the row with the second as reason.
  std::function<std::vector<std::string>(BatchMatrix&)> lay;
  int exitCode, total, processed;
  std::map<std::string, std::string> results;
  bool asNobody = false;
  std::string says = "";  // what standard error must say, when given
};

TEST_F(BatchMatrix, EveryFaultLeavesSourcesAndResultsWhole) {
  const std::string gbkText = test::Gbk("中\r\n文\r\n中");
#ifdef _WIN32
  const bool root = false;
#else
  const bool root = geteuid() == 0;
#endif
  const std::vector<Row> rows = {
      {"read-only source",
       [](auto& f) {
         auto p = f.Put("a.txt", "b\r\na\r\nb");
         f.ReadOnly("a.txt", true);
         return std::vector<std::string>{p};
       },
       0, 1, 1, {{kSave + "/a.txt", "a\r\nb"}}},
      {"missing source",
       [](auto& f) { return std::vector<std::string>{f.Put("a.txt", "b\r\na\r\nb"), f.P("missing.txt")}; },
       1, 2, 1, {{kSave + "/a.txt", "a\r\nb"}}},
      {"a directory in the list",
       [](auto& f) {
         fsys::create_directories(f.dir_ / "sub.txt");
         return std::vector<std::string>{f.Put("a.txt", "b\r\na\r\nb"), f.P("sub.txt")};
       },
       1, 2, 1, {{kSave + "/a.txt", "a\r\nb"}}},
      {"NUL inside", [](auto& f) { return std::vector<std::string>{f.Put("n.txt", std::string("a\0b\r\na", 6))}; },
       1, 1, 0, {}},
      // Read raw (GBK), a final 0x1A is an end-of-file mark, not a character.
      {"0x1A at the end",
       [&](auto& f) { return std::vector<std::string>{f.Put("g.txt", gbkText + "\x1A")}; }, 0, 1, 1,
       {{kSave + "/g.txt", test::Gbk("文\r\n中")}}},
      {"BOM-less UTF-16 chosen explicitly",
       [](auto& f) {
         return std::vector<std::string>{"--encoding", "unicode", f.Put("w.txt", Utf16Le("b\r\na\r\nb"))};
       },
       0, 1, 1, {{kSave + "/w.txt", "\xFF\xFE" + Utf16Le("a\r\nb")}}},
      {"odd UTF-16 length",
       [](auto& f) { return std::vector<std::string>{f.Put("o.txt", "\xFF\xFE" + Utf16Le("ab") + "c")}; }, 1, 1,
       0, {}},
      // Root writes anywhere: the run then drops to nobody. Wine runs as
      // root with nobody to drop to: the source is reached through /proc.
      {"unwritable save folder",
       [](auto& f) {
#ifdef _WIN32
         if (!test::UnderWine())
           return std::vector<std::string>{"", "on Windows itself a folder's access list would refuse the writes; "
                                               "only wine's /proc is set up here"};
         f.Put("a.txt", "b\r\na\r\nb");
         const std::string through = f.HeldThroughProc("a.txt");
         if (through.empty())
           return std::vector<std::string>{"", "wine did not show the held source under /proc/<pid>/fd"};
         return std::vector<std::string>{through};
#else
         auto p = f.Put("a.txt", "b\r\na\r\nb");
         fsys::create_directories(f.dir_ / U8(kSave));
         fsys::permissions(f.dir_ / U8(kSave), fsys::perms::owner_read | fsys::perms::owner_exec |
                                                   fsys::perms::group_read | fsys::perms::group_exec |
                                                   fsys::perms::others_read | fsys::perms::others_exec);
         return std::vector<std::string>{p};
#endif
       },
       1, 1, 0, {}, root, "': cannot write the result\n"},
      {"save folder that is a file",
       [](auto& f) {
         f.Put(kSave, "not a folder");
         return std::vector<std::string>{f.Put("a.txt", "b\r\na\r\nb"), f.Put("c.txt", "c")};
       },
       1, 2, 0, {}},
      {"same-name results",
       [](auto& f) { return std::vector<std::string>{f.Put("x/a.txt", "b\r\na\r\nb"), f.Put("y/a.txt", "y\r\ny")}; },
       1, 2, 1, {{"x/" + kSave + "/a.txt", "a\r\nb"}}},
      {"a source inside the save folder",
       [](auto& f) {
         return std::vector<std::string>{f.Put("a.txt", "b\r\na\r\nb"), f.Put(kSave + "/a.txt", "old\r\nold"),
                                         f.Put("c.txt", "c\r\nc")};
       },
       1, 3, 1, {{kSave + "/c.txt", "c"}}},
      {"the same source twice",
       [](auto& f) {
         auto p = f.Put("a.txt", "b\r\na\r\nb");
         return std::vector<std::string>{p, p};
       },
       0, 2, 2, {{kSave + "/a.txt", "a\r\nb"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    Clean();
    SetUp();
    std::vector<std::string> args = {"-d"};
    const std::vector<std::string> laid = row.lay(*this);
    if (laid.size() == 2 && laid[0].empty()) {
      std::cout << "[ SKIPPED  ] row \"" << row.fault << "\": " << laid[1] << "\n";
      continue;
    }
    args.insert(args.end(), laid.begin(), laid.end());
    auto before = Snapshot();
    auto r = Cli(args, row.asNobody);
    Release();
    ExpectClean(before, r, row.exitCode, row.total, row.processed, row.results);
    if (!row.says.empty()) {
      EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
    }
  }
}

// --list prints one path a line with the platform's own line break: CR LF on
// Windows, as its console programs do (cmd's for /f and Notepad take it),
// LF on Linux. The paths are those a batch would take, in search order.
TEST_F(BatchMatrix, ListPrintsOnePathALineWithThePlatformsBreak) {
  Put("a.txt", "a");
  Put("b.txt", "b");
  Put("c.csv", "c");
  const std::string eol = test::kWindows ? "\r\n" : "\n";
  auto r = Cli({"--folder", dir_.string(), "--filter", "*.txt", "--list"}, false);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = r.out.find(eol, at)) != std::string::npos; at = end + eol.size())
    lines.push_back(r.out.substr(at, end - at));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{P("a.txt"), P("b.txt")})) << r.out;
  std::size_t breaks = 0;
  for (std::size_t at = 0; (at = r.out.find(eol, at)) != std::string::npos; at += eol.size()) ++breaks;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<std::ptrdiff_t>(breaks)) << "mixed breaks";
  EXPECT_EQ(r.out.size() - r.out.rfind(eol), eol.size()) << "the last line ends with a break too";
}

}  // namespace
}  // namespace tl
