// External mode against the in-memory engine, on random inputs and budgets
// down to a few kilobytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/os/temp_files.h"
#include "support/gbk.h"
#include "text/dedupe.h"
#include "text/external.h"
#include "text/records.h"

namespace tl::text {
namespace {

namespace fs = std::filesystem;
namespace fio = rt::fileio;

class ExternalTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tidyline-external-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    limits_.tempDir = (dir_ / "spill").string();
    fs::create_directories(limits_.tempDir);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs `fn` on `text` held in a file; the spill folder must be empty after.
  template <typename Fn>
  std::string OnFile(const std::string& text, Fn&& fn) {
    const std::string path = (dir_ / "in").string();
    { std::ofstream(path, std::ios::binary) << text; }
    const fio::Handle h = fio::Open(path, fio::Access::kRead, fio::Disposition::kOpenExisting, fio::Share::kReadWrite);
    EXPECT_NE(h, fio::kNoHandle);
    std::string out;
    external::Sink sink = [&](std::string_view b) {
      out.append(b);
      return true;
    };
    const external::Outcome r = fn(external::Input{h, 0, static_cast<std::int64_t>(text.size())}, sink);
    fio::Close(h);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(fs::is_empty(limits_.tempDir)) << "temporary files left behind";
    EXPECT_EQ(os::RegisteredTempFiles(), 0u);
    return out;
  }

  fs::path dir_;
  external::Limits limits_;
};

// Records drawn from a small pool so that many repeat.
std::string RandomText(std::mt19937& gen, std::string_view sep, std::size_t records, std::size_t distinct,
                       std::size_t maxLen, bool trailing) {
  std::vector<std::string> pool(distinct);
  std::uniform_int_distribution<int> byte('a', 'e');
  for (auto& p : pool) {
    p.resize(std::uniform_int_distribution<std::size_t>(0, maxLen)(gen));
    for (auto& c : p) c = static_cast<char>(byte(gen));
  }
  std::string text;
  for (std::size_t i = 0; i < records; ++i) {
    if (i) text += sep;
    text += pool[std::uniform_int_distribution<std::size_t>(0, distinct - 1)(gen)];
  }
  if (trailing) text += sep;
  return text;
}

TEST_F(ExternalTest, DedupeMatchesTheInMemoryEngineAtEveryBudget) {
  std::mt19937 gen(20261208);
  const std::string huge(50000, 'h');
  struct Case {
    std::string name, text, sep;
  };
  std::vector<Case> cases = {
      {"lf", RandomText(gen, "\n", 1500, 300, 12, true), "\n"},
      {"crlf no trailing", RandomText(gen, "\r\n", 1500, 1200, 30, false), "\r\n"},
      {"multi-byte separator", RandomText(gen, "<>|", 2000, 50, 8, false), "<>|"},
      {"empty records", RandomText(gen, "\n", 2000, 5, 1, true), "\n"},
      {"records larger than a bucket", RandomText(gen, "\n", 60, 20, 9000, true), "\n"},
      {"one huge record", huge, "\n"},
      {"huge record among others", "a\n" + huge + "\nb\n" + huge + "\na", "\n"},
      {"leading empty records", "\n\n\na\nb\na\n\n", "\n"},
      {"separators only", "\n\n\n\n", "\n"},
      {"one record with its separator", "a\n", "\n"},
      {"GBK separator after a lead byte",
       test::Gbk("甲，乙，甲，") + "\xB0" + test::Gbk("，乙，丙"), test::Gbk("，")},
      {"empty", "", "\n"},
      {"empty separator", "b\na\nb", ""},
      // More runs than are merged at once, more files than descriptors.
      {"many runs", RandomText(gen, "\n", 12000, 11000, 12, true), "\n"},
  };
  for (std::size_t budget : {4096u, 16384u, 1u << 24}) {
    limits_.memory = budget;
    for (const auto& c : cases) {
      for (bool keepFirst : {false, true}) {
        const std::string want(DedupeBytes(c.text, c.sep, keepFirst).view());
        const std::string got = OnFile(c.text, [&](const external::Input& in, const external::Sink& sink) {
          return external::Dedupe(in, c.sep, keepFirst, limits_, sink);
        });
        ASSERT_EQ(got, want) << c.name << " budget " << budget << (keepFirst ? " first" : " last");
      }
    }
  }
}

TEST_F(ExternalTest, ShuffleDrawsEveryRecordOnceWithARepeatableOrder) {
  std::mt19937 gen(7);
  const std::string text = RandomText(gen, "\r\n", 4000, 4000, 20, false);
  for (std::size_t budget : {4096u, 20000u, 1u << 24}) {
    limits_.memory = budget;
    auto run = [&](std::uint64_t seed) {
      return OnFile(text, [&](const external::Input& in, const external::Sink& sink) {
        return external::Shuffle(in, "\r\n", seed, limits_, sink);
      });
    };
    const std::string a = run(11), b = run(11), c = run(12);
    EXPECT_EQ(a, b) << "a seed gives one order";
    EXPECT_NE(a, c);
    auto sorted = [](const std::string& t) {
      RecordIndex r(t, "\r\n");
      std::vector<std::string_view> v;
      for (std::size_t i = 0; i < r.size(); ++i) v.push_back(r[i]);
      std::sort(v.begin(), v.end());
      return std::vector<std::string>(v.begin(), v.end());
    };
    EXPECT_EQ(sorted(a), sorted(text)) << "budget " << budget;
    EXPECT_EQ(a.size(), text.size());
  }
}

TEST_F(ExternalTest, EmptySeparatorShufflesAtCrLf) {
  const std::string got = OnFile("x\r\nx", [&](const external::Input& in, const external::Sink& sink) {
    return external::Shuffle(in, "", 1, limits_, sink);
  });
  EXPECT_EQ(got, "x\r\nx");
}

// Every record lands at every position about equally often across seeds.
TEST_F(ExternalTest, ShufflePositionsAreUniform) {
  constexpr int kRecords = 10, kTrials = 600;
  std::string text;
  for (int i = 0; i < kRecords; ++i) {
    if (i) text += "\n";
    text += std::string(1, static_cast<char>('A' + i)) + std::string(400, '.');  // several buckets at 4 KB
  }
  limits_.memory = 4096;
  std::vector<std::vector<int>> count(kRecords, std::vector<int>(kRecords));
  for (int t = 0; t < kTrials; ++t) {
    const std::string out = OnFile(text, [&](const external::Input& in, const external::Sink& sink) {
      return external::Shuffle(in, "\n", 1000 + t, limits_, sink);
    });
    RecordIndex r(out, "\n");
    ASSERT_EQ(r.size(), static_cast<std::size_t>(kRecords));
    for (int pos = 0; pos < kRecords; ++pos) ++count[r[pos][0] - 'A'][pos];
  }
  const double expected = static_cast<double>(kTrials) / kRecords;
  double chi2 = 0;
  for (const auto& row : count)
    for (int c : row) chi2 += (c - expected) * (c - expected) / expected;
  // 81 degrees of freedom: mean 81, standard deviation about 13.
  EXPECT_LT(chi2, 150) << "positions far from uniform";
}

TEST_F(ExternalTest, FailedOutputLeavesNoTemporaryFile) {
  std::mt19937 gen(3);
  limits_.memory = 4096;
  const std::string text = RandomText(gen, "\n", 1000, 800, 10, true);
  const std::string path = (dir_ / "in").string();
  { std::ofstream(path, std::ios::binary) << text; }
  const fio::Handle h = fio::Open(path, fio::Access::kRead, fio::Disposition::kOpenExisting, fio::Share::kReadWrite);
  int calls = 0;
  external::Sink failing = [&](std::string_view) { return ++calls < 1; };
  const external::Input in{h, 0, static_cast<std::int64_t>(text.size())};
  const external::Outcome d = external::Dedupe(in, "\n", false, limits_, failing);
  calls = 0;
  const external::Outcome s = external::Shuffle(in, "\n", 1, limits_, failing);
  fio::Close(h);
  EXPECT_FALSE(d.ok);
  EXPECT_FALSE(s.ok);
  EXPECT_NE(d.error.find("cannot write the output"), std::string::npos) << d.error;
  EXPECT_TRUE(fs::is_empty(limits_.tempDir));
}

TEST_F(ExternalTest, AnUnwritableTempFolderIsAClearError) {
  limits_.tempDir = (dir_ / "missing").string();
  const std::string path = (dir_ / "in").string();
  { std::ofstream(path, std::ios::binary) << "a\nb\na\n"; }
  const fio::Handle h = fio::Open(path, fio::Access::kRead, fio::Disposition::kOpenExisting, fio::Share::kReadWrite);
  const external::Outcome r =
      external::Dedupe({h, 0, 6}, "\n", false, limits_, [](std::string_view) { return true; });
  fio::Close(h);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("missing"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace tl::text
