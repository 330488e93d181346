// Replays every committed corpus and regression input through its target, so
// the normal (and the sanitizer) test run keeps what fuzzing proved.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "fuzz_target.h"
#include "support/paths.h"

namespace tl::fuzz {

using tl::test::kWindows;

namespace {
std::map<std::string, TargetFn>& Targets() {
  static std::map<std::string, TargetFn> targets;
  return targets;
}
}  // namespace

bool RegisterTarget(const char* name, TargetFn fn) {
  Targets()[name] = fn;
  return true;
}

namespace {

namespace fsys = std::filesystem;

std::vector<fsys::path> InputsOf(const std::string& target) {
  std::vector<fsys::path> files;
  for (const char* kind : {"corpus", "regressions"}) {
    fsys::path dir = fsys::path(TIDYLINE_SOURCE_DIR) / "tests/fuzz" / kind / target;
    if (!fsys::is_directory(dir)) continue;
    for (const auto& e : fsys::recursive_directory_iterator(dir))
      if (e.is_regular_file() && e.path().filename().string()[0] != '.') files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadAll(const fsys::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(FuzzReplay, EveryTargetHasASeedCorpus) {
  std::vector<const char*> expected = {"template_reader", "settings_store", "file_text",
                                       "records_reference", "filter", "variant", "cli"};
  // The iconv target compares against the C library's iconv: Linux only.
  if (!kWindows) expected.push_back("charset_iconv");
  for (const char* name : expected) {
    EXPECT_TRUE(Targets().count(name)) << name << " is not linked into the replay";
    EXPECT_GE(InputsOf(name).size(), 3u) << name << " has (almost) no seed corpus";
  }
}

TEST(FuzzReplay, CorporaAndRegressionsRunClean) {
  // A failing input aborts with the target's message and the input's path.
  for (const auto& [name, fn] : Targets()) {
    auto inputs = InputsOf(name);
    for (const auto& path : inputs) {
      std::string bytes = ReadAll(path);
      CurrentInput() = path.string();
      fn(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    CurrentInput().clear();
    std::printf("%-18s %zu inputs replayed\n", name.c_str(), inputs.size());
  }
}

}  // namespace
}  // namespace tl::fuzz
