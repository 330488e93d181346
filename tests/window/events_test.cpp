// Event dispatch, the close rules, nesting through DoEvents, and the
// behaviour of the interactive kinds.
#include <map>

#include "runtime/core/message_pump.h"
#include "runtime/commands/registry.h"
#include "runtime/commands/system_commands.h"
#include "runtime/window/window_internal.h"
#include "window_support.h"

namespace tl::rt::test {
namespace {

class EventTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    InitSynthetic();
    ASSERT_TRUE(Build());
    calls.clear();
  }
  void Pump() { os.PumpPending(); }
};

TEST_F(EventTest, EveryInputReachesItsBoundHandlerWithItsArguments) {
  using Input = std::function<void(hl::Headless&, platform::Handle)>;
  const Input click = [](auto& h, auto w) { h.Click(w); };
  struct Case {
    const char* what;
    std::uint32_t unit;
    Input input;
    std::vector<Call> expected;  // handler number, args
  } cases[] = {
      {"left click", kEdit, click, {{kOnEditInput + 1, 0, {1, 1, 0}}, {kOnEditInput + 2, 0, {1, 1, 0}}}},
      {"right click", kEdit, [](auto& h, auto w) { h.RightClick(w, 7, 9, 3); },
       {{kOnEditInput + 4, 0, {7, 9, 3}}, {kOnEditInput + 5, 0, {7, 9, 3}}}},
      {"double click", kEdit, [](auto& h, auto w) { h.DoubleClick(w, 2, 3); }, {{kOnEditInput + 3, 0, {2, 3, 0}}}},
      {"mouse move", kEdit, [](auto& h, auto w) { h.MoveMouse(w, 4, 5); }, {{kOnEditInput + 6, 0, {4, 5, 0}}}},
      {"key", kEdit, [](auto& h, auto w) { h.Key(w, 0x41, 1); },
       {{kOnEditInput + 9, 0, {0x41, 1}}, {kOnEditInput + 10, 0, {0x41, 1}}}},
      {"character", kEdit, [](auto& h, auto w) { h.Type(w, "z"); }, {{kOnEditInput + 11, 0, {'z'}}}},
      {"wheel", kEdit, [](auto& h, auto w) { h.Wheel(w, -2, 4); }, {{kOnEditInput + 12, 0, {-2, 4}}}},
      {"middle click: only left and right raise mouse events", kEdit,
       [](auto& h, auto w) { h.MiddleClick(w); }, {}},
      {"button", kButton, click, {{kOnButton, 0, {}}}},
      {"button, right", kButton, [](auto& h, auto w) { h.RightClick(w); }, {{kOnButtonMouse, 0, {1, 1, 0}}}},
      {"picture button", kPicBtn, click, {{kOnPicBtn, 0, {}}}},
      {"check box", kCheck, click, {{kOnCheck, 0, {}}}},
      {"radio button", kRadioA, click, {{kOnRadio, 0, {}}}},
      {"handler -1: nothing runs", kUnbound, click, {}},
      {"label", kLabel, click, {}},
      {"hidden and disabled: a user cannot click it", kHidden, click, {}},
  };
  for (auto& c : cases) {
    calls.clear();
    c.input(os, W(c.unit));
    Pump();
    EXPECT_EQ(calls, c.expected) << c.what;
  }
  EXPECT_EQ(Widget(kEdit).text, "777\r\n123z");  // the box took the typing
  EXPECT_FALSE(Widget(kCheck).checked);          // toggled by the click
}

TEST_F(EventTest, RaiseEventReportsHandledAndResult) {
  actions[kOnButton] = [](auto) -> HandlerResult { return 42; };
  EventOutcome bound = RaiseEvent(kWin, kButton, 0);
  EXPECT_TRUE(bound.handled);
  EXPECT_EQ(bound.result, 42);
  EXPECT_FALSE(RaiseEvent(kWin, kUnbound, 0).handled);
  EXPECT_FALSE(RaiseEvent(kWin, kButton, 7).handled);
  // A handler without a result is handled with no value.
  EXPECT_FALSE(RaiseEvent(kWin, kCheck, 0).result.has_value());
}

TEST_F(EventTest, RadioGroupBySelectionArrowKeysAndParent) {
  auto expect_checked = [&](bool a, bool b) {
    EXPECT_EQ(Widget(kRadioA).checked, a);
    EXPECT_EQ(Widget(kRadioB).checked, b);
  };
  expect_checked(false, true);
  os.Click(W(kRadioA));
  Pump();
  expect_checked(true, false);
  os.Click(W(kRadioB));
  Pump();
  expect_checked(false, true);
  // Arrow keys move to the next radio button of the same parent; down from
  // the last wraps to the first.
  os.Key(W(kRadioB), 0x28);
  Pump();
  expect_checked(true, false);
  EXPECT_EQ(os.GetFocus(), W(kRadioA));
  EXPECT_EQ(Count(kOnRadio), 3);
  // Setting the property does not touch the other button.
  SetControlProperty(kWin, kRadioB, 18, true);
  expect_checked(true, true);
  // Radio buttons in another parent are another group.
  SetControlProperty(kWin, kRadioA, 18, false);
  SetParentWindow({kWin, kRadioA}, {kWin, kBox});
  ASSERT_EQ(Widget(kRadioA).parent, W(kBox));
  os.Click(W(kRadioA));
  Pump();
  expect_checked(true, true);
}

TEST_F(EventTest, NestedDoEventsRunsASecondHandlerInsideTheFirst) {
  std::vector<std::string> order;
  actions[kOnButton] = [&](auto) -> HandlerResult {
    order.push_back("button in");
    DoEvents();
    order.push_back("button out");
    return std::nullopt;
  };
  actions[kOnPicBtn] = [&](auto) -> HandlerResult { return order.push_back("picture"), std::nullopt; };
  os.Click(W(kButton));
  os.Click(W(kPicBtn));
  Pump();
  EXPECT_EQ(order, (std::vector<std::string>{"button in", "picture", "button out"}));
}

TEST_F(EventTest, HandlerThatClosesItsOwnWindowIsSafe) {
  actions[kOnButton] = [&](auto) -> HandlerResult { return DestroyWindow(kWin), std::nullopt; };
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
    HandlerResult returns;
    bool closes;
  } cases[] = {{"returns false", 0, false}, {"returns true", 1, true}, {"no result", std::nullopt, true}};
  for (auto& c : cases) {
    if (!IsWindowLoaded(kWin)) {
      ASSERT_TRUE(Build());
    }
    calls.clear();
    actions[kOnMayClose] = [r = c.returns](auto) { return r; };
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
struct MapRegistry : RegistryBackend {
  std::optional<RegistryValue> Read(int root, std::string_view key, std::string_view name) override {
    auto it = values.find(Key(root, key, name));
    return it == values.end() ? std::nullopt : std::optional(it->second);
  }
  bool Write(int root, std::string_view key, std::string_view name, const RegistryValue& value) override {
    return values[Key(root, key, name)] = value, true;
  }
  static std::string Key(int root, std::string_view key, std::string_view name) {
    return std::to_string(root) + "|" + std::string(key) + "|" + std::string(name);
  }
  std::map<std::string, RegistryValue> values;
};

// Programs the runtime starts, recorded instead of started.
std::vector<std::string>& LaunchedCommands() {
  static std::vector<std::string> commands;
  return commands;
}

bool RecordLaunch(std::string_view commandLine, bool, int) {
  LaunchedCommands().emplace_back(commandLine);
  return true;
}

TEST_F(EventTest, HyperlinkFallsBackToTheHtmCommand) {
  MapRegistry registry;
  RegistryBackend* previous = SetRegistryBackend(&registry);
  ProgramLauncher previousLauncher = SetProgramLauncher(&RecordLaunch);
  LaunchedCommands().clear();
  struct Case {
    std::string command, expected;
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
    ASSERT_FALSE(LaunchedCommands().empty());
    EXPECT_EQ(LaunchedCommands().back(), c.expected);
  }
  SetProgramLauncher(previousLauncher);
  SetRegistryBackend(previous);
}

TEST(Mnemonic, CaptionMarkers) {
  struct Case {
    std::string caption;
    char expected;
  } cases[] = {
      {"&Apple", 'A'}, {"Be&ta", 'T'}, {"&&x", 0},      {"a&&&b", 'B'},     {"end&", 0},
      {"none", 0},     {"&1st", '1'},  {Gbk("&中"), 0}, {Gbk("中&x"), 'X'}, {"", 0},
  };
  for (auto& c : cases) EXPECT_EQ(win::MnemonicOf(c.caption), c.expected) << c.caption;
}

class MnemonicTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    tpl::WindowTemplate w = SyntheticWindow();
    for (auto [unit, caption] : {std::pair{kRadioA, "&Apple"}, std::pair{kRadioB, "Be&ta && more"}})
      w.units[Index(unit)].properties = tpl::WriteProps(
          tpl::kKindRadioBox, tpl::CheckProps{.version = 1, .checked = unit == kRadioB, .caption = caption});
    InitWith(w);
    ASSERT_TRUE(Build());
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
    SCOPED_TRACE(c.what);
    SetControlProperty(kWin, kRadioA, 18, false);
    SetControlProperty(kWin, kRadioB, 18, true);
    calls.clear();
    states_seen.clear();
    os.Key(W(c.focus), c.key, c.state);
    os.PumpPending();
    EXPECT_EQ(Count(kOnRadio), c.selects_a ? 1 : 0);
    EXPECT_EQ(Widget(kRadioA).checked, c.selects_a);
    EXPECT_EQ(Widget(kRadioB).checked, !c.selects_a);
    if (c.selects_a) {
      EXPECT_EQ(states_seen, (std::vector<bool>{true, false}));
      EXPECT_EQ(os.GetFocus(), W(kRadioA));
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
  for (int property : {6, 5}) {  // disabled, then hidden
    SetControlProperty(kWin, kRadioA, property, property == 6);
    os.Key(W(kButton), 'A', 0);
    os.PumpPending();
    EXPECT_FALSE(Widget(kRadioA).checked) << property;
    SetControlProperty(kWin, kRadioA, property, property != 6);
  }
  // The live caption counts: a new caption brings a new key.
  SetControlProperty(kWin, kRadioA, 11, std::string("&Zebra"));
  os.Key(W(kButton), 'A', 0);
  os.Key(W(kButton), 'Z', 0);
  os.PumpPending();
  EXPECT_TRUE(Widget(kRadioA).checked);
  EXPECT_FALSE(Widget(kRadioB).checked);
  EXPECT_EQ(Count(kOnRadio), 1);
}

}  // namespace
}  // namespace tl::rt::test
