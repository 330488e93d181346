// The batch buttons and dropped files on the main window: what the status
// label, the progress bar, the question and the file browser show.
#include <filesystem>
#include <fstream>
#include <set>

#include "app/app_fixture.h"
#include "fs/file_list.h"
#include "fs/list_by_object.h"

namespace tl::app::test {
namespace {

class WindowBatch : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* d : {"in", "other", "empty"}) std::filesystem::create_directories(dir_ / d);
    Put("in/a.b.txt", "1\r\n1\r\n2");
    Put("in/readme", "3\r\n3");
    Put("in/c.txt", "4");
    Put("in/x.csv", "5\r\n5");
    Put("in/y.log", "6");
    Put("other/d.txt", "7\r\n7");
  }
  std::vector<std::string> Statuses() { return ShownInTurn(ui::kStatusLabel); }
  std::string Question(std::string_view folder) { return "是否打开保存目录？\r\n\r\n" + SaveFolder(folder); }
  std::vector<std::string> Questions() {
    std::vector<std::string> out;
    for (auto& b : os.MessageBoxes()) out.push_back(Utf8(b.text));
    return out;
  }
  // The folders shown in the file browser: the backend's folder opener, or
  // on Windows the explorer command line.
  std::vector<std::string> Browsed() {
    std::vector<std::string> out;
    for (auto& p : os.ProgramsRun()) out.push_back(Utf8(p.command_line));
    for (auto& line : Launched()) out.push_back(Utf8(line));
    return out;
  }
  std::string BrowsedSaveFolder(std::string_view folder) const {
    return tl::test::kWindows ? "explorer /n,\"" + SaveFolder(folder) + "\"" : "browse new " + SaveFolder(folder);
  }
  static std::string Summary(int n, int ok) {
    return "总 " + std::to_string(n) + " 个文件，成功处理 " + std::to_string(ok) + " 个文件，耗时 0 毫秒";
  }
};

TEST_F(WindowBatch, ChosenFiles) {
  struct Case {
    const char* what;
    std::vector<std::string> files;
    int answer;
    std::vector<std::string> statuses;
    std::string save;  // the folder the results go to
    std::vector<std::string> browsed;
  } cases[] = {
      {"three files, Yes opens the folder",
       {"in/a.b.txt", "in/readme", "in/c.txt"},
       platform::kIdYes,
       {"(3:1) a.b\r\n", "(3:2) readme\r\n", "(3:3) c\r\n", Summary(3, 3)},
       "in",
       {BrowsedSaveFolder("in")}},
      {"No opens nothing", {"in/c.txt"}, platform::kIdNo, {"(1:1) c\r\n", Summary(1, 1)}, "in", {}},
      {"two folders: the first one's save folder",
       {"other/d.txt", "in/c.txt"},
       platform::kIdNo,
       {"(2:1) d\r\n", "(2:2) c\r\n", Summary(2, 2)},
       "other",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start();
    std::vector<std::string> paths;
    for (auto& f : c.files) paths.push_back(Path(f));
    os.AnswerFilesDialog(paths);
    os.AnswerMessageBox(c.answer);
    const std::size_t boxes = os.MessageBoxes().size(), runs = Browsed().size();
    Click(ui::kFilesButton);
    Run();
    EXPECT_EQ(Statuses(), c.statuses);
    EXPECT_EQ(Widget(ui::kProgressBar).progress_max, static_cast<int>(c.files.size()));
    EXPECT_EQ(Widget(ui::kProgressBar).progress_pos, static_cast<int>(c.files.size()));
    ASSERT_EQ(os.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(Utf8(os.MessageBoxes().back().text), Question(c.save));
    EXPECT_EQ(os.MessageBoxes().back().style & 0xF, 4u);  // Yes and No
    const std::vector<std::string> browsed = Browsed();
    EXPECT_EQ(std::vector<std::string>(browsed.begin() + static_cast<long>(runs), browsed.end()), c.browsed);
    for (auto& f : c.files) {
      const std::string name = std::filesystem::path(f).filename().string();
      EXPECT_TRUE(std::filesystem::exists(SaveDir(c.save) / name)) << name;
    }
    if (c.files[0] == "in/a.b.txt") {
      EXPECT_EQ(Get("in/保存目录/a.b.txt"), "1\r\n2");  // de-duplicated
    }
    EXPECT_EQ(Finish(), 0);
    std::filesystem::remove_all(SaveDir("in"));
    std::filesystem::remove_all(SaveDir("other"));
  }
  // The dialog as asked: title, filters, no initial directory.
  ASSERT_FALSE(os.FileDialogs().empty());
  const platform::OpenFilesRequest& r = os.FileDialogs().front();
  EXPECT_EQ(Utf8(r.title), "请选择需要处理的文件：");
  ASSERT_EQ(r.filters.size(), 3u);
  EXPECT_EQ(Utf8(r.filters[0].first) + "|" + r.filters[0].second, "TXT文件|*.txt");
  EXPECT_EQ(Utf8(r.filters[2].first) + "|" + r.filters[2].second, "全部文件|*.*");
  EXPECT_EQ(r.initial_directory, "");
}

// A save folder that cannot be made (a file holds its name): nothing is
// processed and the summary says so.
TEST_F(WindowBatch, SaveFolderThatCannotBeMade) {
  Put("in/保存目录", "a file");
  Start();
  os.AnswerFilesDialog({Path("in/c.txt"), Path("in/readme")});
  os.AnswerMessageBox(platform::kIdNo);
  Click(ui::kFilesButton);
  Run();
  EXPECT_EQ(Statuses().back(), Summary(2, 0));
  EXPECT_EQ(Get("in/保存目录"), "a file");
}

// The folder button lists with the directory search (patterns in turn), the
// right button through the file-system object (the folder's own order).
TEST_F(WindowBatch, FolderButtons) {
  Start();
  Type(ui::kFilterEdit, "|*.csv");
  for (int i = 0; i < 2; ++i) {
    os.AnswerFolder(Path("in"));
    os.AnswerMessageBox(platform::kIdNo);
  }
  Click(ui::kFolderButton);
  Run();
  std::vector<std::string> byPattern = Statuses();
  ASSERT_EQ(byPattern.size(), 4u);
  // Both .txt files before the .csv; the .log and the file without extension are left out.
  EXPECT_EQ(byPattern[2], "(3:3) x\r\n");
  EXPECT_EQ(byPattern[0].substr(0, 6), "(3:1) ");
  EXPECT_EQ(byPattern[1].substr(0, 6), "(3:2) ");
  EXPECT_EQ(std::set<std::string>({byPattern[0].substr(6), byPattern[1].substr(6)}),
            (std::set<std::string>{"a.b\r\n", "c\r\n"}));
  EXPECT_EQ(byPattern[3], Summary(3, 3));

  os.RightClick(W(ui::kFolderButton));
  Run();
  const std::vector<std::string> all = Statuses();
  std::vector<std::string> byObject(all.begin() + 4, all.end());
  std::vector<std::string> expected;
  rt::TextArray listed = fs::ListFilesByObject(Path("in"), Gbk("*.txt|*.csv"));
  for (std::int64_t i = 1; i <= static_cast<std::int64_t>(listed.size()); ++i)
    expected.push_back("(3:" + std::to_string(i) + ") " + Utf8(fs::BaseNameOf(listed[i])) + "\r\n");
  expected.push_back(Summary(3, 3));
  EXPECT_EQ(byObject, expected);
  // The second dialog opens at the folder chosen first; the first at the default.
  EXPECT_EQ(os.FolderDialogs(), (std::vector<std::string>{"", Path("in")}));
  EXPECT_EQ(os.FolderDialogTitles(), std::vector<std::string>(2, Gbk("请选择需要处理的文件所在文件夹：")));
}

// A name in another code page cannot be carried through the program's
// text: it is never opened (its converted name could be another file's),
// and the summary counts it as not processed instead of leaving it out.
TEST_F(WindowBatch, NamesThatCannotBeCarriedCountAsFailed) {
  std::filesystem::create_directories(dir_ / "mixed");
  Put("mixed/ok.txt", "1\r\n1");
  // Linux: GBK bytes where names are UTF-8; Windows: a character that the
  // ANSI code page (936) lacks.
  const std::filesystem::path foreign =
      tl::test::kWindows ? U8("가x.txt") : std::filesystem::path(std::string("\xD6\xD0x.txt"));
  { std::ofstream(dir_ / "mixed" / foreign, std::ios::binary) << "2\r\n2"; }
  Start();
  os.AnswerFolder(Path("mixed"));
  os.AnswerMessageBox(platform::kIdNo);
  Click(ui::kFolderButton);
  Run();
  const std::vector<std::string> statuses = Statuses();
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.back(), Summary(2, 1));
}

// Cancelled dialogs and a folder without a matching file end silently.
TEST_F(WindowBatch, SilentEnds) {
  struct Case {
    const char* what;
    std::function<void(AppTest&)> script;
    std::string tag;  // the folder button's tag afterwards
  } cases[] = {
      {"files dialog cancelled", [](AppTest& t) { t.os.CancelFilesDialog(); t.Click(ui::kFilesButton); }, ""},
      {"folder dialog cancelled", [](AppTest& t) { t.os.AnswerFolder(std::nullopt); t.Click(ui::kFolderButton); }, ""},
      {"folder dialog gives nothing", [](AppTest& t) { t.os.AnswerFolder(""); t.Click(ui::kFolderButton); }, ""},
      {"no matching file", [](AppTest& t) { t.os.AnswerFolder(t.Path("empty")); t.Click(ui::kFolderButton); }, "empty"},
      {"no matching file, by object",
       [](AppTest& t) { t.os.AnswerFolder(t.Path("empty")); t.os.RightClick(t.W(ui::kFolderButton)); }, "empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start();
    c.script(*this);
    Run();
    EXPECT_TRUE(Statuses().empty());
    EXPECT_EQ(Widget(ui::kProgressBar).progress_pos, 0);
    EXPECT_TRUE(os.MessageBoxes().empty());
    EXPECT_EQ(os.UnusedAnswers(), 0u);
    EXPECT_EQ(Utf8(rt::PropertyAsText(rt::GetControlProperty(ui::kMainWindow, ui::kFolderButton, 4))),
              c.tag.empty() ? "" : Path(c.tag));
    EXPECT_EQ(Finish(), 0);
  }
}

// Files and folders dropped on the window run one batch in drop order; a
// folder gives its files that the filter box accepts.
TEST_F(WindowBatch, DroppedFiles) {
  Start();
  os.AnswerMessageBox(platform::kIdNo);
  os.DropFiles(W(ui::kMainWindowUnit), {Path("other/d.txt"), Path("in"), Path("in/readme")});
  Run();
  std::vector<std::string> s = Statuses();
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0], "(4:1) d\r\n");
  EXPECT_EQ(std::set<std::string>({s[1].substr(6), s[2].substr(6)}), (std::set<std::string>{"a.b\r\n", "c\r\n"}));
  EXPECT_EQ(s[3], "(4:4) readme\r\n");
  EXPECT_EQ(s[4], Summary(4, 4));
  EXPECT_EQ(Questions(), std::vector<std::string>{Question("other")});
  EXPECT_EQ(Get("other/保存目录/readme"), "3");
}

}  // namespace
}  // namespace tl::app::test
