// The two folder listings side by side on one folder (mixed-case names,
// subfolders, GBK names, hidden files): they agree where both promise the
// same and differ exactly in order, in "|" (separate searches against one
// expression) and in how wildcards read inside the filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files/fixture.h"
#include "fs/file_list.h"
#include "fs/list_by_object.h"
#include "runtime/core/message_pump.h"
#include "support/paths.h"

namespace tl {
namespace {

namespace stdfs = std::filesystem;
using testing::Gbk;
using Names = std::vector<std::string>;

class ListCompareTest : public testing::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    // UTF-8 on disk; the program sees GBK.
    for (const char* name : {"a.txt", "B.TxT", "c.csv", "报告.CSV", "a.txt.bak", "file.txt", "file1.txt",
                             "file12.txt", ".hidden.txt", "文件.txt", "ba.txt", "x.t?t", "noext"})
      Put(name, "x");
    for (const char* sub : {"sub.txt", "子目录"}) {
      stdfs::create_directory(dir_ / U8(sub));
      Put(std::string(sub) + "/inner.txt", "y");
    }
  }

  // Names in the folder's own order, files or folders.
  Names Order(bool folders) const {
    Names out;
    for (const auto& e : stdfs::directory_iterator(dir_))
      if (e.is_directory() == folders) out.push_back(Gbk(Utf8Of(e.path().filename())));
    return out;
  }
  // The folder-order names that are in `wanted`.
  Names Pick(const Names& wanted, bool folders = false) const {
    Names out;
    for (const std::string& n : Order(folders))
      if (std::find(wanted.begin(), wanted.end(), n) != wanted.end()) out.push_back(n);
    return out;
  }
  static Names Concat(std::initializer_list<Names> groups) {
    Names out;
    for (const Names& g : groups) out.insert(out.end(), g.begin(), g.end());
    return out;
  }

  Names Strip(const rt::TextArray& list) const {
    Names out;
    for (std::size_t i = 1; i <= list.size(); ++i) {
      std::string p(list[static_cast<std::int64_t>(i)]);
      EXPECT_EQ(p.rfind(D() + test::kSep, 0), 0u) << p;
      out.push_back(p.substr(D().size() + 1));
    }
    return out;
  }
  // Both listings replace what the list held; the search one is also given
  // the folder with a separator at the end.
  Names BySearch(std::string_view filter, bool folders = false) const {
    rt::TextArray list;
    list.Append("stale");
    const int n = fs::ListFiles(D() + test::kSep, filter, list, false, folders);
    EXPECT_EQ(n, static_cast<int>(list.size()));
    return Strip(list);
  }
  Names ByObject(std::string_view filter, bool folders = false) const {
    rt::TextArray list;
    list.Append("stale");
    const int n = fs::ListFilesByObject(D(), filter, list, false, folders);
    EXPECT_EQ(n, static_cast<int>(list.size()));
    return Strip(list);
  }
  std::string D() const { return dir_.string(); }
};

TEST_F(ListCompareTest, BothListingsSideBySide) {
  const std::string report = Gbk("报告.CSV"), chinese = Gbk("文件.txt");
  const Names txt = {"a.txt", "B.TxT", "file.txt", "file1.txt", "file12.txt", ".hidden.txt", chinese, "ba.txt"};
  Names dotT = txt;  // every name with ".t" in it
  dotT.insert(dotT.end(), {"a.txt.bak", "x.t?t"});
  Names txtAndCsv = txt;
  txtAndCsv.insert(txtAndCsv.end(), {"c.csv", report, "a.txt.bak"});  // ".txt" anywhere in the name
  const Names allFiles = Order(false);
  struct Case {
    const char* why;
    std::string filter;
    Names bySearch, byObject;
  } cases[] = {
      {"empty: every file, hidden ones too, no folder", "", allFiles, allFiles},
      {"*.*: names without a dot too", "*.*", allFiles, allFiles},
      {"extension in any case: the same files", "*.TXT", Pick(txt), Pick(txt)},
      {"| runs two searches in pattern order, or one expression in folder order", "*.csv|*.txt",
       Concat({Pick({"c.csv", report}), Pick(txt)}), Pick(txtAndCsv)},
      {"a name matching both patterns: twice, or once", "*.txt|*.t*", Concat({Pick(txt), Pick(dotT)}), Pick(dotT)},
      {"? is exactly one character, or at most one", "file?.txt", Pick({"file1.txt"}), Pick({"file.txt", "file1.txt"})},
      {"the search is anchored, the expression is not", "a*.txt", Pick({"a.txt"}),
       Pick({"a.txt", "a.txt.bak", "ba.txt"})},
      {"in extension mode ? is a plain character", "*.t?t", Pick(Concat({txt, {"x.t?t"}})), Pick({"x.t?t"})},
      {"GBK names", Gbk("文件*"), Pick({chinese}), Pick({chinese})},
      {"GBK extension in any case", "*.csv", Pick({"c.csv", report}), Pick({"c.csv", report})},
      {"nothing", "zzz*", {}, {}},
      {"empty patterns are skipped, or empty alternatives match any name", "||zzz*|", {}, allFiles},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BySearch(c.filter), c.bySearch) << c.why;
    EXPECT_EQ(ByObject(c.filter), c.byObject) << c.why;
  }
}

TEST_F(ListCompareTest, FoldersBothWays) {
  const Names subs = {"sub.txt", Gbk("子目录")};
  EXPECT_EQ(BySearch("*", true), Pick(subs, true));
  EXPECT_EQ(ByObject("*", true), Pick(subs, true));
  EXPECT_EQ(BySearch("*.txt", true), Names{"sub.txt"});
  EXPECT_EQ(ByObject("*.txt", true), Names{"sub.txt"});
  // Nothing from inside the subfolders either way.
  for (const std::string& n : Concat({BySearch(""), ByObject("")})) EXPECT_EQ(n.find(test::kSep), std::string::npos) << n;
}

TEST_F(ListCompareTest, KeepAppendsBothWays) {
  rt::TextArray list;
  list.Append("first");
  EXPECT_EQ(fs::ListFiles(D(), "*.csv", list, true, false), 3);
  EXPECT_EQ(fs::ListFilesByObject(D(), "*.csv", list, true, false), 5);
  EXPECT_EQ(std::string(list[1]), "first");
  EXPECT_EQ(fs::ListFilesByObject(D() + "/", "*.csv", list, false, false), 2);
  // A missing folder adds nothing and keeps what was there.
  EXPECT_EQ(fs::ListFiles(Path("missing"), "*", list, true, false), 2);
  EXPECT_EQ(fs::ListFilesByObject(Path("missing"), "*", list, true, false), 2);
  EXPECT_EQ(fs::ListFiles(Path("missing"), "*", list, false, false), 0);
}

// The folder disappears while it is being listed (the message loop runs
// between entries): the listing finishes from what it had, without a crash.
// Windows refuses to remove a folder that a listing holds open; it goes
// once the listing is done.
std::string g_vanishing;
void RemoveFolder() {
  if (!g_vanishing.empty()) {
    std::error_code ec;
    stdfs::remove_all(g_vanishing, ec);
    g_vanishing.clear();
  }
}

TEST_F(ListCompareTest, FolderVanishingMidway) {
  g_vanishing = D();
  const rt::PumpHandler old = rt::SetPumpHandler(&RemoveFolder);
  rt::TextArray list;
  const int n = fs::ListFilesByObject(D(), "*.txt", list, false, false);
  rt::SetPumpHandler(old);
  if (test::kWindows) {
    EXPECT_TRUE(stdfs::exists(dir_)) << "removed while held open";
    stdfs::remove_all(dir_);
  }
  EXPECT_FALSE(stdfs::exists(dir_));
  EXPECT_EQ(n, static_cast<int>(list.size()));
  EXPECT_GE(n, 1);
  EXPECT_EQ(fs::ListFilesByObject(D(), "*").size(), 0u);
  rt::TextArray again;
  EXPECT_EQ(fs::ListFiles(D(), "*", again, false, false), 0);
}

}  // namespace
}  // namespace tl
