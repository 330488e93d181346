#include <algorithm>
#include <charconv>
#include <map>
#include <utility>

#include "gbk_texts.h"
#include "runtime/core/errors.h"
#include "runtime/window/window_internal.h"

namespace tl::rt {
namespace win {
namespace {

struct IdleEntry {
  int id;
  std::uint32_t window;
  IdleCallback callback;
};

struct State {
  std::vector<std::unique_ptr<TemplateEntry>> templates;
  std::vector<IdleEntry> idle;
  int next_idle_id = 1;
  std::vector<std::unique_ptr<LoadedWindow>> loaded;
  std::vector<std::unique_ptr<LoadedWindow>> graveyard;
  std::map<platform::TimerId, Control*> timers;
  int depth = 0;
  bool startup_finished = false;
};

State& S() {
  static State s;
  return s;
}

platform::Platform& Os() {
  platform::Platform* p = platform::Current();
  if (!p) FatalError(gbk::ErrNoWindowSystem);
  return *p;
}

TemplateEntry* FindTemplate(std::uint32_t window) {
  for (auto& t : S().templates)
    if (t->tpl.id == window) return t.get();
  return nullptr;
}

LoadedWindow* FindLoaded(std::uint32_t window) {
  for (auto& w : S().loaded)
    if (w->id == window && !w->dead) return w.get();
  return nullptr;
}

// Index of a unit in its window: 0 for the window (0 or its own unit id),
// first in table order otherwise. -1 when unknown or a menu.
int UnitIndex(const TemplateEntry& t, std::uint32_t unit) {
  const auto& units = t.tpl.units;
  if (unit == 0) return 0;
  for (std::size_t i = 0; i < units.size(); ++i)
    if (units[i].id == unit) return units[i].menu ? -1 : static_cast<int>(i);
  return -1;
}

Control* ControlOf(LoadedWindow* w, int index) {
  if (!w || index < 0 || static_cast<std::size_t>(index) >= w->controls.size()) return nullptr;
  return w->controls[static_cast<std::size_t>(index)].get();
}

LoadedWindow* FindLoaded(std::uint32_t window);

// Enables the windows a modal window disabled (those that still exist with
// the same widget) and ends its loop.
void ReleaseModal(LoadedWindow* w) {
  if (!w->modal_loop) return;
  w->modal_loop = false;
  platform::Platform* p = platform::Current();
  if (!p) return;
  for (auto [id, handle] : std::exchange(w->disabled_owners, {})) {
    LoadedWindow* owner = FindLoaded(id);
    if (owner && owner->handle() == handle) p->SetEnabled(handle, true);
  }
  if (w->handle()) p->EndModalLoop(w->handle());
}

void FreeGraveyardIfIdle() {
  if (S().depth == 0) S().graveyard.clear();
}

// Tears a loaded window down; no events are raised here.
void Dismantle(LoadedWindow* w) {
  if (w->dead) return;
  w->dead = true;
  std::erase_if(S().idle, [w](const IdleEntry& e) { return e.window == w->id; });
  for (auto it = w->controls.rbegin(); it != w->controls.rend(); ++it)
    if (*it) (*it)->Teardown();
  // Owners come back before the modal window goes, so the activation falls
  // to them and not to another program.
  ReleaseModal(w);
  if (platform::Platform* p = platform::Current()) {
    // Controls moved into another window's widget would survive its owner.
    for (auto& c : w->controls)
      if (c && c->handle() && c.get() != w->controls[0].get()) p->DestroyWidget(c->handle());
    if (w->handle()) p->DestroyWidget(w->handle());
  }
  for (auto& u : w->entry->tpl.units) u.object_slot = 0;
  auto& loaded = S().loaded;
  auto it = std::find_if(loaded.begin(), loaded.end(), [w](auto& p) { return p.get() == w; });
  if (it != loaded.end()) {
    S().graveyard.push_back(std::move(*it));
    loaded.erase(it);
  }
}

FilesDroppedHandler g_dropped;

class Sink final : public platform::EventSink {
 public:
  platform::EventReply OnEvent(platform::Handle widget, const platform::Event& e) override;
  bool OnIdle(int idle_count) override;
};
Sink g_sink;

std::pair<LoadedWindow*, Control*> ByHandle(platform::Handle h) {
  if (h == platform::kNoHandle) return {nullptr, nullptr};
  for (auto& w : S().loaded) {
    if (w->dead) continue;
    for (auto& c : w->controls)
      if (c && c->handle() == h) return {w.get(), c.get()};
  }
  return {nullptr, nullptr};
}

// A key press that names a radio button's mnemonic selects it, as dialogs
// do: Alt with the letter anywhere in the window, the letter alone unless the
// focused control takes typed characters itself.
void HandleMnemonic(LoadedWindow* w, Control* focused, const platform::Event& e, platform::EventReply& reply) {
  constexpr int kCtrl = 1, kAlt = 4;
  if (e.key_state & kCtrl) return;
  if (!(e.key_state & kAlt) && focused->WantsChars()) return;
  bool letter = e.key >= 'A' && e.key <= 'Z';
  bool digit = e.key >= '0' && e.key <= '9';
  if (!letter && !digit) return;
  platform::Platform& os = Os();
  for (auto& c : w->controls) {
    if (!c || !c->IsRadio() || !c->handle()) continue;
    if (!os.IsVisible(c->handle()) || !os.IsEnabled(c->handle())) continue;
    if (MnemonicOf(os.GetText(c->handle())) != static_cast<char>(e.key)) continue;
    reply.default_action = false;
    reply.handled = true;
    ChooseRadioByKey(c.get());
    return;
  }
}

// True when the user can reach the control: it and every widget around it
// up to its window are shown and enabled.
bool Reachable(LoadedWindow* w, Control* c) {
  platform::Platform& os = Os();
  platform::Handle top = w->handle();
  for (platform::Handle h = c->handle(); h != platform::kNoHandle; h = os.GetParent(h)) {
    if (!os.IsVisible(h) || !os.IsEnabled(h)) return false;
    if (h == top) return true;
  }
  return false;
}

// The controls Tab and Shift+Tab visit: tab stops in template order that the
// user can reach now.
std::vector<Control*> TabStops(LoadedWindow* w) {
  std::vector<Control*> stops;
  for (std::size_t i = 1; i < w->controls.size(); ++i) {
    Control* c = w->controls[i].get();
    if (c && c->handle() && (c->unit().flags & tpl::kFlagTabStop) && Reachable(w, c)) stops.push_back(c);
  }
  return stops;
}

// Gives the focus to the first tab stop unless a control of the window has it.
void FocusFirstTabStop(LoadedWindow* w) {
  platform::Platform& os = Os();
  auto [fw, fc] = ByHandle(os.GetFocus());
  if (fw == w && fc && fc != w->controls[0].get()) return;
  auto stops = TabStops(w);
  if (!stops.empty()) os.SetFocus(stops.front()->handle());
}

// Dialog keys, applied here so that every backend gets them from plain key
// events (Win32 has no IsDialogMessage in our loop; GTK's own focus chain is
// not used). Tab and Shift+Tab move the focus through the tab stops in
// template order, wrapping at the ends. Enter presses the focused push
// button, or else the window's default button; an editable multi-line edit
// box keeps Enter as a line break, because that is what a user typing text
// into it wants (Tab still leaves it, Ctrl+Tab is left to the box). Keys with
// Ctrl or Alt are never taken.
void HandleDialogKeys(LoadedWindow* w, Control* focused, const platform::Event& e, platform::EventReply& reply) {
  constexpr int kTab = 0x09, kReturn = 0x0D, kShift = 2;
  if (e.key == kTab && (e.key_state == 0 || e.key_state == kShift)) {
    auto stops = TabStops(w);
    if (stops.empty()) return;
    bool back = e.key_state == kShift;
    // The next stop after the focused control's place in the template (the
    // window itself comes before every control).
    std::size_t at = focused->index();
    Control* target = nullptr;
    if (back) {
      for (auto it = stops.rbegin(); it != stops.rend() && !target; ++it)
        if ((*it)->index() < at) target = *it;
      if (!target) target = stops.back();
    } else {
      for (Control* c : stops)
        if (c->index() > at) {
          target = c;
          break;
        }
      if (!target) target = stops.front();
    }
    reply.default_action = false;
    Os().SetFocus(target->handle());
    return;
  }
  if (e.key != kReturn || e.key_state != 0 || focused->WantsReturn()) return;
  Control* button = nullptr;
  if (focused->IsPushButton()) {
    button = focused;
  } else {
    for (std::size_t i = 1; i < w->controls.size() && !button; ++i) {
      Control* c = w->controls[i].get();
      if (c && c->IsDefaultButton() && c->handle() && Reachable(w, c)) button = c;
    }
  }
  if (!button) return;
  reply.default_action = false;
  button->Press();
}

bool Sink::OnIdle(int idle_count) {
  (void)idle_count;  // no framework idle work of our own
  DispatchScope scope;
  bool more = false;
  // Callbacks may add or remove callbacks (or destroy windows): walk ids.
  std::vector<int> ids;
  for (const IdleEntry& e : S().idle) ids.push_back(e.id);
  for (int id : ids) {
    auto it = std::find_if(S().idle.begin(), S().idle.end(), [id](const IdleEntry& e) { return e.id == id; });
    if (it == S().idle.end()) continue;
    IdleCallback call = it->callback;
    if (call()) more = true;
  }
  return more;
}

platform::EventReply Sink::OnEvent(platform::Handle widget, const platform::Event& e) {
  using platform::EventType;
  platform::EventReply reply;
  DispatchScope scope;
  if (e.type == EventType::kTimer) {
    auto it = S().timers.find(e.timer);
    if (it != S().timers.end() && it->second->alive()) it->second->OnEvent(e, reply);
    return reply;
  }
  auto [w, c] = ByHandle(widget);
  if (!w || !c) return reply;
  std::uint32_t window = w->id;
  std::uint32_t unit = c->unit().id;
  if (e.type == EventType::kFilesDropped) {
    if (g_dropped) {
      // Copies: the handler runs a batch with nested loops, during which the
      // handler may be replaced and the backend's event may not outlive us.
      FilesDroppedHandler handler = g_dropped;
      const std::vector<std::string> paths = e.paths;
      handler(window, paths);
    }
    return reply;
  }

  // Mouse, key and character input becomes the shared negative events first.
  std::int32_t args[3] = {e.x, e.y, e.key_state};
  int event = 0;
  int argc = 3;
  switch (e.type) {
    // Only the left and right buttons have events.
    case EventType::kMouseDown:
      event = e.button == 1 ? kEventLeftDown : e.button == 2 ? kEventRightDown : 0;
      break;
    case EventType::kMouseUp:
      event = e.button == 1 ? kEventLeftUp : e.button == 2 ? kEventRightUp : 0;
      break;
    case EventType::kDoubleClick: event = kEventDoubleClick; break;
    case EventType::kMouseMove: event = kEventMouseMove; break;
    case EventType::kKeyDown:
    case EventType::kKeyUp:
      event = e.type == EventType::kKeyDown ? kEventKeyDown : kEventKeyUp;
      args[0] = e.key;
      args[1] = e.key_state;
      argc = 2;
      break;
    case EventType::kChar:
      event = kEventChar;
      args[0] = e.key;
      argc = 1;
      break;
    case EventType::kWheel:
      event = kEventWheel;
      args[0] = e.wheel_delta / 120;
      args[1] = e.key_state;
      argc = 2;
      break;
    default: break;
  }
  if (event != 0) {
    reply.handled = RaiseEvent(window, unit, event, std::span<const std::int32_t>(args, argc)).handled;
    if (!c->alive()) return reply;
  }
  if (e.type == EventType::kCloseRequest && c == w->controls[0].get()) {
    RequestClose(window);
    return reply;
  }
  if (e.type == EventType::kDestroyed) {
    if (c == w->controls[0].get()) DestroyWindow(window);
    return reply;
  }
  c->OnEvent(e, reply);
  if (e.type == EventType::kKeyDown && reply.default_action && c->alive()) HandleMnemonic(w, c, e, reply);
  if (e.type == EventType::kKeyDown && reply.default_action && c->alive()) HandleDialogKeys(w, c, e, reply);
  return reply;
}

}  // namespace

DispatchScope::DispatchScope() { ++S().depth; }
DispatchScope::~DispatchScope() {
  --S().depth;
  FreeGraveyardIfIdle();
}

tpl::Unit& Control::unit() const { return window_->entry->tpl.units[index_]; }
bool Control::alive() const { return !window_->dead; }
PropertyValue Control::Get(int) { return std::int32_t{0}; }
void Control::Set(int, const PropertyValue&) {}
void Control::OnEvent(const platform::Event&, platform::EventReply&) {}
platform::Platform& Control::Os() { return win::Os(); }

void Control::SetWidgetText(const PropertyValue& v) {
  std::string scratch;
  Os().SetText(handle_, PropertyTextView(v, scratch));
}

EventOutcome Control::Raise(int event, std::span<const std::int32_t> args) {
  if (!alive()) return {};
  return RaiseEvent(window_->id, unit().id, event, args);
}

void RegisterTimer(platform::TimerId id, Control* control) { S().timers[id] = control; }
void UnregisterTimer(platform::TimerId id) { S().timers.erase(id); }

std::vector<Control*> RadioGroupOf(Control* radio) {
  std::vector<Control*> group;
  if (!radio->alive()) return group;
  platform::Handle parent = Os().GetParent(radio->handle());
  for (auto& c : radio->window()->controls)
    if (c && c->IsRadio() && c->handle() && Os().GetParent(c->handle()) == parent) group.push_back(c.get());
  return group;
}

}  // namespace win

using namespace win;

void SetFilesDroppedHandler(FilesDroppedHandler handler) { g_dropped = std::move(handler); }

// ---------------------------------------------------------------------------
// Templates

bool LoadTemplates(std::string_view segment, const HandlerResolver& resolve) {
  ClearTemplates();
  auto seg = tpl::ReadTemplateSegment(segment);
  if (!seg) return false;
  std::vector<std::unique_ptr<TemplateEntry>> entries;
  for (auto& w : seg->windows) {
    auto e = std::make_unique<TemplateEntry>();
    e->handlers.resize(w.units.size());
    for (std::size_t i = 0; i < w.units.size(); ++i) {
      if (w.units[i].menu) continue;
      for (const auto& b : w.units[i].events) {
        if (b.handler == tpl::kNoHandler) continue;
        EventHandler h = resolve ? resolve(b.handler) : EventHandler();
        if (!h) return false;
        e->handlers[i].emplace_back(b.event, std::move(h));
      }
    }
    e->tpl = std::move(w);
    entries.push_back(std::move(e));
  }
  S().templates = std::move(entries);
  return true;
}

void ClearTemplates() {
  {
    DispatchScope scope;
    while (!S().loaded.empty()) Dismantle(S().loaded.back().get());
  }
  S().idle.clear();
  S().timers.clear();
  S().templates.clear();
}

tpl::Unit* FindUnit(std::uint32_t window, std::uint32_t unit) {
  TemplateEntry* t = FindTemplate(window);
  if (!t) return nullptr;
  int i = UnitIndex(*t, unit);
  return i < 0 ? nullptr : &t->tpl.units[static_cast<std::size_t>(i)];
}

bool IsWindowLoaded(std::uint32_t window) { return FindLoaded(window) != nullptr; }
std::size_t LoadedWindowCount() { return S().loaded.size(); }

platform::Handle WidgetOf(ControlRef ref) {
  LoadedWindow* w = FindLoaded(ref.window);
  if (!w) return platform::kNoHandle;
  Control* c = ControlOf(w, UnitIndex(*w->entry, ref.unit));
  return c ? c->handle() : platform::kNoHandle;
}

int AddIdleCallback(std::uint32_t window, IdleCallback callback) {
  if (!FindLoaded(window) || !callback) return 0;
  int id = S().next_idle_id++;
  S().idle.push_back({id, window, std::move(callback)});
  return id;
}

void RemoveIdleCallback(int id) {
  std::erase_if(S().idle, [id](const IdleEntry& e) { return e.id == id; });
}

void SetStartupFinished(bool finished) { S().startup_finished = finished; }
bool StartupFinished() { return S().startup_finished; }

void AttachEventSink() {
  if (platform::Platform* p = platform::Current()) p->SetEventSink(&g_sink);
}
void DetachEventSink() {
  if (platform::Platform* p = platform::Current()) p->SetEventSink(nullptr);
}

// ---------------------------------------------------------------------------
// Building

namespace {

// True when `widget` is `ancestor` or lies inside it: re-parenting an
// ancestor into its descendant would make a cycle no toolkit survives.
bool Contains(platform::Handle ancestor, platform::Handle widget) {
  platform::Platform& os = Os();
  for (platform::Handle h = widget; h != platform::kNoHandle; h = os.GetParent(h))
    if (h == ancestor) return true;
  return false;
}

// Runs a modal window's own loop until it is closed. Its owner (the parent
// window, or every other loaded window when none is given) takes no input
// meanwhile.
void RunModal(LoadedWindow* w, std::optional<std::uint32_t> parent) {
  platform::Platform& os = Os();
  for (auto& other : S().loaded) {
    if (other.get() == w || other->dead || !other->handle()) continue;
    if (parent && other->id != *parent) continue;
    if (!os.IsEnabled(other->handle())) continue;  // someone else's to restore
    os.SetEnabled(other->handle(), false);
    w->disabled_owners.emplace_back(other->id, other->handle());
  }
  w->modal_loop = true;
  os.RunModalLoop(w->handle());
  // Ended by a quit with the window still open: its owners come back now.
  ReleaseModal(w);
}

}  // namespace

bool BuildWindow(std::uint32_t window, std::optional<std::uint32_t> parent, bool modal) {
  TemplateEntry* t = FindTemplate(window);
  if (!t || !platform::Current()) return false;
  if (FindLoaded(window)) return true;  // one instance per window
  platform::Handle parent_handle = platform::kNoHandle;
  if (parent) {
    LoadedWindow* p = FindLoaded(*parent);
    if (!p) return false;
    parent_handle = p->handle();
  }
  auto& units = t->tpl.units;
  if (units.empty() || units[0].kind != tpl::kKindWindow) return false;

  DispatchScope scope;
  auto owned = std::make_unique<LoadedWindow>();
  LoadedWindow* w = owned.get();
  w->id = window;
  w->entry = t;
  w->controls.resize(units.size());
  S().loaded.push_back(std::move(owned));
  auto fail = [&] {
    Dismantle(w);
    return false;
  };

  // 1. The window from unit 0.
  auto make = [&](std::size_t i, platform::Handle parent_widget, int child_id) {
    // Only unit 0 is the window; a control of that kind would be a second
    // top-level window that no one owns.
    if ((i == 0) != (units[i].kind == tpl::kKindWindow)) return false;
    auto props = tpl::ReadProps(units[i].kind, units[i].properties);
    auto control = MakeControl(units[i].kind, w, i);
    if (!props || !control) return false;
    Control* c = control.get();
    w->controls[i] = std::move(control);
    if (!c->Create(*props, parent_widget, child_id)) return false;
    units[i].object_slot = static_cast<std::uint32_t>(i + 1);  // marks "created"
    return true;
  };
  if (!make(0, parent_handle, 0)) return fail();
  platform::Handle main = w->handle();

  // 2. Controls from the last unit to the first, child ids 100, 110, ...
  int child_id = 100;
  for (std::size_t i = units.size(); i-- > 1;) {
    if (units[i].menu) continue;
    if (!make(i, main, child_id)) return fail();
    child_id += 10;
  }
  platform::Platform& os = Os();

  // 3. Into their containers. A parent field must name the window or a
  // unit of it that holds controls, and following the parents must lead to
  // the window: an unknown unit, a control that holds nothing, or containers
  // naming each other make a bad template, refused like a bad property block.
  auto parent_index = [&](std::size_t i) { return units[i].parent == 0 ? 0 : UnitIndex(*t, units[i].parent); };
  for (std::size_t i = 1; i < units.size(); ++i) {
    if (units[i].menu || units[i].parent == 0) continue;
    int p = parent_index(i);
    Control* box = ControlOf(w, p);
    if (p < 0 || !box || !box->CanHoldControls()) return fail();
    int at = p;
    for (std::size_t steps = 0; at > 0; ++steps) {
      if (steps >= units.size() || static_cast<std::size_t>(at) == i) return fail();
      at = parent_index(static_cast<std::size_t>(at));
      if (at < 0) return fail();
    }
  }
  for (std::size_t i = 1; i < units.size(); ++i) {
    Control* c = ControlOf(w, static_cast<int>(i));
    if (!c || !c->handle() || units[i].parent == 0) continue;
    Control* box = ControlOf(w, parent_index(i));
    if (box->handle() && box->handle() != main && !Contains(c->handle(), box->handle()))
      os.SetParent(c->handle(), box->handle());
  }

  // 4. Cursors: empty or all-zero data keeps the arrow.
  for (std::size_t i = 0; i < units.size(); ++i) {
    Control* c = ControlOf(w, static_cast<int>(i));
    const std::string& cur = units[i].cursor;
    if (c && c->handle() && cur.find_first_not_of('\0') != std::string::npos) os.SetCursor(c->handle(), cur);
  }

  // 5. Sibling (and tab) order follows the template order.
  for (std::size_t i = 1; i < units.size(); ++i) {
    Control* c = ControlOf(w, static_cast<int>(i));
    if (!c || !c->handle()) continue;
    platform::Handle pa = os.GetParent(c->handle());
    platform::Handle above = platform::kNoHandle;
    for (std::size_t j = i - 1; j >= 1 && above == platform::kNoHandle; --j) {
      Control* d = ControlOf(w, static_cast<int>(j));
      if (d && d->handle() && os.GetParent(d->handle()) == pa) above = d->handle();
    }
    if (above) os.PlaceBelow(c->handle(), above);
    else os.PlaceTop(c->handle());
  }

  // 6. Visibility of the controls (they never take the activation), then
  // the window itself, which the user should be able to type into at once.
  for (std::size_t i = 1; i < units.size(); ++i) {
    Control* c = ControlOf(w, static_cast<int>(i));
    if (c && c->handle()) os.SetVisible(c->handle(), units[i].flags & tpl::kFlagVisible);
  }
  bool shown = units[0].flags & tpl::kFlagVisible;
  os.SetVisible(main, shown);
  if (shown) os.ActivateWindow(main);

  // 7. Created, then events 3 and 4, each only while the window exists.
  for (int event : {static_cast<int>(kEventCreated), 3, 4}) {
    if (w->dead) return true;
    RaiseEvent(window, 0, event);
  }
  if (w->dead) return true;

  // 8. Controls finish their set-up; the focus goes back where it was.
  platform::Handle focus = os.GetFocus();
  for (std::size_t i = units.size(); i-- > 1;) {
    if (w->dead) return true;
    if (Control* c = ControlOf(w, static_cast<int>(i))) c->Finish();
  }
  if (!w->dead && os.GetFocus() != focus && focus != platform::kNoHandle) os.SetFocus(focus);
  if (!w->dead && shown && os.IsVisible(main)) FocusFirstTabStop(w);
  if (modal && !w->dead) RunModal(w, parent);
  return true;
}

bool RequestClose(std::uint32_t window) {
  LoadedWindow* w = FindLoaded(window);
  if (!w || w->destroying) return false;
  DispatchScope scope;
  EventOutcome o = RaiseEvent(window, 0, kEventMayClose);
  if (w->dead) return true;
  if (o.handled && o.result && *o.result == 0) return false;
  DestroyWindow(window);
  return true;
}

void DestroyWindow(std::uint32_t window) {
  LoadedWindow* w = FindLoaded(window);
  if (!w || w->destroying) return;
  DispatchScope scope;
  w->destroying = true;
  RaiseEvent(window, 0, kEventDestroying);
  Dismantle(w);
  if (S().startup_finished && S().loaded.empty()) Os().PostQuit(0);
}

// ---------------------------------------------------------------------------
// Properties

std::int32_t PropertyAsInt(const PropertyValue& v) {
  if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
  if (auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  const std::string& s = std::get<std::string>(v);
  std::int32_t out = 0;
  std::size_t start = s.find_first_not_of(" \t");
  if (start == std::string::npos) return 0;
  std::from_chars(s.data() + start, s.data() + s.size(), out);
  return out;
}

bool PropertyAsBool(const PropertyValue& v) {
  if (auto* b = std::get_if<bool>(&v)) return *b;
  if (auto* i = std::get_if<std::int32_t>(&v)) return *i != 0;
  return std::get<std::string>(v) == gbk::True;
}

std::string PropertyAsText(const PropertyValue& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* b = std::get_if<bool>(&v)) return std::string(*b ? gbk::True : gbk::False);
  return std::to_string(std::get<std::int32_t>(v));
}

std::string_view PropertyTextView(const PropertyValue& v, std::string& scratch) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  return scratch = PropertyAsText(v);
}

namespace {

// Window unit rectangles are on the screen; controls' are relative to the
// parent's client area. The backend answers both the same way.
struct Target {
  TemplateEntry* entry;
  tpl::Unit* unit;
  Control* control;  // null before the control exists
};

Target Resolve(std::uint32_t window, std::uint32_t unit) {
  TemplateEntry* t = FindTemplate(window);
  if (!t) FatalError(gbk::ErrControlWindowNotLoaded);
  int i = UnitIndex(*t, unit);
  if (i < 0) FatalError(gbk::ErrNoSuchWindowOrControl);
  return {t, &t->tpl.units[static_cast<std::size_t>(i)], ControlOf(FindLoaded(window), i)};
}

constexpr std::int32_t kMaxExtent = 32627;

}  // namespace

PropertyValue GetControlProperty(std::uint32_t window, std::uint32_t unit, int number, int index) {
  (void)index;  // the application always passes -1
  Target t = Resolve(window, unit);
  platform::Handle h = t.control ? t.control->handle() : platform::kNoHandle;
  tpl::Unit& u = *t.unit;
  if (number >= 0 && number <= 3) {
    if (h) {
      platform::Rect r = Os().GetRect(h);
      const int v[4] = {r.left, r.top, r.width, r.height};
      return std::int32_t{v[number]};
    }
    const std::int32_t v[4] = {u.left, u.top, u.width, u.height};
    return v[number];
  }
  switch (number) {
    case 4: return u.tag;
    case 5: return h ? Os().IsVisible(h) : (u.flags & tpl::kFlagVisible) != 0;
    case 6: return h ? !Os().IsEnabled(h) : (u.flags & tpl::kFlagDisabled) != 0;
    case 7: return u.cursor;
    default: break;
  }
  if (!t.control) FatalError(gbk::ErrWindowNotLoaded);
  return t.control->Get(number - 8);
}

void SetControlProperty(std::uint32_t window, std::uint32_t unit, int number, const PropertyValue& value,
                        int index) {
  (void)index;
  Target t = Resolve(window, unit);
  platform::Handle h = t.control ? t.control->handle() : platform::kNoHandle;
  tpl::Unit& u = *t.unit;
  auto set_flag = [&](std::uint32_t bit, bool on) { u.flags = on ? (u.flags | bit) : (u.flags & ~bit); };
  if (number >= 0 && number <= 3) {
    std::int32_t v = PropertyAsInt(value);
    if (number >= 2) v = std::clamp(v, 0, kMaxExtent);
    std::int32_t* field[4] = {&u.left, &u.top, &u.width, &u.height};
    *field[number] = v;
    if (h) {
      platform::Rect r = Os().GetRect(h);
      int* live[4] = {&r.left, &r.top, &r.width, &r.height};
      *live[number] = v;
      Os().SetRect(h, r);
    }
    return;
  }
  switch (number) {
    case 4: u.tag = PropertyAsText(value); return;
    case 5: {
      bool show = PropertyAsBool(value);
      set_flag(tpl::kFlagVisible, show);
      if (!h) return;
      // A window the program shows comes to the front for the user; a
      // control shown never takes the activation.
      bool activate = show && t.control == t.control->window()->controls[0].get() && !Os().IsVisible(h);
      Os().SetVisible(h, show);
      if (activate) {
        Os().ActivateWindow(h);
        FocusFirstTabStop(t.control->window());
      }
      return;
    }
    case 6:
      set_flag(tpl::kFlagDisabled, PropertyAsBool(value));
      if (h) Os().SetEnabled(h, !PropertyAsBool(value));
      return;
    case 7:
      u.cursor = PropertyAsText(value);
      if (h) Os().SetCursor(h, u.cursor);
      return;
    default: break;
  }
  if (!t.control) FatalError(gbk::ErrWindowNotLoaded);
  t.control->Set(number - 8, value);
}

// ---------------------------------------------------------------------------
// Events

EventOutcome RaiseEvent(std::uint32_t window, std::uint32_t unit, int event, std::span<const std::int32_t> args) {
  LoadedWindow* w = FindLoaded(window);
  if (!w) FatalError(gbk::ErrEventWindowMissing);
  int i = UnitIndex(*w->entry, unit);
  if (i < 0) FatalError(gbk::ErrEventControlMissing);
  if (!ControlOf(w, i)) FatalError(gbk::ErrEventControlInvalid);
  for (auto& [number, handler] : w->entry->handlers[static_cast<std::size_t>(i)]) {
    if (number != event) continue;
    DispatchScope scope;
    EventHandler call = handler;  // the entry may be replaced while it runs
    return {true, call(args)};
  }
  return {};
}

// ---------------------------------------------------------------------------
// Re-parenting and moving

void SetParentWindow(ControlRef target, ControlRef parent) {
  LoadedWindow* tw = FindLoaded(target.window);
  LoadedWindow* pw = FindLoaded(parent.window);
  if (!tw || !pw) return;
  Control* c = ControlOf(tw, UnitIndex(*tw->entry, target.unit));
  Control* p = ControlOf(pw, UnitIndex(*pw->entry, parent.unit));
  if (!c || !p || !c->handle() || !p->handle() || !p->CanHoldControls()) return;
  if (Contains(c->handle(), p->handle())) return;
  if (Os().GetParent(c->handle()) != p->handle()) Os().SetParent(c->handle(), p->handle());
}

void MoveControl(ControlRef target, std::optional<std::int32_t> left, std::optional<std::int32_t> top,
                 std::optional<std::int32_t> width, std::optional<std::int32_t> height) {
  LoadedWindow* w = FindLoaded(target.window);
  if (!w) return;
  int i = UnitIndex(*w->entry, target.unit);
  Control* c = ControlOf(w, i);
  if (!c) return;
  tpl::Unit& u = w->entry->tpl.units[static_cast<std::size_t>(i)];
  platform::Rect old = c->handle() ? Os().GetRect(c->handle()) : platform::Rect{u.left, u.top, u.width, u.height};
  platform::Rect r = old;
  if (left) r.left = *left;
  if (top) r.top = *top;
  if (width && *width != -1) r.width = std::clamp(*width, 0, kMaxExtent);
  if (height && *height != -1) r.height = std::clamp(*height, 0, kMaxExtent);
  if (r == old) return;
  u.left = r.left;
  u.top = r.top;
  u.width = r.width;
  u.height = r.height;
  if (c->handle()) Os().SetRect(c->handle(), r);
}

}  // namespace tl::rt
