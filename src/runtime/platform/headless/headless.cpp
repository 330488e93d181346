#include "runtime/platform/headless/headless.h"

#include "runtime/file_io.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace tl::platform::headless {
namespace {

[[noreturn]] void DefaultFailure(const std::string& what) {
  std::fprintf(stderr, "headless backend: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// Events are built field by field: brace-initialising only the type would
// leave the drop paths out of the initialiser list.
Event MakeEvent(EventType type) {
  Event e;
  e.type = type;
  return e;
}

}  // namespace

Headless::Headless() : fail_(&DefaultFailure) {}
Headless::~Headless() = default;

void Headless::Fail(const std::string& what) {
  (fail_ ? fail_ : &DefaultFailure)(what);
  // A handler that returns leaves the backend in no state to go on.
  DefaultFailure(what);
}

Widget* Headless::Get(Handle w) {
  auto it = widgets_.find(w);
  return it == widgets_.end() ? nullptr : &it->second;
}

const Widget* Headless::Find(Handle w) const {
  auto it = widgets_.find(w);
  return it == widgets_.end() ? nullptr : &it->second;
}

std::vector<Handle> Headless::TopLevels() const { return top_levels_; }

bool Headless::Reachable(Handle w) const {
  // A user reaches a widget only when it and every window around it up to
  // its top-level window are shown and enabled (a modal window's owner is
  // disabled; the windows it owns are not inside it).
  for (const Widget* x = Find(w); x; x = x->parent == kNoHandle ? nullptr : Find(x->parent)) {
    if (!x->enabled || !x->visible) return false;
    if (x->spec.kind == WidgetKind::kTopWindow) break;
  }
  return Find(w) != nullptr;
}

void Headless::Send(Handle w, const Event& e) {
  if (sink_ && Get(w)) sink_->OnEvent(w, e);
}

// ---------------------------------------------------------------------------
// Scripting

void Headless::Post(std::uint32_t delay_ms, std::function<void()> action) {
  pending_.push_back({now_ + delay_ms, seq_++, std::move(action)});
}

void Headless::At(std::uint32_t delay_ms, std::function<void()> action) { Post(delay_ms, std::move(action)); }

void Headless::Click(Handle w, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w] {
    if (!Reachable(w)) return;  // a user cannot click it
    Widget* x = Get(w);
    Event down = MakeEvent(EventType::kMouseDown);
    down.x = down.y = 1;
    Send(w, down);
    Event up = down;
    up.type = EventType::kMouseUp;
    Send(w, up);
    x = Get(w);
    if (!x) return;
    // An automatic check box toggles itself before it reports the click.
    if (x->spec.kind == WidgetKind::kCheckBox) x->checked = !x->checked;
    Send(w, MakeEvent(EventType::kClick));
  });
}

void Headless::RightClick(Handle w, int x, int y, int key_state, std::uint32_t delay_ms) {
  Press(w, 2, x, y, key_state, delay_ms);
}

void Headless::MiddleClick(Handle w, int x, int y, std::uint32_t delay_ms) { Press(w, 3, x, y, 0, delay_ms); }

void Headless::Press(Handle w, int button, int x, int y, int key_state, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w, button, x, y, key_state] {
    if (!Reachable(w)) return;
    Event e = MakeEvent(EventType::kMouseDown);
    e.button = button;
    e.x = x;
    e.y = y;
    e.key_state = key_state;
    Send(w, e);
    e.type = EventType::kMouseUp;
    Send(w, e);
  });
}

void Headless::DoubleClick(Handle w, int x, int y, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w, x, y] {
    if (!Reachable(w)) return;
    Event e = MakeEvent(EventType::kDoubleClick);
    e.x = x;
    e.y = y;
    Send(w, e);
  });
}

void Headless::MoveMouse(Handle w, int x, int y, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w, x, y] {
    if (hover_ != w) {
      if (hover_ != kNoHandle) Send(hover_, MakeEvent(EventType::kMouseLeave));
      hover_ = Get(w) ? w : kNoHandle;
      if (hover_ != kNoHandle) Send(w, MakeEvent(EventType::kMouseEnter));
    }
    Event e = MakeEvent(EventType::kMouseMove);
    e.x = x;
    e.y = y;
    Send(w, e);
  });
}

void Headless::Wheel(Handle w, int steps, int key_state, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w, steps, key_state] {
    if (!Reachable(w)) return;
    Event e = MakeEvent(EventType::kWheel);
    e.wheel_delta = steps * 120;
    e.key_state = key_state;
    Send(w, e);
  });
}

void Headless::Key(Handle w, int virtual_key, int key_state, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w, virtual_key, key_state] {
    if (!Reachable(w)) return;
    Event e = MakeEvent(EventType::kKeyDown);
    e.key = virtual_key;
    e.key_state = key_state;
    Send(w, e);
    e.type = EventType::kKeyUp;
    Send(w, e);
  });
}

void Headless::Type(Handle w, std::string_view text, std::uint32_t delay_ms) {
  Post(delay_ms, [this, w, text = std::string(text)] {
    if (!Reachable(w)) return;
    for (std::size_t i = 0; i < text.size();) {
      auto b = static_cast<unsigned char>(text[i]);
      std::size_t n = (b >= 0x80 && i + 1 < text.size()) ? 2 : 1;
      Event e = MakeEvent(EventType::kChar);
      e.key = n == 2 ? (b << 8) | static_cast<unsigned char>(text[i + 1]) : b;
      Send(w, e);
      Widget* x = Get(w);
      if (!x) return;
      if (x->spec.kind == WidgetKind::kEditBox && x->enabled && x->spec.input_mode != 1) {
        x->text.append(text, i, n);
        Send(w, MakeEvent(EventType::kTextChanged));
      }
      i += n;
    }
  });
}

void Headless::Select(Handle combo, int index, std::uint32_t delay_ms) {
  Post(delay_ms, [this, combo, index] {
    Widget* x = Get(combo);
    if (!Reachable(combo) || index < 0 || index >= static_cast<int>(x->items.size())) return;
    x->selection = index;
    Send(combo, MakeEvent(EventType::kSelectionChanged));
  });
}

void Headless::Close(Handle window, std::uint32_t delay_ms) {
  Post(delay_ms, [this, window] { Send(window, MakeEvent(EventType::kCloseRequest)); });
}

// ---------------------------------------------------------------------------
// Loop

bool Headless::HasDue(std::uint64_t limit) const {
  for (const Pending& p : pending_)
    if (p.due <= limit) return true;
  for (const auto& [id, t] : timers_)
    if (t.next_due <= limit) return true;
  return false;
}

bool Headless::RunNextDue(std::uint64_t limit) {
  auto input = std::min_element(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
    return a.due != b.due ? a.due < b.due : a.seq < b.seq;
  });
  auto timer = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
    return a.second.next_due != b.second.next_due ? a.second.next_due < b.second.next_due : a.first < b.first;
  });
  bool have_input = input != pending_.end() && input->due <= limit;
  bool have_timer = timer != timers_.end() && timer->second.next_due <= limit;
  if (!have_input && !have_timer) return false;
  idle_count_ = 0;
  // Input due at the same moment as a timer goes first.
  if (have_input && (!have_timer || input->due <= timer->second.next_due)) {
    Pending p = std::move(*input);
    pending_.erase(input);
    now_ = std::max(now_, p.due);
    p.action();
    return true;
  }
  TimerId id = timer->first;
  now_ = std::max(now_, timer->second.next_due);
  timer->second.next_due += timer->second.period;
  Event e = MakeEvent(EventType::kTimer);
  e.timer = id;
  if (sink_) sink_->OnEvent(kNoHandle, e);
  return true;
}

void Headless::RunIdle() {
  // A real loop would spin on idle work that never finishes; here that is a
  // fault of the code under test.
  constexpr int kIdleRoundLimit = 100000;
  int rounds = 0;
  while (sink_ && !quit_ && !HasDue(now_) && sink_->OnIdle(idle_count_++))
    if (++rounds > kIdleRoundLimit) Fail("idle work never reports that it is done");
}

template <class Done>
bool Headless::Spin(Done done, std::uint64_t limit) {
  while (!done()) {
    if (RunNextDue(now_)) continue;
    RunIdle();
    if (done() || HasDue(now_)) continue;
    if (!RunNextDue(limit)) return false;
  }
  return true;
}

int Headless::RunLoop() {
  if (!Spin([this] { return quit_.has_value(); }, loop_limit_)) {
    if (pending_.empty() && timers_.empty()) Fail("the message loop waits for input that no script will send");
    Fail("the message loop ran past its time limit");
  }
  int code = *quit_;
  quit_.reset();
  return code;
}

void Headless::RunModalLoop(Handle window) {
  if (!Get(window)) return;
  modal_.push_back({window, false});
  std::size_t depth = modal_.size();
  bool ok = Spin([&] { return quit_.has_value() || modal_[depth - 1].ended; }, loop_limit_);
  if (!ok) {
    if (pending_.empty() && timers_.empty()) Fail("a modal loop waits for input that no script will send");
    Fail("a modal loop ran past its time limit");
  }
  modal_.pop_back();
}

void Headless::EndModalLoop(Handle window) {
  for (Modal& m : modal_)
    if (m.window == window) m.ended = true;
}

std::vector<Handle> Headless::ModalLoops() const {
  std::vector<Handle> out;
  for (const Modal& m : modal_) out.push_back(m.window);
  return out;
}

void Headless::PostQuit(int code) {
  if (!quit_) quit_ = code;
}

void Headless::PumpPending() {
  while (RunNextDue(now_)) {
  }
}

bool Headless::RunFor(std::uint32_t ms) {
  std::uint64_t end = now_ + ms;
  Spin([this] { return quit_.has_value(); }, end);
  if (!quit_) now_ = std::max(now_, end);
  return quit_.has_value();
}

// ---------------------------------------------------------------------------
// Widgets

Handle Headless::CreateWidget(const WidgetSpec& spec) {
  Handle h = next_handle_++;
  Widget w;
  w.spec = spec;
  w.rect = spec.rect;
  w.enabled = !spec.disabled;
  w.text = spec.text;
  w.text_colour = spec.text_colour;
  if (spec.parent != kNoHandle) {
    Widget* p = Get(spec.parent);
    if (!p) return kNoHandle;
    w.parent = spec.parent;
    p->children.push_back(h);  // new windows go to the bottom of the stack
  } else {
    top_levels_.push_back(h);
  }
  widgets_.emplace(h, std::move(w));
  return h;
}

void Headless::Unlink(Handle w) {
  Widget* x = Get(w);
  if (!x) return;
  if (x->parent != kNoHandle) {
    if (Widget* p = Get(x->parent)) std::erase(p->children, w);
  } else {
    std::erase(top_levels_, w);
  }
}

void Headless::DestroyWidget(Handle w) {
  Widget* x = Get(w);
  if (!x) return;
  for (Handle c : std::vector<Handle>(x->children)) DestroyWidget(c);
  Unlink(w);
  if (focus_ == w) focus_ = kNoHandle;
  if (hover_ == w) hover_ = kNoHandle;
  widgets_.erase(w);
}

Rect Headless::GetRect(Handle w) {
  const Widget* x = Get(w);
  return x ? x->rect : Rect{};
}

void Headless::SetRect(Handle w, const Rect& r) {
  if (Widget* x = Get(w)) x->rect = r;
}

Handle Headless::GetParent(Handle w) {
  const Widget* x = Get(w);
  return x ? x->parent : kNoHandle;
}

void Headless::SetParent(Handle w, Handle parent) {
  Widget* x = Get(w);
  Widget* p = Get(parent);
  if (!x || !p || x->parent == parent) return;
  // A native toolkit would corrupt its tree: the runtime must never ask.
  for (Handle a = parent; a != kNoHandle; a = Get(a)->parent)
    if (a == w) Fail("SetParent would put a widget inside itself");
  Unlink(w);
  x->parent = parent;
  p->children.insert(p->children.begin(), w);
}

void Headless::PlaceTop(Handle w) {
  Widget* x = Get(w);
  if (!x || x->parent == kNoHandle) return;
  auto& c = Get(x->parent)->children;
  std::erase(c, w);
  c.insert(c.begin(), w);
}

void Headless::PlaceBelow(Handle w, Handle sibling) {
  Widget* x = Get(w);
  Widget* s = Get(sibling);
  if (!x || !s || x->parent == kNoHandle || s->parent != x->parent || w == sibling) return;
  auto& c = Get(x->parent)->children;
  std::erase(c, w);
  c.insert(std::find(c.begin(), c.end(), sibling) + 1, w);
}

void Headless::SetVisible(Handle w, bool visible) {
  if (Widget* x = Get(w)) x->visible = visible;
}
bool Headless::IsVisible(Handle w) {
  const Widget* x = Get(w);
  return x && x->visible;
}
void Headless::SetEnabled(Handle w, bool enabled) {
  if (Widget* x = Get(w)) x->enabled = enabled;
}
bool Headless::IsEnabled(Handle w) {
  const Widget* x = Get(w);
  return x && x->enabled;
}
void Headless::SetFocus(Handle w) {
  if (Get(w)) focus_ = w;
}
void Headless::SetText(Handle w, std::string_view text) {
  if (Widget* x = Get(w)) x->text = text;
}
std::string Headless::GetText(Handle w) {
  const Widget* x = Get(w);
  return x ? x->text : std::string();
}
void Headless::SetTextColour(Handle w, std::uint32_t colour) {
  if (Widget* x = Get(w)) x->text_colour = colour;
}
void Headless::SetChecked(Handle w, bool checked) {
  if (Widget* x = Get(w)) x->checked = checked;
}
bool Headless::IsChecked(Handle w) {
  const Widget* x = Get(w);
  return x && x->checked;
}
void Headless::AddItem(Handle combo, std::string_view item) {
  if (Widget* x = Get(combo)) x->items.emplace_back(item);
}
int Headless::ItemCount(Handle combo) {
  const Widget* x = Get(combo);
  return x ? static_cast<int>(std::min<std::size_t>(x->items.size(), INT_MAX)) : 0;
}
void Headless::SetSelection(Handle combo, int index) {
  Widget* x = Get(combo);
  if (!x) return;
  // As the native control: an index outside the list selects nothing.
  x->selection = (index >= 0 && index < static_cast<int>(x->items.size())) ? index : -1;
  if (x->selection >= 0 && x->spec.combo_type != 2) x->text = x->items[static_cast<std::size_t>(index)];
}
int Headless::GetSelection(Handle combo) {
  const Widget* x = Get(combo);
  return x ? x->selection : -1;
}
void Headless::SetProgressRange(Handle bar, int minimum, int maximum) {
  if (Widget* x = Get(bar)) {
    x->progress_min = minimum;
    x->progress_max = maximum;
    x->progress_pos = std::clamp(x->progress_pos, std::min(minimum, maximum), std::max(minimum, maximum));
  }
}
void Headless::SetProgressPosition(Handle bar, int position) {
  if (Widget* x = Get(bar))
    x->progress_pos = std::clamp(position, std::min(x->progress_min, x->progress_max),
                                 std::max(x->progress_min, x->progress_max));
}
int Headless::GetProgressPosition(Handle bar) {
  const Widget* x = Get(bar);
  return x ? x->progress_pos : 0;
}
void Headless::SetPictures(Handle w, std::span<const std::string> images, std::uint32_t transparent) {
  if (Widget* x = Get(w)) {
    x->pictures.assign(images.begin(), images.end());
    x->transparent = transparent;
  }
}
void Headless::SetCursor(Handle w, std::string_view cursor) {
  if (Widget* x = Get(w)) x->cursor = cursor;
}

// ---------------------------------------------------------------------------
// Timers

TimerId Headless::StartTimer(std::uint32_t period_ms) {
  if (period_ms == 0) return 0;
  TimerId id = next_timer_++;
  timers_[id] = Timer{period_ms, now_ + period_ms};
  return id;
}

void Headless::StopTimer(TimerId timer) { timers_.erase(timer); }

// ---------------------------------------------------------------------------
// Dialogs, clipboard, shell, registry

int Headless::MessageBox(std::string_view text, std::string_view caption, std::uint32_t style) {
  boxes_.push_back({std::string(text), std::string(caption), style});
  if (box_answers_.empty())
    Fail("message box without a queued answer: caption [" + std::string(caption) + "] text [" +
         std::string(text) + "]");
  int answer = box_answers_.front();
  box_answers_.pop_front();
  return answer;
}

std::optional<std::vector<std::string>> Headless::OpenFilesDialog(const OpenFilesRequest& request) {
  file_requests_.push_back(request);
  if (file_answers_.empty()) Fail("open-files dialog without a queued answer: " + request.title);
  auto answer = std::move(file_answers_.front());
  file_answers_.pop_front();
  // The native dialog changes the current directory to the files' folder
  // unless asked to keep it.
  if (answer && !answer->empty() && !request.keep_current_directory) {
    auto slash = answer->front().rfind('/');
    if (slash != std::string::npos) (void)SetCurrentDirectory(answer->front().substr(0, slash ? slash : 1));
  }
  return answer;
}

std::optional<std::string> Headless::BrowseForFolder(std::string_view title, std::string_view initial) {
  (void)title;
  folder_requests_.emplace_back(initial);
  if (folder_answers_.empty()) Fail("folder dialog without a queued answer");
  auto answer = std::move(folder_answers_.front());
  folder_answers_.pop_front();
  return answer;
}

std::optional<std::string> Headless::GetClipboardText() {
  if (clipboard_fails_) return std::nullopt;
  return clipboard_;
}

bool Headless::SetClipboardText(std::string_view text) {
  if (clipboard_fails_) return false;
  clipboard_ = std::string(text);
  return true;
}

bool Headless::OpenDocument(std::string_view target, std::string_view verb, int show) {
  documents_.push_back({std::string(target), std::string(verb), show});
  return open_document_ok_;
}

bool Headless::RunProgram(std::string_view command_line, bool wait, int show) {
  programs_.push_back({std::string(command_line), wait, show});
  return run_program_ok_;
}

bool Headless::OpenFolder(std::string_view path, bool new_window, bool select) {
  std::string line = std::string(select ? "browse-select " : "browse ") + (new_window ? "new " : "") + std::string(path);
  programs_.push_back({line, false, 1});
  return run_program_ok_;
}

// ---------------------------------------------------------------------------
// Process

std::string Headless::ProgramPath() {
  if (!program_path_.empty()) return program_path_;
  return rt::fileio::ExecutablePath();
}

std::string Headless::CurrentDirectory() {
  char buf[4096];
  return getcwd(buf, sizeof buf) ? rt::fileio::FromOsName(buf) : std::string();
}

bool Headless::SetCurrentDirectory(std::string_view path) {
  return !path.empty() && chdir(rt::fileio::ToOsName(path).c_str()) == 0;
}

}  // namespace tl::platform::headless
