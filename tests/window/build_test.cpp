// Building a window from its template and reading / writing its properties.
#include "window_support.h"

namespace tl::rt::test {
namespace {

using namespace tpl;

TEST_F(WindowTest, BuildsEveryKindInTemplateOrder) {
  InitSynthetic();
  ASSERT_TRUE(Build());
  const hl::Widget& win = Widget(0);
  EXPECT_EQ(win.spec.kind, platform::WidgetKind::kTopWindow);
  EXPECT_EQ(win.spec.class_name, "TidylineWindow");
  EXPECT_TRUE(win.spec.min_button);
  EXPECT_FALSE(win.spec.max_button);
  EXPECT_EQ(win.spec.window_border, 2);
  // Centred on the 1024 x 768 screen whatever the stored position says.
  EXPECT_EQ(win.rect, (platform::Rect{181, 123, 662, 521}));
  EXPECT_TRUE(win.visible);

  // Created from the last unit to the first: child ids 100, 110, ... The
  // timer takes its identifier too, though it has no window.
  int id = 100;
  for (std::uint32_t unit = kUnbound; unit >= kTrans; --unit, id += 10)
    if (unit != kTimer) {
      EXPECT_EQ(Widget(unit).spec.child_id, id) << std::hex << unit;
    }
  EXPECT_EQ(W(kTimer), platform::kNoHandle);

  // Sibling order is template order, inside the window and inside the box.
  std::vector<platform::Handle> top = {W(kTrans),  W(kBar),    W(kBox),    W(kCheck),  W(kCombo),  W(kEdit),
                                       W(kButton), W(kRadioA), W(kRadioB), W(kHidden), W(kUnbound)};
  EXPECT_EQ(win.children, top);
  EXPECT_EQ(Widget(kBox).children, (std::vector<platform::Handle>{W(kLabel), W(kPicBtn), W(kLink)}));

  EXPECT_FALSE(Widget(kHidden).visible);
  EXPECT_FALSE(Widget(kHidden).enabled);
  EXPECT_TRUE(Widget(kButton).visible);
  EXPECT_TRUE(Widget(kButton).spec.tab_stop);
  EXPECT_TRUE(Widget(kButton).spec.default_button);
  EXPECT_FALSE(Widget(kTrans).spec.tab_stop);

  // Kind set-up from the blocks.
  EXPECT_EQ(Widget(kCombo).items.size(), 6u);
  EXPECT_EQ(Widget(kCombo).selection, 5);  // stored 10, clamped to the last item
  EXPECT_EQ(Widget(kEdit).text, "777\r\n123");
  EXPECT_TRUE(Widget(kEdit).spec.multi_line);
  EXPECT_EQ(Widget(kEdit).spec.scroll_bars, 3);
  EXPECT_EQ(Widget(kPicBtn).pictures.size(), 4u);
  EXPECT_EQ(Widget(kPicBtn).pictures[0], "GIF89a-one");
  EXPECT_EQ(Widget(kPicBtn).transparent, 0x0000FFu);
  EXPECT_EQ(Widget(kLink).text, "home");
  EXPECT_TRUE(Widget(kCheck).checked);
  EXPECT_TRUE(Widget(kRadioB).checked);
  EXPECT_EQ(Widget(kBar).progress_max, 100);
  EXPECT_EQ(os.ActiveTimers(), 1u);

  // Events 0, 3 and 4 of the window, in that order.
  EXPECT_EQ(Procs(), (std::vector<std::int32_t>{kOnCreated, kOnEvent3, kOnEvent4}));
}

TEST_F(WindowTest, StoredClassPositionAndCursorsAreHonoured) {
  WindowTemplate w = SyntheticWindow();
  w.units[0].properties = WriteProps(kKindWindow, WindowProps{.max_button = 1, .position = 0, .class_name = "OwnClass"});
  w.units[0].flags = 0;
  w.units[Index(kButton)].cursor = "CUR!";
  w.units[Index(kEdit)].cursor = std::string(4, '\0');  // all zero: no cursor
  InitWith(w);
  ASSERT_TRUE(Build());
  EXPECT_EQ(Widget(0).spec.class_name, "OwnClass");
  EXPECT_EQ(Widget(0).rect, (platform::Rect{50, 50, 662, 521}));
  EXPECT_TRUE(Widget(0).spec.max_button);
  EXPECT_FALSE(Widget(0).visible);
  EXPECT_EQ(Widget(kButton).cursor, "CUR!");
  EXPECT_EQ(Widget(kEdit).cursor, "");
}

// A unit the runtime cannot make fails the build and leaves nothing behind.
TEST_F(WindowTest, BadUnitFailsTheWholeBuild) {
  auto block = [](std::size_t unit, std::string bytes) {
    return [=](WindowTemplate& w) { w.units[unit].properties = bytes; };
  };
  struct Case {
    const char* what;
    std::function<void(WindowTemplate&)> change;
  } cases[] = {
      {"edit block version 3", block(Index(kEdit), std::string("\x03\0\0\0", 4))},
      {"truncated combo block", block(Index(kCombo), std::string("\x01\0\0\0\x01", 5))},
      {"label block without fields", block(Index(kTrans), std::string("\x01\0\0\0", 4))},
      {"window block version 7", block(0, std::string("\x07\0\0\0", 4))},
      // Only unit 0 may be the window.
      {"control of the window kind",
       [](WindowTemplate& w) { w.units[Index(kLabel)].kind = kKindWindow, w.units[Index(kLabel)].properties.clear(); }},
      {"unknown kind", [](WindowTemplate& w) { w.units[Index(kLabel)].kind = 0x10063; }},
      // Parent fields that name no container of the window.
      {"parent: an unknown unit", [](WindowTemplate& w) { w.units[Index(kLabel)].parent = 0x16009999; }},
      {"parent: a control that holds nothing", [](WindowTemplate& w) { w.units[Index(kLabel)].parent = kButton; }},
      {"parent of a timer: a control that holds nothing",
       [](WindowTemplate& w) { w.units[Index(kTimer)].parent = kEdit; }},
      {"parent: a menu unit",
       [](WindowTemplate& w) {
         Unit menu;
         menu.id = 0x26010001;
         menu.menu = true;
         w.units.push_back(menu);
         w.units[Index(kLabel)].parent = menu.id;
       }},
      {"containers naming each other",
       [](WindowTemplate& w) { w.units[Index(kBar)].parent = kBox, w.units[Index(kBox)].parent = kBar; }},
      {"a container naming itself", [](WindowTemplate& w) { w.units[Index(kBox)].parent = kBox; }},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    WindowTemplate w = SyntheticWindow();
    c.change(w);
    InitWith(w);
    EXPECT_FALSE(Build());
    EXPECT_FALSE(IsWindowLoaded(kWin));
    EXPECT_TRUE(os.TopLevels().empty());
    EXPECT_EQ(os.ActiveTimers(), 0u);
    EXPECT_TRUE(calls.empty());
    ShutdownRuntime(0);
  }
  InitSynthetic();
  EXPECT_FALSE(BuildWindow(0x52019999, std::nullopt, false));
  EXPECT_FALSE(BuildWindow(kWin, 0x52019999, false));  // parent not loaded
  EXPECT_TRUE(os.TopLevels().empty());
}

// A window needs no controls: its own unit alone reads and builds, beside a
// window with controls or alone.
TEST_F(WindowTest, AWindowWithoutControlsIsAValidTemplate) {
  WindowTemplate bare = SyntheticWindow();
  bare.units.resize(1);
  for (bool alone : {true, false}) {
    SCOPED_TRACE(alone ? "alone" : "with another window");
    tpl::TemplateSegment seg{{bare}};
    if (!alone) seg.windows.push_back(SyntheticWindows({0x52010020}).windows[0]);
    Init(seg);
    ASSERT_TRUE(Build());
    EXPECT_TRUE(Widget(0).visible);
    EXPECT_EQ(os.ActiveWindow(), W(0));
    EXPECT_TRUE(RequestClose(kWin));
    EXPECT_EQ(Procs(), (std::vector<std::int32_t>{kOnCreated, kOnEvent3, kOnEvent4, kOnMayClose, kOnDestroying}));
    calls.clear();
    ShutdownRuntime(0);
  }
}

// Parent fields that lead to the window through containers are followed; the
// window's own unit id names the window.
TEST_F(WindowTest, NestedContainersAndTheWindowAsParent) {
  WindowTemplate w = SyntheticWindow();
  w.units[Index(kBar)].parent = kBox;
  w.units[Index(kTrans)].parent = kBar;
  w.units[Index(kEdit)].parent = kWinUnit;
  InitWith(w);
  ASSERT_TRUE(Build());
  EXPECT_EQ(Widget(kBar).parent, W(kBox));
  EXPECT_EQ(Widget(kTrans).parent, W(kBar));
  EXPECT_EQ(Widget(kEdit).parent, W(0));
  EXPECT_EQ(Widget(kBox).parent, W(0));
  // The command refuses a cycle: a container cannot go into its own content.
  SetParentWindow({kWin, kBox}, {kWin, kBar});
  SetParentWindow({kWin, kBox}, {kWin, kBox});
  EXPECT_EQ(Widget(kBox).parent, W(0));
}

TEST_F(WindowTest, PropertiesBeforeAndAfterCreation) {
  InitSynthetic();
  // Before: common properties come from the unit record.
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kEdit, 2)), 312);
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kEdit, 0)), 8);
  EXPECT_EQ(PropertyAsText(GetControlProperty(kWin, kEdit, 4)), "tag-edit");
  EXPECT_TRUE(PropertyAsBool(GetControlProperty(kWin, kEdit, 5)));
  EXPECT_TRUE(PropertyAsBool(GetControlProperty(kWin, kHidden, 6)));
  SetControlProperty(kWin, kEdit, 2, std::int32_t{300});
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kEdit, 2)), 300);

  ASSERT_TRUE(Build());
  EXPECT_EQ(Widget(kEdit).rect.width, 300);  // the record's new width was built
  using S = std::string;
  using I = std::int32_t;
  struct Read {
    std::uint32_t unit;
    int number;
    PropertyValue expected;
  } reads[] = {
      {kEdit, 8, S("777\r\n123")}, {kCheck, 11, S("check")}, {kCheck, 18, true},   {kRadioA, 18, false},
      {kRadioB, 18, true},         {kCombo, 19, I{5}},       {kBar, 11, I{0}},     {kBar, 12, I{100}},
      {kBar, 13, I{0}},            {kTrans, 8, S("status")}, {kTimer, 8, I{20}},   {kTimer, 2, I{26}},
      {kEdit, 4, S("tag-edit")},   {kHidden, 5, false},      {kHidden, 6, true},   {kWinUnit, 0, I{181}},
      {0, 3, I{521}},              {kLink, 11, S("http://example.test/info.asp?id=92")},
  };
  for (auto& r : reads)
    EXPECT_EQ(GetControlProperty(kWin, r.unit, r.number), r.expected) << std::hex << r.unit << " #" << r.number;

  // Writes reach the live control and read back.
  struct Write {
    std::uint32_t unit;
    int number;
    PropertyValue value, expected;
  } writes[] = {
      {kEdit, 8, S("new"), S("new")},
      {kCheck, 18, false, false},
      {kCombo, 19, I{2}, I{2}},
      {kCombo, 19, I{99}, I{-1}},
      {kBar, 12, I{7}, I{7}},
      {kBar, 13, I{5}, I{5}},
      {kBar, 13, I{50}, I{7}},  // the bar keeps its position in range
      {kTrans, 8, S("(5:2) a.txt"), S("(5:2) a.txt")},
      {kButton, 0, I{-3}, I{-3}},
      {kButton, 2, I{50000}, I{32627}},
      {kButton, 4, S("t"), S("t")},
      {kButton, 5, false, false},
      {kButton, 6, true, true},
      {kLink, 11, S("http://x"), S("http://x")},
  };
  for (auto& w : writes) {
    SetControlProperty(kWin, w.unit, w.number, w.value);
    EXPECT_EQ(GetControlProperty(kWin, w.unit, w.number), w.expected) << std::hex << w.unit << " #" << w.number;
  }
  EXPECT_EQ(Widget(kButton).rect.width, 32627);
  EXPECT_FALSE(Widget(kButton).enabled);
  EXPECT_EQ(Widget(kEdit).text, "new");
}

TEST_F(WindowTest, TimerIntervalRules) {
  InitSynthetic();
  ASSERT_TRUE(Build());
  os.RunFor(100);
  EXPECT_EQ(Count(kOnTick), 5);  // every 20 ms of the loop's clock
  // The same interval changes nothing: the next tick stays 20 ms after the last.
  os.RunFor(10);
  SetControlProperty(kWin, kTimer, 8, std::int32_t{20});
  os.RunFor(10);
  EXPECT_EQ(Count(kOnTick), 6);
  // 0 stops, a negative interval counts as 0.
  SetControlProperty(kWin, kTimer, 8, std::int32_t{-5});
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kTimer, 8)), 0);
  EXPECT_EQ(os.ActiveTimers(), 0u);
  os.RunFor(100);
  EXPECT_EQ(Count(kOnTick), 6);
  SetControlProperty(kWin, kTimer, 8, std::int32_t{50});
  os.RunFor(100);
  EXPECT_EQ(Count(kOnTick), 8);
}

using WindowDeathTest = WindowTest;

TEST_F(WindowDeathTest, PropertyAndEventErrorsNameTheirCause) {
  InitSynthetic();
  ExpectDialogExit([] { GetControlProperty(0x52019999, kEdit, 2); }, Gbk("未载入欲访问窗口组件所在的窗口"));
  ExpectDialogExit([] { GetControlProperty(kWin, kEdit, 8); }, Gbk("指定窗口尚未载入"));
  ExpectDialogExit([] { RaiseEvent(kWin, kButton, 0); }, Gbk("未找到引发事件的窗口"));
}

}  // namespace
}  // namespace tl::rt::test
