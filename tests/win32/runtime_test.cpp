// The window runtime on real Win32 controls: radio buttons grouped by the
// runtime (clicks, arrow keys, mnemonics), the check box, the default
// button, the timer kind.
#include <algorithm>
#include <map>

#include "runtime/core/startup.h"
#include "runtime/window/template_format.h"
#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"
#include "win32/win32_support.h"

namespace tl::wintest {
namespace {

using namespace tl::rt;

constexpr std::uint32_t kWin = 0x52010018, kWinUnit = 0x06010017;
enum Unit : std::uint32_t { kTimer = 0x16000001, kCheck, kButton, kRadioA, kRadioB, kRadioC };
enum Proc : std::int32_t { kOnTick = 1, kOnCheck, kOnButton, kOnRadio };

tpl::Unit MakeUnit(std::uint32_t id, std::uint32_t kind, Rect r, const tpl::Props& props,
                   std::vector<std::pair<int, std::int32_t>> events = {}) {
  tpl::Unit u;
  u.id = id;
  u.kind = kind;
  u.name = "u" + std::to_string(id & 0xF);
  u.flags = tpl::kFlagVisible | tpl::kFlagTabStop;
  u.left = r.left, u.top = r.top, u.width = r.width, u.height = r.height;
  u.properties = tpl::WriteProps(kind, props);
  for (auto [e, h] : events) u.events.push_back({e, h});
  return u;
}

class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Install(&Backend());
    tpl::WindowTemplate w;
    w.id = kWin;
    tpl::WindowProps win;
    win.title = "runtime";
    win.min_button = 1;
    tpl::CheckProps radio_a;
    radio_a.version = 1;
    radio_a.caption = "&Apple";
    tpl::CheckProps radio_b = radio_a;
    radio_b.caption = "&Banana && more";
    radio_b.checked = 1;
    tpl::CheckProps radio_c = radio_a;
    radio_c.caption = "&Cherry";
    tpl::CheckProps check;
    check.caption = "check";
    tpl::TimerProps timer;
    timer.interval = 20;
    tpl::ButtonProps button;
    button.type = 1;
    button.caption = "go";
    w.units = {
        MakeUnit(kWinUnit, tpl::kKindWindow, {20, 20, 300, 200}, win),
        MakeUnit(kTimer, tpl::kKindTimer, {0, 0, 26, 26}, timer, {{0, kOnTick}}),
        MakeUnit(kCheck, tpl::kKindCheckBox, {10, 100, 80, 24}, check, {{0, kOnCheck}}),
        MakeUnit(kButton, tpl::kKindButton, {150, 100, 100, 32}, button, {{0, kOnButton}}),
        MakeUnit(kRadioA, tpl::kKindRadioBox, {10, 10, 120, 24}, radio_a, {{0, kOnRadio}}),
        MakeUnit(kRadioB, tpl::kKindRadioBox, {10, 40, 120, 24}, radio_b, {{0, kOnRadio}}),
        MakeUnit(kRadioC, tpl::kKindRadioBox, {10, 70, 120, 24}, radio_c, {{0, kOnRadio}}),
    };
    bytes_ = tpl::WriteTemplateSegment(tpl::TemplateSegment{{w}});
    InitRuntime({bytes_, [this](std::int32_t stored) -> EventHandler {
                   return [this, stored](std::span<const std::int32_t>) -> HandlerResult {
                     calls.push_back(stored);
                     return std::nullopt;
                   };
                 }});
    ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(W(WidgetOf({kWin, 0}))) != FALSE; }));
  }
  void TearDown() override {
    ShutdownRuntime(0);
    platform::Install(nullptr);
  }
  Handle H(std::uint32_t unit) { return WidgetOf({kWin, unit}); }
  bool Checked(std::uint32_t unit) { return PropertyAsBool(GetControlProperty(kWin, unit, 18)); }
  long Count(std::int32_t proc) const { return std::count(calls.begin(), calls.end(), proc); }
  void Click(std::uint32_t unit) { PostClick(H(unit), 5, 5); }
  void Key(std::uint32_t unit, int vk, bool alt = false) {
    UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    PostMessageA(W(H(unit)), down, static_cast<WPARAM>(vk), alt ? (1 | (1 << 29)) : 1);
  }

  std::string bytes_;
  std::vector<std::int32_t> calls;
};

struct RadioState {
  bool a, b, c;
};

TEST_F(RuntimeTest, ClickingARadioButtonClearsTheOthersOfItsGroup) {
  struct Step {
    std::uint32_t click;
    RadioState after;
  };
  ASSERT_FALSE(Checked(kRadioA));
  ASSERT_TRUE(Checked(kRadioB));
  const Step steps[] = {
      {kRadioA, {true, false, false}},
      {kRadioC, {false, false, true}},
      {kRadioC, {false, false, true}},  // the selected one stays selected
      {kRadioB, {false, true, false}},
  };
  long clicks = 0;
  for (const Step& s : steps) {
    Click(s.click);
    ASSERT_TRUE(PumpUntil([&] { return Count(kOnRadio) == clicks + 1; })) << "the click did not reach the handler";
    ++clicks;
    EXPECT_EQ(Checked(kRadioA), s.after.a);
    EXPECT_EQ(Checked(kRadioB), s.after.b);
    EXPECT_EQ(Checked(kRadioC), s.after.c);
  }
}

TEST_F(RuntimeTest, ArrowKeysAndMnemonicsMoveTheSelectionWithinTheGroup) {
  Backend().SetFocus(H(kRadioB));
  ASSERT_TRUE(PumpUntil([&] { return Backend().GetFocus() == H(kRadioB); }));
  Key(kRadioB, VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Checked(kRadioC); }));
  EXPECT_FALSE(Checked(kRadioB));
  EXPECT_EQ(Backend().GetFocus(), H(kRadioC));
  Key(kRadioC, VK_DOWN);  // wraps to the first
  ASSERT_TRUE(PumpUntil([&] { return Checked(kRadioA); }));
  EXPECT_FALSE(Checked(kRadioC));
  // Alt+B from anywhere in the window.
  Key(kCheck, 'B', true);
  ASSERT_TRUE(PumpUntil([&] { return Checked(kRadioB); }));
  EXPECT_FALSE(Checked(kRadioA));
  EXPECT_EQ(Count(kOnRadio), 3);
}

TEST_F(RuntimeTest, TheCheckBoxTogglesItselfAndEnterPressesTheDefaultButton) {
  Click(kCheck);
  ASSERT_TRUE(PumpUntil([&] { return Count(kOnCheck) == 1; }));
  EXPECT_TRUE(Checked(kCheck));
  Click(kCheck);
  ASSERT_TRUE(PumpUntil([&] { return Count(kOnCheck) == 2; }));
  EXPECT_FALSE(Checked(kCheck));
  Backend().SetFocus(H(kCheck));
  Key(kCheck, VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return Count(kOnButton) == 1; }));
  // Tab moves the focus to the next tab stop in template order.
  Key(kCheck, VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return Backend().GetFocus() == H(kButton); }));
  EXPECT_EQ(Count(kOnCheck), 2) << "the keys did not toggle the check box";
}

TEST_F(RuntimeTest, TheTimerKindTicksWhileDoEventsServesTheWindow) {
  ASSERT_TRUE(PumpUntil([&] { return Count(kOnTick) >= 3; }));
  SetControlProperty(kWin, kTimer, 8, std::int32_t{0});
  long now = Count(kOnTick);
  // Ten periods of the old interval pass without a tick.
  EXPECT_FALSE(PumpUntil([&] { return Count(kOnTick) > now; }, 200));
  EXPECT_EQ(Count(kOnTick), now);
}

}  // namespace
}  // namespace tl::wintest
