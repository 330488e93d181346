#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <random>
#include <set>

#include "files/fixture.h"
#include "runtime/os/files.h"
#include "runtime/commands/file_search.h"
#include "runtime/commands/files.h"
#include "runtime/commands/system_commands.h"

namespace tl::rt {
namespace {

using tl::testing::Gbk;

class Files : public tl::testing::TempDirTest {};

// Opens a disk file holding `bytes`, or a memory file filled with them.
FileNumber OpenWith(bool memory, const std::string& path, std::string_view bytes) {
  if (!memory) std::filesystem::remove(path);
  FileNumber f = memory ? OpenMemoryFile() : OpenFile(path, 6);
  EXPECT_NE(f, 0);
  EXPECT_TRUE(WriteBytesToFile(f, bytes));
  EXPECT_TRUE(SeekFileStart(f));
  return f;
}

std::string Contents(FileNumber f) {
  std::int64_t pos = FilePosition(f);
  SeekFileStart(f);
  ByteSet all = ReadBytes(f, FileLength(f));
  SeekFile(f, 1, pos);
  return std::string(all.view());
}

TEST_F(Files, ReadLineStopsAtLineFeedNulAndSub) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
    std::int64_t endPos;
  } cases[] = {
      {"ab\r\ncd", {"ab", "cd", ""}, 6}, {std::string("ab\0cd", 5), {"ab", "", ""}, 2},
      {"ab\x1a" "cd", {"ab", ""}, 2}, {"\n\nx", {"", "", "x"}, 3},
      // A lead byte cut off by NUL is dropped; the NUL is not consumed.
      {std::string("a\xb0\0z", 4), {"a", ""}, 2},
  };
  for (bool memory : {false, true}) {
    for (const Case& c : cases) {
      FileNumber f = OpenWith(memory, Path("lines"), c.bytes);
      for (const std::string& want : c.lines) EXPECT_EQ(ReadLine(f).view(), want) << c.bytes;
      EXPECT_EQ(FilePosition(f), c.endPos) << c.bytes;
      CloseFile(f);
    }
  }
}

TEST_F(Files, ReadLineKeepsDoubleByteCharactersAcrossChunks) {
  // 511 ASCII bytes put a lead byte at the end of the first 512-byte chunk;
  // its trail byte is 0x0A-free here but a trail of "\n" must not end a line.
  std::string line(511, 'x');
  line += Gbk("中文");
  std::string withTrailLf = "y\x81\nz";  // 0x81 0x0A is one character
  FileNumber f = OpenWith(false, Path("chunks"), line + "\r\n" + withTrailLf + "\n");
  EXPECT_EQ(ReadLine(f).view(), line);
  EXPECT_EQ(ReadLine(f).view(), withTrailLf);
  EXPECT_TRUE(AtFileEnd(f));
  CloseFile(f);
}

TEST_F(Files, ReadTextEndsBeforeNulOrSub) {
  struct Case {
    std::string bytes;
    std::string text;
    std::int64_t pos;
  } cases[] = {
      {"abc\x1a" "def", "abc", 3}, {std::string("abc\0def", 7), "abc", 3}, {std::string("a\xb0\0", 3), "a", 2},
      {Gbk("中文"), Gbk("中文"), 4}, {"", "", 0},
  };
  for (const Case& c : cases) {
    FileNumber f = OpenWith(true, "", c.bytes);
    EXPECT_EQ(ReadText(f).view(), c.text);
    EXPECT_EQ(FilePosition(f), c.pos);
    CloseFile(f);
  }
  // The default count is the whole length, not what remains.
  FileNumber f = OpenWith(true, "", "0123456789");
  SeekFile(f, 1, 4);
  EXPECT_EQ(ReadText(f, 3).view(), "456");
  EXPECT_EQ(ReadText(f).view(), "789");
  EXPECT_EQ(ReadText(f, 0).view(), "");
  CloseFile(f);
}

TEST_F(Files, AtFileEndAndSeeks) {
  FileNumber f = OpenWith(false, Path("e"), "");
  EXPECT_TRUE(AtFileEnd(f));
  CloseFile(f);
  f = OpenWith(true, "", std::string("a\0", 2));
  EXPECT_FALSE(AtFileEnd(f, true));
  EXPECT_TRUE(SeekFile(f, 3, 1));
  EXPECT_FALSE(AtFileEnd(f));
  EXPECT_TRUE(AtFileEnd(f, true));
  EXPECT_EQ(FilePosition(f), 1);
  EXPECT_FALSE(SeekFile(f, 4, 0));
  EXPECT_FALSE(SeekFile(f, 3, -5));
  EXPECT_EQ(FilePosition(f), 1);
  EXPECT_TRUE(SeekFile(f, 2, -2));
  EXPECT_EQ(FilePosition(f), 0);
  EXPECT_TRUE(SeekFileEnd(f));
  EXPECT_EQ(FilePosition(f), 2);
  CloseFile(f);
  EXPECT_TRUE(AtFileEnd(f));
  EXPECT_EQ(FilePosition(f), -1);
  EXPECT_EQ(FileLength(f), -1);
  EXPECT_FALSE(SeekFileStart(f));
}

// Insertion and deletion are checked against a model string on files large
// enough to need several 4096-byte moves.
TEST_F(Files, InsertAndDeleteMatchAModel) {
  std::mt19937 rng(7);
  std::string model(3 * 4096 + 123, '\0');
  for (char& c : model) c = static_cast<char>('a' + rng() % 26);
  for (bool memory : {false, true}) {
    std::string m = model;
    FileNumber f = OpenWith(memory, Path("model"), m);
    struct Step {
      bool insert;
      std::int64_t pos;
      std::int64_t n;
    } steps[] = {{true, 0, 5000}, {true, 100, 1}, {false, 50, 9000}, {true, 4096, 4096},
                 {false, 0, 1}, {true, 7, 0}, {false, 10, 0}};
    for (const Step& s : steps) {
      ASSERT_TRUE(SeekFile(f, 1, s.pos));
      if (s.insert) {
        std::string d(static_cast<std::size_t>(s.n), 'Z');
        std::string_view parts[] = {std::string_view(d).substr(0, d.size() / 2),
                                    std::string_view(d).substr(d.size() / 2)};
        ASSERT_TRUE(InsertBytesIntoFile(f, parts));
        m.insert(static_cast<std::size_t>(s.pos), d);
        EXPECT_EQ(FilePosition(f), s.pos + s.n);
      } else {
        ASSERT_TRUE(DeleteFileBytes(f, s.n));
        m.erase(static_cast<std::size_t>(s.pos), static_cast<std::size_t>(s.n));
        EXPECT_EQ(FilePosition(f), s.n > 0 ? static_cast<std::int64_t>(m.size()) : s.pos);
      }
      ASSERT_EQ(Contents(f), m) << memory;
    }
    // Deleting more than remains cuts the file at the position.
    SeekFile(f, 1, 10);
    EXPECT_TRUE(DeleteFileBytes(f, 1 << 30));
    EXPECT_EQ(FileLength(f), 10);
    EXPECT_EQ(FilePosition(f), 10);
    CloseFile(f);
  }
}

TEST_F(Files, OpenModesFollowTheirAccessRules) {
  EXPECT_EQ(OpenFile(Path("new"), 7), 0);
  EXPECT_EQ(OpenFile(Path("new"), 3, 5), 0);
  EXPECT_EQ(OpenFile(Path("new"), 0), 0);
  EXPECT_EQ(OpenFile(""), 0);
  EXPECT_FALSE(Exists("new"));
  for (int mode : {1, 2, 3}) EXPECT_EQ(OpenFile(Path("new"), mode), 0) << mode;
  EXPECT_FALSE(Exists("new"));
  EXPECT_EQ(OpenFile(dir_.string(), 1), 0) << "a directory is not a file";

  Put("f", "hello");
  FileNumber f = OpenFile(Path("f"), 1);
  ASSERT_NE(f, 0);
  EXPECT_FALSE(WriteBytesToFile(f, "x"));
  EXPECT_EQ(FilePosition(f), 0);
  EXPECT_EQ(ReadBytes(f, 100).view(), "hello");
  CloseFile(f);

  f = OpenFile(Path("f"), 2);
  ASSERT_NE(f, 0);
  EXPECT_TRUE(ReadBytes(f, 2).empty());
  EXPECT_EQ(FilePosition(f), 5) << "a failed read leaves the position at the end";
  EXPECT_TRUE(SeekFileStart(f));
  EXPECT_TRUE(WriteBytesToFile(f, "J"));
  CloseFile(f);
  EXPECT_EQ(Get("f"), "Jello");

  f = OpenFile(Path("f"), 5);
  CloseFile(f);
  EXPECT_EQ(Get("f"), "Jello");
  f = OpenFile(Path("f"), 4);
  ASSERT_NE(f, 0);
  CloseFile(f);
  EXPECT_EQ(Get("f"), "");
  f = OpenFile(Path("g"), 6);
  EXPECT_NE(f, 0);
  EXPECT_EQ(FileKindOf(f), kDiskFile);
  CloseFile(f);
  EXPECT_TRUE(Exists("g"));
}

TEST_F(Files, SharingRulesHoldBetweenOpeners) {
  Put("s", "data");
  const std::string p = Path("s");
  struct Case {
    int firstMode, firstShare, secondMode, secondShare;
    bool secondOpens;
  } cases[] = {
      {3, 1, 3, 1, true},  {1, 3, 1, 1, true},  {1, 3, 3, 1, false}, {3, 1, 1, 3, false},
      {1, 4, 1, 1, false}, {1, 1, 1, 4, false}, {2, 2, 1, 1, false}, {2, 2, 2, 1, true},
      {1, 1, 4, 4, false},
  };
  for (const Case& c : cases) {
    FileNumber a = OpenFile(p, c.firstMode, c.firstShare);
    ASSERT_NE(a, 0);
    FileNumber b = OpenFile(p, c.secondMode, c.secondShare);
    EXPECT_EQ(b != 0, c.secondOpens) << c.firstMode << c.firstShare << c.secondMode << c.secondShare;
    CloseFile(b);
    CloseFile(a);
    // Refused openers leave nothing behind: the file is free again.
    FileNumber x = OpenFile(p, 3, 4);
    EXPECT_NE(x, 0);
    CloseFile(x);
  }
  EXPECT_EQ(Get("s"), "data") << "a refused truncating open must not truncate";
}

TEST_F(Files, SharingHoldsAcrossProcesses) {
#ifdef _WIN32
  GTEST_SKIP() << "needs fork(); on Windows the share flags are the system's own";
#else
  Put("s", "data");
  FileNumber a = OpenFile(Path("s"), 1, 4);
  ASSERT_NE(a, 0);
  pid_t child = fork();
  if (child == 0) _exit(OpenFile(Path("s"), 1) == 0 ? 0 : 1);
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  CloseFile(a);
#endif
}

TEST_F(Files, WholeFileReadsAndWrites) {
  std::string_view parts[] = {"ab", "", "cd"};
  EXPECT_TRUE(WriteFileBytes(Path("w"), parts));
  EXPECT_EQ(Get("w"), "abcd");
  EXPECT_EQ(ReadFileBytes(Path("w")).view(), "abcd");
  EXPECT_TRUE(ReadFileBytes(Path("missing")).empty());
  EXPECT_TRUE(ReadFileBytes("").empty());
  EXPECT_FALSE(WriteFileBytes("", "x"));
  EXPECT_FALSE(WriteFileBytes(Path("no/such/dir"), "x"));
  // A file held exclusively elsewhere is neither read nor truncated.
  FileNumber held = OpenFile(Path("w"), 1, 4);
  EXPECT_TRUE(ReadFileBytes(Path("w")).empty());
  EXPECT_FALSE(WriteFileBytes(Path("w"), "zz"));
  CloseFile(held);
  EXPECT_EQ(Get("w"), "abcd");
}

TEST_F(Files, ExistsAndMakeDirectoryWithGbkNames) {
  const std::string folder = Path(Gbk("保存目录"));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(MakeDirectory(folder));
  EXPECT_FALSE(MakeDirectory(folder));
  EXPECT_FALSE(MakeDirectory(Path("none/sub")));
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "保存目录")) << "GBK names reach the disk as UTF-8";
#endif
  EXPECT_TRUE(FileExists(folder));
  Put("a.TXT", "x");
  EXPECT_TRUE(FileExists(Path("*.txt")));
  EXPECT_TRUE(FileExists(Path("a.T?T")));
  EXPECT_FALSE(FileExists(Path("b*")));
#ifdef _WIN32
  EXPECT_TRUE(FileExists(Path("A.TXT"))) << "the file system ignores case";
#else
  EXPECT_FALSE(FileExists(Path("A.TXT"))) << "a plain name is looked up as spelled";
#endif
}

TEST(Wildcards, MatchLikeTheWindowsSearch) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.txt", "a.TXT", true},  {"*.txt", "a.txt.bak", false}, {"*.*", "README", true},
      {"a.*", "a", true},        {"?.c", "ab.c", false},        {"*", ".", true},
      {"a*b*c", "axxbyyc", true}, {"a*b", "ab", true},           {"*.t*", "x.tmp", true},
      {"", "x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(fileio::WildcardMatches(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  // "?" stands for one character, two bytes when it is double-byte.
  EXPECT_TRUE(fileio::WildcardMatches(Gbk("?文.txt"), Gbk("中文.txt")));
  EXPECT_FALSE(fileio::WildcardMatches(Gbk("??文.txt"), Gbk("中文.txt")));
  // A high byte before a byte that cannot trail (a Latin-1 name) stands alone
  // and keeps the dot; a GBK pair is still one character.
  const Case single[] = {
      {"*.*", "caf\xE9.txt", true}, {"*.txt", "caf\xE9.txt", true}, {"caf?.txt", "caf\xE9.txt", true},
      {"*.txt", "\xE9", false},     {"?.txt", "\xD6\xD0.txt", true},
  };
  for (const Case& c : single) EXPECT_EQ(fileio::WildcardMatches(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST_F(Files, FindFileAppliesTheAttributeRules) {
  Put("a.txt", "1");
  Put(".hidden", "2");
  Put("ro.txt", "3");
  std::filesystem::permissions(Path("ro.txt"), std::filesystem::perms::owner_read);
  std::filesystem::create_directory(Path("sub"));
  auto collect = [&](const char* pattern, int mask, int filesOnly) {
    std::set<std::string> names;
    std::int32_t h = 0;
    for (Text t = FindFile(Path(pattern), mask, filesOnly, h); !t.empty(); t = FindFile("", mask, filesOnly, h))
      names.insert(std::string(t.view()));
    EXPECT_EQ(h, 0);
    return names;
  };
  using S = std::set<std::string>;
  EXPECT_EQ(collect("*", 0, 1), (S{"a.txt", ".hidden", "ro.txt"}));
  EXPECT_EQ(collect("*", 0x10, 0), (S{".", "..", "sub"}));
#ifndef _WIN32
  // A leading dot hides a name on POSIX only; Windows has its attribute.
  EXPECT_EQ(collect("*", 0x02, 0), (S{".", "..", ".hidden"}));
#endif
  EXPECT_EQ(collect("*.TXT", 0x20, 0), (S{"a.txt", "ro.txt"}));
  EXPECT_EQ(collect("*", 0x40, 0), S{}) << "bits outside 0x37 never match";
#ifdef _WIN32
  EXPECT_EQ(collect("*", 0x01, 0), (S{"ro.txt"}));
#else
  if (geteuid() != 0) {
    EXPECT_EQ(collect("*", 0x01, 0), (S{"ro.txt"}));
  }
#endif
  EXPECT_EQ(collect("nothing*", 0x37, 0), S{});

  // A new pattern replaces the open search; an empty one with handle 0 gives nothing.
  std::int32_t h = 0;
  EXPECT_FALSE(FindFile(Path("*"), 0, 1, h).empty());
  std::int32_t first = h;
  EXPECT_NE(first, 0);
  EXPECT_FALSE(FindFile(Path("a.txt"), 0, 1, h).empty());
  EXPECT_TRUE(FindFile("", 0, 1, h).empty());
  EXPECT_EQ(h, 0);
  EXPECT_TRUE(FindFile("", 0, 1, first).empty()) << "the replaced search was closed";
  CloseFind(h);
}

TEST_F(Files, CommandBodiesUnpackTheirArguments) {
  const std::string p = Path("cmd");
  FileNumber f = CallCommand(kOpenFile, {arg::Text(p.c_str()), arg::Int(6)}).as_int();
  ASSERT_NE(f, 0);
  ResultRecord w = CallCommand(kWriteTextToFile, {arg::Int(f), arg::Text("n="), arg::Int(-3), arg::Double(0.1),
                                                  arg::Boolean(true), arg::DateTime(41740.5), arg::Omitted()});
  EXPECT_EQ(w.as_int(), 1);
  CallCommand(kCloseFile, {arg::Int(f)});
  EXPECT_EQ(Get("cmd"), "n=-30.1" + Gbk("真2014年4月11日12时"));

  std::int32_t handle = 0;
  Text name = TakeText(CallCommand(kFindFile, {arg::Text(p.c_str()), arg::Int(0), arg::Int(1), arg::IntVariable(&handle)}));
  EXPECT_EQ(name.view(), "cmd");
  EXPECT_NE(handle, 0);
  CallCommand(kCloseFind, {arg::Int(handle)});
  EXPECT_EQ(CallCommand(kFileLength, {arg::Int(12345)}).as_int(), -1);
}

// A named pipe among the files of a folder: opening it for reading waited
// for a writer that never comes, and the batch hung. Only regular files open.
TEST_F(Files, NamedPipesDoNotOpen) {
#ifdef _WIN32
  // Devices are Windows' counterpart: "NUL" and "CON" are no files.
  for (const char* device : {"NUL", "CON"})
    for (int mode = 1; mode <= 6; ++mode) EXPECT_EQ(OpenFile(device, mode), 0) << device << " " << mode;
#else
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  pid_t child = fork();
  if (child == 0) {
    alarm(5);
    bool opened = false;
    for (int mode = 1; mode <= 6; ++mode) opened = OpenFile(Path("pipe"), mode) != 0 || opened;
    _exit(opened ? 1 : 0);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "opening the pipe blocked";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a pipe opened as a file";
#endif
}

TEST_F(Files, RunProgramWaitsWhenAsked) {
  const std::string marker = Path("ran");
#ifdef _WIN32
  EXPECT_TRUE(RunProgram("cmd.exe /c echo x> \"" + marker + "\"", true));
#else
  EXPECT_TRUE(RunProgram("touch \"" + marker + "\"", true));
#endif
  EXPECT_TRUE(Exists("ran"));
  EXPECT_FALSE(RunProgram("/no/such/program-xyz", true));
  EXPECT_FALSE(RunProgram(""));
  Text dir = ProgramDirectory();
  EXPECT_FALSE(dir.empty());
  EXPECT_NE(dir.view().back(), fileio::kSeparator);
  EXPECT_TRUE(FileExists(dir.view()));
}

}  // namespace
}  // namespace tl::rt

namespace tl::rt {
namespace {

// A view shows exactly the bytes asked for, from any offset (views start on
// the system's 64 KiB grain, so unaligned offsets are the risky ones); what
// cannot be shown is refused, never shown short. POSIX always reads.
TEST_F(Files, ViewsShowTheBytesAskedFor) {
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i * 7 % 26);
  const std::string path = Path("view.txt");
  {
    namespace fio = fileio;
    fio::Handle w = fio::Open(path, fio::Access::kWrite, fio::Disposition::kCreateOrTruncate, fio::Share::kReadWrite);
    ASSERT_NE(w, fio::kNoHandle);
    ASSERT_TRUE(fio::WriteAt(w, 0, bytes.data(), bytes.size()));
    fio::Close(w);
  }
  struct Case {
    std::int64_t offset;
    std::size_t size;
    bool shown;  // on Windows
  } cases[] = {
      {0, 200000, true},     {1, 199999, true},   {65535, 10, true}, {65536, 134464, true},
      {70001, 12345, true},  {0, 0, false},       {199999, 2, false}, {0, 200001, false},
  };
  fileio::Handle h = fileio::Open(path, fileio::Access::kRead, fileio::Disposition::kOpenExisting,
                                  fileio::Share::kReadWrite);
  ASSERT_NE(h, fileio::kNoHandle);
  for (const Case& c : cases) {
    std::optional<fileio::FileView> view = fileio::ViewForReading(h, c.offset, c.size);
#ifdef _WIN32
    ASSERT_EQ(view.has_value(), c.shown) << c.offset << "+" << c.size;
#else
    ASSERT_FALSE(view.has_value());
#endif
    if (!view) continue;
    EXPECT_EQ(view->size, c.size);
    EXPECT_TRUE(std::string_view(view->data, view->size) == std::string_view(bytes).substr(c.offset, c.size))
        << c.offset << "+" << c.size;
    fileio::ReleaseView(*view);
  }
  fileio::Close(h);
}

}  // namespace
}  // namespace tl::rt
