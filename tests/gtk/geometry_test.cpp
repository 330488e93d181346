// Where windows and controls land on the screen, with and without a window
// manager drawing frames.
#include <sys/stat.h>

#include "gtk/gtk_support.h"
// After GoogleTest: Xlib defines macros (None) that its headers use as names.
#include <gdk/gdkx.h>

namespace tl::gtktest {
namespace {

// The lowest and right-most controls of the main window and its banner.
struct Placed {
  const char* what;
  WidgetKind kind;
  Rect rect;
};
const Placed kMainControls[] = {
    {"progress bar", WidgetKind::kProgressBar, {8, 459, 632, 24}},
    {"shuffle check box", WidgetKind::kCheckBox, {592, 384, 56, 24}},
    {"encoding list", WidgetKind::kComboBox, {552, 427, 88, 23}},
    {"filter box", WidgetKind::kEditBox, {376, 427, 64, 24}},
    {"result box", WidgetKind::kEditBox, {328, 128, 312, 248}},
    {"copy button", WidgetKind::kButton, {450, 100, 192, 24}},
};

class GeometryTest : public GtkTest {
 protected:
  Handle MainLike() {
    Handle w = Window({181, 123, 662, 521}, "Tidyline v1.20");
    for (const Placed& p : kMainControls) {
      WidgetSpec s;
      s.kind = p.kind;
      s.parent = w;
      s.rect = p.rect;
      s.text = "x";
      s.combo_type = 2;
      s.multi_line = p.rect.height > 100;
      s.scroll_bars = 3;
      s.border = 1;
      placed.push_back(Make(s));
    }
    return w;
  }
  std::vector<Handle> placed;
};

TEST_F(GeometryTest, WithoutWindowManagerTheClientAreaTakesTheWholeRectangle) {
  Handle w = MainLike();
  WidgetSpec banner;
  banner.kind = WidgetKind::kPicBox;
  banner.parent = w;
  banner.rect = {0, 0, 1000, 90};
  banner.back_colour = 0xFFFFFF;
  Handle box = Make(banner);
  Handle rule = Make(WidgetKind::kLabel, box, {-1, 88, 1200, 2});
  Show(w);

  int x = 0, y = 0;
  ClientOrigin(w, x, y);
  EXPECT_EQ(x, 181);
  EXPECT_EQ(y, 123);
  GdkWindow* gw = gtk_widget_get_window(G(w));
  EXPECT_EQ(gdk_window_get_width(gw), 662);
  EXPECT_EQ(gdk_window_get_height(gw), 521);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    Rect r = WidgetInWindow(placed[i]);
    EXPECT_EQ(r, kMainControls[i].rect) << kMainControls[i].what << " at " << r.left << "," << r.top << " " << r.width
                                        << "x" << r.height;
  }
  Rect rule_at = WidgetInWindow(rule);
  EXPECT_EQ(rule_at.left, -1);
  EXPECT_EQ(rule_at.top, 88);

  // The banner is white inside the window and clipped at its right edge:
  // the screen beyond shows no white strip.
  EXPECT_EQ(ScreenPixel(181 + 600, 123 + 40), 0xFFFFFFu);
  EXPECT_NE(ScreenPixel(181 + 662 + 20, 123 + 40), 0xFFFFFFu) << "the banner spills out of the window";

  // Moving keeps the size; GetRect answers what was set.
  os.SetRect(w, {100, 50, 662, 521});
  EXPECT_EQ(os.GetRect(w), (Rect{100, 50, 662, 521}));
  EXPECT_TRUE(PumpUntil([&] {
    ClientOrigin(w, x, y);
    return x == 100 && y == 50;
  })) << "window at " << x << "," << y;
}

// Starts openbox and waits until it manages the screen.
class WindowManager {
 public:
  bool Start() {
    marker_ = std::string(g_get_tmp_dir()) + "/tidyline-wm-" + std::to_string(getpid());
    unlink(marker_.c_str());
    if (!wm_.Start({"openbox", "--sm-disable", "--startup", "touch " + marker_})) return false;
    struct stat st;
    return PumpUntil([&] { return stat(marker_.c_str(), &st) == 0; }, 10000);
  }
  ~WindowManager() {
    wm_.Stop();
    unlink(marker_.c_str());
  }

 private:
  Child wm_;
  std::string marker_;
};

TEST_F(GeometryTest, UnderAWindowManagerTheFrameHasTheOuterSize) {
  WindowManager wm;
  ASSERT_TRUE(wm.Start()) << "openbox did not start within 10 s";
  Handle w = MainLike();
  Show(w);
  GdkWindow* gw = gtk_widget_get_window(G(w));
  GdkRectangle frame{};
  bool framed = PumpUntil([&] {
    gdk_window_get_frame_extents(gw, &frame);
    return frame.x == 181 && frame.y == 123 && frame.width == 662 && frame.height == 521 &&
           gdk_window_get_height(gw) < 521;
  });
  EXPECT_TRUE(framed) << "frame at " << frame.x << "," << frame.y << " size " << frame.width << "x" << frame.height
                      << ", client " << gdk_window_get_width(gw) << "x" << gdk_window_get_height(gw);
  EXPECT_EQ(os.GetRect(w), (Rect{181, 123, 662, 521}));
  // Every control stays inside the smaller client area.
  int cw = gdk_window_get_width(gw), ch = gdk_window_get_height(gw);
  for (std::size_t i = 0; i < placed.size(); ++i) {
    Rect r = WidgetInWindow(placed[i]);
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.left + r.width <= cw && r.top + r.height <= ch)
        << kMainControls[i].what << " ends at " << r.left + r.width << "," << r.top + r.height << " in a client area of "
        << cw << "x" << ch;
  }

  // The frame offers minimizing but neither maximizing nor resizing.
  std::string xid = std::to_string(gdk_x11_window_get_xid(gw));
  std::string actions = RunServing({"xprop", "-id", xid, "_NET_WM_ALLOWED_ACTIONS"});
  EXPECT_NE(actions.find("_NET_WM_ACTION_MINIMIZE"), std::string::npos) << actions;
  EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << actions;
  EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;

  os.SetWindowState(w, 2);
  EXPECT_TRUE(PumpUntil([&] { return os.GetWindowState(w) == 2; })) << "the window did not minimize";
  os.SetWindowState(w, 0);
  EXPECT_TRUE(PumpUntil([&] { return os.GetWindowState(w) == 0; })) << "the window did not come back";
}

}  // namespace
}  // namespace tl::gtktest
