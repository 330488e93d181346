// Input and window events as GTK delivers them: where a click lands, the
// close request, a window that disappears without the runtime asking.
#include "gtk/gtk_support.h"

namespace tl::gtktest {
namespace {

class EventsTest : public GtkTest {};

TEST_F(EventsTest, AClickReportsClientCoordinatesOfTheControlAndTheButton) {
  Handle win = Window({60, 60, 300, 200});
  Handle label = Make(WidgetKind::kLabel, win, {40, 50, 120, 40}, "label");
  Show(win);
  int ox = 0, oy = 0;
  ClientOrigin(win, ox, oy);
  XClick(ox + 40 + 7, oy + 50 + 11);
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kMouseUp, label) == 1; }));
  for (const auto& e : rec.events) {
    if (e.widget != label || (e.event.type != EventType::kMouseDown && e.event.type != EventType::kMouseUp)) continue;
    EXPECT_EQ(e.event.x, 7);
    EXPECT_EQ(e.event.y, 11);
    EXPECT_EQ(e.event.button, 1);
  }
  EXPECT_EQ(rec.Count(EventType::kMouseDown, label), 1);
  EXPECT_EQ(rec.Count(EventType::kClick, label), 0) << "a label is not clickable";
}

TEST_F(EventsTest, ClosingAsksTheRuntimeAndKeepsTheWindow) {
  Handle win = Window({60, 60, 300, 200});
  Show(win);
  gtk_window_close(GTK_WINDOW(G(win)));  // what the frame's close button does
  ASSERT_TRUE(PumpUntil([&] { return rec.Count(EventType::kCloseRequest, win) == 1; }));
  EXPECT_TRUE(os.IsVisible(win));
  EXPECT_TRUE(gtk_widget_get_mapped(G(win)));
}

TEST_F(EventsTest, AWindowDestroyedFromOutsideIsReportedOnce) {
  Handle win = Window({60, 60, 300, 200});
  Handle button = Make(WidgetKind::kButton, win, {10, 10, 80, 24}, "b");
  windows.clear();  // gone by the end of the test
  gtk_widget_destroy(G(win));
  EXPECT_EQ(rec.Count(EventType::kDestroyed, win), 1);
  // The runtime's own destroy that follows is harmless; the handles are dead.
  os.DestroyWidget(win);
  os.DestroyWidget(button);
  EXPECT_EQ(os.GetParent(button), platform::kNoHandle);
  EXPECT_FALSE(os.IsVisible(win));
  EXPECT_EQ(rec.Count(EventType::kDestroyed), 1);
}

}  // namespace
}  // namespace tl::gtktest
