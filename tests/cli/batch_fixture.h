// What the batch-matrix tests share: a scratch folder of files, its
// snapshot, and the checks every fault shares — sources byte-identical with
// their permissions, no partial result under a final name, no temporary file
// left, and the summary's counts true.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <system_error>
#include <utility>

#include "support/gbk.h"
#include "support/paths.h"
#include "support/run_program.h"

namespace tl::test {

namespace fsys = std::filesystem;

inline const std::string kSave = "保存目录";

struct FileState {
  std::string bytes;
  fsys::perms perms;
};

inline fsys::path U8(const std::string& utf8) { return fsys::path(std::u8string(utf8.begin(), utf8.end())); }
inline std::string Utf8Of(const fsys::path& p) {
  const std::u8string u = p.generic_u8string();
  return std::string(u.begin(), u.end());
}

class BatchFixture : public ::testing::Test {
 public:
  fsys::path dir_;
  // The argument that names a file (relative path in UTF-8, "/" between
  // folders): UTF-8 for the tool under a UTF-8 locale, GBK (the ANSI code
  // page) on Windows.
  std::string P(const std::string& rel) const {
    const std::string native = Native(rel);
    return dir_.string() + kSep + (kWindows ? Gbk(native) : native);
  }
  std::string Put(const std::string& rel, const std::string& bytes) {
    fsys::create_directories((dir_ / U8(rel)).parent_path());
    WriteWholeFile(dir_ / U8(rel), bytes);
    return P(rel);
  }
  void ReadOnly(const std::string& rel, bool on) {
    fsys::permissions(dir_ / U8(rel), fsys::perms::owner_write | fsys::perms::group_write | fsys::perms::others_write,
                      on ? fsys::perm_options::remove : fsys::perm_options::add);
  }

 protected:
  void Clean() {
    std::error_code ec;
    for (auto& e : fsys::recursive_directory_iterator(dir_, ec))
      fsys::permissions(e.path(), fsys::perms::owner_all, fsys::perm_options::add, ec);
    fsys::remove_all(dir_, ec);
  }

  // Every regular file under the scratch folder, by relative path.
  std::map<std::string, FileState> Snapshot() const {
    std::map<std::string, FileState> files;
    for (auto& e : fsys::recursive_directory_iterator(dir_))
      if (e.is_regular_file())
        files[Utf8Of(fsys::relative(e.path(), dir_))] = {ReadWholeFile(e.path()), e.status().permissions()};
    return files;
  }

  // The summary line's total and processed counts; -1 when it is missing.
  static std::pair<int, int> Summary(const std::string& err) {
    std::smatch m;
    static const std::regex line("总 ([0-9]+) 个文件，成功处理 ([0-9]+) 个文件");
    if (!std::regex_search(err, m, line)) return {-1, -1};
    return {std::stoi(m[1]), std::stoi(m[2])};
  }

  // `results`: every file the run may add (relative path -> its complete
  // bytes); anything else that appears is a partial result or a temporary
  // file left behind.
  void ExpectClean(const std::map<std::string, FileState>& before, const RunResult& r, int exitCode, int total,
                   int processed, const std::map<std::string, std::string>& results) {
    EXPECT_EQ(r.exitCode, exitCode) << r.err;
    EXPECT_EQ(Summary(r.err), std::make_pair(total, processed)) << r.err;
    auto after = Snapshot();
    for (const auto& [rel, state] : before) {
      auto it = after.find(rel);
      ASSERT_NE(it, after.end()) << rel << " is gone";
      EXPECT_EQ(it->second.bytes, state.bytes) << rel << " changed";
      EXPECT_EQ(it->second.perms, state.perms) << rel << " changed its permissions";
    }
    for (const auto& [rel, state] : after) {
      if (before.count(rel)) continue;
      auto want = results.find(rel);
      if (want == results.end()) {
        ADD_FAILURE() << "unexpected file " << rel << " (" << state.bytes.size() << " bytes)";
        continue;
      }
      EXPECT_EQ(state.bytes, want->second) << rel << " is not the complete result";
    }
    for (const auto& [rel, bytes] : results) EXPECT_TRUE(after.count(rel)) << "missing result " << rel;
  }
};

}  // namespace tl::test
