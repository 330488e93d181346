// The in-memory backend. Widgets keep their state, radio buttons are plain
// toggles (the runtime groups them), timers fire from the loop on a virtual
// clock, and dialogs answer from queues that the test fills. Input is posted
// with a due time on that clock and dispatched by the loop or by DoEvents,
// so every run is deterministic.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/platform.h"

namespace tl::platform::headless {

struct Widget {
  WidgetSpec spec;
  Handle parent = kNoHandle;
  std::vector<Handle> children;  // stacking order, top first
  Rect rect;
  bool visible = false;
  bool enabled = true;
  std::string text;
  std::uint32_t text_colour = kDefaultColour;
  bool checked = false;
  std::vector<std::string> items;
  int selection = -1;
  int progress_min = 0, progress_max = 100, progress_pos = 0;
  std::vector<std::string> pictures;
  std::uint32_t transparent = kDefaultColour;
  std::string cursor;
};

struct MessageBoxCall {
  std::string text, caption;
  std::uint32_t style = 0;
};
struct DocumentCall {
  std::string target, verb;
  int show = 0;
};
struct ProgramCall {
  std::string command_line;
  bool wait = false;
  int show = 0;
};

class Headless final : public Platform {
 public:
  Headless();
  ~Headless() override;

  // ---- scripting: input is queued `delay_ms` after the current virtual time
  void Click(Handle w, std::uint32_t delay_ms = 0);
  void RightClick(Handle w, int x = 1, int y = 1, int key_state = 0, std::uint32_t delay_ms = 0);
  // Button 3 (middle): no runtime event belongs to it.
  void MiddleClick(Handle w, int x = 1, int y = 1, std::uint32_t delay_ms = 0);
  void DoubleClick(Handle w, int x = 1, int y = 1, std::uint32_t delay_ms = 0);
  void MoveMouse(Handle w, int x, int y, std::uint32_t delay_ms = 0);  // enter/leave as needed
  void Wheel(Handle w, int steps, int key_state = 0, std::uint32_t delay_ms = 0);
  void Key(Handle w, int virtual_key, int key_state = 0, std::uint32_t delay_ms = 0);
  // Key presses go to `w` as the widget with the focus (or the window).
  // Types GBK text into a widget: one kChar per character; an edit box takes it.
  void Type(Handle w, std::string_view text, std::uint32_t delay_ms = 0);
  void Select(Handle combo, int index, std::uint32_t delay_ms = 0);
  void Close(Handle window, std::uint32_t delay_ms = 0);
  // Any scripted step at a virtual time.
  void At(std::uint32_t delay_ms, std::function<void()> action);

  // Runs the loop (idle work included) for `ms` of virtual time, or until a
  // quit is posted, which stays pending. Returns true if a quit is pending.
  bool RunFor(std::uint32_t ms);
  // The time RunLoop may reach before it fails the test (default 1 hour).
  void SetLoopTimeLimit(std::uint64_t ms) { loop_limit_ = ms; }
  std::uint64_t Now() const { return now_; }

  // ---- dialog answers, consumed in order; a dialog without one fails loudly
  void AnswerMessageBox(int dialog_result) { box_answers_.push_back(dialog_result); }
  void AnswerFilesDialog(std::vector<std::string> paths) { file_answers_.emplace_back(std::move(paths)); }
  void CancelFilesDialog() { file_answers_.emplace_back(std::nullopt); }
  void AnswerFolder(std::optional<std::string> folder) { folder_answers_.push_back(std::move(folder)); }
  std::size_t UnusedAnswers() const {
    return box_answers_.size() + file_answers_.size() + folder_answers_.size();
  }
  // Called with a description when a dialog has no answer or the loop cannot
  // go on; the default prints it and aborts. The handler must not return
  // normally into the backend if it wants the run to stop.
  using FailureHandler = void (*)(const std::string& what);
  void SetFailureHandler(FailureHandler handler) { fail_ = handler; }

  // ---- observation
  const Widget* Find(Handle w) const;
  std::vector<Handle> TopLevels() const;
  const std::vector<MessageBoxCall>& MessageBoxes() const { return boxes_; }
  const std::vector<OpenFilesRequest>& FileDialogs() const { return file_requests_; }
  const std::vector<std::string>& FolderDialogs() const { return folder_requests_; }
  const std::vector<DocumentCall>& OpenedDocuments() const { return documents_; }
  const std::vector<ProgramCall>& ProgramsRun() const { return programs_; }
  std::size_t ActiveTimers() const { return timers_.size(); }
  std::optional<std::string>& Clipboard() { return clipboard_; }
  void SetClipboardFails(bool fails) { clipboard_fails_ = fails; }

  // ---- environment
  void SetProgramPath(std::string path) { program_path_ = std::move(path); }
  void SetScreenSize(Size s) { screen_ = s; }
  void SetOpenDocumentResult(bool ok) { open_document_ok_ = ok; }
  void SetRunProgramResult(bool ok) { run_program_ok_ = ok; }
  int ForwardedExit() const { return forwarded_exit_.load(); }
  // Modal loops running now, innermost last.
  std::vector<Handle> ModalLoops() const;

  // ---- Platform
  std::string ProgramPath() override;
  std::string CurrentDirectory() override;
  bool SetCurrentDirectory(std::string_view path) override;
  std::uint32_t TickCount() override { return static_cast<std::uint32_t>(now_); }
  void StartRuntimeWindow() override { runtime_window_ = true; }
  void StopRuntimeWindow() override { runtime_window_ = false; }
  // The only call another thread makes.
  void ForwardExit(int code) override { forwarded_exit_.store(code); }

  void SetEventSink(EventSink* sink) override { sink_ = sink; }
  int RunLoop() override;
  void PostQuit(int code) override;
  void PumpPending() override;
  void RunModalLoop(Handle window) override;
  void EndModalLoop(Handle window) override;

  Handle CreateWidget(const WidgetSpec& spec) override;
  void DestroyWidget(Handle w) override;
  Rect GetRect(Handle w) override;
  void SetRect(Handle w, const Rect& r) override;
  Handle GetParent(Handle w) override;
  void SetParent(Handle w, Handle parent) override;
  void PlaceTop(Handle w) override;
  void PlaceBelow(Handle w, Handle sibling) override;
  void SetVisible(Handle w, bool visible) override;
  bool IsVisible(Handle w) override;
  void ActivateWindow(Handle window) override { SetFocus(window); }
  int GetWindowState(Handle window) override { return window_state_.contains(window) ? window_state_[window] : 0; }
  void SetWindowState(Handle window, int state) override {
    if (Get(window)) window_state_[window] = state;
  }
  void SetEnabled(Handle w, bool enabled) override;
  bool IsEnabled(Handle w) override;
  Handle GetFocus() override { return focus_; }
  void SetFocus(Handle w) override;
  void SetText(Handle w, std::string_view text) override;
  std::string GetText(Handle w) override;
  void SetTextColour(Handle w, std::uint32_t colour) override;
  void SetChecked(Handle w, bool checked) override;
  bool IsChecked(Handle w) override;
  void AddItem(Handle combo, std::string_view item) override;
  int ItemCount(Handle combo) override;
  void SetSelection(Handle combo, int index) override;
  int GetSelection(Handle combo) override;
  void SetProgressRange(Handle bar, int minimum, int maximum) override;
  void SetProgressPosition(Handle bar, int position) override;
  int GetProgressPosition(Handle bar) override;
  void SetPictures(Handle w, std::span<const std::string> images, std::uint32_t transparent) override;
  void SetCursor(Handle w, std::string_view cursor) override;
  Size ScreenSize() override { return screen_; }

  TimerId StartTimer(std::uint32_t period_ms) override;
  void StopTimer(TimerId timer) override;

  int MessageBox(std::string_view text, std::string_view caption, std::uint32_t style) override;
  std::optional<std::vector<std::string>> OpenFilesDialog(const OpenFilesRequest& request) override;
  std::optional<std::string> BrowseForFolder(std::string_view title, std::string_view initial) override;

  std::optional<std::string> GetClipboardText() override;
  bool SetClipboardText(std::string_view text) override;

  bool OpenDocument(std::string_view target, std::string_view verb, int show) override;
  bool RunProgram(std::string_view command_line, bool wait, int show) override;
  bool OpenFolder(std::string_view path, bool new_window, bool select) override;



 private:
  struct Pending {
    std::uint64_t due;
    std::uint64_t seq;
    std::function<void()> action;
  };
  struct Timer {
    std::uint32_t period;
    std::uint64_t next_due;
  };

  Widget* Get(Handle w);
  bool Reachable(Handle w) const;
  void Press(Handle w, int button, int x, int y, int key_state, std::uint32_t delay_ms);
  void Send(Handle w, const Event& e);
  void Post(std::uint32_t delay_ms, std::function<void()> action);
  void Unlink(Handle w);
  [[noreturn]] void Fail(const std::string& what);
  // The next due item (input or timer) at or before `limit`; false if none.
  bool RunNextDue(std::uint64_t limit);
  bool HasDue(std::uint64_t limit) const;
  // The loop shared by RunLoop, RunModalLoop and RunFor: dispatches what is
  // due, runs idle work whenever nothing is due now, and returns true once
  // `done` holds, false when nothing is due up to `limit`.
  template <class Done>
  bool Spin(Done done, std::uint64_t limit);
  void RunIdle();

  EventSink* sink_ = nullptr;
  std::map<Handle, Widget> widgets_;
  std::vector<Handle> top_levels_;
  Handle next_handle_ = 0x1000;
  Handle focus_ = kNoHandle;
  Handle hover_ = kNoHandle;

  std::uint64_t now_ = 0;
  std::uint64_t seq_ = 0;
  std::uint64_t loop_limit_ = 3600ull * 1000;
  std::vector<Pending> pending_;
  std::map<TimerId, Timer> timers_;
  TimerId next_timer_ = 1;
  std::optional<int> quit_;
  int idle_count_ = 0;
  struct Modal {
    Handle window;
    bool ended;
  };
  std::vector<Modal> modal_;

  std::deque<int> box_answers_;
  std::deque<std::optional<std::vector<std::string>>> file_answers_;
  std::deque<std::optional<std::string>> folder_answers_;
  std::vector<MessageBoxCall> boxes_;
  std::vector<OpenFilesRequest> file_requests_;
  std::vector<std::string> folder_requests_;
  std::vector<DocumentCall> documents_;
  std::vector<ProgramCall> programs_;
  std::optional<std::string> clipboard_;
  bool clipboard_fails_ = false;
  FailureHandler fail_ = nullptr;

  std::string program_path_;
  Size screen_{1024, 768};
  bool open_document_ok_ = true;
  bool run_program_ok_ = true;
  bool runtime_window_ = false;
  std::atomic<int> forwarded_exit_{0};
  std::map<Handle, int> window_state_;
};

}  // namespace tl::platform::headless
