#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/batch.h"
#include "batch/elapsed_text.h"
#include "files/fixture.h"
#include "runtime/commands/files.h"
#include "support/paths.h"

namespace tl::app {
namespace {

using tl::testing::Gbk;
using tl::testing::Utf8;
using batch::BatchSummary;
using batch::ElapsedText;

struct FixedOptions : text::ProcessOptions {
  std::string Separator() override { return "\r\n"; }
  bool Dedupe() override { return false; }
  bool Shuffle() override { return false; }
  int EncodingChoice() override { return 0; }
};

struct RecordingView : BatchView {
  std::vector<std::string> statuses;  // UTF-8 for readable failures
  std::int32_t maximum = -1, position = -1;
  std::vector<std::string> questions, opened;
  int answer = 6;
  void SetStatusText(std::string_view t) override { statuses.push_back(Utf8(t)); }
  void SetProgressMaximum(std::int32_t m) override { maximum = m; }
  void SetProgressPosition(std::int32_t p) override { position = p; }
  int AskYesNo(std::string_view q) override {
    questions.push_back(Utf8(q));
    return answer;
  }
  void OpenFolder(std::string_view f) override { opened.push_back(Utf8(f)); }
};

class Batch : public tl::testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directories(dir_ / "in");
    std::filesystem::create_directories(dir_ / "other");
  }
  // The program's path of a name written with "/", in the system's spelling.
  std::string Path(std::string_view name) const { return TempDirTest::Path(tl::test::Native(std::string(name))); }
  // The save folder of in/ as the program names it (UTF-8, for comparisons)
  // and as the file system finds it.
  std::string Save() const { return Path("in/保存目录/"); }
  std::filesystem::path SavePath(std::string_view name = "") const { return dir_ / "in" / U8("保存目录") / U8(name); }
  BatchResult Run(std::vector<std::string> files) { return BatchProcess(std::span<const std::string>(files), options, view); }
  FixedOptions options;
  RecordingView view;
};

TEST_F(Batch, ProcessesEveryFileIntoTheSaveFolder) {
  Put("in/a.b.txt", "1\r\n");
  Put("in/readme", "2\r\n");
  Put("other/c.txt", "3\r\n");
  view.answer = 5;
  BatchResult r = Run({Path("in/a.b.txt"), Path("in/readme"), Path("other/c.txt")});
  EXPECT_EQ(r.total, 3);
  EXPECT_EQ(r.processed, 3);
  EXPECT_EQ(Utf8(r.saveFolder.view()), Save());
  EXPECT_EQ(Slurp(SavePath("a.b.txt")), "1\r\n");
  EXPECT_EQ(Slurp(SavePath("readme")), "2\r\n");
  EXPECT_EQ(Slurp(SavePath("c.txt")), "3\r\n") << "every result goes to the first file's save folder";
  ASSERT_EQ(view.statuses.size(), 4u);
  EXPECT_EQ(std::vector(view.statuses.begin(), view.statuses.begin() + 3),
            (std::vector<std::string>{"(3:1) a.b\r\n", "(3:2) readme\r\n", "(3:3) c\r\n"}));
  EXPECT_EQ(view.statuses[3].rfind("总 3 个文件，成功处理 3 个文件，耗时 ", 0), 0u) << view.statuses[3];
  EXPECT_EQ(std::pair(view.maximum, view.position), std::pair(3, 3));
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0], "是否打开保存目录？\r\n\r\n" + Save());
  EXPECT_EQ(view.opened, std::vector<std::string>{Save()});
}

TEST_F(Batch, UnreadableAndUnwritableFilesCountAsNotProcessed) {
  EXPECT_EQ(Run({}).total, 0);  // an empty list does nothing
  EXPECT_TRUE(view.statuses.empty());
  EXPECT_TRUE(view.questions.empty());
  Put("in/a.txt", "a");
  Put("in/nul.txt", std::string("x\0y", 3));
  Put("in/bad.txt", "\xEF\xBB\xBF" "a\r\n\xFF");  // not UTF-8 although marked so
  view.answer = 6;
  BatchResult r = Run({Path("in/a.txt"), Path("in/missing.txt"), Path("in/nul.txt"), Path("in/bad.txt")});
  EXPECT_EQ(r.processed, 1);
  EXPECT_FALSE(std::filesystem::exists(SavePath("missing.txt")));
  EXPECT_FALSE(std::filesystem::exists(SavePath("nul.txt"))) << "nothing is written for a file not read whole";
  EXPECT_FALSE(std::filesystem::exists(SavePath("bad.txt"))) << "nothing is written for invalid text";
  EXPECT_EQ(view.statuses.back().rfind("总 4 个文件，成功处理 1 个文件", 0), 0u);
  EXPECT_TRUE(view.opened.empty());

  // A save folder that cannot be made (a file holds its name): nothing succeeds.
  Put("other/x.txt", "x");
  Put("other/保存目录", "blocking file");
  r = Run({Path("other/x.txt")});
  EXPECT_EQ(r.processed, 0);
}

// Fault: a result could replace a source of the same batch, or the result of
// another source with the same name.
TEST_F(Batch, ResultsNeverReplaceSourcesOrOtherSourcesResults) {
  Put("in/a.txt", "outer");
  std::filesystem::create_directories(SavePath());
  const std::filesystem::path inner = SavePath("a.txt");
  std::ofstream(inner, std::ios::binary) << "inner";
  BatchResult r = Run({Path("in/a.txt"), Path("in/" + Gbk("保存目录") + "/a.txt")});
  EXPECT_EQ(r.processed, 0);
  EXPECT_EQ(Slurp(inner), "inner");

  std::filesystem::remove(inner);
  Put("other/a.txt", "other");
  r = Run({Path("in/a.txt"), Path("other/a.txt"), Path("in/a.txt")});
  EXPECT_EQ(r.processed, 2) << "the same source listed twice is processed again";
  EXPECT_EQ(Slurp(inner), "outer");
}

TEST(ElapsedText, UsesTheLargestUnitBelowItsLimit) {
  struct Case {
    std::int64_t ms;
    const char* text;
  } cases[] = {
      {0, "0 毫秒"},
      {999, "999 毫秒"},
      {1000, "1 秒"},
      {1500, "1.5 秒"},
      {59994, "59.99 秒"},
      {59996, "60 秒"},
      {60000, "1 分"},
      {3599000, "59.98 分"},
      {3600000, "1 时"},
      {86400000, "1 天"},
      {29LL * 86400000, "29 天"},
      {30LL * 86400000, "1 月"},
      {360LL * 86400000, "1 年"},
      {540LL * 86400000, "1.5 年"},
      {-5, "-5 毫秒"},
      {-123456, "-123456 毫秒"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8(ElapsedText(c.ms).view()), c.text) << c.ms;
  EXPECT_EQ(Utf8(BatchSummary(5, 4, 1500).view()), "总 5 个文件，成功处理 4 个文件，耗时 1.5 秒");
}

}  // namespace
}  // namespace tl::app
