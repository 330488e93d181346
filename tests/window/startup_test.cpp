// Start-up, the message loop's quit rule, the shutdown sequence and the
// runtime error dialog.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/message_pump.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

using namespace tpl;

TemplateSegment TwoWindows() {
  TemplateSegment seg;
  seg.windows.push_back(SyntheticWindow());
  WindowTemplate second = SyntheticWindow();
  second.id = kWin + 1;
  seg.windows.push_back(second);
  return seg;
}

TEST_F(WindowTest, ClosingTheLastWindowEndsTheLoopWithZero) {
  Init(TwoWindows());
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false) && BuildWindow(kWin + 1, std::nullopt, false));
  os.Close(WidgetOf({kWin, 0}), 30);
  os.Close(WidgetOf({kWin + 1, 0}), 70);
  EXPECT_EQ(RunMessageLoop(), 0);
  // The first close left one window, so the loop ran on to the second.
  EXPECT_EQ(os.Now(), 70u);
  EXPECT_EQ(LoadedWindowCount(), 0u);
}

TEST_F(WindowTest, WindowDestroyedBeforeTheLoopDoesNotEndIt) {
  Init(TwoWindows());
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false) && BuildWindow(kWin + 1, std::nullopt, false));
  DestroyWindow(kWin);  // before RunMessageLoop: no quit
  os.Close(WidgetOf({kWin + 1, 0}), 50);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(os.Now(), 50u);
}

TEST_F(WindowTest, NoLoadedWindowMeansNoLoop) {
  InitSynthetic();
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(os.Now(), 0u);
}

TEST_F(WindowTest, ShutdownRunsTheHookOnceAndForgetsIt) {
  static int runs = 0;
  runs = 0;
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  SetShutdownHook(+[] { ++runs; });
  ShutdownRuntime(0);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(IsWindowLoaded(kWin));
  EXPECT_TRUE(os.TopLevels().empty());
  ShutdownRuntime(0);
  EXPECT_EQ(runs, 1);
}

TEST_F(WindowTest, ProgramDirectoryBecomesTheCurrentDirectory) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  struct Case {
    std::string path, directory, file, cwd;
  } cases[] = {
      {"/tmp/prog", "/tmp", "prog", "/tmp"},
      {"/prog", "", "prog", "/"},
      {"prog", "", "prog", "/"},  // no separator: left as it was
  };
  for (auto& c : cases) {
    os.SetProgramPath(c.path);
    InitSynthetic();
    EXPECT_EQ(ProgramDirectoryPath(), c.directory) << c.path;
    EXPECT_EQ(ProgramFileName(), c.file) << c.path;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), c.cwd) << c.path;
    ShutdownRuntime(0);
  }
  ASSERT_EQ(chdir(here), 0);
}

// Idle work runs whenever the loop has nothing due, before time moves on.
TEST_F(WindowTest, IdleCallbacksRunWhileTheQueueIsEmpty) {
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  SetControlProperty(kWin, kTimer, 8, std::int32_t{0});
  EXPECT_EQ(AddIdleCallback(0x52019999, [] { return false; }), 0);  // window not loaded
  // A piece of work done in steps: it asks to run again until it is finished,
  // then closes the window, which ends the loop.
  int steps = 0;
  ASSERT_NE(AddIdleCallback(kWin, [&] {
              if (++steps < 5) return true;
              RequestClose(kWin);
              return false;
            }),
            0);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(os.Now(), 0u);  // all of it before any time passed
}

TEST_F(WindowTest, IdleCallbacksRunAgainAfterEachEventAndGoWithTheirWindow) {
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  SetControlProperty(kWin, kTimer, 8, std::int32_t{0});
  int a = 0, b = 0;
  int id_a = AddIdleCallback(kWin, [&] { return ++a, false; });
  AddIdleCallback(kWin, [&] { return ++b, false; });
  os.Click(WidgetOf({kWin, kButton}), 10);
  os.Click(WidgetOf({kWin, kButton}), 20);
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
  AddIdleCallback(kWin, [&] {
    DestroyWindow(kWin);
    return true;
  });
  os.RunFor(10);
  EXPECT_FALSE(IsWindowLoaded(kWin));
  int b_after = b;
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  os.RunFor(10);
  EXPECT_EQ(b, b_after);
}

// On another thread the shutdown sequence only forwards the exit code, then
// ends the process itself, unless the UI thread is already shutting down.
TEST_F(WindowTest, ShutdownFromAnotherThreadDuringShutdownOnlyForwards) {
  InitSynthetic();
  static std::atomic<bool> hook_done{false};
  hook_done = false;
  SetShutdownHook(+[] {
    std::thread([] { ShutdownRuntime(9); }).detach();  // never returns
    auto* h = static_cast<hl::Headless*>(platform::Current());
    for (int i = 0; i < 100000 && h->ForwardedExit() != 9; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    hook_done = true;
  });
  ShutdownRuntime(0);
  EXPECT_TRUE(hook_done);
  EXPECT_EQ(os.ForwardedExit(), 9);
}

using StartupDeathTest = WindowTest;

TEST_F(StartupDeathTest, ExitFromAnotherThreadEndsTheProcessWithoutTheHook) {
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_EXIT(
      {
        SetShutdownHook(+[] { std::fputs("hook ran", stderr); });
        std::thread([] { ExitProgram(7); }).join();
        std::fputs("the thread returned", stderr);
        std::_Exit(1);
      },
      ::testing::ExitedWithCode(7), ::testing::Not(::testing::HasSubstr("ran")));
}

TEST_F(StartupDeathTest, ExitFromAnotherThreadLeavesARunningShutdownToTheUiThread) {
  InitSynthetic();
  EXPECT_EXIT(
      {
        SetShutdownHook(+[] {
          std::thread([] { ExitProgram(7); }).detach();
          auto* h = static_cast<hl::Headless*>(platform::Current());
          for (int i = 0; i < 100000 && h->ForwardedExit() != 7; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          std::fputs(h->ForwardedExit() == 7 ? "forwarded 7" : "not forwarded", stderr);
        });
        ExitProgram(3);
      },
      ::testing::ExitedWithCode(3), ::testing::HasSubstr("forwarded 7"));
}

TEST_F(StartupDeathTest, RuntimeErrorShowsTheDialogRunsTheHookAndExitsMinusOne) {
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_EXIT(
      {
        os.AnswerMessageBox(platform::kIdOk);
        SetShutdownHook(+[] {
          auto* h = static_cast<hl::Headless*>(platform::Current());
          const auto& box = h->MessageBoxes().back();
          std::string expected = Gbk("运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
          bool exact = box.text == expected && box.caption == Gbk("错误") && box.style == 0x10;
          std::fputs(exact ? "dialog exact; hook ran" : "dialog differs", stderr);
        });
        RaiseRuntimeError(1);
      },
      ::testing::ExitedWithCode(255), "dialog exact; hook ran");
}

TEST_F(StartupDeathTest, FatalErrorWithoutMessageOrCode) {
  InitSynthetic();
  EXPECT_EXIT(
      {
        os.AnswerMessageBox(platform::kIdOk);
        SetShutdownHook(+[] {
          auto* h = static_cast<hl::Headless*>(platform::Current());
          std::fputs(h->MessageBoxes().back().text == Gbk("运行时出错!\r\n\r\n") ? "bare" : "other", stderr);
        });
        FatalError("");
      },
      ::testing::ExitedWithCode(255), "bare");
}

TEST_F(StartupDeathTest, UnreadableTemplateSegmentIsARuntimeError) {
  const std::string segments[] = {std::string("\x08\0\0\0", 4), std::string(3, 'x'),
                                  WriteTemplateSegment(TwoWindows()).substr(0, 100)};
  for (const auto& seg : segments) {
    EXPECT_EXIT(
        {
          os.AnswerMessageBox(platform::kIdOk);
          SetShutdownHook(+[] {
            auto* h = static_cast<hl::Headless*>(platform::Current());
            std::fputs(h->MessageBoxes().back().text.c_str(), stderr);
          });
          InitRuntime({seg, Resolver()});
        },
        ::testing::ExitedWithCode(255), ::testing::HasSubstr(Gbk("载入窗口模板数据段出错!")));
  }
}

TEST_F(StartupDeathTest, UnknownHandlerValueIsARuntimeError) {
  TemplateSegment seg;
  seg.windows.push_back(SyntheticWindow());
  seg.windows[0].units[kButton & 0xF].events.push_back({5, 999});  // names no procedure
  std::string bytes = WriteTemplateSegment(seg);
  EXPECT_EXIT(
      {
        os.AnswerMessageBox(platform::kIdOk);
        InitRuntime({bytes, Resolver()});
      },
      ::testing::ExitedWithCode(255), "");
}

TEST_F(StartupDeathTest, UnansweredDialogFailsLoudly) {
  InitSynthetic();
  EXPECT_DEATH(os.MessageBox("question", "caption", 4), "without a queued answer");
  EXPECT_DEATH(os.OpenFilesDialog({}), "without a queued answer");
  EXPECT_DEATH(os.RunLoop(), "no script will send");
}

}  // namespace
}  // namespace tl::rt::test
