// The file-system wrappers on a real temporary folder: drives, attributes,
// wildcard delete/copy/move with their existence checks, text files created
// through folders, text streams in both formats and the standard streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "fs/fs_wrappers.h"
#include "runtime/automation/commands.h"
#include "files/fixture.h"
#include "support/paths.h"
#include "support/wine.h"

// windows.h (through wine.h) renames these to their -A functions; here they
// are the object's members.
#undef CopyFile
#undef DeleteFile
#undef MoveFile
#include "text/regex_matcher.h"

namespace tl {
namespace {

namespace stdfs = std::filesystem;
using testing::Gbk;

// Most cases here pin down the in-process object that stands in for the
// system's on Linux. On Windows the wrappers drive the system's own object
// (wine's under the tests, which lacks Line/Column, Skip, wildcard moves and
// more), so there the SystemObject cases below check the wrappers instead.
constexpr const char* kLinuxObjectOnly =
    "pins down Linux's in-process file-system object; Windows uses the system's own (see SystemObject*)";

bool RunsAsRoot() {
#ifdef _WIN32
  return false;
#else
  return ::geteuid() == 0;
#endif
}

class FsWrapperTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    ASSERT_FALSE(fso_.empty());
  }
  static std::string Read(const std::string& path) { return Slurp(path); }
  std::string P(const std::string& name) const { return Path(name); }

  fs::FsObject fso_;
};

// --------------------------------------------------------------------------
// Drives

TEST_F(FsWrapperTest, DrivesAreMountedFileSystems) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  fs::FsDrive root = fso_.GetDrive("/");
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(root.Path().view(), "/");
  EXPECT_TRUE(root.IsReady());
  EXPECT_FALSE(root.FileSystem().empty());
  const double type = root.DriveType();
  EXPECT_TRUE(type >= 1 && type <= 5) << type;
  EXPECT_GT(root.TotalSize(), 0.0);
  EXPECT_LE(root.FreeSpace(), root.TotalSize());
  EXPECT_LE(root.AvailableSpace(), root.FreeSpace());
  fs::FsFolder top = root.RootFolder();
  EXPECT_EQ(top.Path().view(), "/");
  EXPECT_TRUE(top.IsRootFolder());
  EXPECT_TRUE(top.ParentFolder().empty());  // the root has none
  fs::FsFolder here = fso_.GetFolder(dir_.string());
  EXPECT_FALSE(here.IsRootFolder());
  EXPECT_EQ(here.ParentFolder().Path().view(), fso_.GetParentFolderName(dir_.string()).view());

  // Only mount points are drives; a folder on one is not.
  EXPECT_TRUE(fso_.DriveExists("/"));
  EXPECT_FALSE(fso_.DriveExists(dir_.string()));
  EXPECT_FALSE(fso_.DriveExists(""));
  EXPECT_TRUE(fso_.GetDrive(dir_.string()).empty());
  EXPECT_TRUE(fso_.GetDrive("/no/such/place").empty());
  const rt::Text driveName = fso_.GetDriveName(dir_.string());
  EXPECT_EQ(driveName.view(), fso_.GetFolder(dir_.string()).Drive().Path().view());
  EXPECT_TRUE(fso_.DriveExists(driveName.view()));
  EXPECT_TRUE(fso_.GetDriveName("relative/path").empty());

  // The collection: every drive by enumeration, and by its path as a key.
  const rt::Object drives = fso_.Drives();
  const double count = rt::GetNumberProperty(drives.holder(), "Count");
  EXPECT_GE(count, 1.0);
  text::CollectionEnumerator walk;
  ASSERT_TRUE(walk.Start(drives.holder()));
  rt::VariantValue item;
  int seen = 0;
  bool sawRoot = false;
  while (walk.Next(item)) {
    ++seen;
    fs::FsDrive d;
    d.Attach(rt::ObjectHolder{item.get().pdispVal, nullptr});
    const std::string path(d.Path().view());
    EXPECT_TRUE(fso_.DriveExists(path)) << path;
    sawRoot = sawRoot || path == "/";
  }
  EXPECT_EQ(seen, static_cast<int>(count));
  EXPECT_TRUE(sawRoot);
  const rt::TypedArg key[] = {rt::arg::Text("/")};
  rt::Object byKey = rt::GetObjectProperty(drives.holder(), "Item", key);
  EXPECT_EQ(rt::GetTextProperty(byKey.holder(), "Path").view(), "/");
  const rt::TypedArg first[] = {rt::arg::Int(1)}, past[] = {rt::arg::Int(static_cast<int>(count) + 1)};
  EXPECT_FALSE(rt::GetObjectProperty(drives.holder(), "Item", first).empty());
  EXPECT_TRUE(rt::GetObjectProperty(drives.holder(), "Item", past).empty());
  EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException);
}

// --------------------------------------------------------------------------
// Attributes

TEST_F(FsWrapperTest, AttributesGetAndPut) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  Put("plain.txt", "x");
  Put(".dot", "x");
  stdfs::create_directory(P("folder"));
  if (!test::kWindows) stdfs::create_symlink(P("plain.txt"), P("link"));
  struct Case {
    std::string name;
    int set, clear;  // bits that must be set / clear
  } cases[] = {
      {"plain.txt", 0x20, 0x10 | 0x02 | 0x01}, {".dot", 0x22, 0x10}, {"link", 0x400 | 0x20, 0x10},
  };
  for (const Case& c : cases) {
    const int a = static_cast<int>(fso_.GetFile(P(c.name)).Attributes());
    EXPECT_EQ(a & c.set, c.set) << c.name;
    EXPECT_EQ(a & c.clear, 0) << c.name;
  }
  EXPECT_EQ(static_cast<int>(fso_.GetFolder(P("folder")).Attributes()) & 0x10, 0x10);

  fs::FsFile f = fso_.GetFile(P("plain.txt"));
  EXPECT_TRUE(f.SetAttributes(0x01 | 0x02));  // hidden has no meaning here and is ignored
  EXPECT_EQ(stdfs::status(P("plain.txt")).permissions() & stdfs::perms::owner_write, stdfs::perms::none);
  if (!RunsAsRoot()) {
    EXPECT_EQ(static_cast<int>(f.Attributes()) & 0x03, 0x01);
    EXPECT_FALSE(fso_.DeleteFile(P("plain.txt")));  // read-only needs force
    EXPECT_TRUE(stdfs::exists(P("plain.txt")));
  }
  EXPECT_TRUE(f.SetAttributes(0));
  EXPECT_NE(stdfs::status(P("plain.txt")).permissions() & stdfs::perms::owner_write, stdfs::perms::none);
  EXPECT_EQ(static_cast<int>(f.Attributes()) & 0x01, 0);

  // The file goes away under the object: a failed read, nothing else.
  stdfs::remove(P("plain.txt"));
  EXPECT_EQ(f.Attributes(), 0.0);
  EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException);
  EXPECT_FALSE(f.SetAttributes(1));
  EXPECT_EQ(rt::VariantToNumber(f.Size().get()), 0.0);
  EXPECT_EQ(f.DateLastModified(), 0.0);
  EXPECT_EQ(f.Name().view(), "plain.txt");  // the name is the object's own
}

// --------------------------------------------------------------------------
// Wildcards and the existence checks of delete, copy and move

TEST_F(FsWrapperTest, WildcardDeleteCopyMove) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  for (const char* n : {"a.log", "B.LOG", "c.txt", "d.log.txt"}) Put(n, n);
  stdfs::create_directory(P("dest"));
  stdfs::create_directory(P("logs.log"));  // a folder: never taken as a file

  EXPECT_TRUE(fso_.FileExists(P("a.log")));
  EXPECT_FALSE(fso_.FileExists(P("logs.log")));
  EXPECT_TRUE(fso_.FolderExists(P("logs.log")));
  EXPECT_FALSE(fso_.CopyFile(P("none"), P("dest/none")));  // nothing to copy
  EXPECT_TRUE(fso_.MoveFile(P("c.txt"), P("c.txt")));       // onto itself counts as done
  EXPECT_FALSE(fso_.MoveFile(P("c.txt"), P("a.log")));      // the destination exists
  EXPECT_EQ(Read(P("a.log")), "a.log");

  // Copy by wildcard into a folder: done, but the literal source does not
  // exist, so the check reports false.
  EXPECT_FALSE(fso_.CopyFile(P("*.log"), P("dest/")));
  EXPECT_EQ(Read(P("dest/a.log")), "a.log");
  EXPECT_EQ(Read(P("dest/B.LOG")), "B.LOG");  // case does not matter
  EXPECT_FALSE(stdfs::exists(P("dest/c.txt")));
  EXPECT_FALSE(stdfs::exists(P("dest/logs.log")));
  // Without overwrite an existing destination stops it.
  Put("dest/a.log", "old");
  EXPECT_TRUE(fso_.CopyFile(P("a.log"), P("dest/a.log"), false));  // both exist: true, as checked
  EXPECT_EQ(Read(P("dest/a.log")), "old");
  EXPECT_TRUE(fso_.CopyFile(P("a.log"), P("dest/a.log")));
  EXPECT_EQ(Read(P("dest/a.log")), "a.log");

  // Move by wildcard: moved, and false for the same reason.
  stdfs::create_directory(P("moved"));
  EXPECT_FALSE(fso_.MoveFile(P("dest/*.LOG"), P("moved/")));
  EXPECT_TRUE(stdfs::is_empty(P("dest")));
  stdfs::create_directory(P("moved2"));
  EXPECT_FALSE(fso_.MoveFile(P("?.log"), P("moved2")));
  EXPECT_TRUE(stdfs::exists(P("moved2/a.log")));
  EXPECT_TRUE(stdfs::exists(P("moved2/B.LOG")));
  EXPECT_TRUE(stdfs::exists(P("d.log.txt")));
  // Several sources need a folder to go into.
  EXPECT_FALSE(fso_.MoveFile(P("moved/*"), P("nowhere")));
  EXPECT_TRUE(stdfs::exists(P("moved/a.log")));

  // Delete by wildcard: the check looks for the literal name, which never
  // exists, so it is true also when nothing matched.
  EXPECT_TRUE(fso_.DeleteFile(P("moved/*.log")));
  EXPECT_TRUE(stdfs::is_empty(P("moved")));
  EXPECT_TRUE(fso_.DeleteFile(P("*.none")));
  EXPECT_TRUE(fso_.DeleteFile(P("missing.txt")));
  stdfs::permissions(P("d.log.txt"), stdfs::perms::owner_read | stdfs::perms::group_read | stdfs::perms::others_read);
  EXPECT_TRUE(fso_.DeleteFile(P("d.log.txt"), true));  // force takes read-only files too
  EXPECT_FALSE(stdfs::exists(P("d.log.txt")));
  EXPECT_TRUE(stdfs::exists(P("logs.log")));
  EXPECT_TRUE(fso_.DeleteFolder(P("*.log")));
  EXPECT_FALSE(stdfs::exists(P("logs.log")));
  EXPECT_TRUE(stdfs::exists(P("c.txt")));

  // Folder moves and copies by existence.
  stdfs::create_directories(P("tree/inner"));
  Put("tree/inner/f", "f");
  EXPECT_TRUE(fso_.CopyFolder(P("tree"), P("tree2")));
  EXPECT_EQ(Read(P("tree2/inner/f")), "f");
  EXPECT_FALSE(fso_.CopyFolder(P("tree"), P("tree/inner/loop")));  // into itself
  EXPECT_FALSE(fso_.MoveFolder(P("tree"), P("tree2")));  // the destination exists
  EXPECT_TRUE(fso_.MoveFolder(P("tree"), P("tree3")));
  EXPECT_TRUE(fso_.MoveFolder(P("tree3"), P("tree3")));  // onto itself counts as done
  EXPECT_FALSE(fso_.MoveFolder(P("none"), P("none2")));
}

// --------------------------------------------------------------------------
// Text files through folders and files

TEST_F(FsWrapperTest, FolderCreateTextFile) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  fs::FsFolder folder = fso_.GetFolder(dir_.string());
  fs::FsTextStream s = folder.CreateTextFile(Gbk("新建.txt"));  // relative to the folder
  ASSERT_FALSE(s.empty());
  s.Write(Gbk("内容"));
  s.Close();
  EXPECT_EQ(Read(P("新建.txt")), Gbk("内容"));

  // No overwrite: the existing file stays as it was.
  EXPECT_TRUE(folder.CreateTextFile(Gbk("新建.txt")).empty());
  EXPECT_EQ(Read(P("新建.txt")), Gbk("内容"));

  // Overwrite, Unicode, an absolute path elsewhere.
  stdfs::create_directory(P("other"));
  fs::FsTextStream u = folder.CreateTextFile(P("other/u.txt"), true, true);
  ASSERT_FALSE(u.empty());
  u.WriteLine("A");
  u.Close();
  EXPECT_EQ(Read(P("other/u.txt")), std::string("\xFF\xFE" "A\0\r\0\n\0", 8));
  EXPECT_TRUE(folder.CreateTextFile("missing/x.txt").empty());
  EXPECT_TRUE(folder.CreateTextFile("other").empty());  // a folder of that name
}

TEST_F(FsWrapperTest, StreamsReadInBothFormats) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  const std::string gbk = Gbk("第一行") + "\r\nb\nlast";
  Put("ansi.txt", gbk);
  Put("unicode.txt", std::string("\xFF\xFE" "x\0\n\0" "-N", 8));  // "x\n中" ("中" is U+4E2D)
  Put("empty.txt", "");

  fs::FsTextStream in = fso_.OpenTextFile(P("ansi.txt"));
  ASSERT_FALSE(in.empty());
  struct Step {
    const char* what;
    std::function<std::string()> run;
    std::string want;
    double line, column;
  } steps[] = {
      {"ReadLine drops CR LF", [&] { return std::string(in.ReadLine().view()); }, Gbk("第一行"), 2, 1},
      {"AtEndOfLine before b", [&] { return std::string(in.AtEndOfLine() ? "y" : "n"); }, "n", 2, 1},
      {"Read one", [&] { return std::string(in.Read(1).view()); }, "b", 2, 2},
      {"AtEndOfLine at LF", [&] { return std::string(in.AtEndOfLine() ? "y" : "n"); }, "y", 2, 2},
      {"Skip the LF and one", [&] { in.Skip(2); return std::string(); }, "", 3, 2},
      {"ReadAll the rest", [&] { return std::string(in.ReadAll().view()); }, "ast", 3, 5},
      {"AtEndOfStream", [&] { return std::string(in.AtEndOfStream() ? "y" : "n"); }, "y", 3, 5},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.run(), s.want) << s.what;
    EXPECT_EQ(in.Line(), s.line) << s.what;
    EXPECT_EQ(in.Column(), s.column) << s.what;
  }
  // Past the end: failed calls with empty results.
  struct Past {
    const char* what;
    std::function<bool()> empty;
  } past[] = {
      {"ReadLine", [&] { return in.ReadLine().empty(); }}, {"ReadAll", [&] { return in.ReadAll().empty(); }},
      {"Read", [&] { return in.Read(3).empty(); }},
  };
  for (const Past& p : past) {
    EXPECT_TRUE(p.empty()) << p.what;
    EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException) << p.what;
  }
  in.Write("x");  // a reading stream takes no writes
  EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException);
  in.Close();
  EXPECT_FALSE(in.AtEndOfStream());  // closed: every call fails
  EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException);

  fs::FsTextStream u = fso_.GetFile(P("unicode.txt")).OpenAsTextStream(1, -1);
  EXPECT_EQ(u.ReadLine().view(), "x");
  EXPECT_EQ(u.ReadAll().view(), Gbk("中"));
  // The same bytes read as ANSI: no characters lost to a crash, just other ones.
  fs::FsTextStream asAnsi = fso_.OpenTextFile(P("unicode.txt"), 1, false, -2);
  EXPECT_FALSE(asAnsi.ReadAll().empty());

  fs::FsTextStream e = fso_.OpenTextFile(P("empty.txt"));
  EXPECT_TRUE(e.AtEndOfStream());
  EXPECT_TRUE(e.ReadAll().empty());
  EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException);

  fs::FsTextStream r = fso_.OpenTextFile(P("ansi.txt"));
  EXPECT_TRUE(r.Read(0).empty());
  EXPECT_EQ(rt::LastAutomationError(), 0);
  EXPECT_TRUE(r.Read(-1).empty());
  EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException);
  r.SkipLine();
  r.SkipLine();
  EXPECT_EQ(r.ReadLine().view(), "last");  // the last line needs no break
}

TEST_F(FsWrapperTest, StreamsWriteAndAppend) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  struct Case {
    const char* what;
    std::int32_t format;
    std::string first, appended;
  } cases[] = {
      {"ANSI is GBK", 0, Gbk("中文") + "\r\n", Gbk("中文") + "\r\n" + Gbk("尾")},
      {"default is ANSI", -2, Gbk("中文") + "\r\n", Gbk("中文") + "\r\n" + Gbk("尾")},
      {"Unicode is UTF-16LE with one mark", -1, std::string("\xFF\xFE\x2D\x4E\x87\x65\r\0\n\0", 10),
       std::string("\xFF\xFE\x2D\x4E\x87\x65\r\0\n\0\x3E\x5C", 12)},
  };
  for (const Case& c : cases) {
    const std::string path = P(std::string("w") + std::to_string(c.format) + ".txt");
    EXPECT_TRUE(fso_.OpenTextFile(path, 2, false, c.format).empty()) << c.what << ": missing, not created";
    fs::FsTextStream w = fso_.OpenTextFile(path, 2, true, c.format);
    ASSERT_FALSE(w.empty()) << c.what;
    w.WriteLine(Gbk("中文"));
    EXPECT_EQ(w.Line(), 2.0) << c.what;
    EXPECT_TRUE(w.ReadLine().empty()) << c.what;  // a writing stream cannot read
    EXPECT_EQ(rt::LastAutomationError(), rt::kAutoException) << c.what;
    w.Close();
    EXPECT_EQ(Read(path), c.first) << c.what;
    fs::FsTextStream a = fso_.OpenTextFile(path, 8, false, c.format);
    a.Write(Gbk("尾"));
    a.Close();
    EXPECT_EQ(Read(path), c.appended) << c.what;
    EXPECT_EQ(fso_.OpenTextFile(path, 1, false, c.format).ReadAll().view(), Gbk("中文") + "\r\n" + Gbk("尾")) << c.what;
  }
  // Writes reach the file at once, also when the stream is never closed.
  {
    fs::FsTextStream w = fso_.CreateTextFile(P("open.txt"), true);
    w.Write("abc");
    w.WriteBlankLines(2);
    EXPECT_EQ(Read(P("open.txt")), "abc\r\n\r\n");
  }
  struct Bad {
    const char* what;
    std::int32_t mode, format;
  } bad[] = {{"mode 3", 3, 0}, {"format 5", 1, 5}, {"mode -1", -1, 0}};
  for (const Bad& b : bad) EXPECT_TRUE(fso_.OpenTextFile(P("open.txt"), b.mode, false, b.format).empty()) << b.what;
  EXPECT_TRUE(fso_.OpenTextFile(dir_.string()).empty());  // a folder
  // A file that is a writing stream through its object.
  fs::FsTextStream viaFile = fso_.GetFile(P("open.txt")).OpenAsTextStream(2);
  viaFile.Write("new");
  viaFile.Close();
  EXPECT_EQ(Read(P("open.txt")), "new");
}

// The standard output stream writes through to file descriptor 1.
class StdoutCapture {
 public:
  explicit StdoutCapture(const std::string& path) {
    std::fflush(stdout);
    saved_ = ::dup(1);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 1);
    ::close(fd);
  }
  ~StdoutCapture() {
    std::fflush(stdout);
    ::dup2(saved_, 1);
    ::close(saved_);
  }

 private:
  int saved_;
};

TEST_F(FsWrapperTest, StandardStreams) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  {
    StdoutCapture capture(P("out.txt"));
    fs::FsTextStream out = fso_.GetStandardStream(1);
    ASSERT_FALSE(out.empty());
    out.Write(Gbk("输出"));
    out.WriteLine("!");
    fs::FsTextStream wide = fso_.GetStandardStream(1, true);
    wide.Write("w");
    EXPECT_TRUE(wide.ReadAll().empty());  // output streams do not read
    out.Close();  // does not close the process's own output
  }
  EXPECT_EQ(Read(P("out.txt")), Gbk("输出") + "!\r\n" + std::string("w\0", 2));
  EXPECT_FALSE(fso_.GetStandardStream(0).empty());
  EXPECT_FALSE(fso_.GetStandardStream(2).empty());
  for (std::int32_t code : {3, -1, 100}) EXPECT_TRUE(fso_.GetStandardStream(code).empty()) << code;
  std::printf("%s", "");  // standard output still works
  EXPECT_EQ(std::ferror(stdout), 0);
}

// --------------------------------------------------------------------------
// Path texts and folder members

TEST_F(FsWrapperTest, PathTexts) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  struct Case {
    std::string path, parent, name, base, ext;
  } cases[] = {
      {"/a/b/c.txt", "/a/b", "c.txt", "c", "txt"}, {"/a/b/", "/a", "b", "b", ""}, {"/a", "/", "a", "a", ""},
      {"/", "", "", "", ""}, {"rel/x.tar.gz", "rel", "x.tar.gz", "x.tar", "gz"}, {"x", "", "x", "x", ""},
      {"/a//b", "/a", "b", "b", ""},
      {Gbk("/文件夹/报告.文本"), Gbk("/文件夹"), Gbk("报告.文本"), Gbk("报告"), Gbk("文本")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fso_.GetParentFolderName(c.path).view(), c.parent) << c.path;
    EXPECT_EQ(fso_.GetFileName(c.path).view(), c.name) << c.path;
    EXPECT_EQ(fso_.GetBaseName(c.path).view(), c.base) << c.path;
    EXPECT_EQ(fso_.GetExtensionName(c.path).view(), c.ext) << c.path;
  }
  EXPECT_EQ(fso_.BuildPath("/a/", "/b").view(), "/a/b");
  EXPECT_EQ(fso_.BuildPath("/a", "b").view(), "/a/b");
  EXPECT_EQ(fso_.BuildPath("", "b").view(), "b");
  EXPECT_EQ(fso_.GetAbsolutePathName("/a/./b/../c").view(), "/a/c");
  const std::string temp(fso_.GetTempName().view());
  EXPECT_EQ(temp.size(), 12u);
  EXPECT_EQ(temp.substr(temp.size() - 4), ".tmp");
  EXPECT_EQ(fso_.GetAbsolutePathName("").view(), stdfs::current_path().string());
  EXPECT_FALSE(fso_.GetSpecialFolder(2).Path().empty());
  for (std::int32_t code : {0, 1, 3}) EXPECT_TRUE(fso_.GetSpecialFolder(code).empty()) << code;
}

TEST_F(FsWrapperTest, FolderMembers) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  fs::FsFolder made = fso_.CreateFolder(P(Gbk("新文件夹")));
  ASSERT_FALSE(made.empty());
  EXPECT_EQ(made.Name().view(), Gbk("新文件夹"));
  EXPECT_TRUE(stdfs::is_directory(P("新文件夹")));
  EXPECT_TRUE(fso_.CreateFolder(P(Gbk("新文件夹"))).empty());  // already there
  EXPECT_TRUE(fso_.CreateFolder(P("a/b")).empty());            // one level at a time
  EXPECT_EQ(made.Type().view(), Gbk("文件夹"));

  Put("新文件夹/f.bin", "12345");
  stdfs::create_directory(P("新文件夹/inner"));
  Put("新文件夹/inner/g", "67");
  EXPECT_EQ(rt::VariantToNumber(made.Size().get()), 7.0);  // subfolders count
  stdfs::remove_all(P("新文件夹/inner"));
  EXPECT_TRUE(made.SetName("renamed"));
  EXPECT_TRUE(stdfs::exists(P("renamed/f.bin")));
  EXPECT_EQ(made.Path().view(), P("renamed"));
  EXPECT_FALSE(made.SetName("bad/name"));
  EXPECT_FALSE(made.SetName(""));

  EXPECT_TRUE(fso_.GetFile(P("renamed/none")).empty());
  fs::FsFile file = fso_.GetFile(P("renamed/f.bin"));
  EXPECT_EQ(file.ParentFolder().Path().view(), P("renamed"));
  EXPECT_EQ(file.Type().view(), Gbk("BIN 文件"));
  EXPECT_EQ(rt::VariantToNumber(file.Size().get()), 5.0);
  const double created = file.DateCreated(), modified = file.DateLastModified(), accessed = file.DateLastAccessed();
  EXPECT_GT(modified, 40000.0);
  EXPECT_GT(created, 40000.0);
  EXPECT_GT(accessed, 40000.0);
  file.Copy(P("copy.bin"));
  EXPECT_EQ(Read(P("copy.bin")), "12345");
  file.Move(P(""));  // into the folder, keeping the name
  EXPECT_TRUE(stdfs::exists(P("f.bin")));
  EXPECT_EQ(file.Path().view(), P("f.bin"));
  file.Delete();
  EXPECT_FALSE(stdfs::exists(P("f.bin")));

  made.Copy(P("again"));
  EXPECT_TRUE(stdfs::is_directory(P("again")));
  made.Move(P("moved"));
  EXPECT_TRUE(stdfs::is_directory(P("moved")));
  EXPECT_EQ(made.Path().view(), P("moved"));
  made.Delete();
  EXPECT_FALSE(stdfs::exists(P("moved")));

  // Files and SubFolders are snapshots with Count and Item by name.
  fs::FsFolder top = fso_.GetFolder(dir_.string());
  const rt::Object files = top.Items(false), subs = top.Items(true);
  EXPECT_EQ(rt::GetNumberProperty(files.holder(), "Count"), 1.0);  // copy.bin
  EXPECT_EQ(rt::GetNumberProperty(subs.holder(), "Count"), 1.0);   // again
  const rt::TypedArg name[] = {rt::arg::Text("COPY.BIN")};
  EXPECT_EQ(rt::GetTextProperty(rt::GetObjectProperty(files.holder(), "Item", name).holder(), "Name").view(),
            "copy.bin");
}

TEST_F(FsWrapperTest, MembersWithoutLinuxMeaningAnswerNoMember) {
  if (test::kWindows) GTEST_SKIP() << kLinuxObjectOnly;
  Put("a.txt", "x");
  fs::FsFile file = fso_.GetFile(P("a.txt"));
  fs::FsFolder folder = fso_.GetFolder(dir_.string());
  fs::FsDrive drive = folder.Drive();
  ASSERT_FALSE(drive.empty());
  struct Case {
    const char* what;
    std::function<bool()> emptyResult;
  } cases[] = {
      {"GetFileVersion", [&] { return fso_.GetFileVersion(P("a.txt")).empty(); }},
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
}

#ifdef _WIN32
// --------------------------------------------------------------------------
// The wrappers over the system's own object (Windows): paths with drive
// letters and "\", names in GBK both ways, members that only mean something
// on Windows (drive letters, 8.3 names).

TEST_F(FsWrapperTest, SystemObjectPathTexts) {
  struct Case {
    std::string path, parent, name, base, ext;
  } cases[] = {
      {"C:\\a\\b\\c.txt", "C:\\a\\b", "c.txt", "c", "txt"},
      {"C:\\a\\b\\", "C:\\a", "b", "b", ""},
      {"rel\\x.tar.gz", "rel", "x.tar.gz", "x.tar", "gz"},
      {Gbk("C:\\文件夹\\报告.文本"), Gbk("C:\\文件夹"), Gbk("报告.文本"), Gbk("报告"), Gbk("文本")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fso_.GetParentFolderName(c.path).view(), c.parent) << c.path;
    EXPECT_EQ(fso_.GetFileName(c.path).view(), c.name) << c.path;
    EXPECT_EQ(fso_.GetBaseName(c.path).view(), c.base) << c.path;
    EXPECT_EQ(fso_.GetExtensionName(c.path).view(), c.ext) << c.path;
  }
  EXPECT_EQ(fso_.BuildPath("C:\\a", "b").view(), "C:\\a\\b");
  EXPECT_EQ(fso_.BuildPath(Gbk("C:\\甲\\"), Gbk("乙")).view(), Gbk("C:\\甲\\乙"));
  // (Wine's object drops what follows a folder that does not exist.)
  stdfs::create_directory(dir_ / "sub");
  EXPECT_EQ(fso_.GetAbsolutePathName(P("sub\\.\\..\\sub")).view(), P("sub"));
  EXPECT_EQ(fso_.GetDriveName("C:\\a\\b").view(), "C:");
  const std::string temp(fso_.GetTempName().view());
  EXPECT_EQ(temp.substr(temp.size() - 4), ".tmp") << temp;
}

TEST_F(FsWrapperTest, SystemObjectDrivesAndShortNames) {
  const std::string drive(fso_.GetDriveName(dir_.string()).view());
  ASSERT_EQ(drive.size(), 2u) << drive;
  EXPECT_TRUE(fso_.DriveExists(drive));
  fs::FsDrive d = fso_.GetDrive(drive);
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(d.DriveLetter().view(), drive.substr(0, 1));
  EXPECT_GT(d.TotalSize(), 0.0);
  EXPECT_TRUE(fso_.GetDrive("no such drive").empty());
  if (test::UnderWine()) return;  // wine's object has no Drive.Path, Folder.Drive, ShortName or ShortPath
  EXPECT_EQ(d.Path().view(), drive);
  EXPECT_EQ(fso_.GetFolder(dir_.string()).Drive().Path().view(), drive);

  // A long name has a short one; the folder and file answer with it.
  Put("a long file name.text", "x");
  fs::FsFile file = fso_.GetFile(P("a long file name.text"));
  ASSERT_FALSE(file.empty());
  const std::string shortName(file.ShortName().view());
  EXPECT_FALSE(shortName.empty());
  EXPECT_LE(shortName.size(), 12u) << shortName;
  EXPECT_EQ(shortName.find(' '), std::string::npos) << shortName;
  EXPECT_FALSE(file.ShortPath().empty());
  EXPECT_FALSE(fso_.GetFolder(dir_.string()).ShortPath().empty());
}

TEST_F(FsWrapperTest, SystemObjectFilesAndStreams) {
  // GBK names both ways: made through the object, found by their UTF-16 names.
  fs::FsFolder folder = fso_.CreateFolder(P(Gbk("新文件夹")));
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.Name().view(), Gbk("新文件夹"));
  EXPECT_TRUE(stdfs::is_directory(dir_ / U8("新文件夹")));
  EXPECT_TRUE(fso_.CreateFolder(P(Gbk("新文件夹"))).empty());  // already there

  fs::FsTextStream w = fso_.CreateTextFile(P(Gbk("新文件夹\\内容.txt")));
  ASSERT_FALSE(w.empty());
  w.WriteLine(Gbk("第一行"));
  w.Write("b");
  w.Close();
  EXPECT_EQ(Get("新文件夹/内容.txt"), Gbk("第一行") + "\r\nb");
  EXPECT_TRUE(fso_.CreateTextFile(P(Gbk("新文件夹\\内容.txt"))).empty()) << "no overwrite";
  EXPECT_EQ(Get("新文件夹/内容.txt"), Gbk("第一行") + "\r\nb");

  fs::FsTextStream r = fso_.OpenTextFile(P(Gbk("新文件夹\\内容.txt")));
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.ReadLine().view(), Gbk("第一行"));
  EXPECT_EQ(r.ReadAll().view(), "b");
  EXPECT_TRUE(r.AtEndOfStream());
  r.Close();

  fs::FsTextStream u = fso_.CreateTextFile(P("u.txt"), true, true);
  ASSERT_FALSE(u.empty());
  u.Write(Gbk("中"));
  u.Close();
  EXPECT_EQ(Get("u.txt"), std::string("\xFF\xFE\x2D\x4E", 4));
  EXPECT_EQ(fso_.OpenTextFile(P("u.txt"), 1, false, -1).ReadAll().view(), Gbk("中"));

  fs::FsFile file = fso_.GetFile(P(Gbk("新文件夹\\内容.txt")));
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file.Name().view(), Gbk("内容.txt"));
  if (!test::UnderWine()) {  // wine's object has no File.ParentFolder
    EXPECT_EQ(file.ParentFolder().Path().view(), P(Gbk("新文件夹")));
  }
  EXPECT_TRUE(fso_.FileExists(P(Gbk("新文件夹\\内容.txt"))));
  EXPECT_TRUE(fso_.CopyFile(P(Gbk("新文件夹\\内容.txt")), P("copy.txt")));
  EXPECT_EQ(Get("copy.txt"), Gbk("第一行") + "\r\nb");
  EXPECT_TRUE(fso_.DeleteFile(P("copy.txt")));
  EXPECT_FALSE(Exists("copy.txt"));
  EXPECT_TRUE(fso_.GetFile(P("missing.txt")).empty());
  EXPECT_TRUE(fso_.DeleteFolder(P(Gbk("新文件夹")), true));
  EXPECT_FALSE(Exists("新文件夹"));
}
#endif

}  // namespace
}  // namespace tl
