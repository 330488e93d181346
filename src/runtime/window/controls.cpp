// The control kinds of the main window: how each one is created from its
// property block, its own numbered properties, and its reaction to input.
#include <algorithm>

#include "runtime/commands/registry.h"
#include "runtime/commands/system_commands.h"
#include "runtime/window/window_internal.h"
#include "runtime/core/gbk_view.h"

namespace tl::rt::win {
namespace {

using platform::Event;
using platform::EventReply;
using platform::EventType;
using platform::WidgetKind;
using platform::WidgetSpec;

constexpr char kRuntimeWindowClass[] = "TidylineWindow";
constexpr int kShowNoActivate = 5;  // SW_SHOW

// Geometry, flags and shared looks of a unit.
WidgetSpec BaseSpec(const tpl::Unit& u, WidgetKind kind, platform::Handle parent, int child_id) {
  WidgetSpec s;
  s.kind = kind;
  s.parent = parent;
  s.rect = {u.left, u.top, u.width, u.height};
  s.child_id = child_id;
  s.disabled = u.flags & tpl::kFlagDisabled;
  s.tab_stop = u.flags & tpl::kFlagTabStop;
  return s;
}

class WindowControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int) override {
    const auto* p = std::get_if<tpl::WindowProps>(&props);
    if (!p) return false;
    const tpl::Unit& u = unit();
    WidgetSpec s = BaseSpec(u, WidgetKind::kTopWindow, parent, 0);
    s.class_name = p->class_name.empty() ? kRuntimeWindowClass : p->class_name;
    s.text = p->title;
    s.window_border = p->border;
    s.control_box = p->control_box != 0;
    s.min_button = p->min_button != 0;
    s.max_button = p->max_button != 0;
    s.movable = p->movable != 0;
    s.topmost = p->topmost != 0;
    s.back_colour = p->back_colour;
    s.icon = p->icon;
    s.show_state = (p->position == 2 || p->position == 3) ? p->position : 0;
    if (p->position == 1) {
      platform::Size screen = Os().ScreenSize();
      s.rect.left = (screen.width - u.width) / 2;
      s.rect.top = (screen.height - u.height) / 2;
    }
    handle_ = Os().CreateWidget(s);
    if (handle_ && !p->picture.empty()) Os().SetPictures(handle_, std::span(&p->picture, 1), tpl::kColourDefault);
    return handle_ != platform::kNoHandle;
  }
  bool CanHoldControls() const override { return true; }
  // Property 18: the state, 0 normal, 2 minimized, 3 maximized; any other
  // value asks for the normal state.
  PropertyValue Get(int k) override {
    if (k == kStateProperty) return std::int32_t{Os().GetWindowState(handle_)};
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k != kStateProperty) return;
    std::int32_t state = PropertyAsInt(v);
    Os().SetWindowState(handle_, state == 2 || state == 3 ? state : 0);
  }

 private:
  static constexpr int kStateProperty = 18 - 8;
};

// Containers and static kinds without properties of their own here.
class PicBoxControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::PicBoxProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kPicBox, parent, child_id);
    s.border = p->border;
    s.back_colour = p->back_colour;
    handle_ = Os().CreateWidget(s);
    if (handle_ && !p->picture.empty()) Os().SetPictures(handle_, std::span(&p->picture, 1), tpl::kColourDefault);
    return handle_ != platform::kNoHandle;
  }
  bool CanHoldControls() const override { return true; }
};

class LabelControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::LabelProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kLabel, parent, child_id);
    s.border = p->border;
    s.text = p->caption;
    s.font = p->font;
    s.text_colour = p->text_colour;
    s.back_colour = p->back_colour;
    handle_ = Os().CreateWidget(s);
    if (handle_ && !p->picture.empty()) Os().SetPictures(handle_, std::span(&p->picture, 1), tpl::kColourDefault);
    return handle_ != platform::kNoHandle;
  }
};

class ButtonControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::ButtonProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kButton, parent, child_id);
    s.default_button = p->type == 1;
    s.h_align = p->h_align;
    s.v_align = p->v_align;
    s.font = p->font;
    s.text = p->caption;
    handle_ = Os().CreateWidget(s);
    if (handle_ && !p->picture.empty()) Os().SetPictures(handle_, std::span(&p->picture, 1), tpl::kColourDefault);
    default_ = s.default_button;
    return handle_ != platform::kNoHandle;
  }
  void OnEvent(const Event& e, EventReply&) override {
    if (e.type == EventType::kClick) Raise(0);
  }
  bool IsPushButton() const override { return true; }
  bool IsDefaultButton() const override { return default_; }
  void Press() override { Raise(0); }

 private:
  bool default_ = false;
};

class PicBtnControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::PicBtnProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kPicButton, parent, child_id);
    handle_ = Os().CreateWidget(s);
    if (!handle_) return false;
    // Empty slots are passed on: the backend shows slot 0.
    Os().SetPictures(handle_, std::span(p->pictures), p->transparent);
    return true;
  }
  void OnEvent(const Event& e, EventReply&) override {
    if (e.type == EventType::kClick) Raise(0);
  }
};

class HyperLinkerControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::HyperLinkerProps>(&props);
    if (!p) return false;
    props_ = *p;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kHyperLink, parent, child_id);
    s.text = Shown();
    s.font = p->font;
    s.text_colour = p->colours[0];
    s.back_colour = p->back_colour;
    s.h_align = 1;
    s.v_align = 1;
    handle_ = Os().CreateWidget(s);
    return handle_ != platform::kNoHandle;
  }
  PropertyValue Get(int k) override {
    if (k == 3) return props_.target;
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k != 3) return;
    props_.target = PropertyAsText(v);
    Os().SetText(handle_, Shown());
  }
  void OnEvent(const Event& e, EventReply&) override {
    switch (e.type) {
      case EventType::kMouseEnter:
        hover_ = true;
        Os().SetTextColour(handle_, props_.colours[2]);
        break;
      case EventType::kMouseLeave:
        hover_ = false;
        Os().SetTextColour(handle_, props_.colours[visited_ ? 1 : 0]);
        break;
      case EventType::kClick: Open(); break;
      default: break;
    }
  }

 private:
  // The caption, or the target when the caption is empty.
  std::string Shown() const { return props_.caption.empty() ? Target() : props_.caption; }
  std::string Target() const {
    if (props_.link_type == 0) return props_.email.empty() ? std::string() : "mailto:" + props_.email;
    return props_.target;
  }
  void Open() {
    std::string target = Target();
    if (target.empty()) return;
    bool ok = Os().OpenDocument(target, "open", kShowNoActivate) || OpenWithHtmHandler(target);
    if (!alive()) return;
    if (ok) visited_ = true;
    if (!hover_) Os().SetTextColour(handle_, props_.colours[visited_ ? 1 : 0]);
  }
  // When the shell cannot open the target, the command registered for
  // ".htm" is run with the target appended.
  static bool OpenWithHtmHandler(const std::string& target) {
    // The registry commands read the same store on every platform (the real
    // registry on Windows).
    constexpr int kClassesRoot = 1;
    std::string type(ReadRegistryText(kClassesRoot, ".htm\\", std::nullopt).view());
    if (type.empty()) return false;
    std::string command(ReadRegistryText(kClassesRoot, type + "\\shell\\open\\command\\", std::nullopt).view());
    if (command.empty()) return false;
    std::size_t cut = command.find("\"%1\"");
    if (cut == std::string::npos) cut = command.find("%1");
    if (cut != std::string::npos) command.resize(cut);
    else command.pop_back();
    command += ' ';
    command += target;
    return RunProgram(command, false, kShowNoActivate);
  }

  tpl::HyperLinkerProps props_;
  bool visited_ = false;
  bool hover_ = false;
};

// CheckBox (automatic) and RadioBox (grouped by the runtime).
class CheckControl final : public Control {
 public:
  CheckControl(LoadedWindow* w, std::size_t i, bool radio) : Control(w, i), radio_(radio) {}
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::CheckProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), radio_ ? WidgetKind::kRadioBox : WidgetKind::kCheckBox, parent, child_id);
    s.push_like = p->push_like != 0;
    s.flat = p->flat != 0;
    s.text_left = p->text_left != 0;
    s.h_align = p->h_align;
    s.v_align = p->v_align;
    s.back_colour = p->back_colour;
    s.font = p->font;
    s.text = p->caption;
    handle_ = Os().CreateWidget(s);
    if (!handle_) return false;
    Os().SetChecked(handle_, p->checked != 0);
    if (!p->picture.empty()) Os().SetPictures(handle_, std::span(&p->picture, 1), tpl::kColourDefault);
    return true;
  }
  bool IsRadio() const override { return radio_; }
  PropertyValue Get(int k) override {
    if (k == 3) return Os().GetText(handle_);
    if (k == 10) return Os().IsChecked(handle_);
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k == 3) SetWidgetText(v);
    if (k == 10) Os().SetChecked(handle_, PropertyAsBool(v));
  }
  void OnEvent(const Event& e, EventReply& reply) override {
    if (e.type == EventType::kClick) {
      if (radio_) SelectInGroup(this);
      Raise(0);
    } else if (radio_ && e.type == EventType::kKeyDown && e.key >= 0x25 && e.key <= 0x28) {
      // Arrow keys move the selection within the group: every radio button
      // of the parent is cleared, the next one checked, then its event runs.
      auto group = RadioGroupOf(this);
      std::erase_if(group, [](Control* c) { return !Os().IsEnabled(c->handle()) || !Os().IsVisible(c->handle()); });
      auto it = std::find(group.begin(), group.end(), this);
      if (it == group.end() || group.size() < 2) return;
      std::size_t pos = static_cast<std::size_t>(it - group.begin());
      bool forward = e.key == 0x27 || e.key == 0x28;
      std::size_t next = forward ? (pos + 1) % group.size() : (pos + group.size() - 1) % group.size();
      reply.default_action = false;
      ChooseRadioByKey(group[next]);
    }
  }
  void Check() { SelectInGroup(this); }
  void RaiseClick() { Raise(0); }

 private:
  static void SelectInGroup(Control* chosen) {
    for (Control* c : RadioGroupOf(chosen)) Os().SetChecked(c->handle(), false);
    Os().SetChecked(chosen->handle(), true);
  }
  bool radio_;
};

class ComboBoxControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::ComboBoxProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kComboBox, parent, child_id);
    s.combo_type = p->type;
    s.max_length = p->max_length;
    s.sorted = p->sorted != 0;
    s.item_height_extra = p->item_height_extra;
    s.back_colour = p->back_colour;
    s.font = p->font;
    s.text = p->content;
    handle_ = Os().CreateWidget(s);
    if (!handle_) return false;
    for (const auto& item : p->items) Os().AddItem(handle_, item);
    int count = Os().ItemCount(handle_);
    Os().SetSelection(handle_, std::clamp(p->selected, -1, count - 1));
    return true;
  }
  bool WantsChars() const override { return true; }
  PropertyValue Get(int k) override {
    if (k == 11) return std::int32_t{Os().GetSelection(handle_)};
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k == 11) Os().SetSelection(handle_, PropertyAsInt(v));
  }
};

class EditBoxControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::EditBoxProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kEditBox, parent, child_id);
    s.border = p->border;
    s.text_colour = p->text_colour;
    s.back_colour = p->back_colour;
    s.hide_selection = p->hide_selection != 0;
    s.max_length = p->max_length;
    s.multi_line = p->multi_line != 0;
    s.scroll_bars = p->scroll_bars;
    s.h_align = p->align;
    s.input_mode = p->input_mode;
    s.password_char = static_cast<char>(p->password_char & 0xFF);
    s.letter_case = p->letter_case;
    s.font = p->font;
    s.text = p->content;
    handle_ = Os().CreateWidget(s);
    // A read-only box has no use for a line break typed into it.
    wants_return_ = s.multi_line && s.input_mode != 1;
    return handle_ != platform::kNoHandle;
  }
  bool WantsChars() const override { return true; }
  bool WantsReturn() const override { return wants_return_; }
  PropertyValue Get(int k) override {
    if (k == 0) return Os().GetText(handle_);
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k == 0) SetWidgetText(v);
  }

 private:
  bool wants_return_ = false;
};

class ProcessBarControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::ProcessBarProps>(&props);
    if (!p) return false;
    handle_ = Os().CreateWidget(BaseSpec(unit(), WidgetKind::kProgressBar, parent, child_id));
    if (!handle_) return false;
    min_ = p->minimum;
    max_ = p->maximum;
    Os().SetProgressRange(handle_, min_, max_);
    Os().SetProgressPosition(handle_, p->position);
    return true;
  }
  // The status label is placed inside the bar.
  bool CanHoldControls() const override { return true; }
  PropertyValue Get(int k) override {
    switch (k) {
      case 3: return min_;
      case 4: return max_;
      case 5: return std::int32_t{Os().GetProgressPosition(handle_)};
      default: return Control::Get(k);
    }
  }
  void Set(int k, const PropertyValue& v) override {
    switch (k) {
      case 3:
      case 4:
        (k == 3 ? min_ : max_) = PropertyAsInt(v);
        Os().SetProgressRange(handle_, min_, max_);
        break;
      case 5: Os().SetProgressPosition(handle_, PropertyAsInt(v)); break;
      default: break;
    }
  }

 private:
  std::int32_t min_ = 0, max_ = 100;
};

class TransLabelControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle parent, int child_id) override {
    const auto* p = std::get_if<tpl::TransLabelProps>(&props);
    if (!p) return false;
    WidgetSpec s = BaseSpec(unit(), WidgetKind::kTransLabel, parent, child_id);
    s.font = p->font;
    s.text = p->caption;
    handle_ = Os().CreateWidget(s);
    return handle_ != platform::kNoHandle;
  }
  PropertyValue Get(int k) override {
    if (k == 0) return Os().GetText(handle_);
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k == 0) SetWidgetText(v);
  }
};

// No widget: a periodic timer whose expiries raise event 0.
class TimerControl final : public Control {
 public:
  using Control::Control;
  bool Create(const tpl::Props& props, platform::Handle, int) override {
    const auto* p = std::get_if<tpl::TimerProps>(&props);
    if (!p) return false;
    SetInterval(p->interval);
    return true;
  }
  PropertyValue Get(int k) override {
    if (k == 0) return interval_;
    return Control::Get(k);
  }
  void Set(int k, const PropertyValue& v) override {
    if (k == 0) SetInterval(PropertyAsInt(v));
  }
  void OnEvent(const Event& e, EventReply&) override {
    if (e.type == EventType::kTimer) Raise(0);
  }
  void Teardown() override { Stop(); }

 private:
  void SetInterval(std::int32_t ms) {
    ms = std::max(ms, 0);
    if (ms == interval_ && (ms == 0 || timer_)) return;  // same period: the ticks go on undisturbed
    Stop();
    interval_ = ms;
    if (ms > 0) {
      timer_ = Os().StartTimer(static_cast<std::uint32_t>(ms));
      if (timer_) RegisterTimer(timer_, this);
    }
  }
  void Stop() {
    if (!timer_) return;
    Os().StopTimer(timer_);
    UnregisterTimer(timer_);
    timer_ = 0;
  }
  std::int32_t interval_ = 0;
  platform::TimerId timer_ = 0;
};

}  // namespace

void ChooseRadioByKey(Control* radio) {
  if (!radio->alive() || !radio->IsRadio()) return;
  static_cast<CheckControl*>(radio)->Check();
  if (platform::Platform* os = platform::Current()) os->SetFocus(radio->handle());
  static_cast<CheckControl*>(radio)->RaiseClick();
}

char MnemonicOf(std::string_view caption) {
  for (std::size_t i = 0; i < caption.size(); ++i) {
    const char b = caption[i];
    if (gbk::IsLead(b)) {
      ++i;  // a two-byte character: its trail byte is never a marker
      continue;
    }
    if (b != '&' || i + 1 >= caption.size()) continue;
    const char next = caption[++i];
    if (next == '&') continue;
    if (gbk::IsLead(next)) return 0;
    return gbk::UpperAscii(next);
  }
  return 0;
}

std::unique_ptr<Control> MakeControl(std::uint32_t kind, LoadedWindow* w, std::size_t i) {
  switch (kind) {
    case tpl::kKindWindow: return std::make_unique<WindowControl>(w, i);
    case tpl::kKindEditBox: return std::make_unique<EditBoxControl>(w, i);
    case tpl::kKindPicBox: return std::make_unique<PicBoxControl>(w, i);
    case tpl::kKindLabel: return std::make_unique<LabelControl>(w, i);
    case tpl::kKindButton: return std::make_unique<ButtonControl>(w, i);
    case tpl::kKindCheckBox: return std::make_unique<CheckControl>(w, i, false);
    case tpl::kKindRadioBox: return std::make_unique<CheckControl>(w, i, true);
    case tpl::kKindComboBox: return std::make_unique<ComboBoxControl>(w, i);
    case tpl::kKindProcessBar: return std::make_unique<ProcessBarControl>(w, i);
    case tpl::kKindHyperLinker: return std::make_unique<HyperLinkerControl>(w, i);
    case tpl::kKindTimer: return std::make_unique<TimerControl>(w, i);
    case tpl::kKindPicBtn: return std::make_unique<PicBtnControl>(w, i);
    case tpl::kKindTransLabel: return std::make_unique<TransLabelControl>(w, i);
    default: return nullptr;
  }
}

}  // namespace tl::rt::win
