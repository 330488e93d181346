// The window geometry operations: the state (window property 18) and the
// normal-state rectangle, saved and restored through a live window on the
// headless backend.
#include "runtime/platform/headless/headless.h"
#include "runtime/core/startup.h"
#include "runtime/window/template_format.h"
#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"
#include "store_fixture.h"

namespace tl::testing {
namespace {

using settings::SettingsStore;

constexpr std::uint32_t kWindow = 0x52010018;

class StoreGeometry : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    platform::Install(&os);
    // A window of its own unit only: no controls are needed here.
    rt::tpl::WindowTemplate w;
    w.id = kWindow;
    rt::tpl::Unit u;
    u.id = 0x06010017;
    u.kind = rt::tpl::kKindWindow;
    u.flags = rt::tpl::kFlagVisible;
    u.width = 662;
    u.height = 521;
    rt::tpl::WindowProps props;
    props.title = "T";
    u.properties = rt::tpl::WriteProps(rt::tpl::kKindWindow, props);
    w.units.push_back(u);
    segment = rt::tpl::WriteTemplateSegment({{w}});
    rt::InitRuntime({segment, nullptr});
    ASSERT_TRUE(rt::BuildWindow(kWindow, std::nullopt, false));
  }
  void TearDown() override {
    rt::ShutdownRuntime(0);
    platform::Install(nullptr);
    StoreTest::TearDown();
  }
  platform::Handle Window() { return rt::WidgetOf({kWindow, 0}); }
  int State() { return rt::PropertyAsInt(rt::GetControlProperty(kWindow, 0, 18)); }
  platform::Rect Rect() { return os.GetRect(Window()); }

  platform::headless::Headless os;
  std::string segment;
};

TEST_F(StoreGeometry, StateIsWindowProperty18) {
  EXPECT_EQ(State(), 0);
  const std::pair<int, int> writes[] = {{2, 2}, {3, 3}, {0, 0}, {1, 0}, {7, 0}, {-3, 0}};
  for (auto [written, read] : writes) {
    rt::SetControlProperty(kWindow, 0, 18, written);
    EXPECT_EQ(State(), read) << written;
    EXPECT_EQ(os.GetWindowState(Window()), read) << written;
  }
}

TEST_F(StoreGeometry, SaveStoresTheStateAndTheNormalRectangle) {
  const struct {
    const char* name;
    int state;
    std::string section;  // UTF-8, empty: the main window's
    std::string expected;
  } cases[] = {
      {"normal", 0, "", "[主界面.尺寸]\r\n高度=521\r\n宽度=662\r\n顶边=123\r\n左边=181\r\n位置=0"},
      {"minimized: the state only", 2, "工具", "[工具.尺寸]\r\n位置=2"},
      {"maximized: the state only", 3, "", "[主界面.尺寸]\r\n位置=3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Ini());
    rt::SetControlProperty(kWindow, 0, 18, c.state);
    SettingsStore store;
    ASSERT_TRUE(store.Open(Ini(), 0));
    store.SaveWindowGeometry(kWindow, G(c.section));
    EXPECT_EQ(Utf8(Disk()), c.expected);
    EXPECT_EQ(Utf8(store.Section()), (c.section.empty() ? "主界面" : c.section) + ".尺寸");
  }
}

TEST_F(StoreGeometry, RestoreSetsTheStateOrMovesTheWindowInOneStep) {
  const platform::Rect centred{181, 123, 662, 521};
  const struct {
    const char* name;
    std::string file;  // UTF-8
    int state_before;
    int state_after;
    platform::Rect rect_after;
  } cases[] = {
      {"normal: moved and sized", "[主界面.尺寸]\r\n位置=0\r\n左边=10\r\n顶边=-20\r\n宽度=300\r\n高度=200", 3, 0,
       {10, -20, 300, 200}},
      {"maximized: the rectangle stays", "[主界面.尺寸]\r\n位置=3\r\n左边=10\r\n顶边=20", 0, 3, centred},
      {"minimized", "[主界面.尺寸]\r\n位置=2", 0, 2, centred},
      {"state 1 is normal", "[主界面.尺寸]\r\n位置=1\r\n左边=5", 2, 0, {5, 123, 662, 521}},
      {"missing keys keep the current values", "", 2, 2, centred},
      {"missing rectangle keys", "[主界面.尺寸]\r\n位置=0\r\n宽度=400", 3, 0, {181, 123, 400, 521}},
      {"numbers out of range are clamped", "[主界面.尺寸]\r\n位置=0\r\n左边=1e300\r\n宽度=99999", 0, 0,
       {INT32_MAX, 123, 32627, 521}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Put("Tidyline.ini", G(c.file));
    os.SetRect(Window(), centred);
    rt::SetControlProperty(kWindow, 0, 18, c.state_before);
    SettingsStore store;
    store.Open(Ini(), 0);
    store.RestoreWindowGeometry(kWindow, "");
    EXPECT_EQ(State(), c.state_after);
    EXPECT_EQ(Rect(), c.rect_after);
    store.Close();
    EXPECT_EQ(Disk(), G(c.file)) << "restoring writes nothing";
  }
}

TEST_F(StoreGeometry, WhatIsSavedComesBack) {
  SettingsStore store;
  ASSERT_TRUE(store.Open(Ini(), 0));
  rt::MoveControl({kWindow, 0}, 40, 50, 600, 400);
  store.SaveWindowGeometry(kWindow, "W");
  rt::MoveControl({kWindow, 0}, 0, 0, 100, 100);
  rt::SetControlProperty(kWindow, 0, 18, 3);
  store.RestoreWindowGeometry(kWindow, "W");
  EXPECT_EQ(State(), 0);
  EXPECT_EQ(Rect(), (platform::Rect{40, 50, 600, 400}));
  rt::SetControlProperty(kWindow, 0, 18, 3);
  store.SaveWindowGeometry(kWindow, "W");
  rt::SetControlProperty(kWindow, 0, 18, 0);
  store.RestoreWindowGeometry(kWindow, "W");
  EXPECT_EQ(State(), 3);
}

}  // namespace
}  // namespace tl::testing
