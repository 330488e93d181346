// A synthetic window with one control of every kind, and a fixture that
// runs the runtime on the headless backend.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/platform/headless/headless.h"
#include "runtime/startup.h"
#include "runtime/window/template_format.h"
#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"

namespace tl::rt::test {

namespace hl = platform::headless;

// UTF-8 -> GBK, independently of the program's own constant texts.
inline std::string Gbk(std::string_view utf8) {
  iconv_t cd = iconv_open("GB18030", "UTF-8");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char* dst = out.data();
  std::size_t out_left = out.size();
  iconv(cd, &in, &in_left, &dst, &out_left);
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return out;
}

inline constexpr std::uint32_t kWin = 0x52010018;
inline constexpr std::uint32_t kWinUnit = 0x06010017;
enum Id : std::uint32_t {
  kTrans = 0x16000001,
  kBar = 0x16000002,
  kBox = 0x16000003,
  kTimer = 0x16000004,
  kLabel = 0x16000005,
  kPicBtn = 0x16000006,
  kLink = 0x16000007,
  kCheck = 0x16000008,
  kCombo = 0x16000009,
  kEdit = 0x1600000A,
  kButton = 0x1600000B,
  kRadioA = 0x1600000C,
  kRadioB = 0x1600000D,
  kHidden = 0x1600000E,
  kUnbound = 0x1600000F,
};

// Stored handler numbers of the synthetic template.
enum Proc : std::int32_t {
  kOnCreated = 1,
  kOnMayClose,
  kOnDestroying,
  kOnEvent3,
  kOnEvent4,
  kOnButton = 10,
  kOnButtonMouse,
  kOnPicBtn,
  kOnTick,
  kOnCheck,
  kOnRadio,
  kOnEditInput = 20,  // + k for the negative event -k
};

inline tpl::Unit MakeUnit(std::uint32_t id, std::uint32_t kind, const std::string& name, platform::Rect r,
                          std::uint32_t flags, tpl::Props props, std::uint32_t parent = 0) {
  tpl::Unit u;
  u.id = id;
  u.kind = kind;
  u.name = name;
  u.left = r.left;
  u.top = r.top;
  u.width = r.width;
  u.height = r.height;
  u.parent = parent;
  u.flags = flags;
  u.tag = "tag-" + name;
  u.properties = tpl::WriteProps(kind, props);
  return u;
}

inline void Bind(tpl::Unit& u, std::vector<std::pair<int, std::int32_t>> events) {
  for (auto [e, h] : events) u.events.push_back({e, h});
}

// One control of every kind. Creation runs from the last unit to the first.
inline tpl::WindowTemplate SyntheticWindow() {
  using namespace tpl;
  constexpr std::uint32_t V = kFlagVisible, T = kFlagTabStop;
  WindowTemplate w;
  w.id = kWin;
  WindowProps wp;
  wp.title = "Synthetic";
  wp.min_button = 1;
  tpl::Unit win = MakeUnit(kWinUnit, kKindWindow, "", {50, 50, 662, 521}, V, wp);
  Bind(win, {{0, kOnCreated}, {1, kOnMayClose}, {2, kOnDestroying}, {3, kOnEvent3}, {4, kOnEvent4}});
  w.units.push_back(win);

  TransLabelProps tl;
  tl.caption = "status";
  w.units.push_back(MakeUnit(kTrans, kKindTransLabel, "trans", {24, 459, 600, 24}, V, tl));
  tpl::Unit bar = MakeUnit(kBar, kKindProcessBar, "bar", {8, 459, 632, 24}, V, ProcessBarProps{});
  bar.properties.clear();  // all defaults
  w.units.push_back(bar);
  PicBoxProps box;
  box.back_colour = 0xFFFFFF;
  tpl::Unit boxu = MakeUnit(kBox, kKindPicBox, "box", {0, 0, 1000, 90}, V, box);
  boxu.children = {kTimer, kLabel, kPicBtn, kLink};
  w.units.push_back(boxu);
  TimerProps tp;
  tp.interval = 20;
  tpl::Unit timer = MakeUnit(kTimer, kKindTimer, "timer", {432, 32, 26, 26}, V, tp, kBox);
  Bind(timer, {{0, kOnTick}});
  w.units.push_back(timer);
  LabelProps lp;
  lp.border = 3;
  w.units.push_back(MakeUnit(kLabel, kKindLabel, "label", {-1, 88, 1200, 2}, V, lp, kBox));
  PicBtnProps pb;
  pb.transparent = 0x0000FF;
  pb.pictures[0] = "GIF89a-one";
  pb.pictures[1] = "GIF89a-two";
  tpl::Unit pic = MakeUnit(kPicBtn, kKindPicBtn, "picbtn", {40, 12, 195, 64}, V, pb, kBox);
  Bind(pic, {{0, kOnPicBtn}});
  w.units.push_back(pic);
  HyperLinkerProps hp;
  hp.link_type = 1;
  hp.caption = "home";
  hp.target = "http://example.test/info.asp?id=92";
  hp.colours[0] = 0xFF0000;
  hp.colours[1] = 0xFF0000;
  hp.colours[2] = 0x0000FF;
  w.units.push_back(MakeUnit(kLink, kKindHyperLinker, "link", {573, 64, 64, 24}, V, hp, kBox));
  CheckProps cp;
  cp.caption = "check";
  cp.checked = 1;
  tpl::Unit check = MakeUnit(kCheck, kKindCheckBox, "check", {528, 384, 56, 24}, V | T, cp);
  Bind(check, {{0, kOnCheck}});
  w.units.push_back(check);
  ComboBoxProps co;
  co.type = 2;
  co.items = {"a", "b", "c", "d", "e", "f"};
  co.selected = 10;
  w.units.push_back(MakeUnit(kCombo, kKindComboBox, "combo", {552, 427, 88, 23}, V | T, co));
  EditBoxProps ep;
  ep.multi_line = 1;
  ep.scroll_bars = 3;
  ep.content = "777\r\n123";
  tpl::Unit edit = MakeUnit(kEdit, kKindEditBox, "edit", {8, 128, 312, 248}, V | T, ep);
  for (int e : {-1, -2, -3, -4, -5, -6, -9, -10, -11, -12}) Bind(edit, {{e, kOnEditInput - e}});
  w.units.push_back(edit);
  ButtonProps bp;
  bp.caption = "go";
  bp.type = 1;
  tpl::Unit button = MakeUnit(kButton, kKindButton, "button", {384, 380, 120, 32}, V | T, bp);
  Bind(button, {{0, kOnButton}, {-4, kOnButtonMouse}});
  w.units.push_back(button);
  CheckProps ra;
  ra.version = 1;
  ra.caption = "A";
  tpl::Unit radio_a = MakeUnit(kRadioA, kKindRadioBox, "radioA", {192, 384, 88, 24}, V | T, ra);
  Bind(radio_a, {{0, kOnRadio}});
  w.units.push_back(radio_a);
  ra.caption = "B";
  ra.checked = 1;
  tpl::Unit radio_b = MakeUnit(kRadioB, kKindRadioBox, "radioB", {112, 384, 72, 24}, V | T, ra);
  Bind(radio_b, {{0, kOnRadio}});
  w.units.push_back(radio_b);
  bp.caption = "hidden";
  w.units.push_back(MakeUnit(kHidden, kKindButton, "hidden", {0, 0, 10, 10}, kFlagDisabled, bp));
  bp.caption = "unbound";
  tpl::Unit unbound = MakeUnit(kUnbound, kKindButton, "unbound", {10, 10, 10, 10}, V, bp);
  Bind(unbound, {{0, tpl::kNoHandler}});
  w.units.push_back(unbound);
  return w;
}

struct Call {
  std::uint32_t unit;
  int event;
  std::vector<std::int32_t> args;
  friend bool operator==(const Call&, const Call&) = default;
};

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
  void InitSynthetic() {
    tpl::TemplateSegment seg;
    seg.windows.push_back(SyntheticWindow());
    Init(seg);
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

  hl::Headless os;
  std::string bytes;
  std::vector<Call> calls;  // unit holds the handler number here
  std::map<std::int32_t, std::function<HandlerResult(std::span<const std::int32_t>)>> actions;
};

}  // namespace tl::rt::test
