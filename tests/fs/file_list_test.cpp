#include <gtest/gtest.h>

#include <filesystem>

#include "files/fixture.h"
#include "fs/file_list.h"

namespace tl::fs {
namespace {

using tl::testing::Gbk;

using FileList = tl::testing::TempDirTest;

TEST(PathPieces, DirectoryAndBaseName) {
  struct Case {
    std::string path, dir, base;
  } cases[] = {
      {"/a/b.c.txt", "/a", "b.c"}, {"/a/readme", "/a", "readme"}, {"plain.txt", "", "plain"}, {"/x", "", "x"},
      {"/a.d/file", "/a.d", "file"}, {Gbk("/数据/表.txt"), Gbk("/数据"), Gbk("表")}, {"/a/\x81/b", "/a", "\x81/b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectoryOf(c.path), c.dir) << c.path;
    EXPECT_EQ(BaseNameOf(c.path), c.base) << c.path;
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
