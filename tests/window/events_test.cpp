// Event dispatch, the close rules, nesting through DoEvents, and the
// behaviour of the interactive kinds.
#include "runtime/message_pump.h"
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

TEST_F(EventTest, HyperlinkFallsBackToTheHtmCommand) {
  using platform::RegistryRoot;
  using platform::RegistryType;
  struct Case {
    std::string command;
    std::string expected;
  } cases[] = {
      {"\"C:\\b\\web.exe\" -open \"%1\"", "\"C:\\b\\web.exe\" -open  http://example.test/info.asp?id=92"},
      {"web.exe %1 -x", "web.exe  http://example.test/info.asp?id=92"},
      {"web.exe -", "web.exe  http://example.test/info.asp?id=92"},
  };
  os.SetOpenDocumentResult(false);
  os.WriteRegistry(RegistryRoot::kClassesRoot, ".htm", "", {RegistryType::kText, "htmlfile"});
  for (auto& c : cases) {
    os.WriteRegistry(RegistryRoot::kClassesRoot, "htmlfile\\shell\\open\\command", "", {RegistryType::kText, c.command});
    os.Click(W(kLink));
    Pump();
    ASSERT_FALSE(os.ProgramsRun().empty());
    EXPECT_EQ(os.ProgramsRun().back().command_line, c.expected);
  }
}

}  // namespace
}  // namespace tl::rt::test
