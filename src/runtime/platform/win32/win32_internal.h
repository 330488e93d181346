// Shared by the files of the Win32 backend; nothing outside win32/ includes
// it. Every call is the ANSI ("A") one: texts cross as GBK in the ANSI code
// page 936.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
// <windows.h> names MessageBox as a macro; the interface's member is ours.
#undef MessageBox

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/win32/win32_backend.h"

namespace tl::platform::win32 {

// The class of top-level windows whose template names none, and the one
// of the runtime's own child windows (picture box and button, hyperlink,
// transparent label) and of the hidden runtime window.
inline constexpr char kChildClass[] = "TidylineControl";
inline constexpr char kRuntimeClass[] = "TidylineRuntime";
// Sent to the hidden window by ForwardExit from another thread.
inline constexpr UINT kExitMessage = 0x83E7;

// A picture decoded into a device-independent bitmap, its pixels kept for
// the shape cut by a transparent colour.
struct Picture {
  HBITMAP bitmap = nullptr;
  int width = 0, height = 0;
  bool alpha = false;               // some pixels are see-through
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first
};

// One window or control.
struct Node {
  WidgetKind kind = WidgetKind::kLabel;
  HWND hwnd = nullptr;
  Handle parent = kNoHandle;
  std::vector<Handle> children;
  WidgetSpec spec;
  std::uint32_t text_colour = kDefaultColour;
  HFONT font = nullptr;            // owned when made from the stored LOGFONT
  bool own_font = false;
  HBRUSH back_brush = nullptr;     // the background colour, when not the default
  WNDPROC native_proc = nullptr;   // the control class's procedure (subclassed)
  std::vector<Picture> pictures;
  std::uint32_t transparent = kDefaultColour;
  HCURSOR cursor = nullptr;
  int progress_min = 0, progress_max = 100;
  int combo_drop = 0;              // extra height of a drop-down list
  bool pressed = false;            // picture button: slot 1 shown
  bool hover = false;              // hyperlink: the pointer is over it
  bool quiet = false;              // our own writes raise no change events
  HWND saved_focus = nullptr;      // top level: the control that had the focus
};

struct Modal {
  Handle window;
  bool ended = false;
};

struct Impl {
  Win32Backend* self = nullptr;
  EventSink* sink = nullptr;
  HWND hidden = nullptr;
  bool started = false;
  bool com = false;                // CoInitializeEx succeeded here
  std::map<Handle, std::unique_ptr<Node>> nodes;
  std::map<TimerId, UINT_PTR> timers;
  TimerId next_timer = 1;
  std::list<Modal> modal;          // innermost last; entries stay put
  std::optional<int> quit;         // a quit posted and not yet returned
  int pending_lead = -1;           // first byte of a two-byte WM_CHAR
  HBRUSH face_brush = nullptr;

  Node* Get(Handle h) {
    auto it = nodes.find(h);
    return it == nodes.end() ? nullptr : it->second.get();
  }
  Node* Get(HWND h) { return Get(reinterpret_cast<Handle>(h)); }
  // The node a system window belongs to: itself or its nearest ancestor
  // that is one of ours (a combo box's edit field).
  Node* Owner(HWND h);
  Node* TopOf(Handle h);
  EventReply Send(Handle w, const Event& e);
  // One message from the queue: input is reported to the runtime before the
  // control sees it (a reply may drop it), then translated and dispatched.
  void Dispatch(MSG& m);
};

Impl* Backend();
void SetBackend(Impl* impl);

inline Event Ev(EventType type) {
  Event e;
  e.type = type;
  return e;
}
inline HWND W(Handle h) { return reinterpret_cast<HWND>(h); }
inline Handle H(HWND h) { return reinterpret_cast<Handle>(h); }

// COLORREF of a colour word; nullopt for the default.
std::optional<COLORREF> ColourOf(std::uint32_t colour);
int KeyState();

// --- window procedures (backend.cpp, window_loop.cpp, controls.cpp)
LRESULT CALLBACK TopProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ChildProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);
// Notifications and colour requests that children send their parent (a
// window, a picture box or a progress bar); true when answered.
bool ParentMessage(Impl& impl, Node* parent, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
void RegisterClasses();
bool EnsureWindowClass(const std::string& name);

// --- controls (controls.cpp)
HWND MakeControl(Impl& impl, Node& node, const WidgetSpec& spec, HWND parent);
void ApplyFont(Node& node);
void FreeNode(Node& node);

// --- pictures (pictures.cpp)
std::optional<Picture> DecodePicture(std::string_view bytes);
void FreePicture(Picture& p);
// Pixels that differ from `transparent` (and are not see-through in the
// image itself); null when every pixel is cut.
HRGN RegionOf(const Picture& p, std::uint32_t transparent);
void DrawPicture(HDC dc, const Picture& p, int x, int y);
void ApplyShape(Node& node);
HICON IconFromBytes(std::string_view bytes, bool cursor);

// --- text (clipboard.cpp)
// UTF-16 -> GBK; characters outside GBK keep their GB18030 four-byte form.
std::string FromWide(std::u16string_view wide);
std::u16string ToWide(std::string_view gbk);

}  // namespace tl::platform::win32
