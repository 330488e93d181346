#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "files/fixture.h"
#include "support/paths.h"
#include "fs/file_list.h"
#include "fs/list_by_object.h"
#include "text/file_text.h"

namespace tl::fs {
namespace {

using tl::testing::Gbk;
using tl::test::Native;

using FileList = tl::testing::TempDirTest;

TEST(PathPieces, DirectoryAndBaseName) {
  // Written with "/", taken with the platform's separator.
  struct Case {
    std::string path, dir, base;
    bool windowsOnly = false;
  } cases[] = {
      {"/a/b.c.txt", "/a", "b.c"}, {"/a/readme", "/a", "readme"}, {"plain.txt", "", "plain"}, {"/x", "", "x"},
      {"/a.d/file", "/a.d", "file"}, {Gbk("/数据/表.txt"), Gbk("/数据"), Gbk("表")},
      // A lead byte before the separator: on Windows 81 5C is one character.
      {"/a/\x81/b", "/a", "\x81/b"},
      // Drive prefixes.
      {"C:/a/b.txt", "C:/a", "b", true}, {"C:/x.txt", "C:", "x", true}, {"C:x.txt", "", "C:x", true},
  };
  for (const Case& c : cases) {
    if (c.windowsOnly && !tl::test::kWindows) continue;
    const std::string path = Native(c.path);
    EXPECT_EQ(DirectoryOf(path), Native(c.dir)) << path;
    EXPECT_EQ(BaseNameOf(path), Native(c.base)) << path;
  }
}

TEST_F(FileList, EnsureDirectoriesCreatesEveryLevel) {
  // On Windows the temporary folder's path starts with its drive ("C:\\").
  const std::string deep = Path(Native("x/y/" + Gbk("保存目录") + "/"));
  EXPECT_TRUE(EnsureDirectories(deep));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "x" / "y" / U8("保存目录")));
  EXPECT_TRUE(EnsureDirectories(deep)) << "existing levels are fine";
  EXPECT_TRUE(EnsureDirectories(Path(Native("x/only-a-name")))) << "the part after the last separator is no level";
  EXPECT_FALSE(std::filesystem::exists(dir_ / "x" / "only-a-name"));
  Put("file", "x");
  EXPECT_FALSE(EnsureDirectories(Path(Native("file/sub/"))));
}

// A listed path opens the entry it came from. A name in GBK bytes reads as
// the UTF-8 name of another file: it is never listed, only reported
// (escaped); a Latin-1 name has no such reading and is listed as it is.
TEST_F(FileList, NamesThatCannotBeCarriedAreReportedNeverSwapped) {
  if (tl::test::kWindows) GTEST_SKIP() << "names are UTF-16 on Windows: see NamesOutsideTheCodePage";
  Put("\xD6\xD0x.txt", "gbk name");
  Put("中x.txt", "utf-8 name");
  Put("caf\xE9.txt", "latin-1 name");
  const std::string dir = dir_.string();
  const std::function<void(rt::TextArray&, rt::TextArray*)> listers[] = {
      [&](rt::TextArray& l, rt::TextArray* u) { ListFiles(dir, "*.*", l, false, false, u); },
      [&](rt::TextArray& l, rt::TextArray* u) { ListFilesByObject(dir, "*.txt", l, false, false, u); },
  };
  const std::map<std::string, std::string> want = {{dir + "/caf\xE9.txt", "latin-1 name"},
                                                    {dir + "/" + Gbk("中x.txt"), "utf-8 name"}};
  for (std::size_t k = 0; k < std::size(listers); ++k) {
    SCOPED_TRACE(k == 0 ? "search" : "object");
    rt::TextArray list, uncarried;
    listers[k](list, &uncarried);
    std::map<std::string, std::string> listed;
    for (std::size_t i = 1; i <= list.size(); ++i) {
      const std::string path(list[static_cast<std::int64_t>(i)]);
      const text::FileText t = text::ReadTextFile(path, 1);
      EXPECT_TRUE(listed.emplace(path, std::string(t.text.view())).second) << "listed twice: " << path;
    }
    EXPECT_EQ(listed, want);
    ASSERT_EQ(uncarried.size(), 1u);
    EXPECT_EQ(std::string(uncarried[1]), dir + "/\\xd6\\xd0x.txt");
    rt::TextArray without;
    listers[k](without, nullptr);
    EXPECT_EQ(without.size(), 2u);
  }
}

// Windows: a name with a character outside the ANSI code page (Hangul in
// code page 936) has no GBK spelling; the system's "?" or look-alike would
// open nothing or another file, so it is reported, never listed.
TEST_F(FileList, NamesOutsideTheCodePage) {
  if (!tl::test::kWindows) GTEST_SKIP() << "Windows only: Linux names are bytes (see the test above)";
  Put("한x.txt", "hangul name");
  Put("中x.txt", "gbk name");
  const std::string dir = dir_.string();
  const std::function<void(rt::TextArray&, rt::TextArray*)> listers[] = {
      [&](rt::TextArray& l, rt::TextArray* u) { ListFiles(dir, "*.*", l, false, false, u); },
      [&](rt::TextArray& l, rt::TextArray* u) { ListFilesByObject(dir, "*.txt", l, false, false, u); },
  };
  for (std::size_t k = 0; k < std::size(listers); ++k) {
    SCOPED_TRACE(k == 0 ? "search" : "object");
    rt::TextArray list, uncarried;
    listers[k](list, &uncarried);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::string(list[1]), dir + "\\" + Gbk("中x.txt"));
    EXPECT_EQ(text::ReadTextFile(std::string(list[1]), 1).text.view(), "gbk name");
    ASSERT_EQ(uncarried.size(), 1u);
    EXPECT_EQ(std::string(uncarried[1]), dir + "\\?x.txt");
  }
}

}  // namespace
}  // namespace tl::fs
