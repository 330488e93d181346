// The message loops: timers while DoEvents serves the windows, the idle
// rule, nested modal loops with the quit handed outwards, and message boxes
// answered from a timer.
#include "support/gbk.h"
#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

using test::Gbk;

class LoopTest : public Win32Test {
 protected:
  int Ticks(platform::TimerId id) const {
    int n = 0;
    for (const auto& e : rec.events)
      if (e.event.type == EventType::kTimer && e.event.timer == id) ++n;
    return n;
  }
};

TEST_F(LoopTest, TimersTickDuringPumpPendingAndStopWhenStopped) {
  platform::TimerId a = os.StartTimer(20), b = os.StartTimer(15);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(os.StartTimer(0), 0u) << "no timer without a period";
  ASSERT_TRUE(PumpUntil([&] { return Ticks(a) >= 3 && Ticks(b) >= 3; }));
  os.StopTimer(a);
  int stopped_at = Ticks(a);
  // The other timer serves as the clock: ten more of its ticks, none of a.
  int b_now = Ticks(b);
  ASSERT_TRUE(PumpUntil([&] { return Ticks(b) >= b_now + 10; }));
  EXPECT_EQ(Ticks(a), stopped_at);
  os.StopTimer(b);
  os.StopTimer(b);  // twice is harmless
  for (const auto& e : rec.events) {
    if (e.event.type == EventType::kTimer) {
      EXPECT_EQ(e.widget, platform::kNoHandle);
    }
  }
  EXPECT_TRUE(rec.idle_counts.empty()) << "PumpPending runs no idle work";
}

TEST_F(LoopTest, PumpPendingLeavesAPostedQuitForTheLoop) {
  platform::TimerId t = os.StartTimer(10);
  bool pumped = false;
  rec.reply = [&](Handle, const Event& e) {
    if (e.type == EventType::kTimer && Ticks(t) == 2) {
      os.PostQuit(7);
      os.PumpPending();
      pumped = true;
    }
    return EventReply{};
  };
  EXPECT_EQ(os.RunLoop(), 7);
  os.StopTimer(t);
  EXPECT_TRUE(pumped);
  EXPECT_EQ(Ticks(t), 2) << "the quit ended the loop before the next tick";
}

TEST_F(LoopTest, IdleWorkRunsWhileItAsksForMoreWithACountFromZero) {
  // Rounds of idle work run until the work answers false; a timer's tick
  // starts a new round at 0; the second full round posts the quit.
  platform::TimerId t = os.StartTimer(30);
  int full_rounds = 0;
  rec.idle = [&](int count) {
    if (count == 3 && ++full_rounds == 2) os.PostQuit(5);
    return count < 3;
  };
  EXPECT_EQ(os.RunLoop(), 5);
  os.StopTimer(t);
  ASSERT_GE(rec.idle_counts.size(), 8u);
  EXPECT_EQ(rec.idle_counts[0], 0);
  for (std::size_t i = 1; i < rec.idle_counts.size(); ++i) {
    int prev = rec.idle_counts[i - 1], now = rec.idle_counts[i];
    EXPECT_TRUE(now == prev + 1 || now == 0) << i;
    EXPECT_LE(now, 3);
  }
  EXPECT_GE(rec.Count(EventType::kTimer), 1) << "the loop slept between the rounds until the tick";
}

TEST_F(LoopTest, ModalLoopsNestAndAnEndedOuterOneWaitsForTheInner) {
  Handle outer = Window({50, 50, 300, 200}, "outer");
  Handle inner = Window({80, 80, 300, 200}, "inner");
  Show(outer);
  Show(inner);
  std::vector<std::string> log;
  platform::TimerId t = os.StartTimer(10);
  int tick = 0;
  rec.reply = [&](Handle, const Event& e) {
    if (e.type != EventType::kTimer) return EventReply{};
    switch (++tick) {
      case 2:
        log.push_back("inner starts");
        os.RunModalLoop(inner);
        log.push_back("inner returned");
        break;
      case 4:
        // Ended while the inner loop runs: returns only after it.
        log.push_back("end outer");
        os.EndModalLoop(outer);
        break;
      case 6:
        log.push_back("end inner");
        os.EndModalLoop(inner);
        break;
      default: break;
    }
    return EventReply{};
  };
  log.push_back("outer starts");
  os.RunModalLoop(outer);
  log.push_back("outer returned");
  os.StopTimer(t);
  EXPECT_EQ(log, (std::vector<std::string>{"outer starts", "inner starts", "end outer", "end inner", "inner returned",
                                           "outer returned"}));
  os.EndModalLoop(outer);  // no loop runs for it: nothing happens
}

TEST_F(LoopTest, AQuitInsideModalLoopsEndsThemAndReachesTheOuterLoop) {
  Handle a = Window({50, 50, 300, 200}, "a");
  Handle b = Window({80, 80, 300, 200}, "b");
  platform::TimerId t = os.StartTimer(10);
  int tick = 0;
  bool b_returned = false;
  rec.reply = [&](Handle, const Event& e) {
    if (e.type != EventType::kTimer) return EventReply{};
    ++tick;
    if (tick == 1) {
      os.RunModalLoop(a);
    } else if (tick == 2) {
      os.RunModalLoop(b);
      b_returned = true;
    } else if (tick == 3) {
      os.PostQuit(42);
    }
    return EventReply{};
  };
  EXPECT_EQ(os.RunLoop(), 42);
  os.StopTimer(t);
  EXPECT_TRUE(b_returned);
  EXPECT_EQ(tick, 3) << "no tick after the quit";
}

TEST_F(LoopTest, ADestroyedModalWindowEndsItsLoop) {
  Handle a = Window({50, 50, 300, 200}, "a");
  platform::TimerId t = os.StartTimer(10);
  rec.reply = [&](Handle, const Event& e) {
    if (e.type == EventType::kTimer) {
      os.DestroyWidget(a);
      windows.clear();
    }
    return EventReply{};
  };
  os.RunModalLoop(a);
  os.StopTimer(t);
  EXPECT_FALSE(IsWindow(W(a)));
}

struct BoxCase {
  std::uint32_t style;
  int press;  // the button to press (its IDOK... identifier)
  int want;
};

TEST_F(LoopTest, MessageBoxesReturnTheButtonPressed) {
  const BoxCase cases[] = {
      {MB_OK, IDOK, platform::kIdOk},
      {MB_OKCANCEL, IDCANCEL, platform::kIdCancel},
      {MB_OKCANCEL | MB_ICONQUESTION, IDOK, platform::kIdOk},
      {MB_YESNO, IDYES, platform::kIdYes},
      {MB_YESNO | MB_ICONERROR, IDNO, platform::kIdNo},
      {MB_YESNOCANCEL, IDCANCEL, platform::kIdCancel},
      {MB_RETRYCANCEL, IDRETRY, platform::kIdRetry},
      {MB_ABORTRETRYIGNORE, IDIGNORE, platform::kIdIgnore},
      {MB_ABORTRETRYIGNORE | MB_ICONWARNING, IDABORT, platform::kIdAbort},
  };
  const std::string caption = Gbk("提示");
  for (const BoxCase& c : cases) {
    // Our timers go on inside the box's own loop: one finds the box and
    // presses its button.
    platform::TimerId t = os.StartTimer(20);
    std::string seen_text;
    rec.reply = [&](Handle, const Event& e) {
      if (e.type != EventType::kTimer) return EventReply{};
      HWND box = FindWindowA("#32770", caption.c_str());
      if (!box) return EventReply{};
      HWND button = GetDlgItem(box, c.press);
      if (!button) return EventReply{};
      for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextLengthA(child) > 0) seen_text = WindowText(child);
      }
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(c.press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
      return EventReply{};
    };
    EXPECT_EQ(os.MessageBox(Gbk("要打开输出文件夹吗？"), caption, c.style), c.want) << std::hex << c.style;
    EXPECT_EQ(seen_text, Gbk("要打开输出文件夹吗？"));
    os.StopTimer(t);
  }
}

}  // namespace
}  // namespace tl::wintest
