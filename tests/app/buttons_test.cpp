// The text buttons, the banner and the shell helpers, as the user sees them.
#include <filesystem>
#include <fstream>

#include "app/app_fixture.h"
#include "app/shell.h"
#include "runtime/os/process.h"

namespace tl::app::test {
namespace {

const std::string kDeduped = "123\r\n333\r\n321\r\n222\r\n555\r\n655\r\n777";

TEST_F(AppTest, TextButtons) {
  struct Case {
    const char* what;
    std::function<void(AppTest&)> script;  // before the button click
    std::uint32_t button;
    std::optional<std::string> clipboard;  // before; nullopt: no text on it
    std::string source, result;            // shown afterwards
    std::optional<std::string> clipboard_after;
  } cases[] = {
      {"sample de-duplicated", nullptr, ui::kProcessButton, std::nullopt, kSample, kDeduped, std::nullopt},
      {"neither box: unchanged", [](AppTest& t) { t.Click(ui::kDedupeCheck); }, ui::kProcessButton, std::nullopt,
       kSample, kSample, std::nullopt},
      {"typed separator",
       [](AppTest& t) {
         t.Click(ui::kTypedRadio);
         t.Type(ui::kSeparatorEdit, "，");
         t.Click(ui::kPasteButton);
       },
       ui::kProcessButton, "乙，甲，乙", "乙，甲，乙", "甲，乙", "乙，甲，乙"},
      {"paste", nullptr, ui::kPasteButton, "x\r\ny", "x\r\ny", "", "x\r\ny"},
      {"paste without text empties the box", nullptr, ui::kPasteButton, std::nullopt, "", "", std::nullopt},
      {"copy of an empty result", nullptr, ui::kCopyButton, "old", kSample, "", ""},
      {"copy does not process", [](AppTest& t) { t.Click(ui::kProcessButton); }, ui::kCopyButton, std::nullopt, kSample,
       kDeduped, kDeduped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    os.Clipboard() = c.clipboard ? std::optional(Gbk(*c.clipboard)) : std::nullopt;
    Start();
    if (c.script) c.script(*this);
    Click(c.button);
    Run();
    EXPECT_EQ(Shown(ui::kSourceEdit), c.source);
    EXPECT_EQ(Shown(ui::kResultEdit), c.result);
    EXPECT_EQ(os.Clipboard() ? std::optional(Utf8(*os.Clipboard())) : std::nullopt, c.clipboard_after);
    EXPECT_EQ(Finish(), 0);
    std::filesystem::remove(dir_ / "prog" / "Tidyline.ini");
  }
}

TEST_F(AppTest, ProcessShowsTheWaitingTextFirst) {
  Start();
  Click(ui::kProcessButton);
  Run();
  EXPECT_EQ(ShownInTurn(ui::kResultEdit), (std::vector<std::string>{"正在处理中..", kDeduped}));
}

// The logo runs from 40 to 359, turns, runs down to 19, turns again.
TEST_F(AppTest, BannerSlidesAndTurns) {
  Start();
  struct Step {
    std::uint32_t ticks;  // since start
    int left;
  } steps[] = {{0, 40}, {1, 41}, {318, 358}, {319, 359}, {320, 358}, {659, 19}, {660, 20}, {979, 339}, {999, 359}, {1000, 358}};
  std::uint32_t done = 0;
  for (const Step& s : steps) {
    Run((s.ticks - done) * 20);
    done = s.ticks;
    EXPECT_EQ(Widget(ui::kLogo).rect.left, s.left) << s.ticks << " ticks";
  }
}

TEST_F(AppTest, BannerClicksOpenTheMakersPages) {
  struct Case {
    std::uint32_t unit;
    std::string url;
  } cases[] = {{ui::kLogo, "https://www.lumora.example/channel.asp?id=12"},
               {ui::kHomeIcon, "https://www.lumora.example/info.asp?id=92"}};
  Start();
  for (const Case& c : cases) {
    Click(c.unit);
    Run();
    ASSERT_FALSE(os.OpenedDocuments().empty());
    EXPECT_EQ(os.OpenedDocuments().back().target, c.url);
    EXPECT_EQ(os.OpenedDocuments().back().verb, "open");
    EXPECT_EQ(os.OpenedDocuments().back().show, 1);
  }
  // The home icon follows the link's target as it is now.
  rt::SetControlProperty(ui::kMainWindow, ui::kHomeLink, 11, std::string("https://elsewhere.example/"));
  Click(ui::kHomeIcon);
  Run();
  EXPECT_EQ(os.OpenedDocuments().back().target, "https://elsewhere.example/");
}

TEST(ExplorerCommandLine, Flags) {
  struct Case {
    ExplorerOptions options;
    const char* command;
  } cases[] = {
      {{.newWindow = true, .openItself = true}, R"(explorer /n,"D:\in\保存目录\")"},
      {{}, R"(explorer /e,/select,"D:\in\保存目录\")"},
      {{.root = true}, R"(explorer /e,/root,"D:\in\保存目录\")"},
      {{.newWindow = true, .openItself = true, .root = true}, R"(explorer /n,/root,"D:\in\保存目录\")"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExplorerCommandLine(R"(D:\in\保存目录\)", c.options), c.command);
}

// The file browser: on Linux the platform's folder opener on the folder or
// on the item, on Windows the explorer command line; ".exe" in any case with
// openItself runs the program itself (its name has a space, so the path
// must reach it whole). The program leaves a marker beside itself: a shell
// script on Linux, on Windows a copy of this test program that runs only
// OpenInExplorerChild (below).
TEST_F(AppTest, OpenInExplorer) {
  if (tl::test::kWindows) {
    std::filesystem::copy_file(os::ProgramPath(), Path("run me.EXE"));
  } else {
    Put("run me.EXE", "#!/bin/sh\necho ran > \"$(dirname \"$0\")/marker\"\n");
    std::filesystem::permissions(Path("run me.EXE"), std::filesystem::perms::owner_all);
  }
  const tl::test::ScopedEnv filter("GTEST_FILTER", "OpenInExplorerChild.LeavesAMarker");
  const tl::test::ScopedEnv marker("TIDYLINE_TEST_MARKER", "1");
  const tl::test::ScopedEnv brief("GTEST_BRIEF", "1");
  platform::Install(&os);
  struct Case {
    std::string path;
    ExplorerOptions options;
    std::string opened, path_after;  // opened: the file browser's call, "" for none
    bool ok = true;
  };
  const std::vector<Case> browse =
      tl::test::kWindows
          ? std::vector<Case>{
                {R"(C:\in\out\)", {.newWindow = true, .openItself = true}, R"(explorer /n,"C:\in\out\")",
                 R"(C:\in\out\)"},
                {R"(C:\in\a.txt)", {}, R"(explorer /e,/select,"C:\in\a.txt")", R"(C:\in\a.txt)"},
                {R"(C:\in\a.txt)", {.root = true}, R"(explorer /e,/root,"C:\in")", R"(C:\in)"},
                {R"(C:\in\tool.exe)", {.root = true}, R"(explorer /e,/root,"C:\in")", R"(C:\in)"},
                {R"(C:\in\tool.exe)", {}, R"(explorer /e,/select,"C:\in\tool.exe")", R"(C:\in\tool.exe)"},
            }
          : std::vector<Case>{
                {"/in/out/", {.newWindow = true, .openItself = true}, "browse new /in/out/", "/in/out/"},
                {"/in/a.txt", {}, "browse-select /in/a.txt", "/in/a.txt"},
                {"/in/a.txt", {.root = true}, "browse /in", "/in"},  // root changes the caller's text
                {"/in/tool.exe", {.root = true}, "browse /in", "/in"},
                {"/in/tool.exe", {}, "browse-select /in/tool.exe", "/in/tool.exe"},
            };
  const Case run[] = {
      {Path("run me.EXE"), {.openItself = true, .wait = true}, "", Path("run me.EXE")},
      {Path("missing.exe"), {.openItself = true, .wait = true}, "", Path("missing.exe"), false},
  };
  auto check = [&](const Case& c) {
    std::string path = c.path;
    const std::size_t before = os.ProgramsRun().size() + Launched().size();
    EXPECT_EQ(OpenInExplorer(path, c.options), c.ok) << c.path;
    std::vector<std::string> opened;
    for (auto& p : os.ProgramsRun()) opened.push_back(p.command_line);
    opened.insert(opened.end(), Launched().begin(), Launched().end());
    EXPECT_EQ(opened.size() == before ? "" : opened.back(), c.opened) << c.path;
    EXPECT_EQ(path, c.path_after);
  };
  for (const Case& c : browse) check(c);
  // The programs really start (the fixture records launches otherwise).
  rt::SetProgramLauncher(nullptr);
  for (const Case& c : run) check(c);
  platform::Install(nullptr);
  EXPECT_EQ(Get("marker"), "ran\n");
}

// Not a test of its own: the program OpenInExplorer starts on Windows.
TEST(OpenInExplorerChild, LeavesAMarker) {
  if (!tl::test::GetEnv("TIDYLINE_TEST_MARKER")) GTEST_SKIP() << "only as the program that OpenInExplorer starts";
  std::ofstream(std::filesystem::path(os::ProgramPath()).parent_path() / "marker", std::ios::binary) << "ran\n";
}

}  // namespace
}  // namespace tl::app::test
