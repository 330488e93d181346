// The message loop on GTK: quit codes, nested modal loops, idle work, and
// what DoEvents (PumpPending) does and does not do.
#include "gtk/gtk_support.h"

namespace tl::gtktest {
namespace {

class LoopTest : public GtkTest {
 protected:
  // Runs `steps[i]` at the i-th tick, each from a timer of its own: GLib
  // never runs a source inside its own callback, so a step that starts a
  // nested loop would otherwise stop the script.
  void Script(std::vector<std::function<void()>> steps, std::uint32_t period_ms = 5) {
    steps_ = std::move(steps);
    next_ = 0;
    period_ = period_ms;
    os.StopTimer(timer_);
    timer_ = os.StartTimer(period_);
    rec.reply = [this](Handle, const Event& e) {
      if (e.type == EventType::kTimer && e.timer == banner_) ++banner_ticks_;
      if (e.type == EventType::kTimer && e.timer == timer_ && next_ < steps_.size()) {
        os.StopTimer(timer_);
        timer_ = next_ + 1 < steps_.size() ? os.StartTimer(period_) : 0;
        steps_[next_++]();
      }
      return EventReply{};
    };
  }
  void TearDown() override {
    os.StopTimer(timer_);
    os.StopTimer(banner_);
    GtkTest::TearDown();
  }
  std::vector<std::function<void()>> steps_;
  std::size_t next_ = 0;
  std::uint32_t period_ = 5;
  platform::TimerId timer_ = 0;
  platform::TimerId banner_ = 0;  // another timer, as the sliding banner's
  int banner_ticks_ = 0;
  std::vector<std::string> log;
};

TEST_F(LoopTest, AnEndedModalLoopReturnsOnlyAfterTheLoopsInsideIt) {
  Handle a = Window({10, 10, 200, 100}, "A");
  Handle b = Window({30, 30, 200, 100}, "B");
  Script({
      [&] {
        log.push_back("B starts");
        os.RunModalLoop(b);
        log.push_back("B returned");
      },
      [&] {
        log.push_back("end A");
        os.EndModalLoop(a);
      },
      [&] { log.push_back("tick inside B"); },
      [&] {
        log.push_back("end B");
        os.EndModalLoop(b);
      },
  });
  os.RunModalLoop(a);
  log.push_back("A returned");
  EXPECT_EQ(log, (std::vector<std::string>{"B starts", "end A", "tick inside B", "end B", "B returned", "A returned"}));
}

TEST_F(LoopTest, AQuitFromNestedWorkEndsEveryLoopAndReachesTheOuterOne) {
  Handle a = Window({10, 10, 200, 100}, "A");
  Script({
      [&] {
        os.RunModalLoop(a);
        log.push_back("modal returned");
        // The quit is still pending: a new modal loop does not even start.
        os.RunModalLoop(a);
        log.push_back("second modal returned");
      },
      [&] {
        os.PostQuit(7);
        os.PostQuit(9);  // the first code wins
        log.push_back("quit posted");
      },
  });
  EXPECT_EQ(os.RunLoop(), 7);
  EXPECT_EQ(log, (std::vector<std::string>{"quit posted", "modal returned", "second modal returned"}));
  // Consumed by RunLoop: nothing pending afterwards.
  Script({[&] { os.PostQuit(3); }});
  EXPECT_EQ(os.RunLoop(), 3);
}

TEST_F(LoopTest, PumpPendingLeavesAQuitAndRunsNoIdleWork) {
  int idle_calls = 0;
  bool pumping = false;
  int idle_while_pumping = 0;
  rec.idle = [&](int) {
    ++idle_calls;
    if (pumping) ++idle_while_pumping;
    return false;
  };
  int ticks_in_pump = 0;
  banner_ = os.StartTimer(10);
  Script({[&] {
    // Long work yielding to the loop: the other timer keeps firing inside.
    pumping = true;
    gint64 end = g_get_monotonic_time() + 5000000;
    int before = banner_ticks_;
    while (banner_ticks_ < before + 3 && g_get_monotonic_time() < end) {
      os.PumpPending();
      g_usleep(1000);
    }
    ticks_in_pump = banner_ticks_ - before;
    pumping = false;
    os.PostQuit(5);
    os.PumpPending();  // must neither consume the quit nor hang
    log.push_back("after pump");
  }});
  EXPECT_EQ(os.RunLoop(), 5);
  EXPECT_EQ(ticks_in_pump, 3) << "timers did not fire during PumpPending";
  EXPECT_EQ(idle_while_pumping, 0);
  EXPECT_EQ(log, std::vector<std::string>{"after pump"});
}

TEST_F(LoopTest, IdleWorkRunsAgainWhileItAsksAndStartsAfterEachEvent) {
  std::vector<int> counts;
  rec.idle = [&](int count) {
    counts.push_back(count);
    if (counts.size() == 3) os.PostQuit(0);
    return count < 1;  // twice in a row, then until the next event
  };
  // Ticks far apart, so no event falls between two idle calls.
  Script({[] {}, [] {}}, 300);
  EXPECT_EQ(os.RunLoop(), 0);
  ASSERT_GE(counts.size(), 3u);
  EXPECT_EQ(counts[0], 0);
  EXPECT_EQ(counts[1], 1);
  EXPECT_EQ(counts[2], 0);  // a new event started a new count
}

}  // namespace
}  // namespace tl::gtktest
