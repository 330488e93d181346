#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "files/fixture.h"
#include "support/paths.h"
#include "fs/file_list.h"
#include "runtime/commands/files.h"
#include "text/encoding_convert.h"
#include "text/encoding_detect.h"
#include "text/file_text.h"

namespace tl::text {
namespace {

using tl::testing::Gbk;

// The mark and the body as they reach the output, one after the other.
std::string Joined(const EncodedText& out) { return std::string(out.mark) + std::string(out.body.view()); }

// Chinese (simplified and traditional, all in GBK and Big5) and ASCII.
constexpr std::string_view kSample = "中文測試\r\nHello, world\r\n大家好\r\n中文測試\r\n";

// The sample (or any UTF-8 text) encoded by the iconv command. Windows has
// none: there the converter's own tables encode it, which
// charset_reference_test checks code point by code point against the
// Linux host's iconv.
#ifdef _WIN32
std::string Iconv(std::string_view utf8, const char* to) { return test::Recode(utf8, to, "UTF-8"); }
#else
std::string Iconv(std::string_view utf8, const char* to) {
  char name[] = "/tmp/tidyline-iconv-XXXXXX";
  int fd = mkstemp(name);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(write(fd, utf8.data(), utf8.size()), static_cast<ssize_t>(utf8.size()));
  close(fd);
  std::string cmd = std::string("iconv -f UTF-8 -t ") + to + " " + name;
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0) << cmd;
  unlink(name);
  return out;
}
#endif

class Encodings : public tl::testing::TempDirTest {};

TEST(HtmlCharset, MetaTagsDecide) {
  struct Case {
    std::string html;
    int want;
  } cases[] = {
      {"<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head>", kHtmlUtf8},
      {"<head><meta charset=\"UTF-8\"></head>", kHtmlUtf8}, {"<head><meta charset='UTF-8'></head>", kHtmlUtf8},
      {"<head><meta charset=Big5-HKSCS></head>", kHtmlBig5},
      {"<head><meta charset=\"Big5-HKSCS\"></head>", kHtmlBig5Hkscs},
      {"<head><meta charset='big5-hkscs'></head>", kHtmlBig5Hkscs},
      {"<head><meta charset=gb2312><meta charset=\"big5\"></head>", kHtmlBig5},
      {"<HTML><HEAD><META CHARSET=\"UTF-8\"></HEAD>", kHtmlUtf8},
      // A head start tag with attributes is not found: the whole text is searched.
      {"<head lang=zh><title>x</title></head><meta charset=big5>", kHtmlBig5},
      // With a head, only meta tags inside it count.
      {"<head><title>x</title></head><meta charset=big5>", kHtmlNone},
      // An empty meta tag ends the search.
      {"<meta><meta charset=utf-8>", kHtmlNone}, {"<meta name=x><meta charset=utf-8>", kHtmlUtf8},
      {"plain text", kHtmlNone}, {"", kHtmlNone},
  };
  for (const Case& c : cases) EXPECT_EQ(DetectHtmlCharset(c.html), c.want) << c.html;
  // "<" inside a double-byte character (as its second byte) is no tag start.
  EXPECT_EQ(DetectHtmlCharset("\x81<meta charset=utf-8>"), kHtmlNone);
}

TEST(HtmlCharset, TextBetweenMovesThePosition) {
  std::int64_t pos = 0;
  EXPECT_EQ(TextBetween("a[1]b[22]", "[", "]", pos).view(), "1");
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(TextBetween("a[1]b[22]", "[", "]", pos).view(), "22");
  EXPECT_EQ(pos, 10);
  EXPECT_TRUE(TextBetween("a[1]b[22]", "[", "]", pos).empty());
  EXPECT_EQ(pos, 10);
  pos = 1;
  EXPECT_TRUE(TextBetween("[]x", "[", "]", pos).empty());
  EXPECT_EQ(pos, 3) << "an empty match still moves on";
  EXPECT_TRUE(ContainsAny("xxCHARSET=big5", "nope[fg]charset=BIG5"));
  EXPECT_FALSE(ContainsAny("abc", "x[fg]y"));
  EXPECT_EQ(UnquoteApostrophes("a''b'''c").view(), "a\"b\"'c");
}

TEST_F(Encodings, PositionForEncodingSkipsOnlyRealMarks) {
  struct Case {
    std::string bytes;
    int requested, code;
    std::int64_t start;
  } cases[] = {
      {"\xEF\xBB\xBF" "A", 0, 2, 3}, {"\xFF\xFE" "A\0", 0, 3, 2}, {"\xFE\xFF\0A", 0, 4, 2},
      {"AB", 0, 1, 0},                {"", 0, 1, 0},              {"AB", 3, 3, 0},
      {"\xFF\xFE" "A\0", 3, 3, 2},    {"\xFF\xFE" "A\0", 4, 4, 0}, {"AB", 2, 2, 0},
      {"\xEF\xBB\xBF" "A", 1, 1, 0},  {"\xEF\xBB\xBF" "A", 5, 5, 0}, {"AB", 9, 1, 0},
      {"<meta charset=utf-8>", 0, 2, 0}, {"\xEF\xBB\xBF<meta charset=big5>", 1, 1, 0},
      {"<meta charset='big5-hkscs'>", 0, 6, 0},
      {"\x1a<meta charset=utf-8>", 0, 1, 0},
      {std::string("<meta charset=\xb0\0utf-8>", 20), 0, 1, 0},
  };
  for (const Case& c : cases) {
    Put("p", c.bytes);
    rt::FileNumber f = rt::OpenFile(Path("p"), 1);
    ASSERT_NE(f, 0);
    EXPECT_EQ(PositionForEncoding(f, c.requested), c.code) << c.bytes << " " << c.requested;
    EXPECT_EQ(rt::FilePosition(f), c.start) << c.bytes << " " << c.requested;
    rt::CloseFile(f);
    ContentStart inMemory = EncodingOfBytes(c.bytes, c.requested);
    EXPECT_EQ(inMemory.code, c.code) << c.bytes << " " << c.requested;
    EXPECT_EQ(inMemory.start, static_cast<std::size_t>(c.start)) << c.bytes << " " << c.requested;
  }
}

TEST(Convert, GrowsTheOutputAndReportsFailure) {
  std::int32_t ok = -1;
  std::string ascii(1000, 'a');
  // Windows's converter knows the charsets Windows has: UTF-16, not UTF-32.
  const auto [wideName, width] = test::kWindows ? std::pair{"UTF-16LE", 2u} : std::pair{"UTF-32LE", 4u};
  rt::ByteSet wide = ConvertEncoding(ascii, "UTF-8", wideName, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(wide.size(), 1000u * width);
  EXPECT_TRUE(ConvertEncoding("", "UTF-8", "GB18030", &ok).empty());
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(ConvertEncoding("abc", "NO-SUCH-CHARSET", "GB18030", &ok).empty());
  EXPECT_EQ(ok, 0);
  EXPECT_TRUE(ConvertEncoding("\xff\xfe", "UTF-8", "GB18030", &ok).empty());
  EXPECT_EQ(ok, 0);
  EXPECT_TRUE(ConvertEncoding("a\xe4", "UTF-8", "GB18030", &ok).empty()) << "incomplete input";
  EXPECT_EQ(ConvertEncoding(Iconv(kSample, "BIG5"), "BIG5", "GB18030").view(), Gbk(kSample));
  // Names are passed as spelled: no //IGNORE is added behind the caller's back.
  EXPECT_TRUE(ConvertEncoding(Gbk("\u00e9"), "GB18030", "BIG5").empty());
  std::int32_t flag = -1;
  rt::ByteSet in(Gbk("中"));
  rt::ByteSet out = rt::TakeByteSet(rt::CallLibraryCommand(
      kConvertEncoding, {rt::arg::ByteSet(in.block()), rt::arg::Text("GB18030"), rt::arg::Text("UTF-8"),
                         rt::arg::IntVariable(&flag)}));
  EXPECT_EQ(out.view(), "中");
  EXPECT_EQ(flag, 1);
}

// Every encoding read, then written back: the code, the mark, the text and
// the result bytes (marks included) are checked. The rows after the first
// block are mended faults:
// - with a UTF-16 code chosen, the first two bytes were skipped even when
//   they were no mark;
// - UTF-8 whose characters take as many bytes in GB18030 kept code 1;
// - with "ANSI" chosen, a UTF-8 mark became a character of the text, one more
//   mark in front of the result on every run;
// - reading stopped at the first 0x1A byte;
// - (invalid input, which the fallbacks once turned into "?" or read raw, is
//   in InvalidInputIsNotRead).
TEST_F(Encodings, RoundTripsEveryEncoding) {
  const std::string bom8 = "\xEF\xBB\xBF", le = "\xFF\xFE", be = "\xFE\xFF", sample(kSample);
  const std::string html = "<HTML><HEAD><TITLE>t</TITLE><META http-equiv=\"Content-Type\" content=\"text/html; "
                           "charset=gb2312\"><meta charset=\"Big5-HKSCS\"></HEAD><body>測試</body>\r\n";
  const std::string gbk = Iconv(kSample, "GBK"), le16 = Iconv(kSample, "UTF-16LE"), be16 = Iconv(kSample, "UTF-16BE");
  const std::string big5 = Iconv(kSample, "BIG5"), hkscs = Iconv(html, "BIG5-HKSCS");
  struct Case {
    const char* name;
    std::string file;
    int requested, code;
    bool mark;
    std::string text;    // GBK
    std::string result;  // bytes written back
  } cases[] = {
      {"gbk auto", gbk, 0, 1, false, Gbk(kSample), gbk},
      {"gbk ansi", gbk, 1, 1, false, Gbk(kSample), gbk},
      {"utf8 mark", bom8 + sample, 0, 2, true, Gbk(kSample), bom8 + sample},
      {"utf8 trial", sample, 0, 2, false, Gbk(kSample), bom8 + sample},
      {"utf8 chosen, no mark", sample, 2, 2, false, Gbk(kSample), bom8 + sample},
      {"ascii", "a\r\nb\r\n", 0, 1, false, "a\r\nb\r\n", "a\r\nb\r\n"},
      {"utf16le mark", le + le16, 0, 3, true, Gbk(kSample), le + le16},
      {"utf16be mark", be + be16, 0, 4, true, Gbk(kSample), be + be16},
      {"utf16be chosen", be + be16, 4, 4, true, Gbk(kSample), be + be16},
      {"big5 chosen", big5, 5, 5, false, Gbk(kSample), big5},
      {"big5-hkscs by meta", hkscs, 0, 6, false, Gbk(html), hkscs},
      {"empty", "", 0, 1, false, "", ""},
      {"utf8 mark only", bom8, 0, 1, false, bom8, bom8},
      {"utf16le chosen, no mark", le16, 3, 3, false, Gbk(kSample), le + le16},
      {"utf16be chosen, no mark", be16, 4, 4, false, Gbk(kSample), be + be16},
      {"cyrillic", "Привет, мир\r\n", 0, 2, false, Gbk("Привет, мир\r\n"), bom8 + "Привет, мир\r\n"},
      {"greek", "αβγ\r\n", 0, 2, false, Gbk("αβγ\r\n"), bom8 + "αβγ\r\n"},
      {"latin", "café\r\n", 0, 2, false, Gbk("café\r\n"), bom8 + "café\r\n"},
      {"four-byte", "\xF0\x9F\x98\x80\r\n", 0, 2, false, Gbk("\xF0\x9F\x98\x80\r\n"), bom8 + "\xF0\x9F\x98\x80\r\n"},
      {"utf8 mark, ansi chosen", bom8 + "a\r\n中文\r\n", 1, 2, true, Gbk("a\r\n中文\r\n"), bom8 + "a\r\n中文\r\n"},
      {"substitute inside", Gbk("甲\x1a乙\r\n"), 1, 1, false, Gbk("甲\x1a乙\r\n"), Gbk("甲\x1a乙\r\n")},
      {"substitute at the end", Gbk("甲乙\x1a"), 1, 1, false, Gbk("甲乙"), Gbk("甲乙")},
      {"two substitutes at the end", Gbk("甲\x1a\x1a"), 1, 1, false, Gbk("甲\x1a"), Gbk("甲\x1a")},
      {"ascii substitute", "a\x1a" "b", 1, 1, false, "a\x1a" "b", "a\x1a" "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put("in", c.file);
    FileText r = ReadTextFile(Path("in"), c.requested);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.hadMark, c.mark);
    EXPECT_EQ(r.text.view(), c.text);
    EXPECT_TRUE(WriteTextFile(Path("out"), r.text.view(), r.code));
    EXPECT_EQ(Get("out"), c.result);
    EXPECT_EQ(Get("in"), c.file) << "the source is never written";
  }
}

// Input that is not valid in its declared or detected encoding is not read:
// no fallback substitutes "?" for what it cannot convert, and no raw read
// passes the bytes off as GBK. The offset counts from the file's first byte.
TEST_F(Encodings, InvalidInputIsNotRead) {
  const std::string bom8 = "\xEF\xBB\xBF", le = "\xFF\xFE", be = "\xFE\xFF";
  const std::string le16 = Iconv(kSample, "UTF-16LE"), be16 = Iconv(kSample, "UTF-16BE");
  const std::string big5 = Iconv("測試", "BIG5");
  struct Case {
    const char* name;
    std::string file;
    int requested, code;
    std::int64_t offset;
    const char* reason;
  } const cases[] = {
      {"utf8 mark, stray byte", bom8 + "a\n\xFF\nb\n", 0, 2, 5, "not valid UTF-8 at byte offset 5"},
      {"utf8 chosen, broken pair", "a\xC3(b", 2, 2, 1, "not valid UTF-8 at byte offset 1"},
      {"utf8 chosen, cut at the end", "ab\xE4\xB8", 2, 2, 2, "not valid UTF-8 at byte offset 2"},
      {"utf8 chosen, encoded surrogate", "a\xED\xA0\x80", 2, 2, 1, "not valid UTF-8 at byte offset 1"},
      {"utf16le lone surrogate", le + le16 + std::string("\x00\xDC", 2), 0, 3,
       static_cast<std::int64_t>(2 + le16.size()), nullptr},
      {"utf16be lone surrogate", be + be16 + std::string("\xDC\x00", 2), 0, 4,
       static_cast<std::int64_t>(2 + be16.size()), nullptr},
      {"utf16be chosen, high surrogate then a letter", std::string("\xD8\x00\x00" "a", 4), 4, 4, 0,
       "not valid UTF-16BE at byte offset 0"},
      {"utf16 odd byte", le + Iconv("中文", "UTF-16LE") + "x", 0, 3, 6, "not valid UTF-16LE at byte offset 6"},
      {"big5 cut at the end", big5 + "\x81", 5, 5, 4, "not valid BIG5 at byte offset 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Put("in", c.file);
    const FileText r = ReadTextFile(Path("in"), c.requested);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.invalidAt, c.offset);
    EXPECT_TRUE(r.text.view().empty());
    if (c.reason) {
      EXPECT_EQ(InvalidTextReason(r.code, r.invalidAt), c.reason);
    }
    const FileText m = ReadTextFromMemory(c.file, c.requested);
    EXPECT_FALSE(m.ok);
    EXPECT_EQ(m.invalidAt, c.offset);
  }
}

// A file is read to its end, not to the size the system reports (0 for
// pseudo-files), and a result whose own name is as long as the file system
// allows is written: the temporary file's name is short.
// On Windows no file reports size 0 with content, and the limit is the
// whole path's (MAX_PATH: 259 characters without the end).
TEST_F(Encodings, SizeZeroFilesAndLongResultNames) {
  struct Case {
    std::string name;  // UTF-8 on disk
    bool written;
  };
  std::vector<Case> cases;
  if (test::kWindows) {
    const std::size_t room = 259 - dir_.wstring().size() - 1;
    std::string chinese;
    for (std::size_t i = 0; i < room; ++i) chinese += "中";
    cases = {{std::string(room, 'n'), true}, {chinese, true}};
  } else {
    const std::string version = Slurp("/proc/version");
    ASSERT_FALSE(version.empty());
    const FileText proc = ReadTextFile("/proc/version", 0);
    EXPECT_TRUE(proc.ok);
    EXPECT_EQ(proc.text.view(), version);
    EXPECT_EQ(proc.sourceBytes, static_cast<std::int64_t>(version.size()));

    std::string chinese;
    for (int i = 0; i < 85; ++i) chinese += "中";  // 255 bytes in UTF-8, 170 in GBK
    cases = {
        {std::string(255, 'n'), true},
        {chinese, true},
        {std::string(256, 'n'), false},  // too long for the file system itself
    };
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.size());
    EXPECT_EQ(WriteTextFile(Path(Gbk(c.name)), "a\r\nb", kEncodingUtf8), c.written);
    if (c.written) {
      EXPECT_EQ(Get(c.name), "\xEF\xBB\xBF" "a\r\nb");
    }
  }
  for (const auto& e : std::filesystem::directory_iterator(dir_))
    EXPECT_NE(e.path().filename().string()[0], '.') << "a temporary file was left: " << e.path();
}

TEST_F(Encodings, WritesMarksAndFallsBackToTheTextsOwnBytes) {
  struct Case {
    std::string text;
    int code;
    std::string bytes;
  } cases[] = {
      {"", 2, "\xEF\xBB\xBF"}, {"", 3, "\xFF\xFE"}, {"", 4, "\xFE\xFF"}, {"", 1, ""},
      {"ab", 4, std::string("\xFE\xFF\0a\0b", 6)},
      // A character Big5 lacks: the conversion fails, the GBK bytes are written.
      {Gbk("é中"), 5, Gbk("é中")},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteTextFile(Path("w"), c.text, c.code));
    EXPECT_EQ(Get("w"), c.bytes) << c.code;
  }
  EXPECT_FALSE(WriteTextFile("", "x", 1));
  EXPECT_EQ(fs::FileNameOf("no-separator"), "no-separator");
  EXPECT_EQ(fs::FileNameOf(test::Native("/a/b.txt")), "b.txt");
  // A separator byte that is the second byte of a character is not one
  // (Windows's "\\" is a GBK trail byte).
  EXPECT_EQ(fs::FileNameOf(test::Native("a/\x81/x")), test::Native("\x81/x"));
  EXPECT_EQ(fs::FileNameOf(test::Native("a\x81/x")), test::Native("a\x81/x"));
}

// Fault: sources were opened for writing too, so a read-only file read as
// empty and an empty result was counted as a success.
TEST_F(Encodings, ReadOnlyAndLockedSources) {
  Put("ro.txt", Gbk(kSample));
  std::filesystem::permissions(Path("ro.txt"), std::filesystem::perms::owner_read);
  FileText r = ReadTextFile(Path("ro.txt"), 0);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.text.view(), Gbk(kSample));
  // Others may still read and write a source while it is read.
  Put("held.txt", "abc");
  rt::FileNumber writer = rt::OpenFile(Path("held.txt"), 3, 1);
  EXPECT_TRUE(ReadTextFile(Path("held.txt"), 0).ok);
  rt::CloseFile(writer);
  // A holder that forbids writing does not keep the source from being read.
  rt::FileNumber denyWrite = rt::OpenFile(Path("held.txt"), 1, 3);
  FileText held = ReadTextFile(Path("held.txt"), 0);
  EXPECT_TRUE(held.ok);
  EXPECT_EQ(held.text.view(), "abc");
  rt::CloseFile(denyWrite);
  rt::FileNumber exclusive = rt::OpenFile(Path("held.txt"), 3, 4);
  EXPECT_FALSE(ReadTextFile(Path("held.txt"), 0).ok);
  rt::CloseFile(exclusive);
  EXPECT_FALSE(ReadTextFile(Path("missing.txt"), 0).ok);
}

// Fault: a NUL cut the text short and the rest was lost silently.
TEST_F(Encodings, TextThatWouldBeCutShortIsNotRead) {
  struct Case {
    const char* name;
    std::string file;
    int requested;
  } cases[] = {
      {"gbk with NUL", Gbk("甲") + std::string(1, '\0') + Gbk("乙"), 0},
      {"utf8 with NUL", std::string("\xEF\xBB\xBF" "a\0b", 6), 0},
      {"big5 with NUL", Iconv("測", "BIG5") + std::string(1, '\0') + Iconv("試", "BIG5"), 5},
      {"utf16 with a zero unit", std::string("\xFF\xFE" "a\0\0\0b\0", 8), 0},
      {"leading NUL", std::string("\0abc", 4), 1},
      {"utf16 odd byte, raw read would stop at a NUL", "\xFE\xFF" + Iconv("ab", "UTF-16BE") + "x", 0},
  };
  for (const Case& c : cases) {
    Put("n.txt", c.file);
    EXPECT_FALSE(ReadTextFile(Path("n.txt"), c.requested).ok) << c.name;
  }
}

// Fault: a failed write left a truncated, half-written result.
#ifdef _WIN32
TEST_F(Encodings, FailedWriteLeavesTheOldResult) {
  GTEST_SKIP() << "POSIX only: the file-size limit (setrlimit in a forked child) makes the write fail";
}
#else
TEST_F(Encodings, FailedWriteLeavesTheOldResult) {
  Put("r.txt", "old result");
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim {8, 8};
    setrlimit(RLIMIT_FSIZE, &lim);
    _exit(WriteTextFile(Path("r.txt"), std::string(100, 'x'), 1) ? 1 : 0);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report failure";
  EXPECT_EQ(Get("r.txt"), "old result");
  std::size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_)) entries += e.path().filename() != "" ? 1 : 0;
  EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
  // A read-only destination is not replaced either.
  std::filesystem::permissions(Path("r.txt"), std::filesystem::perms::owner_read);
  if (geteuid() != 0) {
    EXPECT_FALSE(WriteTextFile(Path("r.txt"), "new", 1));
  }
  EXPECT_EQ(Get("r.txt"), "old result");
}
#endif

// "?" and "*" are ordinary bytes of a file name on Linux; a result so named
// was refused because a directory search for it matched another file.
// Windows refuses such names: the write fails, and the file the wildcard
// would match is not written instead.
TEST_F(Encodings, ResultNamesWithWildcardCharacters) {
  Put("ab.txt", "other");
  for (const char* name : {"a?.txt", "*.txt"}) {
    EXPECT_EQ(WriteTextFile(Path(name), "new", 1), !test::kWindows) << name;
    if (!test::kWindows) {
      EXPECT_EQ(Get(name), "new");
    }
  }
  EXPECT_EQ(Get("ab.txt"), "other");
  if (test::kWindows) {
    std::size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) entries += e.path().filename() != "" ? 1 : 0;
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
  }
}

TEST(Memory, ReadsStandardInputLikeAFile) {
  FileText r = ReadTextFromMemory("\xFF\xFE" + Iconv("中a", "UTF-16LE"), 0);
  EXPECT_TRUE(r.hadMark);
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.text.view(), Gbk("中a"));
  EXPECT_EQ(Joined(EncodeTextForOutput(r.text.view(), r.code, r.hadMark)), "\xFF\xFE" + Iconv("中a", "UTF-16LE"));
  FileText u = ReadTextFromMemory("中a", 0);
  EXPECT_FALSE(u.hadMark);
  EXPECT_EQ(Joined(EncodeTextForOutput(u.text.view(), u.code, u.hadMark)), "中a");
}

}  // namespace
}  // namespace tl::text
