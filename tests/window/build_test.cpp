// Building a window from its template and reading / writing its properties.
#include "gbk_texts.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

using namespace tpl;

TEST_F(WindowTest, BuildsEveryKindInTemplateOrder) {
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  const hl::Widget& win = Widget(0);
  EXPECT_EQ(win.spec.kind, platform::WidgetKind::kTopWindow);
  EXPECT_EQ(win.spec.class_name, "TidylineWindow");
  EXPECT_TRUE(win.spec.min_button);
  EXPECT_FALSE(win.spec.max_button);
  EXPECT_EQ(win.spec.window_border, 2);
  // Centred on the 1024 x 768 screen whatever the stored position says.
  EXPECT_EQ(win.rect, (platform::Rect{181, 123, 662, 521}));
  EXPECT_TRUE(win.visible);

  // Created from the last unit to the first: child ids 100, 110, ...
  // The timer takes its identifier too, though it has no window.
  const std::uint32_t created_last_first[] = {kUnbound, kHidden, kRadioB, kRadioA, kButton, kEdit,  kCombo, kCheck,
                                              kLink,    kPicBtn, kLabel,  kTimer,  kBox,    kBar,   kTrans};
  int id = 100;
  for (std::uint32_t unit : created_last_first) {
    if (unit != kTimer) {
      EXPECT_EQ(Widget(unit).spec.child_id, id) << std::hex << unit;
    }
    id += 10;
  }
  EXPECT_EQ(W(kTimer), platform::kNoHandle);  // no window of its own

  // Sibling order is template order, inside the window and inside the box.
  std::vector<platform::Handle> top = {W(kTrans), W(kBar),  W(kBox),    W(kCheck),  W(kCombo), W(kEdit),
                                       W(kButton), W(kRadioA), W(kRadioB), W(kHidden), W(kUnbound)};
  EXPECT_EQ(win.children, top);
  std::vector<platform::Handle> boxed = {W(kLabel), W(kPicBtn), W(kLink)};
  EXPECT_EQ(Widget(kBox).children, boxed);

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

TEST_F(WindowTest, StoredClassNameAndPositionsAreHonoured) {
  WindowTemplate w = SyntheticWindow();
  WindowProps wp;
  wp.class_name = "OwnClass";
  wp.position = 0;
  wp.max_button = 1;
  w.units[0].properties = WriteProps(kKindWindow, wp);
  w.units[0].flags = 0;
  TemplateSegment seg;
  seg.windows.push_back(w);
  Init(seg);
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_EQ(Widget(0).spec.class_name, "OwnClass");
  EXPECT_EQ(Widget(0).rect, (platform::Rect{50, 50, 662, 521}));
  EXPECT_TRUE(Widget(0).spec.max_button);
  EXPECT_FALSE(Widget(0).visible);
}

TEST_F(WindowTest, CursorDataBecomesACursorOnlyWhenNotZero) {
  WindowTemplate w = SyntheticWindow();
  w.units[kButton & 0xF].cursor = "CUR!";
  w.units[kEdit & 0xF].cursor = std::string(4, '\0');
  TemplateSegment seg;
  seg.windows.push_back(w);
  Init(seg);
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_EQ(Widget(kButton).cursor, "CUR!");
  EXPECT_EQ(Widget(kEdit).cursor, "");
}

// A kind that refuses its block fails the build and leaves nothing behind.
TEST_F(WindowTest, RefusedPropertyBlockFailsTheWholeBuild) {
  struct Case {
    std::size_t unit;
    std::string block;
  } cases[] = {
      {kEdit & 0xF, std::string("\x03\0\0\0", 4)},  // version above 2
      {kCombo & 0xF, std::string("\x01\0\0\0\x01", 5)},  // truncated
      {kTrans & 0xF, std::string("\x01\0\0\0", 4)},  // fields missing
      {0, std::string("\x07\0\0\0", 4)},              // window version 7
  };
  for (auto& c : cases) {
    WindowTemplate w = SyntheticWindow();
    w.units[c.unit].properties = c.block;
    TemplateSegment seg;
    seg.windows.push_back(w);
    Init(seg);
    EXPECT_FALSE(BuildWindow(kWin, std::nullopt, false)) << c.unit;
    EXPECT_FALSE(IsWindowLoaded(kWin));
    EXPECT_TRUE(os.TopLevels().empty()) << c.unit;
    EXPECT_EQ(os.ActiveTimers(), 0u);
    EXPECT_TRUE(calls.empty());
    ShutdownRuntime(0);
  }
}

// Containers that name each other (or themselves) as parent must not make a
// cycle in the widget tree; the backend fails loudly if asked to.
TEST_F(WindowTest, ContainersNamingEachOtherAsParentDoNotLoop) {
  WindowTemplate w = SyntheticWindow();
  w.units[kBar & 0xF].parent = kBox;
  w.units[kBox & 0xF].parent = kBar;
  w.units[kTrans & 0xF].parent = kTrans;
  TemplateSegment seg;
  seg.windows.push_back(w);
  Init(seg);
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_EQ(Widget(kBar).parent, W(kBox));
  EXPECT_EQ(Widget(kBox).parent, W(0));
  EXPECT_EQ(Widget(kTrans).parent, W(0));
  // The same through the command: a container cannot go into its own content.
  SetParentWindow({kWin, kBox}, {kWin, kBar});
  SetParentWindow({kWin, kBox}, {kWin, kBox});
  EXPECT_EQ(Widget(kBox).parent, W(0));
}

// Only unit 0 may be the window: a control of that kind fails the build.
TEST_F(WindowTest, ControlOfTheWindowKindFailsTheBuild) {
  WindowTemplate w = SyntheticWindow();
  w.units[kLabel & 0xF].kind = kKindWindow;
  w.units[kLabel & 0xF].properties.clear();
  TemplateSegment seg;
  seg.windows.push_back(w);
  Init(seg);
  EXPECT_FALSE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_TRUE(os.TopLevels().empty());
  EXPECT_EQ(os.ActiveTimers(), 0u);
}

TEST_F(WindowTest, UnknownKindOrWindowFailsTheBuild) {
  WindowTemplate w = SyntheticWindow();
  w.units[kLabel & 0xF].kind = 0x10063;
  TemplateSegment seg;
  seg.windows.push_back(w);
  Init(seg);
  EXPECT_FALSE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_FALSE(BuildWindow(0x52019999, std::nullopt, false));
  EXPECT_FALSE(BuildWindow(kWin, 0x52019999, false));  // parent not loaded
  EXPECT_TRUE(os.TopLevels().empty());
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

  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  EXPECT_EQ(Widget(kEdit).rect.width, 300);  // the record's new width was built
  struct Read {
    std::uint32_t unit;
    int number;
    PropertyValue expected;
  } reads[] = {
      {kEdit, 8, std::string("777\r\n123")},
      {kCheck, 11, std::string("check")},
      {kCheck, 18, true},
      {kRadioA, 18, false},
      {kRadioB, 18, true},
      {kCombo, 19, std::int32_t{5}},
      {kLink, 11, std::string("http://example.test/info.asp?id=92")},
      {kBar, 11, std::int32_t{0}},
      {kBar, 12, std::int32_t{100}},
      {kBar, 13, std::int32_t{0}},
      {kTrans, 8, std::string("status")},
      {kTimer, 8, std::int32_t{20}},
      {kTimer, 2, std::int32_t{26}},
      {kEdit, 4, std::string("tag-edit")},
      {kHidden, 5, false},
      {kHidden, 6, true},
      {kWinUnit, 0, std::int32_t{181}},
      {0, 3, std::int32_t{521}},
  };
  for (auto& r : reads)
    EXPECT_EQ(GetControlProperty(kWin, r.unit, r.number), r.expected) << std::hex << r.unit << " #" << std::dec
                                                                      << r.number;

  // Writes reach the live control and read back.
  struct Write {
    std::uint32_t unit;
    int number;
    PropertyValue value, expected;
  } writes[] = {
      {kEdit, 8, std::string("new"), std::string("new")},
      {kCheck, 18, false, false},
      {kCombo, 19, std::int32_t{2}, std::int32_t{2}},
      {kCombo, 19, std::int32_t{99}, std::int32_t{-1}},
      {kBar, 12, std::int32_t{7}, std::int32_t{7}},
      {kBar, 13, std::int32_t{5}, std::int32_t{5}},
      {kBar, 13, std::int32_t{50}, std::int32_t{7}},  // the bar keeps its position in range
      {kTrans, 8, std::string("(5:2) a.txt"), std::string("(5:2) a.txt")},
      {kButton, 0, std::int32_t{-3}, std::int32_t{-3}},
      {kButton, 2, std::int32_t{50000}, std::int32_t{32627}},
      {kButton, 4, std::string("t"), std::string("t")},
      {kButton, 5, false, false},
      {kButton, 6, true, true},
      {kLink, 11, std::string("http://x"), std::string("http://x")},
  };
  for (auto& w : writes) {
    SetControlProperty(kWin, w.unit, w.number, w.value);
    EXPECT_EQ(GetControlProperty(kWin, w.unit, w.number), w.expected) << std::hex << w.unit << " #" << std::dec
                                                                      << w.number;
  }
  EXPECT_EQ(Widget(kButton).rect.width, 32627);
  EXPECT_FALSE(Widget(kButton).enabled);
  EXPECT_EQ(Widget(kEdit).text, "new");
}

TEST_F(WindowTest, TimerIntervalRules) {
  InitSynthetic();
  ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  os.RunFor(100);
  auto ticks = [&] {
    auto p = Procs();
    return std::count(p.begin(), p.end(), kOnTick);
  };
  EXPECT_EQ(ticks(), 5);  // every 20 ms of the loop's clock
  // The same interval changes nothing: the next tick stays 20 ms after the last.
  os.RunFor(10);
  SetControlProperty(kWin, kTimer, 8, std::int32_t{20});
  os.RunFor(10);
  EXPECT_EQ(ticks(), 6);
  // 0 stops, a negative interval counts as 0.
  SetControlProperty(kWin, kTimer, 8, std::int32_t{-5});
  EXPECT_EQ(PropertyAsInt(GetControlProperty(kWin, kTimer, 8)), 0);
  EXPECT_EQ(os.ActiveTimers(), 0u);
  os.RunFor(100);
  EXPECT_EQ(ticks(), 6);
  SetControlProperty(kWin, kTimer, 8, std::int32_t{50});
  os.RunFor(100);
  EXPECT_EQ(ticks(), 8);
}

using WindowDeathTest = WindowTest;

// The dialog of each property error carries its own message.
TEST_F(WindowDeathTest, PropertyErrorMessages) {
  InitSynthetic();
  struct Case {
    std::function<void()> action;
    std::string message;
  } cases[] = {
      {[] { GetControlProperty(0x52019999, kEdit, 2); }, Gbk("未载入欲访问窗口组件所在的窗口")},
      {[] { GetControlProperty(kWin, kEdit, 8); }, Gbk("指定窗口尚未载入")},
      {[] { RaiseEvent(kWin, kButton, 0); }, Gbk("未找到引发事件的窗口")},
  };
  for (auto& c : cases) {
    EXPECT_EXIT(
        {
          os.AnswerMessageBox(platform::kIdOk);
          SetShutdownHook(+[] {
            auto* h = static_cast<hl::Headless*>(platform::Current());
            std::fputs(h->MessageBoxes().back().text.c_str(), stderr);
          });
          c.action();
          std::exit(0);
        },
        ::testing::ExitedWithCode(255), ::testing::HasSubstr(c.message));
  }
}

}  // namespace
}  // namespace tl::rt::test
