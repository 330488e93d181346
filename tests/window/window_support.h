// A synthetic window with one control of every kind, and a fixture that
// runs the runtime on the headless backend.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/platform/headless/headless.h"
#include "runtime/core/startup.h"
#include "runtime/window/template_format.h"
#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"
#include "support/gbk.h"
#include "support/exit_code.h"

// Property blocks are spelled with designated initializers: the fields left
// out keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tl::rt::test {

namespace hl = platform::headless;
using tl::test::Gbk;

inline constexpr std::uint32_t kWin = 0x52010018;
inline constexpr std::uint32_t kWinUnit = 0x06010017;
// Unit ids; the low nibble is the unit's index in the template.
enum Id : std::uint32_t {
  kTrans = 0x16000001, kBar, kBox, kTimer, kLabel, kPicBtn, kLink, kCheck,
  kCombo, kEdit, kButton, kRadioA, kRadioB, kHidden, kUnbound,
};
inline std::size_t Index(std::uint32_t unit) { return unit & 0xF; }

// Stored handler numbers of the synthetic template.
enum Proc : std::int32_t {
  kOnCreated = 1, kOnMayClose, kOnDestroying, kOnEvent3, kOnEvent4,
  kOnButton = 10, kOnButtonMouse, kOnPicBtn, kOnTick, kOnCheck, kOnRadio,
  kOnEditInput = 20,  // + k for the negative event -k
};

using Events = std::vector<std::pair<int, std::int32_t>>;

inline tpl::Unit MakeUnit(std::uint32_t id, std::uint32_t kind, const std::string& name, platform::Rect r,
                          std::uint32_t flags, const tpl::Props& props, Events events = {},
                          std::uint32_t parent = 0) {
  tpl::Unit u;
  u.id = id, u.kind = kind, u.name = name, u.parent = parent, u.flags = flags;
  u.left = r.left, u.top = r.top, u.width = r.width, u.height = r.height;
  u.tag = "tag-" + name;
  u.properties = tpl::WriteProps(kind, props);
  for (auto [e, h] : events) u.events.push_back({e, h});
  return u;
}

// One control of every kind. Creation runs from the last unit to the first.
inline tpl::WindowTemplate SyntheticWindow() {
  using namespace tpl;
  constexpr std::uint32_t V = kFlagVisible, VT = kFlagVisible | kFlagTabStop;
  Events edit_events;
  for (int e : {-1, -2, -3, -4, -5, -6, -9, -10, -11, -12}) edit_events.push_back({e, kOnEditInput - e});
  WindowTemplate w;
  w.id = kWin;
  w.units = {
      MakeUnit(kWinUnit, kKindWindow, "", {50, 50, 662, 521}, V, WindowProps{.min_button = 1, .title = "Synthetic"},
               {{0, kOnCreated}, {1, kOnMayClose}, {2, kOnDestroying}, {3, kOnEvent3}, {4, kOnEvent4}}),
      MakeUnit(kTrans, kKindTransLabel, "trans", {24, 459, 600, 24}, V, TransLabelProps{.caption = "status"}),
      MakeUnit(kBar, kKindProcessBar, "bar", {8, 459, 632, 24}, V, ProcessBarProps{}),
      MakeUnit(kBox, kKindPicBox, "box", {0, 0, 1000, 90}, V, PicBoxProps{.back_colour = 0xFFFFFF}),
      MakeUnit(kTimer, kKindTimer, "timer", {432, 32, 26, 26}, V, TimerProps{.interval = 20}, {{0, kOnTick}}, kBox),
      MakeUnit(kLabel, kKindLabel, "label", {-1, 88, 1200, 2}, V, LabelProps{.border = 3}, {}, kBox),
      MakeUnit(kPicBtn, kKindPicBtn, "picbtn", {40, 12, 195, 64}, V,
               PicBtnProps{.transparent = 0x0000FF, .pictures = {"GIF89a-one", "GIF89a-two"}}, {{0, kOnPicBtn}}, kBox),
      MakeUnit(kLink, kKindHyperLinker, "link", {573, 64, 64, 24}, V,
               HyperLinkerProps{.link_type = 1,
                                .colours = {0xFF0000, 0xFF0000, 0x0000FF},
                                .caption = "home",
                                .target = "http://example.test/info.asp?id=92"},
               {}, kBox),
      MakeUnit(kCheck, kKindCheckBox, "check", {528, 384, 56, 24}, VT, CheckProps{.checked = 1, .caption = "check"},
               {{0, kOnCheck}}),
      MakeUnit(kCombo, kKindComboBox, "combo", {552, 427, 88, 23}, VT,
               ComboBoxProps{.type = 2, .selected = 10, .items = {"a", "b", "c", "d", "e", "f"}}),
      MakeUnit(kEdit, kKindEditBox, "edit", {8, 128, 312, 248}, VT,
               EditBoxProps{.multi_line = 1, .scroll_bars = 3, .content = "777\r\n123"}, edit_events),
      MakeUnit(kButton, kKindButton, "button", {384, 380, 120, 32}, VT, ButtonProps{.type = 1, .caption = "go"},
               {{0, kOnButton}, {-4, kOnButtonMouse}}),
      MakeUnit(kRadioA, kKindRadioBox, "radioA", {192, 384, 88, 24}, VT, CheckProps{.version = 1, .caption = "A"},
               {{0, kOnRadio}}),
      MakeUnit(kRadioB, kKindRadioBox, "radioB", {112, 384, 72, 24}, VT,
               CheckProps{.version = 1, .checked = 1, .caption = "B"}, {{0, kOnRadio}}),
      MakeUnit(kHidden, kKindButton, "hidden", {0, 0, 10, 10}, kFlagDisabled, ButtonProps{.type = 1, .caption = "hidden"}),
      MakeUnit(kUnbound, kKindButton, "unbound", {10, 10, 10, 10}, V, ButtonProps{.type = 1, .caption = "unbound"},
               {{0, tpl::kNoHandler}}),
  };
  w.units[Index(kBar)].properties.clear();  // an empty block: all defaults
  w.units[Index(kBox)].children = {kTimer, kLabel, kPicBtn, kLink};
  return w;
}

// Copies of the synthetic window under the given window ids.
inline tpl::TemplateSegment SyntheticWindows(std::initializer_list<std::uint32_t> ids) {
  tpl::TemplateSegment seg;
  for (std::uint32_t id : ids) {
    seg.windows.push_back(SyntheticWindow());
    seg.windows.back().id = id;
  }
  return seg;
}

struct Call {
  std::uint32_t unit;  // the handler number
  int event;
  std::vector<std::int32_t> args;
  friend bool operator==(const Call&, const Call&) = default;
};

// Death tests: prints the last message box as "[caption|style]text<end>" so
// the exit matcher can check it whole.
inline void PrintLastDialog() {
  auto* h = static_cast<hl::Headless*>(platform::Current());
  const auto& box = h->MessageBoxes().back();
  std::fprintf(stderr, "[%s|%x]%s<end>", box.caption.c_str(), static_cast<unsigned>(box.style), box.text.c_str());
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Install(&os); }
  void TearDown() override {
    ShutdownRuntime(0);
    SetShutdownHook(nullptr);
    platform::Install(nullptr);
  }

  // Every stored handler value logs its call; `actions` may add behaviour.
  HandlerResolver Resolver() {
    return [this](std::int32_t stored) -> EventHandler {
      if (stored <= 0 || stored > 100) return {};
      return [this, stored](std::span<const std::int32_t> args) -> HandlerResult {
        calls.push_back({static_cast<std::uint32_t>(stored), 0, {args.begin(), args.end()}});
        auto it = actions.find(stored);
        return it == actions.end() ? HandlerResult{} : it->second(args);
      };
    };
  }

  void Init(const tpl::TemplateSegment& seg) {
    bytes = tpl::WriteTemplateSegment(seg);
    InitRuntime({bytes, Resolver()});
  }
  void InitWith(tpl::WindowTemplate w) { Init(tpl::TemplateSegment{{std::move(w)}}); }
  void InitSynthetic() { InitWith(SyntheticWindow()); }
  static bool Build() { return BuildWindow(kWin, std::nullopt, false); }

  // The action must end the process through the runtime error dialog, whose
  // printed form must contain `shown`.
  void ExpectDialogExit(const std::function<void()>& action, const std::string& shown) {
    EXPECT_EXIT(
        {
          os.AnswerMessageBox(platform::kIdOk);
          SetShutdownHook(PrintLastDialog);
          action();
          std::exit(0);
        },
        ::testing::ExitedWithCode(tl::test::kFatalExitStatus), ::testing::HasSubstr(shown));
  }

  platform::Handle W(std::uint32_t unit) { return WidgetOf({kWin, unit}); }
  const hl::Widget& Widget(std::uint32_t unit) {
    const hl::Widget* w = os.Find(W(unit));
    EXPECT_NE(w, nullptr) << std::hex << unit;
    static const hl::Widget none;
    return w ? *w : none;
  }
  std::vector<std::int32_t> Procs() const {
    std::vector<std::int32_t> out;
    for (auto& c : calls) out.push_back(static_cast<std::int32_t>(c.unit));
    return out;
  }
  long Count(std::int32_t proc) const {
    auto p = Procs();
    return std::count(p.begin(), p.end(), proc);
  }

  hl::Headless os;
  std::string bytes;
  std::vector<Call> calls;
  std::map<std::int32_t, std::function<HandlerResult(std::span<const std::int32_t>)>> actions;
};

}  // namespace tl::rt::test
