// Modal windows: LoadWindow runs the window's own loop with its owner
// disabled and returns once the window has been closed.
#include "runtime/window/window_commands.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

constexpr std::uint32_t kDialog = kWin + 1;
constexpr std::uint32_t kThird = kWin + 2;

class ModalTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Init(SyntheticWindows({kWin, kDialog, kThird}));
  }
  platform::Handle Top(std::uint32_t window) { return WidgetOf({window, 0}); }
  bool Enabled(std::uint32_t window) { return os.IsEnabled(Top(window)); }
  // Closes a window as its user would, once it exists.
  void CloseLater(std::uint32_t window, std::uint32_t at_ms) {
    os.At(at_ms, [this, window] { os.Close(Top(window)); });
  }
};

TEST_F(ModalTest, LoadWindowReturnsOnlyAfterTheModalWindowIsClosed) {
  ASSERT_TRUE(LoadWindow(kWin));
  std::vector<std::string> seen;
  os.At(30, [&] {
    seen.push_back(Enabled(kWin) ? "owner enabled" : "owner disabled");
    seen.push_back(os.ModalLoops() == std::vector{Top(kDialog)} ? "one modal loop" : "wrong loops");
  });
  os.Click(WidgetOf({kWin, kButton}), 40);  // the owner takes no input
  CloseLater(kDialog, 50);
  EXPECT_TRUE(CallCommand(cmd::kLoadWindow, {ControlArg({kDialog, 0}), ControlArg({kWin, 0}), arg::Boolean(true)}).lo);
  EXPECT_EQ(os.Now(), 50u);
  EXPECT_EQ(seen, (std::vector<std::string>{"owner disabled", "one modal loop"}));
  EXPECT_FALSE(IsWindowLoaded(kDialog));
  EXPECT_TRUE(Enabled(kWin));
  EXPECT_TRUE(os.ModalLoops().empty());
  auto p = Procs();
  EXPECT_EQ(std::count(p.begin(), p.end(), kOnButton), 0);
  // Built modeless, the same window returns at once.
  EXPECT_TRUE(LoadWindow(kDialog, kWin, false));
  EXPECT_TRUE(IsWindowLoaded(kDialog));
  EXPECT_TRUE(Enabled(kWin));
}

TEST_F(ModalTest, ModalWindowOpenedByAHandlerNestsInsideTheMainLoop) {
  ASSERT_TRUE(LoadWindow(kWin));
  std::vector<std::string> order;
  int opened = 0;
  actions[kOnButton] = [&](auto) -> HandlerResult {
    // Both windows bind the same procedure: only the main window's button opens.
    if (opened++) return std::nullopt;
    order.push_back("open");
    order.push_back(LoadWindow(kDialog, kWin, true) ? "returned" : "failed");
    return std::nullopt;
  };
  // The modal window refuses the first close request, then its button runs.
  int close_queries = 0;
  actions[kOnMayClose] = [&](auto) -> HandlerResult { return ++close_queries == 1 ? 0 : 1; };
  os.Click(WidgetOf({kWin, kButton}), 10);
  CloseLater(kDialog, 20);
  os.At(30, [&] { os.Click(WidgetOf({kDialog, kButton})); });
  CloseLater(kDialog, 40);
  CloseLater(kWin, 60);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(order, (std::vector<std::string>{"open", "returned"}));
  EXPECT_EQ(opened, 2);  // the dialog's own button worked inside its loop
  EXPECT_EQ(close_queries, 3);
  EXPECT_EQ(os.Now(), 60u);
}

TEST_F(ModalTest, WithoutParentEveryOtherWindowIsDisabledAndRestored) {
  ASSERT_TRUE(LoadWindow(kWin));
  ASSERT_TRUE(LoadWindow(kThird));
  os.SetEnabled(Top(kThird), false);  // disabled before: stays so
  bool both_disabled = false;
  os.At(10, [&] { both_disabled = !Enabled(kWin) && !Enabled(kThird); });
  CloseLater(kDialog, 20);
  EXPECT_TRUE(LoadWindow(kDialog, std::nullopt, true));
  EXPECT_TRUE(both_disabled);
  EXPECT_TRUE(Enabled(kWin));
  EXPECT_FALSE(Enabled(kThird));
}

TEST_F(ModalTest, NestedModalWindowsEndInnermostFirst) {
  ASSERT_TRUE(LoadWindow(kWin));
  std::vector<std::size_t> depths;
  os.At(10, [&] {
    depths.push_back(os.ModalLoops().size());
    EXPECT_TRUE(LoadWindow(kThird, kDialog, true));
    depths.push_back(os.ModalLoops().size());
    EXPECT_FALSE(Enabled(kWin));  // still under the first modal window
    EXPECT_TRUE(Enabled(kDialog));
  });
  os.At(20, [&] {
    depths.push_back(os.ModalLoops().size());
    EXPECT_FALSE(Enabled(kDialog));
  });
  CloseLater(kThird, 30);
  CloseLater(kDialog, 40);
  EXPECT_TRUE(LoadWindow(kDialog, kWin, true));
  EXPECT_EQ(depths, (std::vector<std::size_t>{1, 2, 1}));
  EXPECT_EQ(os.Now(), 40u);
  EXPECT_TRUE(Enabled(kWin));
}

// The modal loop also ends when the window goes another way, or never starts.
TEST_F(ModalTest, LoopEndsWithoutTheWindowClosing) {
  struct Case {
    const char* what;
    std::function<void()> end;  // at 10 ms
    std::function<void()> on_created;
    bool still_loaded, quit_pending;
    std::uint32_t returns_at;
  } cases[] = {
      // A quit posted meanwhile ends the modal loop and stays for the outer one.
      {"quit", [&] { os.PostQuit(4); }, nullptr, true, true, 10},
      {"destroyed by code", [] { DestroyWindow(kDialog); }, nullptr, false, false, 10},
      {"runtime shut down", [] { ShutdownRuntime(0); }, nullptr, false, false, 10},
      {"closed while being built", nullptr, [] { DestroyWindow(kDialog); }, false, false, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(LoadWindow(kWin));
    const std::uint64_t start = os.Now();
    if (c.end) os.At(10, c.end);
    if (c.on_created) actions[kOnCreated] = [&](auto) -> HandlerResult { return c.on_created(), std::nullopt; };
    EXPECT_TRUE(LoadWindow(kDialog, kWin, true));
    EXPECT_EQ(os.Now() - start, c.returns_at);
    EXPECT_EQ(IsWindowLoaded(kDialog), c.still_loaded);
    EXPECT_TRUE(os.ModalLoops().empty());
    if (IsWindowLoaded(kWin)) {
      EXPECT_TRUE(Enabled(kWin));
    }
    EXPECT_EQ(os.RunFor(0), c.quit_pending);
    if (c.quit_pending) {
      EXPECT_EQ(os.RunLoop(), 4);
    }
    ShutdownRuntime(0);
    actions.clear();
    SetUp();
  }
}

}  // namespace
}  // namespace tl::rt::test
