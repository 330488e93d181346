// Event dispatch, the close rules, nesting through DoEvents, and the
// behaviour of the interactive kinds.
#include <map>

#include "runtime/message_pump.h"
#include "runtime/registry.h"
#include "runtime/window/window_internal.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

class EventTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    InitSynthetic();
    ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
    calls.clear();
  }
  void Pump() { os.PumpPending(); }
};

TEST_F(EventTest, EveryInputReachesItsBoundHandlerWithItsArguments) {
  struct Case {
    const char* what;
    std::function<void(hl::Headless&, platform::Handle)> input;
    std::vector<Call> expected;  // handler number, args
  } cases[] = {
      {"left click", [](auto& h, auto w) { h.Click(w); },
       {{kOnEditInput + 1, 0, {1, 1, 0}}, {kOnEditInput + 2, 0, {1, 1, 0}}}},
      {"right click", [](auto& h, auto w) { h.RightClick(w, 7, 9, 3); },
       {{kOnEditInput + 4, 0, {7, 9, 3}}, {kOnEditInput + 5, 0, {7, 9, 3}}}},
      {"double click", [](auto& h, auto w) { h.DoubleClick(w, 2, 3); }, {{kOnEditInput + 3, 0, {2, 3, 0}}}},
      {"mouse move", [](auto& h, auto w) { h.MoveMouse(w, 4, 5); }, {{kOnEditInput + 6, 0, {4, 5, 0}}}},
      {"key", [](auto& h, auto w) { h.Key(w, 0x41, 1); },
       {{kOnEditInput + 9, 0, {0x41, 1}}, {kOnEditInput + 10, 0, {0x41, 1}}}},
      {"character", [](auto& h, auto w) { h.Type(w, "z"); }, {{kOnEditInput + 11, 0, {'z'}}}},
      {"wheel", [](auto& h, auto w) { h.Wheel(w, -2, 4); }, {{kOnEditInput + 12, 0, {-2, 4}}}},
  };
  for (auto& c : cases) {
    calls.clear();
    c.input(os, W(kEdit));
    Pump();
    EXPECT_EQ(calls, c.expected) << c.what;
  }
  EXPECT_EQ(Widget(kEdit).text, "777\r\n123z");  // the box took the typing
}

TEST_F(EventTest, ClicksOfEachKind) {
  struct Case {
    std::uint32_t unit;
    std::vector<std::int32_t> procs;
  } cases[] = {
      {kButton, {kOnButton}},
      {kPicBtn, {kOnPicBtn}},
      {kCheck, {kOnCheck}},
      {kRadioA, {kOnRadio}},
      {kUnbound, {}},  // handler -1: nothing runs
      {kLabel, {}},
      {kHidden, {}},   // hidden and disabled: a user cannot click it
  };
  for (auto& c : cases) {
    calls.clear();
    os.Click(W(c.unit));
    Pump();
    EXPECT_EQ(Procs(), c.procs) << std::hex << c.unit;
  }
  EXPECT_FALSE(Widget(kCheck).checked);  // toggled by the click
  os.RightClick(W(kButton));
  calls.clear();
  Pump();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (Call{kOnButtonMouse, 0, {1, 1, 0}}));
}

TEST_F(EventTest, RaiseEventReportsHandledAndResult) {
  actions[kOnButton] = [](auto) -> HandlerResult { return 42; };
  EventOutcome bound = RaiseEvent(kWin, kButton, 0);
  EXPECT_TRUE(bound.handled);
  EXPECT_EQ(bound.result, 42);
  EventOutcome none = RaiseEvent(kWin, kUnbound, 0);
  EXPECT_FALSE(none.handled);
  EXPECT_FALSE(RaiseEvent(kWin, kButton, 7).handled);
  // A handler without a result is handled with no value.
  EXPECT_FALSE(RaiseEvent(kWin, kCheck, 0).result.has_value());
}

TEST_F(EventTest, RadioGroupBySelectionAndArrowKeys) {
  EXPECT_TRUE(Widget(kRadioB).checked);
  os.Click(W(kRadioA));
  Pump();
  EXPECT_TRUE(Widget(kRadioA).checked);
  EXPECT_FALSE(Widget(kRadioB).checked);
  os.Click(W(kRadioB));
  Pump();
  EXPECT_FALSE(Widget(kRadioA).checked);
  EXPECT_TRUE(Widget(kRadioB).checked);
  // Arrow keys move to the next radio button of the same parent.
  calls.clear();
  os.Key(W(kRadioB), 0x28);  // down from the last wraps to the first
  Pump();
  EXPECT_TRUE(Widget(kRadioA).checked);
  EXPECT_FALSE(Widget(kRadioB).checked);
  EXPECT_EQ(os.GetFocus(), W(kRadioA));
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](auto& c) { return c.unit == kOnRadio; }), 1);
  // Setting the property does not touch the other button.
  SetControlProperty(kWin, kRadioB, 18, true);
  EXPECT_TRUE(Widget(kRadioA).checked);
}

TEST_F(EventTest, RadioButtonsInAnotherParentAreAnotherGroup) {
  SetParentWindow({kWin, kRadioA}, {kWin, kBox});
  ASSERT_EQ(Widget(kRadioA).parent, W(kBox));
  os.Click(W(kRadioA));
  Pump();
  EXPECT_TRUE(Widget(kRadioA).checked);
  EXPECT_TRUE(Widget(kRadioB).checked);
}

TEST_F(EventTest, NestedDoEventsRunsASecondHandlerInsideTheFirst) {
  std::vector<std::string> order;
  actions[kOnButton] = [&](auto) -> HandlerResult {
    order.push_back("button in");
    DoEvents();
    order.push_back("button out");
    return std::nullopt;
  };
  actions[kOnPicBtn] = [&](auto) -> HandlerResult {
    order.push_back("picture");
    return std::nullopt;
  };
  os.Click(W(kButton));
  os.Click(W(kPicBtn));
  Pump();
  EXPECT_EQ(order, (std::vector<std::string>{"button in", "picture", "button out"}));
}

TEST_F(EventTest, HandlerThatClosesItsOwnWindowIsSafe) {
  actions[kOnButton] = [&](auto) -> HandlerResult {
    DestroyWindow(kWin);
    return std::nullopt;
  };
  os.Click(W(kButton));
  os.Click(W(kPicBtn));  // its widget is gone by then
  Pump();
  EXPECT_FALSE(IsWindowLoaded(kWin));
  EXPECT_EQ(Procs(), (std::vector<std::int32_t>{kOnButton, kOnDestroying}));
  EXPECT_TRUE(os.TopLevels().empty());
  EXPECT_EQ(os.ActiveTimers(), 0u);
}

TEST_F(EventTest, MayCloseRule) {
  struct Case {
    const char* what;
    std::optional<HandlerResult> returns;  // nullopt: handler unbound
    bool closes;
  } cases[] = {
      {"returns false", HandlerResult{0}, false},
      {"returns true", HandlerResult{1}, true},
      {"no result", HandlerResult{}, true},
  };
  for (auto& c : cases) {
    if (!IsWindowLoaded(kWin)) {
      ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
    }
    calls.clear();
    HandlerResult r = *c.returns;
    actions[kOnMayClose] = [r](auto) { return r; };
    os.Close(W(0));
    Pump();
    EXPECT_EQ(IsWindowLoaded(kWin), !c.closes) << c.what;
    std::vector<std::int32_t> expected = {kOnMayClose};
    if (c.closes) expected.push_back(kOnDestroying);
    EXPECT_EQ(Procs(), expected) << c.what;
  }
}

TEST_F(EventTest, HyperlinkColoursAndOpening) {
  os.MoveMouse(W(kLink), 1, 1);
  Pump();
  EXPECT_EQ(Widget(kLink).text_colour, 0x0000FFu);  // under the pointer
  os.MoveMouse(W(kEdit), 1, 1);
  Pump();
  EXPECT_EQ(Widget(kLink).text_colour, 0xFF0000u);
  os.Click(W(kLink));
  Pump();
  ASSERT_EQ(os.OpenedDocuments().size(), 1u);
  EXPECT_EQ(os.OpenedDocuments()[0].target, "http://example.test/info.asp?id=92");
  EXPECT_EQ(os.OpenedDocuments()[0].verb, "open");
  EXPECT_EQ(os.OpenedDocuments()[0].show, 5);
}

// The registry as a map, so the test neither needs nor touches a real store.
class MapRegistry : public RegistryBackend {
 public:
  std::optional<RegistryValue> Read(int root, std::string_view key, std::string_view name) override {
    auto it = values_.find(Key(root, key, name));
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  bool Write(int root, std::string_view key, std::string_view name, const RegistryValue& value) override {
    values_[Key(root, key, name)] = value;
    return true;
  }

 private:
  static std::string Key(int root, std::string_view key, std::string_view name) {
    return std::to_string(root) + "|" + std::string(key) + "|" + std::string(name);
  }
  std::map<std::string, RegistryValue> values_;
};

TEST_F(EventTest, HyperlinkFallsBackToTheHtmCommand) {
  MapRegistry registry;
  RegistryBackend* previous = SetRegistryBackend(&registry);
  struct Case {
    std::string command;
    std::string expected;
  } cases[] = {
      {"\"C:\\b\\web.exe\" -open \"%1\"", "\"C:\\b\\web.exe\" -open  http://example.test/info.asp?id=92"},
      {"web.exe %1 -x", "web.exe  http://example.test/info.asp?id=92"},
      {"web.exe -", "web.exe  http://example.test/info.asp?id=92"},
  };
  os.SetOpenDocumentResult(false);
  registry.Write(1, ".htm", "", {RegistryType::kText, "htmlfile"});
  for (auto& c : cases) {
    registry.Write(1, "htmlfile\\shell\\open\\command", "", {RegistryType::kText, c.command});
    os.Click(W(kLink));
    Pump();
    ASSERT_FALSE(os.ProgramsRun().empty());
    EXPECT_EQ(os.ProgramsRun().back().command_line, c.expected);
  }
  SetRegistryBackend(previous);
}

}  // namespace
}  // namespace tl::rt::test

namespace tl::rt::test {
namespace {

TEST(Mnemonic, CaptionMarkers) {
  struct Case {
    std::string caption;
    char expected;
  } cases[] = {
      {"&Apple", 'A'},   {"Be&ta", 'T'},  {"&&x", 0},        {"a&&&b", 'B'},     {"end&", 0},
      {"none", 0},       {"&1st", '1'},   {Gbk("&中"), 0},   {Gbk("中&x"), 'X'}, {"", 0},
  };
  for (auto& c : cases) EXPECT_EQ(win::MnemonicOf(c.caption), c.expected) << c.caption;
}

class MnemonicTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    tpl::WindowTemplate w = SyntheticWindow();
    for (auto [unit, caption] : {std::pair{kRadioA, "&Apple"}, std::pair{kRadioB, "Be&ta && more"}}) {
      auto props = std::get<tpl::CheckProps>(*tpl::ReadProps(tpl::kKindRadioBox, w.units[unit & 0xF].properties));
      props.caption = caption;
      props.checked = unit == kRadioB;
      w.units[unit & 0xF].properties = tpl::WriteProps(tpl::kKindRadioBox, props);
    }
    tpl::TemplateSegment seg;
    seg.windows.push_back(w);
    Init(seg);
    ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
  }
};

TEST_F(MnemonicTest, KeyOfARadioCaptionSelectsItAsDialogsDo) {
  constexpr int kCtrl = 1, kShift = 2, kAlt = 4;
  struct Case {
    const char* what;
    std::uint32_t focus;  // the widget that receives the key
    int key, state;
    bool selects_a;
  } cases[] = {
      {"letter on a button", kButton, 'A', 0, true},
      {"letter on the window", 0, 'A', 0, true},
      {"shifted letter", kButton, 'A', kShift, true},
      {"alt + letter in an edit box", kEdit, 'A', kAlt, true},
      {"letter typed into an edit box", kEdit, 'A', 0, false},
      {"letter typed into a combo box", kCombo, 'A', 0, false},
      {"ctrl + letter", kButton, 'A', kCtrl, false},
      {"no such mnemonic", kButton, 'P', 0, false},
      {"a literal && is no mnemonic", kButton, 'M', kAlt, false},
  };
  // When its event runs, the group already shows the new choice.
  std::vector<bool> states_seen;
  actions[kOnRadio] = [&](auto) -> HandlerResult {
    states_seen = {Widget(kRadioA).checked, Widget(kRadioB).checked};
    return std::nullopt;
  };
  for (auto& c : cases) {
    SetControlProperty(kWin, kRadioA, 18, false);
    SetControlProperty(kWin, kRadioB, 18, true);
    calls.clear();
    states_seen.clear();
    os.Key(W(c.focus), c.key, c.state);
    os.PumpPending();
    auto procs = Procs();
    EXPECT_EQ(std::count(procs.begin(), procs.end(), kOnRadio), c.selects_a ? 1 : 0) << c.what;
    EXPECT_EQ(Widget(kRadioA).checked, c.selects_a) << c.what;
    EXPECT_EQ(Widget(kRadioB).checked, !c.selects_a) << c.what;
    if (c.selects_a) {
      EXPECT_EQ(states_seen, (std::vector<bool>{true, false})) << c.what;
      EXPECT_EQ(os.GetFocus(), W(kRadioA)) << c.what;
    }
  }
  // The other button's mnemonic, and again on the already chosen one.
  for (int round = 0; round < 2; ++round) {
    calls.clear();
    os.Key(W(kButton), 'T', kAlt);
    os.PumpPending();
    EXPECT_FALSE(Widget(kRadioA).checked);
    EXPECT_TRUE(Widget(kRadioB).checked);
    EXPECT_EQ(Procs(), (std::vector<std::int32_t>{kOnRadio}));
  }
}

TEST_F(MnemonicTest, DisabledHiddenOrRenamedRadioButtonsDoNotAnswer) {
  SetControlProperty(kWin, kRadioA, 6, true);
  os.Key(W(kButton), 'A', 0);
  os.PumpPending();
  EXPECT_FALSE(Widget(kRadioA).checked);
  SetControlProperty(kWin, kRadioA, 6, false);
  SetControlProperty(kWin, kRadioA, 5, false);
  os.Key(W(kButton), 'A', 0);
  os.PumpPending();
  EXPECT_FALSE(Widget(kRadioA).checked);
  SetControlProperty(kWin, kRadioA, 5, true);
  // The live caption counts: a new caption brings a new key.
  SetControlProperty(kWin, kRadioA, 11, std::string("&Zebra"));
  os.Key(W(kButton), 'A', 0);
  os.Key(W(kButton), 'Z', 0);
  os.PumpPending();
  EXPECT_TRUE(Widget(kRadioA).checked);
  EXPECT_FALSE(Widget(kRadioB).checked);
  auto procs = Procs();
  EXPECT_EQ(std::count(procs.begin(), procs.end(), kOnRadio), 1);
}

TEST_F(MnemonicTest, OnlyLeftAndRightButtonsRaiseMouseEvents) {
  calls.clear();
  os.MiddleClick(W(kEdit));
  os.PumpPending();
  EXPECT_TRUE(calls.empty());
}

}  // namespace
}  // namespace tl::rt::test
