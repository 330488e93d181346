// The one file-processing path: per-file results in list order, and the
// save-folder rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch/file_batch.h"
#include "files/fixture.h"
#include "support/paths.h"
#include "text/encoding_detect.h"

namespace tl::batch {
namespace {

using tl::test::Native;

struct Recorder : FileObserver {
  std::vector<std::string> events;
  void FileStarting(std::size_t index, std::size_t count, std::string_view path) override {
    events.push_back("start " + std::to_string(index) + "/" + std::to_string(count) + " " +
                     std::filesystem::path(std::string(path)).filename().string());
  }
  void FileFinished(std::size_t index, std::string_view, const FileResult& result) override {
    events.push_back("done " + std::to_string(index) + " " + std::to_string(static_cast<int>(result.status)));
  }
};

class FileBatch : public tl::testing::TempDirTest {
 protected:
  std::string Saved(std::string_view name) const { return Slurp(dir_ / U8("保存目录") / std::string(name)); }
};

TEST_F(FileBatch, EachFileReportsStatusEncodingAndSizes) {
  Put("gbk.txt", tl::testing::Gbk("乙\r\n甲\r\n乙"));
  Put("utf8.txt", "\xEF\xBB\xBF" "a\r\nb\r\na");
  // (Not "nul.txt": Windows takes that name for its null device.)
  Put("zeros.txt", std::string("\0\0x", 3));  // not text in any encoding
  const std::vector<std::string> owned = {Path("gbk.txt"), Path("utf8.txt"), Path("zeros.txt"), Path("missing.txt")};
  const std::vector<std::string_view> paths(owned.begin(), owned.end());
  text::FixedOptions options;
  Recorder recorder;
  const BatchOutcome out = ProcessFiles(paths, options, recorder);

  struct Want {
    FileStatus status;
    int encoding;
    std::int64_t in, out;
  } const want[] = {
      {FileStatus::kProcessed, text::kEncodingAnsi, 10, 6},
      {FileStatus::kProcessed, text::kEncodingUtf8, 10, 7},
      {FileStatus::kUnreadable, 0, 3, 0},
      {FileStatus::kUnopenable, 0, 0, 0},
  };
  ASSERT_EQ(out.files.size(), std::size(want));
  for (std::size_t i = 0; i < std::size(want); ++i) {
    EXPECT_EQ(out.files[i].status, want[i].status) << owned[i];
    EXPECT_EQ(out.files[i].encoding, want[i].encoding) << owned[i];
    EXPECT_EQ(out.files[i].bytesIn, want[i].in) << owned[i];
    EXPECT_EQ(out.files[i].bytesOut, want[i].out) << owned[i];
    EXPECT_EQ(ReasonOf(out.files[i]).empty(), want[i].status == FileStatus::kProcessed) << owned[i];
  }
  EXPECT_EQ(out.processed, 2);
  EXPECT_EQ(Saved("gbk.txt"), tl::testing::Gbk("甲\r\n乙"));
  EXPECT_EQ(Saved("utf8.txt"), "\xEF\xBB\xBF" "b\r\na");
  EXPECT_FALSE(std::filesystem::exists(dir_ / U8("保存目录") / "zeros.txt"));
  const std::string unreadable = std::to_string(static_cast<int>(FileStatus::kUnreadable));
  const std::string unopenable = std::to_string(static_cast<int>(FileStatus::kUnopenable));
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"start 0/4 gbk.txt", "done 0 0", "start 1/4 utf8.txt",
                                                      "done 1 0", "start 2/4 zeros.txt", "done 2 " + unreadable,
                                                      "start 3/4 missing.txt", "done 3 " + unopenable}));
}

TEST_F(FileBatch, ResultsNeverReplaceSourcesOrEachOther) {
  std::filesystem::create_directories(dir_ / U8("保存目录"));
  std::filesystem::create_directories(dir_ / "other");
  Put("a.txt", "x\r\nx");
  Put("other/a.txt", "y\r\ny");
  Put("保存目录/b.txt", "z\r\nz");
  Put("b.txt", "w\r\nw");
  const std::string saveFolder = Path(Native(tl::testing::Gbk("保存目录") + "/"));
  const std::vector<std::string> owned = {Path("a.txt"), Path(Native("other/a.txt")), Path("a.txt"), Path("b.txt"),
                                          saveFolder + "b.txt"};
  const std::vector<std::string_view> paths(owned.begin(), owned.end());
  text::FixedOptions options;
  Recorder recorder;
  const BatchOutcome out = ProcessFiles(paths, options, recorder);
  const FileStatus want[] = {FileStatus::kProcessed, FileStatus::kNameTaken, FileStatus::kProcessed,
                             FileStatus::kWouldReplaceSource, FileStatus::kWouldReplaceSource};
  ASSERT_EQ(out.files.size(), std::size(want));
  for (std::size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(out.files[i].status, want[i]) << owned[i];
  EXPECT_EQ(Saved("a.txt"), "x");
  EXPECT_EQ(Saved("b.txt"), "z\r\nz");  // the source inside the save folder is untouched
  EXPECT_EQ(out.saveFolder, saveFolder);
}

// Input that is not valid in its encoding is not processed, and the reason
// says where; GBK with any high bytes is processed byte for byte.
TEST_F(FileBatch, InvalidTextIsNotProcessed) {
  const struct {
    const char* name;
    std::string content;
    FileStatus status;
    int encoding;
    std::int64_t invalidAt;
    const char* reason;
  } cases[] = {
      {"marked.txt", "\xEF\xBB\xBF" "a\r\n\xFF\r\na", FileStatus::kInvalidText, text::kEncodingUtf8, 6,
       "not valid UTF-8 at byte offset 6"},
      {"le.txt", std::string("\xFF\xFE" "a\0\x00\xD8", 6), FileStatus::kInvalidText, text::kEncodingUtf16Le, 4,
       "not valid UTF-16LE at byte offset 4"},
      {"gbk.txt", "\xFF\r\n\xD6\xD0\r\n\xFF", FileStatus::kProcessed, text::kEncodingAnsi, -1, ""},
  };
  std::vector<std::string> owned;
  for (const auto& c : cases) {
    Put(c.name, c.content);
    owned.push_back(Path(c.name));
  }
  const std::vector<std::string_view> paths(owned.begin(), owned.end());
  text::FixedOptions options;
  Recorder recorder;
  const BatchOutcome out = ProcessFiles(paths, options, recorder);
  ASSERT_EQ(out.files.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(out.files[i].status, cases[i].status);
    EXPECT_EQ(out.files[i].encoding, cases[i].encoding);
    EXPECT_EQ(out.files[i].invalidAt, cases[i].invalidAt);
    EXPECT_EQ(ReasonOf(out.files[i]), cases[i].reason);
    EXPECT_EQ(std::filesystem::exists(dir_ / U8("保存目录") / cases[i].name), cases[i].status == FileStatus::kProcessed);
  }
  EXPECT_EQ(out.processed, 1);
  EXPECT_EQ(Saved("gbk.txt"), "\xD6\xD0\r\n\xFF");
}

TEST(SaveFolder, BesideTheFirstFileOrInTheCurrentDirectory) {
  const std::string save = tl::testing::Gbk("保存目录");
  struct Case {
    std::string first, folder;
    bool windowsOnly = false;
  } cases[] = {
      {"/a/b/c.txt", "/a/b/" + save + "/"}, {"c.txt", "./" + save + "/"}, {"/c.txt", "/" + save + "/"},
      {"C:/c.txt", "C:/" + save + "/", true}, {"C:/a/c.txt", "C:/a/" + save + "/", true},
  };
  for (const Case& c : cases) {
    if (c.windowsOnly && !tl::test::kWindows) continue;
    EXPECT_EQ(SaveFolderFor(Native(c.first)), Native(c.folder)) << c.first;
  }
}

}  // namespace
}  // namespace tl::batch
