// The one interface between the runtime and the operating system / GUI.
// Each backend (headless, gtk, win32) implements Platform once; the program's
// main() (or a test) installs its backend with platform::Install before the
// runtime starts. README.md beside this file says how GTK 3 and Win32 map
// each call.
//
// Boundary rules shared by every backend:
//  - every text crossing this interface is GBK with CR LF line breaks; a
//    backend whose toolkit speaks UTF-8 converts (GB18030, so nothing is lost);
//  - geometry is in pixels; a child's rectangle is relative to its parent's
//    client area, a top-level window's rectangle is its outer frame on screen;
//  - colours are COLORREF words (0x00BBGGRR); kDefaultColour means "the
//    system's default for this element", 0x80000000 | n the system colour n;
//  - widgets never act on their own beyond what a native control does by
//    itself (an automatic check box toggles, an edit box takes typing); every
//    rule of the runtime (radio groups, the may-close rule, hyperlink colours)
//    is applied by the runtime on the events reported back.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tl::platform {

// A window or control of the backend (an HWND, a GtkWidget*, a headless id).
using Handle = std::uintptr_t;
inline constexpr Handle kNoHandle = 0;
using TimerId = std::uint32_t;

inline constexpr std::uint32_t kDefaultColour = 0xFF000000u;
inline constexpr std::uint32_t kSystemColour = 0x80000000u;
inline constexpr std::uint32_t kColourHighlight = kSystemColour | 13;  // COLOR_HIGHLIGHT

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};
struct Size {
  int width = 0, height = 0;
};

enum class WidgetKind : std::uint8_t {
  kTopWindow,    // a top-level (or owned) window that holds controls
  kLabel,        // static text with optional border and picture
  kPicBox,       // plain container with background colour / picture
  kButton,       // push button
  kPicButton,    // owner-drawn image button, shape cut by a transparent colour
  kHyperLink,    // one-line centred text in a runtime-chosen colour
  kCheckBox,     // automatic check box (toggles itself on click)
  kRadioBox,     // radio button WITHOUT automatic grouping (the runtime groups)
  kComboBox,
  kEditBox,
  kProgressBar,  // also a container: the status label is placed inside it
  kTransLabel,   // text drawn over whatever lies below it
};

// Everything a backend needs to create one widget. Fields that do not apply
// to a kind are ignored by it.
struct WidgetSpec {
  WidgetKind kind = WidgetKind::kLabel;
  Handle parent = kNoHandle;  // kNoHandle: top-level window without owner
  Rect rect;
  int child_id = 0;           // Win32 control identifier (100, 110, ...)
  bool disabled = false;
  bool tab_stop = false;
  std::string text;           // caption / content
  std::string font;           // a 60-byte LOGFONTA; any other size = default GUI font
  std::uint32_t text_colour = kDefaultColour;
  std::uint32_t back_colour = kDefaultColour;
  int border = 0;             // controls: 0 none, 1 sunken client edge, 2 raised modal
                              // frame, 3 thin static edge, 4 sunken+raised, 5 single line
  int h_align = 0;            // 0 left, 1 centre, 2 right
  int v_align = 1;            // 0 top, 1 centre, 2 bottom

  // kTopWindow
  std::string class_name;     // never empty: the runtime fills in its own class
  int window_border = 2;      // 0 none, 1 resizable, 2 fixed, 3..6 tool/edge variants
  bool control_box = true, min_button = false, max_button = false;
  bool movable = true, topmost = false;
  int show_state = 0;         // 0 normal, 2 minimized, 3 maximized
  std::string icon;           // image file bytes; empty = the runtime's default icon

  // kEditBox
  bool multi_line = false, hide_selection = true;
  int scroll_bars = 0;        // 0 none, 1 horizontal, 2 vertical, 3 both
  int input_mode = 0;         // 0 normal, 1 read-only, 2 password
  int max_length = 0;         // 0 = none
  int letter_case = 0;        // 0 none, 1 lower, 2 upper
  char password_char = '*';

  // kButton / kCheckBox / kRadioBox
  bool default_button = false, push_like = false, flat = false, text_left = false;

  // kComboBox
  int combo_type = 1;         // 0 simple, 1 editable drop-down, 2 drop-down list
  int item_height_extra = 0;
  bool sorted = false;
};

// Input and window events the backend reports to the runtime.
enum class EventType : std::uint8_t {
  kClick,          // button / check box / radio / picture button / link clicked
  kMouseDown,      // button: 1 left, 2 right
  kMouseUp,
  kDoubleClick,
  kMouseMove,
  kMouseEnter,     // the pointer entered the widget (hyperlink hover)
  kMouseLeave,
  kKeyDown,        // key: virtual-key code (VK_*)
  kKeyUp,
  kChar,           // key: character code (one GBK byte or a two-byte code)
  kWheel,          // wheel_delta in WHEEL_DELTA units (120 per step)
  // Only the user's changes are reported: native toolkits also signal a
  // change made by SetText / SetSelection, and each backend filters those
  // out (the runtime raises its own events where a program change needs one).
  kSelectionChanged,  // combo box selection changed by the user
  kTextChanged,       // edit box content changed by the user
  kCloseRequest,   // the user asked a top-level window to close; the backend
                   // does NOT close it: the runtime decides and destroys it
  kDestroyed,      // a widget disappeared without the runtime asking
  kTimer,          // `timer` expired
  kFilesDropped,   // files or folders dropped on a top-level window: Event::paths
};

struct Event {
  EventType type = EventType::kClick;
  int button = 1;
  int x = 0, y = 0;        // client coordinates of the widget
  int key = 0;
  int key_state = 0;       // 1 Ctrl, 2 Shift, 4 Alt
  int wheel_delta = 0;
  TimerId timer = 0;
  std::vector<std::string> paths;  // kFilesDropped: full GBK paths in drop order
};

struct EventReply {
  bool handled = false;
  // For kMouseDown/kKeyDown/kChar: false asks the backend to skip the native
  // handling (the runtime already did the work, e.g. radio arrow keys).
  bool default_action = true;
};

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual EventReply OnEvent(Handle widget, const Event& event) = 0;
  // Called by RunLoop and RunModalLoop (never by PumpPending) while no event
  // is waiting, with a count that starts at 0 after each dispatched event;
  // true asks to be called again before the loop sleeps.
  virtual bool OnIdle(int idle_count) {
    (void)idle_count;
    return false;
  }
};

// Win32 message-box results; the runtime maps them to its own numbering.
enum DialogResult : int {
  kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdYes = 6, kIdNo = 7,
};

struct OpenFilesRequest {
  std::string title;
  // Pairs of (display name, pattern list "*.a;*.b"); empty = no filter.
  std::vector<std::pair<std::string, std::string>> filters;
  int filter_index = 0;        // 0-based, already clamped to the list
  std::string initial_directory;
  bool keep_current_directory = false;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- process --------------------------------------------------------------
  // (The program file, the current directory, the clock and starting other
  // programs are operating-system services: runtime/os/process.h, clock.h.)
  // Creates / destroys the hidden runtime window (Win32) and whatever the
  // toolkit needs before the first window; both are called once per run.
  virtual void StartRuntimeWindow() = 0;
  virtual void StopRuntimeWindow() = 0;
  // From another thread: hand the exit code to the UI thread.
  virtual void ForwardExit(int code) = 0;

  // --- message loop -----------------------------------------------------------
  virtual void SetEventSink(EventSink* sink) = 0;
  // Dispatches events until PostQuit; returns the quit code.
  virtual int RunLoop() = 0;
  virtual void PostQuit(int code) = 0;
  // Dispatches every pending event, leaves a posted quit in place, returns.
  virtual void PumpPending() = 0;
  // The nested loop of a modal window: dispatches events (and idle work) as
  // RunLoop does until EndModalLoop(window) is called or a quit is posted;
  // a quit stays pending for the outer loop. Loops nest: one whose window has
  // been ended returns once every loop started inside it has returned. The
  // runtime disables and re-enables the owner windows itself.
  virtual void RunModalLoop(Handle window) = 0;
  // Ends the modal loop of `window`; nothing when none runs for it.
  virtual void EndModalLoop(Handle window) = 0;

  // --- widgets -----------------------------------------------------------------
  virtual Handle CreateWidget(const WidgetSpec& spec) = 0;
  virtual void DestroyWidget(Handle w) = 0;  // with its children
  virtual Rect GetRect(Handle w) = 0;
  virtual void SetRect(Handle w, const Rect& r) = 0;
  virtual Handle GetParent(Handle w) = 0;
  virtual void SetParent(Handle w, Handle parent) = 0;
  // Stacking order among siblings (also the tab order).
  virtual void PlaceTop(Handle w) = 0;
  virtual void PlaceBelow(Handle w, Handle sibling) = 0;
  virtual void SetVisible(Handle w, bool visible) = 0;  // never activates
  virtual bool IsVisible(Handle w) = 0;
  // Brings a top-level window to the front with the keyboard focus.
  virtual void ActivateWindow(Handle window) = 0;
  // Top-level window state: 0 normal, 2 minimized, 3 maximized.
  virtual int GetWindowState(Handle window) = 0;
  virtual void SetWindowState(Handle window, int state) = 0;
  virtual void SetEnabled(Handle w, bool enabled) = 0;
  virtual bool IsEnabled(Handle w) = 0;
  virtual Handle GetFocus() = 0;
  virtual void SetFocus(Handle w) = 0;
  virtual void SetText(Handle w, std::string_view text) = 0;
  virtual std::string GetText(Handle w) = 0;
  virtual void SetTextColour(Handle w, std::uint32_t colour) = 0;
  virtual void SetChecked(Handle w, bool checked) = 0;
  virtual bool IsChecked(Handle w) = 0;
  virtual void AddItem(Handle combo, std::string_view item) = 0;
  virtual int ItemCount(Handle combo) = 0;
  virtual void SetSelection(Handle combo, int index) = 0;  // -1 = none
  virtual int GetSelection(Handle combo) = 0;
  virtual void SetProgressRange(Handle bar, int minimum, int maximum) = 0;
  virtual void SetProgressPosition(Handle bar, int position) = 0;
  virtual int GetProgressPosition(Handle bar) = 0;
  // Images are image-file bytes (GIF here); slot 0 is shown. A transparent
  // colour other than kDefaultColour cuts the widget's shape to the pixels
  // that differ from it, where the backend can.
  virtual void SetPictures(Handle w, std::span<const std::string> images,
                           std::uint32_t transparent) = 0;
  // Cursor bytes from the template; empty = the arrow.
  virtual void SetCursor(Handle w, std::string_view cursor) = 0;
  virtual Size ScreenSize() = 0;

  // --- timers ------------------------------------------------------------------
  virtual TimerId StartTimer(std::uint32_t period_ms) = 0;
  virtual void StopTimer(TimerId timer) = 0;

  // --- dialogs -------------------------------------------------------------------
  // `style` is a Win32 MB_* word; the result a DialogResult.
  virtual int MessageBox(std::string_view text, std::string_view caption, std::uint32_t style) = 0;
  // Full paths in the dialog's order; nullopt on cancel or failure.
  virtual std::optional<std::vector<std::string>> OpenFilesDialog(const OpenFilesRequest& request) = 0;
  virtual std::optional<std::string> BrowseForFolder(std::string_view title,
                                                     std::string_view initial_folder) = 0;
  // True where the system's shell has the folder browser the program
  // drives through its declared DLL commands (SHBrowseForFolderA): the
  // runtime then shows that one instead of calling BrowseForFolder. The
  // backend of real Win32 windows says so; the GTK backend and the headless
  // one of the tests (on Windows too) never open the shell's dialog.
  virtual bool HasShellFolderBrowser() const { return false; }

  // --- clipboard -----------------------------------------------------------------
  // nullopt when the clipboard cannot be opened or holds no text.
  virtual std::optional<std::string> GetClipboardText() = 0;
  virtual bool SetClipboardText(std::string_view text) = 0;

  // --- shell -----------------------------------------------------------------------
  // Opens a document or URL with the verb; show is a SW_* command.
  virtual bool OpenDocument(std::string_view target, std::string_view verb, int show) = 0;
  // Opens the file browser on a folder (select: on the item inside its folder).
  virtual bool OpenFolder(std::string_view path, bool new_window, bool select) = 0;
};

// The installed backend; null until a main() or a test installs one.
Platform* Current();
// Returns the previous backend.
Platform* Install(Platform* backend);

}  // namespace tl::platform
