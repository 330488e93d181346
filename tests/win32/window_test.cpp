// Top-level windows and the widget tree: state, visibility, enabling,
// stacking, re-parenting, moving, the focus coming back with the
// activation, and the shell's answer for a document that is not there.
#include "support/gbk.h"
#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

using test::Gbk;

class WindowTest : public Win32Test {};

TEST_F(WindowTest, MinimizingAndRestoringKeepTheRectangleOfTheNormalWindow) {
  Handle win = Window({100, 80, 400, 300});
  Show(win);
  EXPECT_EQ(os.GetWindowState(win), 0);
  struct Step {
    int set, want;
  };
  for (Step s : {Step{2, 2}, Step{0, 0}, Step{3, 3}, Step{0, 0}}) {
    os.SetWindowState(win, s.set);
    ASSERT_TRUE(PumpUntil([&] { return os.GetWindowState(win) == s.want; })) << s.set;
    if (s.want != 3) {
      EXPECT_EQ(os.GetRect(win), (Rect{100, 80, 400, 300})) << "state " << s.want;
    }
  }
  // A hidden window takes the state without being shown.
  Handle hidden = Window({100, 80, 400, 300});
  os.SetWindowState(hidden, 2);
  EXPECT_FALSE(os.IsVisible(hidden));
  EXPECT_EQ(os.GetWindowState(hidden), 2);
}

TEST_F(WindowTest, VisibilityEnablingAndTheTreeFollowTheCalls) {
  Handle win = Window({100, 80, 400, 300});
  Handle box = Make(WidgetKind::kPicBox, win, {10, 10, 200, 100});
  Handle button = Make(WidgetKind::kButton, win, {20, 150, 80, 24}, "b");
  EXPECT_TRUE(os.IsVisible(button)) << "its own flag, whatever the window's";
  EXPECT_FALSE(os.IsVisible(win));
  os.SetVisible(button, false);
  EXPECT_FALSE(os.IsVisible(button));
  os.SetEnabled(button, false);
  EXPECT_FALSE(os.IsEnabled(button));
  os.SetEnabled(button, true);
  EXPECT_TRUE(os.IsEnabled(button));

  // Into the picture box, keeping its coordinates there.
  os.SetParent(button, box);
  EXPECT_EQ(os.GetParent(button), box);
  EXPECT_EQ(GetParent(W(button)), W(box));
  EXPECT_EQ(os.GetRect(button), (Rect{20, 150, 80, 24}));
  os.SetParent(box, button);  // never inside its own child
  EXPECT_EQ(os.GetParent(box), win);
  os.SetRect(button, {5, 6, 70, 20});
  EXPECT_EQ(os.GetRect(button), (Rect{5, 6, 70, 20}));

  // Stacking: PlaceBelow puts a window right under its sibling.
  Handle a = Make(WidgetKind::kLabel, win, {0, 0, 10, 10}, "a");
  Handle b = Make(WidgetKind::kLabel, win, {0, 0, 10, 10}, "b");
  os.PlaceTop(b);
  os.PlaceBelow(a, b);
  EXPECT_EQ(GetWindow(W(b), GW_HWNDFIRST), W(b));
  EXPECT_EQ(GetWindow(W(b), GW_HWNDNEXT), W(a));
  // Destroying a container takes its children.
  os.DestroyWidget(box);
  EXPECT_FALSE(IsWindow(W(button)));
  EXPECT_EQ(os.GetParent(button), platform::kNoHandle);
  EXPECT_EQ(rec.Count(EventType::kDestroyed), 0) << "the runtime's own destroy is not reported";
}

TEST_F(WindowTest, ClosingAsksTheRuntimeAndADestroyFromOutsideIsReported) {
  Handle win = Window({100, 80, 400, 300});
  Handle button = Make(WidgetKind::kButton, win, {20, 150, 80, 24}, "b");
  Show(win);
  PostMessageA(W(win), WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kCloseRequest, win) == 1; }));
  EXPECT_TRUE(IsWindow(W(win))) << "the runtime decides";
  windows.clear();
  DestroyWindow(W(win));
  EXPECT_EQ(rec.Count(EventType::kDestroyed, win), 1);
  EXPECT_EQ(os.GetParent(button), platform::kNoHandle);
  os.DestroyWidget(win);  // harmless afterwards
}

TEST_F(WindowTest, TheFocusComesBackToItsControlWithTheActivation) {
  Handle win = Window({100, 80, 400, 300});
  Handle first = Make(WidgetKind::kEditBox, win, {10, 10, 100, 24});
  Handle second = Make(WidgetKind::kEditBox, win, {10, 50, 100, 24});
  Handle other = Window({500, 80, 200, 200}, "other");
  Show(win);
  os.SetFocus(second);
  ASSERT_TRUE(PumpUntil([&] { return os.GetFocus() == second; }));
  Show(other);
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == W(other); }));
  os.ActivateWindow(win);
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == W(win); }));
  EXPECT_EQ(os.GetFocus(), second);
  (void)first;
}

TEST_F(WindowTest, ADocumentThatIsNotThereIsNotOpened) {
  EXPECT_FALSE(os.OpenDocument("C:\\no such folder\\no such file.txt", "open", SW_SHOWNORMAL));
  EXPECT_FALSE(os.OpenDocument("", "open", SW_SHOWNORMAL));
  EXPECT_FALSE(os.OpenFolder("", true, false));
}

}  // namespace
}  // namespace tl::wintest
