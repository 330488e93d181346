// The window runtime on real GTK widgets: a small template with two radio
// buttons, a check box, a button and a timer, clicked through the X server.
#include "gtk/gtk_support.h"
#include "runtime/core/message_pump.h"
#include "runtime/core/startup.h"
#include "runtime/window/template_format.h"
#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"

namespace tl::gtktest {
namespace {

using namespace tl::rt;

constexpr std::uint32_t kWin = 0x52010018, kWinUnit = 0x06010017;
enum Unit : std::uint32_t { kTimer = 0x16000001, kCheck, kButton, kRadioA, kRadioB };
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
        MakeUnit(kRadioA, tpl::kKindRadioBox, {10, 10, 80, 24}, radio_a, {{0, kOnRadio}}),
        MakeUnit(kRadioB, tpl::kKindRadioBox, {10, 40, 80, 24}, radio_b, {{0, kOnRadio}}),
    };
    bytes_ = tpl::WriteTemplateSegment(tpl::TemplateSegment{{w}});
    InitRuntime({bytes_, [this](std::int32_t stored) -> EventHandler {
                   return [this, stored](std::span<const std::int32_t>) -> HandlerResult {
                     calls.push_back(stored);
                     if (auto it = actions.find(stored); it != actions.end()) it->second();
                     return std::nullopt;
                   };
                 }});
    ASSERT_TRUE(BuildWindow(kWin, std::nullopt, false));
    GtkWidget* top = G(WidgetOf({kWin, 0}));
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_get_mapped(top) && gtk_widget_get_allocated_width(top) > 1; }));
  }
  void TearDown() override {
    ShutdownRuntime(0);
    platform::Install(nullptr);
    PumpUntil([] { return !g_main_context_pending(nullptr); }, 2000);
  }
  Handle W(std::uint32_t unit) { return WidgetOf({kWin, unit}); }
  bool Checked(std::uint32_t unit) { return PropertyAsBool(GetControlProperty(kWin, unit, 18)); }
  long Count(std::int32_t proc) const { return std::count(calls.begin(), calls.end(), proc); }
  // A real click of the left button in the middle of a control.
  void Click(std::uint32_t unit) {
    Handle h = W(unit);
    GtkWidget* top = G(WidgetOf({kWin, 0}));
    Rect r = WidgetInWindow(h);
    int ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
    XClick(ox + r.left + r.width / 2, oy + r.top + r.height / 2);
  }

  std::string bytes_;
  std::vector<std::int32_t> calls;
  std::map<std::int32_t, std::function<void()>> actions;
};

TEST_F(RuntimeTest, ClickingARadioButtonClearsTheOtherOfItsGroup) {
  ASSERT_FALSE(Checked(kRadioA));
  ASSERT_TRUE(Checked(kRadioB));
  Click(kRadioA);
  EXPECT_TRUE(PumpUntil([&] { return Count(kOnRadio) == 1; })) << "the click did not reach the handler";
  EXPECT_TRUE(Checked(kRadioA));
  EXPECT_FALSE(Checked(kRadioB));
  Click(kRadioB);
  EXPECT_TRUE(PumpUntil([&] { return Count(kOnRadio) == 2; }));
  EXPECT_FALSE(Checked(kRadioA));
  EXPECT_TRUE(Checked(kRadioB));
  // Clicking the selected one keeps it selected.
  Click(kRadioB);
  EXPECT_TRUE(PumpUntil([&] { return Count(kOnRadio) == 3; }));
  EXPECT_TRUE(Checked(kRadioB));
  EXPECT_FALSE(Checked(kRadioA));
  // The check box toggles itself before its handler runs.
  bool seen = false;
  actions[kOnCheck] = [&] { seen = Checked(kCheck); };
  Click(kCheck);
  EXPECT_TRUE(PumpUntil([&] { return Count(kOnCheck) == 1; }));
  EXPECT_TRUE(seen);
}

TEST_F(RuntimeTest, AltAndTheUnderlinedLetterSelectsARadioButton) {
  GtkWidget* caption = gtk_bin_get_child(GTK_BIN(G(W(kRadioB))));
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(caption)), "Banana & more");
  EXPECT_EQ(Backend().GetText(W(kRadioB)), "&Banana && more");
  Click(kCheck);  // the focus goes into the window
  ASSERT_TRUE(PumpUntil([&] { return Count(kOnCheck) == 1; }));
  RunServing({"xdotool", "key", "alt+a"});
  EXPECT_TRUE(PumpUntil([&] { return Checked(kRadioA); })) << "Alt+A did not select the radio button";
  EXPECT_FALSE(Checked(kRadioB));
  EXPECT_EQ(Count(kOnRadio), 1);
}

TEST_F(RuntimeTest, TimersKeepFiringWhileAHandlerWorksWithDoEvents) {
  int ticks_in_work = 0;
  bool working = false;
  actions[kOnTick] = [&] {
    if (working) ++ticks_in_work;
  };
  actions[kOnButton] = [&] {
    working = true;
    gint64 end = g_get_monotonic_time() + 5000000;
    while (ticks_in_work < 5 && g_get_monotonic_time() < end) {
      volatile unsigned spin = 0;
      for (unsigned i = 0; i < 100000; ++i) spin = spin + i;
      DoEvents();
    }
    working = false;
  };
  Click(kButton);
  EXPECT_TRUE(PumpUntil([&] { return Count(kOnButton) == 1; }));
  EXPECT_EQ(ticks_in_work, 5) << "the 20 ms timer stalled during the work";
}

TEST_F(RuntimeTest, EnterAnswersTheDefaultButton) {
  Handle check = W(kCheck);
  Backend().SetFocus(check);
  GtkWidget* top = G(WidgetOf({kWin, 0}));
  ASSERT_TRUE(PumpUntil([&] { return gtk_window_get_focus(GTK_WINDOW(top)) == G(check); }));
  // Activating the window's default widget is what GTK does for Enter.
  gtk_window_activate_default(GTK_WINDOW(top));
  EXPECT_TRUE(PumpUntil([&] { return Count(kOnButton) == 1; })) << "the default button did not answer";
}

}  // namespace
}  // namespace tl::gtktest
