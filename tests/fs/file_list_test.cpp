#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/fixture.h"
#include "fs/file_list.h"

namespace tl::fs {
namespace {

using tl::testing::Gbk;

class FileList : public tl::testing::TempDirTest {
 protected:
  std::vector<std::string> Names(const rt::TextArray& list) {
    std::vector<std::string> out;
    for (std::size_t i = 1; i <= list.size(); ++i) {
      std::string_view p = list[static_cast<std::int64_t>(i)];
      EXPECT_EQ(p.substr(0, dir_.string().size() + 1), dir_.string() + "/");
      out.emplace_back(p.substr(dir_.string().size() + 1));
    }
    return out;
  }
};

TEST_F(FileList, PatternsInOrderWithDuplicates) {
  for (const char* n : {"a.txt", "b.csv", "c.TXT", "d.tmp", "noext"}) Put(n, "x");
  std::filesystem::create_directory(Path("sub.txt"));
  rt::TextArray list;
  using V = std::vector<std::string>;
  auto sorted = [](V v) {
    std::sort(v.begin(), v.end());
    return v;
  };

  EXPECT_EQ(ListFiles(dir_.string(), "*.txt|*.csv", list, false, false), 3);
  V names = Names(list);
  EXPECT_EQ(sorted(V(names.begin(), names.begin() + 2)), (V{"a.txt", "c.TXT"}));
  EXPECT_EQ(names[2], "b.csv") << "each pattern's matches come as a group, in pattern order";

  ListFiles(dir_.string() + "/", "*.txt|*.t*", list, false, false);
  names = Names(list);
  EXPECT_EQ(std::count(names.begin(), names.end(), "a.txt"), 2) << "no removal of duplicates";
  EXPECT_EQ(names.size(), 5u);

  EXPECT_EQ(ListFiles(dir_.string(), "", list, false, false), 5) << "empty filter: every file, no folder";
  EXPECT_EQ(sorted(Names(list)), (V{"a.txt", "b.csv", "c.TXT", "d.tmp", "noext"}));
  EXPECT_EQ(ListFiles(dir_.string(), "*.csv", list, true, false), 6) << "keep appends";
  EXPECT_EQ(ListFiles(dir_.string(), "*", list, false, true), 1);
  EXPECT_EQ(Names(list), V{"sub.txt"});
  EXPECT_EQ(ListFiles(dir_.string(), "||nothing*|", list, false, false), 0);
  EXPECT_EQ(ListFiles(Path("missing"), "*.*", list, false, false), 0);
}

TEST(PathPieces, DirectoryAndBaseName) {
  struct Case {
    std::string path, dir, base;
  } cases[] = {
      {"/a/b.c.txt", "/a", "b.c"},
      {"/a/readme", "/a", "readme"},
      {"plain.txt", "", "plain"},
      {"/x", "", "x"},
      {"/a.d/file", "/a.d", "file"},
      {Gbk("/数据/表.txt"), Gbk("/数据"), Gbk("表")},
      {"/a/\x81/b", "/a", "\x81/b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectoryOf(c.path).view(), c.dir) << c.path;
    EXPECT_EQ(BaseNameOf(c.path).view(), c.base) << c.path;
  }
}

TEST_F(FileList, EnsureDirectoriesCreatesEveryLevel) {
  const std::string deep = Path("x/y/" + Gbk("保存目录") + "/");
  EXPECT_TRUE(EnsureDirectories(deep));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "x" / "y" / "保存目录"));
  EXPECT_TRUE(EnsureDirectories(deep)) << "existing levels are fine";
  EXPECT_TRUE(EnsureDirectories(Path("x/only-a-name"))) << "the part after the last separator is no level";
  EXPECT_FALSE(std::filesystem::exists(Path("x/only-a-name")));
  Put("file", "x");
  EXPECT_FALSE(EnsureDirectories(Path("file/sub/")));
}

}  // namespace
}  // namespace tl::fs
