// Mended faults and nested work: each case fails without its mend.
#include <filesystem>

#include "app/app_fixture.h"
#include "fs/file_list.h"

namespace tl::app::test {
namespace {

class Faults : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* d : {"in", "other"}) std::filesystem::create_directories(dir_ / d);
    Put("in/a.b.txt", "1\r\n1\r\n2");
    Put("in/readme", "3\r\n3");
    Put("in/c.txt", "4");
    Put("other/d.txt", "7\r\n7");
  }
  // Runs the real message loop over what was scheduled; the window is
  // closed by the script (or at the end, when it is still open).
  int Loop() {
    running_ = false;
    os.At(60000, [this] {
      if (rt::IsWindowLoaded(ui::kMainWindow)) os.Close(W(ui::kMainWindowUnit));
    });
    return FinishApplication();
  }
  // A source text large enough that processing it yields to the loop.
  static std::string LargeText() {
    std::string s;
    for (int i = 0; i < 1000000; ++i) s += std::to_string(i % 700000) + "\r\n";
    return s;
  }
  static std::string Summary(int n, int ok, const char* time = "0 毫秒") {
    return "总 " + std::to_string(n) + " 个文件，成功处理 " + std::to_string(ok) + " 个文件，耗时 " + time;
  }
};

// 1. The tick count wraps during the batch: 0xFFFFFFF0 -> 0x10 is 32 ms.
TEST_F(Faults, ElapsedTimeAcrossATickWrap) {
  Start();
  rt::SetTickCountOverride(0xFFFFFFF0u);
  os.AnswerFilesDialog({Path("in/c.txt")});
  os.AnswerMessageBox(platform::kIdNo);
  Click(ui::kFilesButton);
  os.At(0, [] { rt::SetTickCountOverride(0x10u); });  // runs inside the batch's yield
  Run();
  EXPECT_EQ(ShownInTurn(ui::kStatusLabel).back(), Summary(1, 1, "32 毫秒"));
}

// 2. A relative save folder whose first level is two bytes long is made.
TEST(EnsureDirectories, OnlyTheRootAndDrivesAreSkipped) {
  struct Case {
    std::string prefix;
    char separator;
    bool skipped;
  } cases[] = {
      {"", '/', true},   {"", '\\', true},  {"C:", '\\', true}, {"z:", '\\', true},
      {"ab", '\\', false}, {"ab", '/', false}, {"C:", '/', false}, {"1:", '\\', false},
      {"abc", '\\', false}, {"\xb1\xa3", '\\', false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fs::SkipsDirectoryPrefix(c.prefix, c.separator), c.skipped) << c.prefix << " " << c.separator;
}

TEST_F(Faults, RelativeSaveFolderWithTwoByteFirstLevel) {
  std::filesystem::current_path(dir_);
  EXPECT_TRUE(fs::EnsureDirectories(Gbk(tl::test::Native("ab/保存目录/"))));
  EXPECT_TRUE(std::filesystem::is_directory(SaveDir("ab")));
}

// 3. The folder dialog's answer is used as it is: spaces belong to the name.
// (Windows drops spaces at the end of a name, so there only leading ones.)
TEST_F(Faults, FolderNamesWithSpacesAtTheEnds) {
  struct Case {
    std::string answer;               // relative names are under the program folder
    std::filesystem::path on_disk;
  };
  const std::vector<Case> cases = tl::test::kWindows ? std::vector<Case>{{Path(" leading"), dir_ / " leading"},
                                                                         {"  two", dir_ / "prog" / "  two"}}
                                                     : std::vector<Case>{{Path("trailing "), dir_ / "trailing "},
                                                                         {" both ", dir_ / "prog" / " both "}};
  for (const Case& c : cases) {
    SCOPED_TRACE("[" + c.answer + "]");
    std::filesystem::create_directories(c.on_disk);
    std::ofstream(c.on_disk / "a.txt", std::ios::binary) << "x\r\nx";
    Start();
    os.AnswerFolder(c.answer);
    os.AnswerMessageBox(platform::kIdNo);
    Click(ui::kFolderButton);
    Run();
    EXPECT_EQ(ShownInTurn(ui::kStatusLabel), (std::vector<std::string>{"(1:1) a\r\n", Summary(1, 1)}));
    EXPECT_EQ(rt::PropertyAsText(rt::GetControlProperty(ui::kMainWindow, ui::kFolderButton, 4)), c.answer);
    EXPECT_EQ(Slurp(c.on_disk / U8("保存目录") / "a.txt"), "x");
    EXPECT_EQ(Finish(), 0);
  }
}

// 4. Closing the window while work runs inside its yields: no crash, no
// half-written result, the settings saved, exit code 0.
TEST_F(Faults, ClosingWhileWorkYields) {
  struct Case {
    const char* what;
    std::function<void(Faults&)> start;  // schedules the work; the close follows at its first yield
    std::vector<std::string> statuses;
    std::vector<std::string> results;    // files of in/保存目录 and their content
    bool processing = false;
  } cases[] = {
      {"batch",
       [](Faults& t) {
         t.os.AnswerFilesDialog({t.Path("in/a.b.txt"), t.Path("in/readme"), t.Path("in/c.txt")});
         t.Click(ui::kFilesButton);
       },
       {"(3:1) a.b\r\n"},
       {"a.b.txt=1\r\n2"}},
      {"folder listing",
       [](Faults& t) {
         t.os.AnswerFolder(t.Path("in"));
         t.Click(ui::kFolderButton);
       },
       {},
       {}},
      {"processing click",
       [](Faults& t) {
         t.os.Clipboard() = LargeText();
         t.Click(ui::kPasteButton);
         t.Click(ui::kProcessButton);
       },
       {},
       {},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Start();
    c.start(*this);
    std::string resultAtClose;
    os.At(0, [&] {
      resultAtClose = Utf8(Widget(ui::kResultEdit).text);
      os.Close(W(ui::kMainWindowUnit));
    });
    EXPECT_EQ(Loop(), 0);
    EXPECT_TRUE(os.MessageBoxes().empty());  // no summary question after the close
    EXPECT_EQ(Ini(), Gbk("[基本配置]\r\n打乱=假\r\n去重=真\r\n编码=0\r\n文件类型=*.txt\r\n分隔符=\r\n换行符=真"));
    if (c.processing) {
      EXPECT_EQ(resultAtClose, "正在处理中..");  // the close came inside the work
    }
    std::vector<std::string> results;
    if (std::filesystem::exists(SaveDir("in"))) {
      for (auto& e : std::filesystem::directory_iterator(SaveDir("in")))
        results.push_back(Utf8Of(e.path().filename()) + "=" + Slurp(e.path()));
    }
    EXPECT_EQ(results, c.results);
    std::filesystem::remove_all(SaveDir("in"));
    std::filesystem::remove(dir_ / "prog" / "Tidyline.ini");
  }
}

// Work started inside other work's yields finishes, and so does the outer.
TEST_F(Faults, NestedClicks) {
  Start();
  os.Clipboard() = LargeText();
  Click(ui::kPasteButton);
  Run();
  Click(ui::kProcessButton);
  Click(ui::kProcessButton);  // runs inside the first one's yield
  Run();
  std::vector<std::string> shown = ShownInTurn(ui::kResultEdit);
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0], "正在处理中..");
  EXPECT_EQ(shown[1], "正在处理中..");
  EXPECT_EQ(shown[2], shown[3]);
  EXPECT_EQ(std::count(shown[3].begin(), shown[3].end(), '\n'), 700000 - 1);

  // A batch started inside a batch's yield.
  os.AnswerFilesDialog({Path("in/a.b.txt"), Path("in/c.txt")});
  os.AnswerFilesDialog({Path("other/d.txt")});
  os.AnswerMessageBox(platform::kIdNo);
  os.AnswerMessageBox(platform::kIdNo);
  Click(ui::kFilesButton);
  Click(ui::kFilesButton);
  Run();
  EXPECT_EQ(ShownInTurn(ui::kStatusLabel),
            (std::vector<std::string>{"(2:1) a.b\r\n", "(1:1) d\r\n", Summary(1, 1), "(2:2) c\r\n", Summary(2, 2)}));
  ASSERT_EQ(os.MessageBoxes().size(), 2u);
  EXPECT_EQ(Utf8(os.MessageBoxes()[0].text), "是否打开保存目录？\r\n\r\n" + SaveFolder("other"));
  EXPECT_EQ(Utf8(os.MessageBoxes()[1].text), "是否打开保存目录？\r\n\r\n" + SaveFolder("in"));
  EXPECT_EQ(Get("in/保存目录/a.b.txt"), "1\r\n2");
  EXPECT_EQ(Get("in/保存目录/c.txt"), "4");
  EXPECT_EQ(Get("other/保存目录/d.txt"), "7");
  // The outer batch shows its own share again after the inner one.
  EXPECT_EQ(Widget(ui::kProgressBar).progress_max, 2);
  EXPECT_EQ(Widget(ui::kProgressBar).progress_pos, 2);
}

}  // namespace
}  // namespace tl::app::test
