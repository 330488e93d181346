// Listing a folder through the file-system object, and the file-system
// wrappers on a real temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fs/fs_wrappers.h"
#include "fs/list_by_object.h"
#include "runtime/automation/commands.h"
#include "support/gbk.h"

namespace tl {
namespace {

namespace stdfs = std::filesystem;
using test::Gbk;

class ByObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tl_byobj_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    // Names on disk are UTF-8; the program sees them in GBK.
    for (const char* name : {"a.txt", "B.TxT", "c.csv", "a.txt.bak", "file1.txt", "file12.txt", ".hidden.txt",
                             "文件.txt", "notes"})
      Write(dir_ + "/" + name, "x");
    stdfs::create_directory(dir_ + "/sub.txt");
    Write(dir_ + "/sub.txt/inner.txt", "y");
  }
  void TearDown() override { stdfs::remove_all(dir_); }

  static void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

  // Entry names in the folder's own order (GBK), files or folders.
  std::vector<std::string> FolderOrder(bool folders) const {
    std::vector<std::string> out;
    for (const auto& e : stdfs::directory_iterator(dir_))
      if (e.is_directory() == folders) out.push_back(Gbk(e.path().filename().native()));
    return out;
  }

  std::vector<std::string> Listed(std::string_view filter, bool folders = false, std::string folder = {}) {
    rt::TextArray list;
    list.Append("stale");
    const int n = fs::ListFilesByObject(folder.empty() ? dir_ : folder, filter, list, false, folders);
    std::vector<std::string> names;
    for (std::size_t i = 1; i <= list.size(); ++i) {
      std::string p(list[static_cast<std::int64_t>(i)]);
      EXPECT_EQ(p.rfind(dir_ + "/", 0), 0u) << p;
      names.push_back(p.substr(dir_.size() + 1));
    }
    EXPECT_EQ(n, static_cast<int>(names.size()));
    return names;
  }

  std::vector<std::string> Expected(std::initializer_list<std::string> accepted, bool folders = false) const {
    std::vector<std::string> out;
    for (const std::string& n : FolderOrder(folders))
      if (std::find(accepted.begin(), accepted.end(), n) != accepted.end()) out.push_back(n);
    return out;
  }

  std::string dir_;
};

TEST_F(ByObjectTest, FiltersInFolderOrder) {
  const std::string chinese = Gbk("文件.txt");
  struct Case {
    std::string filter;
    std::vector<std::string> expected;
  } cases[] = {
      {"", FolderOrder(false)},
      {"*.*", FolderOrder(false)},
      // Extension mode ignores case and takes hidden files; never the folder
      // "sub.txt" or anything inside it.
      {"*.TXT", Expected({"a.txt", "B.TxT", "file1.txt", "file12.txt", ".hidden.txt", chinese})},
      // One expression with two alternatives: folder order, not pattern order.
      {"*.csv|*.txt", Expected({"a.txt", "B.TxT", "c.csv", "a.txt.bak", "file1.txt", "file12.txt", ".hidden.txt", chinese})},
      {"file?.txt", Expected({"file1.txt"})},
      {Gbk("文件*"), Expected({chinese})},
      {"zzz*", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Listed(c.filter), c.expected) << test::Utf8(c.filter);
}

TEST_F(ByObjectTest, FoldersAndMissingFolders) {
  EXPECT_EQ(Listed("*", true), std::vector<std::string>{"sub.txt"});
  EXPECT_EQ(Listed("*.txt", false, dir_ + "/"), Listed("*.txt"));  // no doubled separator
  rt::TextArray list;
  list.Append("kept");
  EXPECT_EQ(fs::ListFilesByObject(dir_ + "/missing", "*", list, true, false), 1);
  EXPECT_EQ(fs::ListFilesByObject(dir_ + "/missing", "*").size(), 0u);
  EXPECT_EQ(fs::ListFilesByObject(dir_, "*.csv").size(), 1u);
}

TEST_F(ByObjectTest, WrapperPathsAndExistenceChecks) {
  fs::FsObject fso;
  ASSERT_FALSE(fso.empty());
  EXPECT_EQ(fso.GetParentFolderName("/a/b/c.txt").view(), "/a/b");
  EXPECT_EQ(fso.GetParentFolderName("/a").view(), "/");
  EXPECT_EQ(fso.GetFileName("/a/b.c.txt").view(), "b.c.txt");
  EXPECT_EQ(fso.GetBaseName("/a/b.c.txt").view(), "b.c");
  EXPECT_EQ(fso.GetExtensionName("/a/b.c.txt").view(), "txt");
  EXPECT_EQ(fso.BuildPath("/a", "b").view(), "/a/b");
  EXPECT_EQ(fso.GetAbsolutePathName("/a/./b/../c").view(), "/a/c");

  const std::string a = dir_ + "/a.txt";
  const std::string copy = dir_ + "/" + Gbk("副本.txt");
  EXPECT_TRUE(fso.FileExists(a));
  EXPECT_FALSE(fso.FileExists(dir_ + "/sub.txt"));
  EXPECT_TRUE(fso.FolderExists(dir_ + "/sub.txt"));
  EXPECT_TRUE(fso.CopyFile(a, copy));
  EXPECT_TRUE(stdfs::exists(dir_ + "/副本.txt"));
  EXPECT_FALSE(fso.CopyFile(dir_ + "/none", copy));
  EXPECT_TRUE(fso.MoveFile(copy, copy));  // onto itself counts as done
  EXPECT_TRUE(fso.MoveFile(copy, dir_ + "/moved.txt"));
  EXPECT_FALSE(fso.MoveFile(dir_ + "/moved.txt", a));  // the destination exists
  EXPECT_TRUE(fso.DeleteFile(dir_ + "/moved.txt"));
  ::chmod((dir_ + "/c.csv").c_str(), 0444);
  if (::geteuid() != 0) {
    EXPECT_FALSE(fso.DeleteFile(dir_ + "/c.csv"));  // read-only needs force
    EXPECT_TRUE(fso.DeleteFile(dir_ + "/c.csv", true));
  }
  EXPECT_TRUE(fso.CopyFolder(dir_ + "/sub.txt", dir_ + "/sub2"));
  EXPECT_TRUE(stdfs::exists(dir_ + "/sub2/inner.txt"));
  EXPECT_TRUE(fso.DeleteFolder(dir_ + "/sub2"));
  EXPECT_FALSE(stdfs::exists(dir_ + "/sub2"));
}

TEST_F(ByObjectTest, FolderFileAndStreamMembers) {
  fs::FsObject fso;
  fs::FsFolder folder = fso.GetFolder(dir_);
  EXPECT_EQ(folder.Path().view(), dir_);
  EXPECT_FALSE(folder.IsRootFolder());
  EXPECT_TRUE(fso.GetFolder("/").IsRootFolder());
  EXPECT_EQ(folder.ParentFolder().Path().view(), fso.GetParentFolderName(dir_).view());
  EXPECT_EQ(rt::VariantToNumber(folder.Size().get()), 10.0);  // nine files of one byte and one inside

  fs::FsFile hidden = fso.GetFile(dir_ + "/.hidden.txt");
  EXPECT_EQ(static_cast<int>(hidden.Attributes()) & 0x02, 0x02);
  EXPECT_EQ(hidden.Type().view(), Gbk("TXT 文件"));
  EXPECT_GT(hidden.DateLastModified(), 40000.0);
  EXPECT_TRUE(fso.GetFile(dir_ + "/nothing").empty());

  const std::string path = dir_ + "/" + Gbk("记录.txt");
  fs::FsTextStream out = fso.CreateTextFile(path, true);
  out.WriteLine(Gbk("第一行"));
  out.Write("x");
  out.WriteBlankLines(1);
  out.Close();
  std::ifstream raw(dir_ + "/记录.txt", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, Gbk("第一行") + "\r\nx\r\n");  // the program's code page, CR LF

  fs::FsTextStream in = fso.GetFile(path).OpenAsTextStream();
  EXPECT_EQ(in.ReadLine().view(), Gbk("第一行"));
  EXPECT_EQ(in.Line(), 2.0);
  EXPECT_EQ(in.Read(1).view(), "x");
  EXPECT_TRUE(in.AtEndOfLine());
  in.SkipLine();
  EXPECT_TRUE(in.AtEndOfStream());
  EXPECT_TRUE(in.ReadLine().empty());  // past the end: a failed call, empty text

  fs::FsTextStream u = fso.OpenTextFile(dir_ + "/u.txt", 2, true, -1);
  u.Write(Gbk("é中"));
  u.Close();
  EXPECT_EQ(fso.OpenTextFile(dir_ + "/u.txt", 1, false, -1).ReadAll().view(), Gbk("é中"));
}

TEST_F(ByObjectTest, MembersWithoutLinuxMeaningAnswerNoMember) {
  fs::FsObject fso;
  fs::FsFile file = fso.GetFile(dir_ + "/a.txt");
  fs::FsFolder folder = fso.GetFolder(dir_);
  fs::FsDrive drive = folder.Drive();
  ASSERT_FALSE(drive.empty());
  EXPECT_TRUE(drive.IsReady());
  EXPECT_GT(drive.TotalSize(), 0.0);
  EXPECT_EQ(fso.GetDriveName(dir_).view(), drive.Path().view());

  struct Case {
    const char* what;
    std::function<bool()> emptyResult;
  } cases[] = {
      {"GetFileVersion", [&] { return fso.GetFileVersion(dir_ + "/a.txt").empty(); }},
      {"File.ShortPath", [&] { return file.ShortPath().empty(); }},
      {"File.ShortName", [&] { return file.ShortName().empty(); }},
      {"Folder.ShortPath", [&] { return folder.ShortPath().empty(); }},
      {"Drive.DriveLetter", [&] { return drive.DriveLetter().empty(); }},
      {"set Drive.VolumeName", [&] { return !drive.SetVolumeName("x"); }},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.emptyResult()) << c.what;
    EXPECT_EQ(rt::LastAutomationError(), rt::kAutoNoMember) << c.what;
  }
  EXPECT_TRUE(fso.GetSpecialFolder(0).empty());
  EXPECT_FALSE(fso.GetSpecialFolder(2).empty());
}

}  // namespace
}  // namespace tl
