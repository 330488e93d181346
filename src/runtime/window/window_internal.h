// Shared between the window runtime and the control kinds; not for
// application code.
#pragma once
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/window/template_props.h"
#include "runtime/window/window_runtime.h"

namespace tl::rt::win {

struct TemplateEntry {
  tpl::WindowTemplate tpl;
  // Per unit: bound (event number, procedure) pairs.
  std::vector<std::vector<std::pair<int, EventHandler>>> handlers;
};

struct LoadedWindow;

class Control {
 public:
  Control(LoadedWindow* window, std::size_t index) : window_(window), index_(index) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  tpl::Unit& unit() const;
  std::size_t index() const { return index_; }
  LoadedWindow* window() const { return window_; }
  platform::Handle handle() const { return handle_; }
  // False once the window has been destroyed (a nested handler may do that).
  bool alive() const;

  // Makes the widget from the kind's parsed block. False refuses the block.
  virtual bool Create(const tpl::Props& props, platform::Handle parent, int child_id) = 0;
  // Kind property k (number - 8).
  virtual PropertyValue Get(int k);
  virtual void Set(int k, const PropertyValue& v);
  virtual void Finish() {}
  // The kind's own reaction to input, after the negative events.
  virtual void OnEvent(const platform::Event& e, platform::EventReply& reply);
  virtual bool CanHoldControls() const { return false; }
  // Runs before the widgets are destroyed.
  virtual void Teardown() {}
  virtual bool IsRadio() const { return false; }
  // Kinds that take typed characters themselves: a plain letter typed into
  // them is not a mnemonic.
  virtual bool WantsChars() const { return false; }
  // Kinds that take Enter themselves (an editable multi-line edit box makes
  // it a line break), so Enter there does not press the default button.
  virtual bool WantsReturn() const { return false; }
  // Push buttons: Enter presses the one that has the focus, or else the
  // window's default button.
  virtual bool IsPushButton() const { return false; }
  virtual bool IsDefaultButton() const { return false; }
  virtual void Press() {}

 protected:
  EventOutcome Raise(int event, std::span<const std::int32_t> args = {});
  static platform::Platform& Os();
  // Sets the widget's text without copying a text value (pastes run to megabytes).
  void SetWidgetText(const PropertyValue& v);

  LoadedWindow* window_;
  std::size_t index_;
  platform::Handle handle_ = platform::kNoHandle;
};

struct LoadedWindow {
  std::uint32_t id = 0;
  TemplateEntry* entry = nullptr;
  std::vector<std::unique_ptr<Control>> controls;  // by unit index; [0] is the window
  bool destroying = false;
  bool dead = false;
  // A modal window's loop runs inside LoadWindow; the windows it disabled
  // (id, widget) are enabled again when it ends.
  bool modal_loop = false;
  std::vector<std::pair<std::uint32_t, platform::Handle>> disabled_owners;

  platform::Handle handle() const { return controls.empty() || !controls[0] ? 0 : controls[0]->handle(); }
};

std::unique_ptr<Control> MakeControl(std::uint32_t kind, LoadedWindow* window, std::size_t index);

// Timer expiries are routed to their control.
void RegisterTimer(platform::TimerId id, Control* control);
void UnregisterTimer(platform::TimerId id);

// Radio buttons sharing a parent widget, in template order.
std::vector<Control*> RadioGroupOf(Control* radio);
// The keyboard rule of radio groups: every radio button of the parent is
// cleared, `radio` is checked and focused, then its event 0 is raised.
void ChooseRadioByKey(Control* radio);
// The mnemonic of a caption: the character after a single "&", upper-cased;
// 0 when there is none ("&&" is a literal ampersand).
char MnemonicOf(std::string_view caption);

// Handlers run at depth > 0; windows destroyed meanwhile are freed only when
// the outermost dispatch returns, so no control is freed under its own feet.
class DispatchScope {
 public:
  DispatchScope();
  ~DispatchScope();
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;
};

}  // namespace tl::rt::win
