// Start-up, the message loop's quit rule, the shutdown sequence and the
// runtime error dialog.
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

#include "runtime/commands/system_commands.h"
#include "runtime/core/message_pump.h"
#include "runtime/os/process.h"
#include "runtime/window/window_commands.h"
#include "support/exit_code.h"
#include "support/gbk.h"
#include "support/paths.h"
#include "support/temp_dir.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

// The loop ends with 0 when the last window closes after it has started; a
// window destroyed before it does not end it.
TEST_F(WindowTest, ClosingTheLastWindowEndsTheLoopWithZero) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> built, destroyed_before;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> closes;  // window, at ms
    std::uint64_t ends_at;
  } cases[] = {
      {"two closes", {kWin, kWin + 1}, {}, {{kWin, 30}, {kWin + 1, 70}}, 70},
      {"one destroyed before the loop", {kWin, kWin + 1}, {kWin}, {{kWin + 1, 50}}, 50},
      {"no window: no loop", {}, {}, {}, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    Init(SyntheticWindows({kWin, kWin + 1}));
    const std::uint64_t start = os.Now();
    for (auto id : c.built) ASSERT_TRUE(BuildWindow(id, std::nullopt, false));
    for (auto id : c.destroyed_before) DestroyWindow(id);
    for (auto [id, at] : c.closes) os.Close(WidgetOf({id, 0}), at);
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(os.Now() - start, c.ends_at);
    EXPECT_EQ(LoadedWindowCount(), 0u);
    ShutdownRuntime(0);
  }
}

TEST_F(WindowTest, ShutdownRunsTheHookOnceAndForgetsIt) {
  static int runs = 0;
  runs = 0;
  InitSynthetic();
  ASSERT_TRUE(Build());
  SetShutdownHook(+[] { ++runs; });
  ShutdownRuntime(0);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(IsWindowLoaded(kWin));
  EXPECT_TRUE(os.TopLevels().empty());
  ShutdownRuntime(0);
  EXPECT_EQ(runs, 1);
}

// The cut is at the last separator that is not the second byte of a
// two-byte character ("乗" is 0x81 0x5C, and 0x5C is "\"); a program in a
// drive's root makes that root (not the drive's current folder) current.
TEST_F(WindowTest, ProgramDirectoryBecomesTheCurrentDirectory) {
  const std::filesystem::path here = std::filesystem::current_path();
  const std::filesystem::path tmp = tl::test::MakeTempDir();
  ASSERT_FALSE(tmp.empty());
  std::filesystem::create_directory(tmp / std::u8string(u8"乗"));
  const std::u8string tmp_name = tmp.u8string();
  const std::string folder =
      tl::test::Gbk(tl::test::Native(std::string(tmp_name.begin(), tmp_name.end()) + "/乗"));
  const std::string gbk_name = tl::test::Gbk("程序乗");
  struct Case {
    std::string path, directory, file, cwd;
  };
  const std::vector<Case> cases =
      tl::test::kWindows ? std::vector<Case>{
                           {folder + "\\prog", folder, "prog", folder},
                           {folder + "\\" + gbk_name, folder, gbk_name, folder},
                           {"C:\\windows\\prog", "C:\\windows", "prog", "C:\\windows"},
                           {"\\prog", "", "prog", "C:\\"},  // the current drive's root
                           {folder + "\\prog", folder, "prog", folder},
                           {"C:\\prog", "C:", "prog", "C:\\"},
                           {"prog", "", "prog", "C:\\"},  // no separator: left as it was
                       }
                     : std::vector<Case>{
                           {folder + "/prog", folder, "prog", folder},
                           {folder + "/" + gbk_name, folder, gbk_name, folder},
                           {"/tmp/prog", "/tmp", "prog", "/tmp"},
                           {"/prog", "", "prog", "/"},
                           {"prog", "", "prog", "/"},  // no separator: left as it was
                       };
  for (auto& c : cases) {
    SetProgramPathForStartup(c.path);
    InitSynthetic();
    EXPECT_EQ(ProgramDirectoryPath(), c.directory) << c.path;
    EXPECT_EQ(ProgramFileName(), c.file) << c.path;
    // The program-directory command answers the same (an empty one is not
    // recorded: it answers the running program's folder then).
    if (!c.directory.empty()) {
      EXPECT_EQ(std::string(ProgramDirectory().view()), c.directory) << c.path;
    }
    // Compared without regard to case: wine may spell C:\windows otherwise.
    std::string cwd = os::CurrentDirectory(), want = c.cwd;
    if (tl::test::kWindows)
      for (std::string* s : {&cwd, &want})
        for (char& ch : *s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(cwd, want) << c.path;
    ShutdownRuntime(0);
  }
  SetProgramPathForStartup({});
  std::filesystem::current_path(here);
  std::filesystem::remove_all(tmp);
}

// Idle work runs whenever the loop has nothing due, before time moves on,
// and goes with its window.
TEST_F(WindowTest, IdleCallbacks) {
  InitSynthetic();
  ASSERT_TRUE(Build());
  SetControlProperty(kWin, kTimer, 8, std::int32_t{0});
  EXPECT_EQ(AddIdleCallback(0x52019999, [] { return false; }), 0);  // window not loaded
  int a = 0, b = 0;
  int id_a = AddIdleCallback(kWin, [&] { return ++a, false; });
  AddIdleCallback(kWin, [&] { return ++b, false; });
  os.Click(W(kButton), 10);
  os.Click(W(kButton), 20);
  os.RunFor(30);
  EXPECT_EQ(a, 3);  // once at the start and once after each click
  EXPECT_EQ(b, 3);
  DoEvents();  // dispatching pending events runs no idle work
  EXPECT_EQ(a, 3);
  RemoveIdleCallback(id_a);
  os.RunFor(10);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  // A callback that destroys its window takes every callback of it along.
  AddIdleCallback(kWin, [&] { return DestroyWindow(kWin), true; });
  os.RunFor(10);
  EXPECT_FALSE(IsWindowLoaded(kWin));
  const int b_after = b;
  ASSERT_TRUE(Build());
  os.RunFor(10);
  EXPECT_EQ(b, b_after);
  // Work done in steps asks to run again until it is finished, all before
  // any time passes; then it closes the window, which ends the loop.
  int steps = 0;
  const std::uint64_t start = os.Now();
  ASSERT_NE(AddIdleCallback(kWin, [&] { return ++steps < 5 || (RequestClose(kWin), false); }), 0);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(os.Now(), start);
}

// Waits (bounded) until another thread has forwarded `code` to the backend.
bool AwaitForwardedExit(int code) {
  auto* h = static_cast<hl::Headless*>(platform::Current());
  for (int i = 0; i < 100000 && h->ForwardedExit() != code; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return h->ForwardedExit() == code;
}

using StartupDeathTest = WindowTest;

TEST_F(StartupDeathTest, ExitFromAnotherThread) {
  InitSynthetic();
  ASSERT_TRUE(Build());
  // Without a shutdown under way: the process ends there, without the hook.
  EXPECT_EXIT(
      {
        SetShutdownHook(+[] { std::fputs("hook ran", stderr); });
        std::thread([] { ExitProgram(7); }).join();
        std::fputs("the thread returned", stderr);
        std::_Exit(1);
      },
      ::testing::ExitedWithCode(7), ::testing::Not(::testing::HasSubstr("ran")));
  // During one: the code is forwarded and the UI thread finishes its own.
  EXPECT_EXIT(
      {
        SetShutdownHook(+[] {
          std::thread([] { ExitProgram(7); }).detach();
          std::fputs(AwaitForwardedExit(7) ? "forwarded 7" : "not forwarded", stderr);
        });
        ExitProgram(3);
      },
      ::testing::ExitedWithCode(3), ::testing::HasSubstr("forwarded 7"));
}

// The dialog is exact, shown before the hook runs, and the exit code is -1.
TEST_F(StartupDeathTest, RuntimeErrorDialog) {
  InitSynthetic();
  ASSERT_TRUE(Build());
  const std::string head = "[" + Gbk("错误") + "|10]" + Gbk("运行时出错!\r\n\r\n");
  ExpectDialogExit([] { RaiseRuntimeError(1); },
                   head + Gbk("错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n<end>"));
  ExpectDialogExit([] { FatalError(""); }, head + "<end>");  // no message, no code
}

TEST_F(StartupDeathTest, UnreadableTemplateSegmentIsARuntimeError) {
  tpl::TemplateSegment unknown_handler = SyntheticWindows({kWin});
  unknown_handler.windows[0].units[Index(kButton)].events.push_back({5, 999});  // names no procedure
  const std::string segments[] = {std::string("\x08\0\0\0", 4), std::string(3, 'x'),
                                  tpl::WriteTemplateSegment(SyntheticWindows({kWin, kWin + 1})).substr(0, 100),
                                  tpl::WriteTemplateSegment(unknown_handler)};
  for (const auto& seg : segments)
    ExpectDialogExit([&] { InitRuntime({seg, Resolver()}); }, Gbk("载入窗口模板数据段出错!"));
}

// The program's own window that cannot be built ends the process through the
// runtime error dialog instead of running with nothing on the screen.
TEST_F(StartupDeathTest, AWindowThatCannotBeBuiltIsARuntimeError) {
  const std::function<void(tpl::WindowTemplate&)> faults[] = {
      [](tpl::WindowTemplate& w) { w.units[Index(kEdit)].properties = std::string("\x03\0\0\0", 4); },
      [](tpl::WindowTemplate& w) { w.units[Index(kLabel)].parent = kButton; },
  };
  for (const auto& fault : faults) {
    tpl::WindowTemplate w = SyntheticWindow();
    fault(w);
    InitWith(w);
    ExpectDialogExit([] { LoadWindow(kWin); }, Gbk("载入窗口模板数据段出错!"));
    // An unknown window is the caller's to handle.
    EXPECT_FALSE(LoadWindow(0x52019999));
    ShutdownRuntime(0);
  }
}

// Without a window system the start-up says so.
TEST_F(StartupDeathTest, StartingWithoutABackendSaysWhatIsMissing) {
  bytes = tpl::WriteTemplateSegment(SyntheticWindows({kWin}));
  EXPECT_EXIT(
      {
        platform::Install(nullptr);
        InitRuntime({bytes, Resolver()});
        std::exit(0);
      },
      ::testing::ExitedWithCode(tl::test::kFatalExitStatus),
      ::testing::AllOf(::testing::HasSubstr(Gbk("没有可用的窗口系统")),
                       ::testing::Not(::testing::HasSubstr(Gbk("载入窗口模板数据段出错!")))));
}

TEST_F(StartupDeathTest, UnansweredDialogFailsLoudly) {
  InitSynthetic();
  EXPECT_DEATH(os.MessageBox("question", "caption", 4), "without a queued answer");
  EXPECT_DEATH(os.OpenFilesDialog({}), "without a queued answer");
  EXPECT_DEATH(os.RunLoop(), "no script will send");
}

}  // namespace
}  // namespace tl::rt::test
