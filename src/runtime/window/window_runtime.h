// Windows at run time: the loaded templates, building a window from its
// units, numbered property access, and event dispatch to the handlers that
// the template binds. Everything runs on the UI thread; handlers may run
// nested inside each other through DoEvents.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "runtime/platform/platform.h"
#include "runtime/window/template_format.h"

namespace tl::rt {

// An application procedure bound to an event. It receives the event's
// arguments and returns a value, or nothing when declared without a result.
using HandlerResult = std::optional<std::int64_t>;
using EventHandler = std::function<HandlerResult(std::span<const std::int32_t> args)>;
// Maps a stored handler value (never -1) to its procedure; an empty
// function means the value names no procedure, which fails the load.
using HandlerResolver = std::function<EventHandler(std::int32_t stored)>;

// A window (unit 0, or its own unit id) or one of its controls.
struct ControlRef {
  std::uint32_t window = 0;
  std::uint32_t unit = 0;
};

// Replaces the template registry (destroying any loaded window silently).
// False when the segment cannot be read or a handler value is unknown.
bool LoadTemplates(std::string_view segment, const HandlerResolver& resolve);
// Destroys every loaded window without raising events and empties the registry.
void ClearTemplates();
// The unit record of a window (unit 0 or the window's own unit id) or
// control; null when either is unknown or the unit is a menu.
tpl::Unit* FindUnit(std::uint32_t window, std::uint32_t unit);

// Builds a window; `parent` (a window id) must be loaded when given. False
// when the window is unknown, a kind refuses its property block, or a parent
// field names no container on the way to the window; what was made is then
// destroyed. A window shown by the build is activated and its first tab stop
// gets the focus (unless a handler gave it to another control). A modal window runs its own loop, with its owner
// (the parent, or every other loaded window) disabled, and the call returns
// once it has been closed (or a quit was posted).
bool BuildWindow(std::uint32_t window, std::optional<std::uint32_t> parent, bool modal);
bool IsWindowLoaded(std::uint32_t window);
std::size_t LoadedWindowCount();
// The backend widget of a built window or control (kNoHandle when none).
platform::Handle WidgetOf(ControlRef ref);
// A close request: event 1 decides (a handler returning false keeps the
// window); true when the window was destroyed.
bool RequestClose(std::uint32_t window);
// Destroys a loaded window: event 2, then its widgets.
void DestroyWindow(std::uint32_t window);

// Idle work of a loaded window, run by the message loop whenever no event is
// waiting; returning true asks to run again before the loop sleeps. Removed
// with the window, by RemoveIdleCallback, or at shutdown. 0 when the window
// is not loaded.
using IdleCallback = std::function<bool()>;
int AddIdleCallback(std::uint32_t window, IdleCallback callback);
void RemoveIdleCallback(int id);

// Set once RunMessageLoop has been entered; from then on destroying the last
// loaded window posts the quit message.
void SetStartupFinished(bool finished);
bool StartupFinished();

// Files or folders dropped on a loaded window (reported on the window or
// any of its controls): called with the window id and the full paths in
// drop order. An empty handler ignores drops.
using FilesDroppedHandler = std::function<void(std::uint32_t window, std::span<const std::string> paths)>;
void SetFilesDroppedHandler(FilesDroppedHandler handler);

// Installs the event sink on the current backend (done by InitRuntime).
void AttachEventSink();
void DetachEventSink();

// ---------------------------------------------------------------------------
// Numbered properties: 0 left, 1 top, 2 width, 3 height, 4 tag, 5 visible,
// 6 disabled, 7 mouse pointer; 8 + k is the kind's own property k. A
// window's property 18 is its state: 0 normal, 2 minimized, 3 maximized (any
// other value written asks for normal). Showing a hidden window through 5
// activates it; showing a control never does.
using PropertyValue = std::variant<std::int32_t, bool, std::string>;

PropertyValue GetControlProperty(std::uint32_t window, std::uint32_t unit, int number, int index = -1);
void SetControlProperty(std::uint32_t window, std::uint32_t unit, int number, const PropertyValue& value,
                        int index = -1);

std::int32_t PropertyAsInt(const PropertyValue& v);
bool PropertyAsBool(const PropertyValue& v);
std::string PropertyAsText(const PropertyValue& v);
// The same text without copying a text value (a pasted text may be megabytes);
// other kinds are rendered into `scratch`.
std::string_view PropertyTextView(const PropertyValue& v, std::string& scratch);

// ---------------------------------------------------------------------------
// Events. Windowed kinds share the negative events:
enum CommonEvent : int {
  kEventLeftDown = -1,
  kEventLeftUp = -2,
  kEventDoubleClick = -3,
  kEventRightDown = -4,
  kEventRightUp = -5,
  kEventMouseMove = -6,
  kEventKeyDown = -9,
  kEventKeyUp = -10,
  kEventChar = -11,
  kEventWheel = -12,
};
// Window events; controls number theirs from 0 (click, tick).
enum WindowEvent : int { kEventCreated = 0, kEventMayClose = 1, kEventDestroying = 2 };

struct EventOutcome {
  bool handled = false;
  HandlerResult result;
};
// Calls the handler bound to (unit, event). Runtime error when the window is
// not loaded or the unit is not one of its built controls.
EventOutcome RaiseEvent(std::uint32_t window, std::uint32_t unit, int event,
                        std::span<const std::int32_t> args = {});

// Re-parents a control under a loaded window or a control that can hold
// controls (window, PicBox, ProcessBar); anything else is ignored.
void SetParentWindow(ControlRef target, ControlRef parent);
// Each given value replaces the current one; -1 keeps a width or height.
void MoveControl(ControlRef target, std::optional<std::int32_t> left, std::optional<std::int32_t> top,
                 std::optional<std::int32_t> width, std::optional<std::int32_t> height);

}  // namespace tl::rt
