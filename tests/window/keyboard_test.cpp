// Keyboard navigation, activation and the window state, on a window shaped
// like the main window: its 26 controls in their stored order, kinds, tab
// stops, containers and default button.
#include "window_support.h"

namespace tl::rt::test {
namespace {

using namespace tpl;

constexpr int kTab = 0x09, kReturn = 0x0D;
constexpr int kCtrl = 1, kShift = 2;

// Stored handler numbers of the buttons.
enum ButtonProc : std::int32_t { kOnPaste = 31, kOnProcess, kOnCopy, kOnFiles, kOnFolder };

struct Row {
  const char* name;  // UTF-8
  std::uint32_t kind;
  std::uint32_t id;
  platform::Rect rect;
  bool tab;
  Props props;
  Events events = {};
  std::uint32_t parent = 0;
};

constexpr std::uint32_t kBanner = 0x1601A7D9;

std::vector<Row> MainShapeRows() {
  const std::string none;
  return {
      {"透明标签", kKindTransLabel, 0x1601C97A, {24, 459, 600, 24}, false, TransLabelProps{}},
      {"进度条", kKindProcessBar, 0x1601C97B, {8, 459, 632, 24}, false, ProcessBarProps{}},
      {"图片框横幅", kKindPicBox, kBanner, {0, 0, 1000, 90}, false, PicBoxProps{.back_colour = 0xFFFFFF}},
      {"时钟官网", kKindTimer, 0x1601A7DA, {432, 32, 26, 26}, false, TimerProps{.interval = 20}, {}, kBanner},
      {"标签横幅", kKindLabel, 0x1601A7DB, {-1, 88, 1200, 2}, false, LabelProps{.border = 3}, {}, kBanner},
      {"图片Lumora软件", kKindPicBtn, 0x1601A7DC, {40, 12, 195, 64}, false, PicBtnProps{.transparent = 0x0000FF},
       {}, kBanner},
      {"文字软件主页", kKindHyperLinker, 0x1601A7E3, {573, 64, 64, 24}, false,
       HyperLinkerProps{.link_type = 1, .caption = "home", .target = "http://example.test/info.asp?id=92"}, {},
       kBanner},
      {"图片软件主页", kKindPicBtn, 0x1601A7E4, {573, 0, 64, 64}, false, PicBtnProps{.transparent = 0}, {}, kBanner},
      {"选择框打乱顺序", kKindCheckBox, 0x16014726, {592, 384, 56, 24}, true, CheckProps{.caption = "shuffle"}},
      {"选择框去重", kKindCheckBox, 0x16014725, {528, 384, 56, 24}, true, CheckProps{.checked = 1, .caption = "dedupe"}},
      {"标签5", kKindLabel, 0x16014721, {328, 100, 112, 24}, false, LabelProps{}},
      {"标签4", kKindLabel, 0x16014720, {8, 100, 96, 24}, false, LabelProps{}},
      {"标签1", kKindLabel, 0x16010FA1, {472, 427, 80, 23}, false, LabelProps{}},
      {"组合框编码", kKindComboBox, 0x16010FA0, {552, 427, 88, 23}, true,
       ComboBoxProps{.type = 2, .selected = 0, .items = {"auto", "ANSI", "UTF-8"}}},
      {"编辑框过滤", kKindEditBox, 0x16010F56, {376, 427, 64, 24}, true, EditBoxProps{.align = 1, .content = "*.txt"}},
      {"按钮选择文件夹", kKindButton, 0x160107C9, {184, 423, 272, 32}, true, ButtonProps{.h_align = 0},
       {{0, kOnFolder}}},
      {"按钮选择文件", kKindButton, 0x160107C8, {8, 423, 168, 32}, true, ButtonProps{}, {{0, kOnFiles}}},
      {"按钮处理并复制结果", kKindButton, 0x160107C7, {450, 100, 192, 24}, true, ButtonProps{}, {{0, kOnCopy}}},
      {"按钮处理", kKindButton, 0x160107C6, {384, 380, 120, 32}, true, ButtonProps{.type = 1}, {{0, kOnProcess}}},
      {"按钮粘贴", kKindButton, 0x160107C5, {128, 100, 192, 24}, true, ButtonProps{}, {{0, kOnPaste}}},
      {"编辑框结果", kKindEditBox, 0x160107C2, {328, 128, 312, 248}, true, EditBoxProps{.multi_line = 1, .scroll_bars = 3}},
      {"编辑框原文", kKindEditBox, 0x160107C1, {8, 128, 312, 248}, true,
       EditBoxProps{.multi_line = 1, .scroll_bars = 3, .content = "777\r\n123"}},
      {"单选框自己输入", kKindRadioBox, 0x16010037, {192, 384, 88, 24}, true, CheckProps{.version = 1}},
      {"单选框换行符", kKindRadioBox, 0x16010036, {112, 384, 72, 24}, true, CheckProps{.version = 1, .checked = 1}},
      {"编辑框分隔符", kKindEditBox, 0x16010035, {280, 384, 88, 24}, true, EditBoxProps{.multi_line = 1}},
      {"标签2", kKindLabel, 0x16010034, {8, 384, 96, 24}, false, LabelProps{}},
  };
}

WindowTemplate MainShapedWindow() {
  WindowTemplate w;
  w.id = kWin;
  w.units.push_back(MakeUnit(kWinUnit, kKindWindow, "", {50, 50, 662, 521}, kFlagVisible,
                             WindowProps{.min_button = 1, .title = "Tidyline v1.20"}));
  for (const Row& r : MainShapeRows())
    w.units.push_back(MakeUnit(r.id, r.kind, Gbk(r.name), r.rect, kFlagVisible | (r.tab ? kFlagTabStop : 0),
                               r.props, r.events, r.parent));
  return w;
}

class KeyboardTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    InitWith(MainShapedWindow());
    ASSERT_TRUE(Build());
    for (const Row& r : MainShapeRows()) ids[r.name] = r.id;
  }
  platform::Handle Named(const std::string& name) { return W(ids.at(name)); }
  // The name of the control that has the focus ("window" for the window).
  std::string Focused() {
    if (os.GetFocus() == W(0)) return "window";
    for (auto& [name, id] : ids)
      if (W(id) == os.GetFocus()) return name;
    return "nothing";
  }
  std::string Press(int key, int state = 0) {
    os.PressKey(key, state);
    os.PumpPending();
    return Focused();
  }

  std::map<std::string, std::uint32_t> ids;
};

const std::vector<std::string> kTabOrder = {
    "选择框打乱顺序", "选择框去重", "组合框编码", "编辑框过滤", "按钮选择文件夹", "按钮选择文件", "按钮处理并复制结果",
    "按钮处理", "按钮粘贴", "编辑框结果", "编辑框原文", "单选框自己输入", "单选框换行符", "编辑框分隔符",
};

TEST_F(KeyboardTest, TabAndShiftTabWalkTheFourteenTabStopsInTemplateOrder) {
  ASSERT_EQ(kTabOrder.size(), 14u);
  // Shown, the window is active and the first tab stop has the focus.
  EXPECT_EQ(os.ActiveWindow(), W(0));
  EXPECT_EQ(Focused(), kTabOrder.front());
  std::vector<std::string> forward, backward;
  for (std::size_t i = 0; i < kTabOrder.size(); ++i) forward.push_back(Press(kTab));
  for (std::size_t i = 0; i < kTabOrder.size(); ++i) backward.push_back(Press(kTab, kShift));
  std::vector<std::string> expected_forward(kTabOrder.begin() + 1, kTabOrder.end());
  expected_forward.push_back(kTabOrder.front());  // wraps
  std::vector<std::string> expected_backward(kTabOrder.rbegin(), kTabOrder.rend());
  EXPECT_EQ(forward, expected_forward);
  EXPECT_EQ(backward, expected_backward);
  EXPECT_TRUE(calls.empty()) << "moving the focus presses nothing";
}

TEST_F(KeyboardTest, TabFromPlacesAndSkippedControls) {
  struct Case {
    const char* what;
    std::function<void()> setup;
    std::string from;  // "window" for the window itself
    int state;
    std::string to;
  } cases[] = {
      {"out of a multi-line edit box", [] {}, "编辑框原文", 0, "单选框自己输入"},
      {"from the window itself", [] {}, "window", 0, "选择框打乱顺序"},
      {"back from the window itself", [] {}, "window", kShift, "编辑框分隔符"},
      {"from a control that is no tab stop", [] {}, "标签1", 0, "组合框编码"},
      {"Ctrl+Tab is left to the control", [] {}, "编辑框原文", kCtrl, "编辑框原文"},
      {"a hidden control is skipped",
       [this] { SetControlProperty(kWin, ids.at("按钮粘贴"), 5, false); }, "按钮处理", 0, "编辑框结果"},
      {"a disabled control is skipped",
       [this] { SetControlProperty(kWin, ids.at("编辑框结果"), 6, true); }, "按钮粘贴", 0, "编辑框原文"},
      {"backwards over a disabled one",
       [this] { SetControlProperty(kWin, ids.at("选择框去重"), 6, true); }, "组合框编码", kShift, "选择框打乱顺序"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (auto& [name, id] : ids) {
      SetControlProperty(kWin, id, 5, true);
      SetControlProperty(kWin, id, 6, false);
    }
    c.setup();
    os.SetFocus(c.from == "window" ? W(0) : Named(c.from));
    EXPECT_EQ(Press(kTab, c.state), c.to);
  }
}

TEST_F(KeyboardTest, EnterPressesTheDefaultButtonButMultiLineBoxesKeepIt) {
  const std::string source = Widget(ids.at("编辑框原文")).text;
  struct Case {
    const char* what;
    std::string focus;
    std::vector<std::int32_t> pressed;
    std::string source_after;  // the text of 编辑框原文
  } cases[] = {
      {"from a check box", "选择框去重", {kOnProcess}, source},
      {"from a single-line edit box", "编辑框过滤", {kOnProcess}, source},
      {"from the combo box", "组合框编码", {kOnProcess}, source},
      {"a focused push button is pressed itself", "按钮粘贴", {kOnPaste}, source},
      {"a multi-line edit box takes it as a line break", "编辑框原文", {}, source + "\r\n"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetControlProperty(kWin, ids.at("编辑框原文"), 8, source);
    calls.clear();
    os.SetFocus(Named(c.focus));
    EXPECT_EQ(Press(kReturn), c.focus) << "Enter moves no focus";
    EXPECT_EQ(Procs(), c.pressed);
    EXPECT_EQ(PropertyAsText(GetControlProperty(kWin, ids.at("编辑框原文"), 8)), c.source_after);
  }
  // The separator box is multi-line so that it can hold a line break.
  os.SetFocus(Named("编辑框分隔符"));
  Press(kReturn);
  EXPECT_EQ(PropertyAsText(GetControlProperty(kWin, ids.at("编辑框分隔符"), 8)), "\r\n");
  // A disabled default button is not pressed, nor with Ctrl held.
  calls.clear();
  os.SetFocus(Named("选择框去重"));
  Press(kReturn, kCtrl);
  SetControlProperty(kWin, ids.at("按钮处理"), 6, true);
  Press(kReturn);
  EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace tl::rt::test

namespace tl::rt::test {
namespace {

// A window the program shows takes the activation (and the user can type
// at once); controls shown later never take it.
TEST_F(WindowTest, ShownWindowsAreActivatedControlsNever) {
  constexpr std::uint32_t kSecond = 0x52010020;
  tpl::TemplateSegment seg = SyntheticWindows({kWin, kSecond});
  seg.windows[1].units[0].flags = 0;  // the second window starts hidden
  seg.windows[1].units[Index(kHidden)].flags = tpl::kFlagVisible;
  Init(seg);
  ASSERT_TRUE(Build());
  EXPECT_EQ(os.ActiveWindow(), W(0));
  EXPECT_EQ(os.GetFocus(), W(kCheck)) << "the first tab stop";
  ASSERT_TRUE(BuildWindow(kSecond, std::nullopt, false));
  platform::Handle second = WidgetOf({kSecond, 0});
  EXPECT_EQ(os.Activations(), std::vector<platform::Handle>{W(0)}) << "a hidden window is not activated";
  // Showing and hiding controls moves no activation.
  SetControlProperty(kWin, kHidden, 5, true);
  SetControlProperty(kSecond, kButton, 5, false);
  SetControlProperty(kSecond, kButton, 5, true);
  EXPECT_EQ(os.Activations(), std::vector<platform::Handle>{W(0)});
  SetControlProperty(kSecond, 0, 5, true);
  EXPECT_EQ(os.ActiveWindow(), second);
  EXPECT_EQ(os.GetFocus(), WidgetOf({kSecond, kCheck}));
  // Showing a window that is already shown changes nothing.
  SetControlProperty(kWin, 0, 5, true);
  EXPECT_EQ(os.Activations(), (std::vector<platform::Handle>{W(0), second}));
}

}  // namespace
}  // namespace tl::rt::test
