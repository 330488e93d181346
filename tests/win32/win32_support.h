// Tests of the Win32 backend run against real windows, under wine with the
// X display that tools/windows-suite.sh gives them (or on Windows). Waiting
// is always polling with a bound.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox

#include <gtest/gtest.h>

#include <cstring>

#include <functional>
#include <string>
#include <vector>

#include "runtime/platform/win32/win32_backend.h"

// Widget specs are spelled with designated initializers: the fields left out
// keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tl::wintest {

using platform::Event;
using platform::EventReply;
using platform::EventType;
using platform::Handle;
using platform::Rect;
using platform::WidgetKind;
using platform::WidgetSpec;

platform::win32::Win32Backend& Backend();

inline HWND W(Handle h) { return reinterpret_cast<HWND>(h); }

// Serves the windows (PumpPending) until `done` holds; false when
// `timeout_ms` passed first.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// Records every event; `reply` may answer or act.
struct Recorder : platform::EventSink {
  struct Entry {
    Handle widget;
    Event event;
  };
  std::vector<Entry> events;
  std::function<EventReply(Handle, const Event&)> reply;
  std::function<bool(int)> idle;
  std::vector<int> idle_counts;
  EventReply OnEvent(Handle widget, const Event& e) override {
    events.push_back({widget, e});
    return reply ? reply(widget, e) : EventReply{};
  }
  bool OnIdle(int count) override {
    idle_counts.push_back(count);
    return idle ? idle(count) : false;
  }
  int Count(EventType t, Handle w = platform::kNoHandle) const {
    int n = 0;
    for (const Entry& e : events)
      if (e.event.type == t && (w == platform::kNoHandle || e.widget == w)) ++n;
    return n;
  }
};

// Installs the backend with a recorder as its sink; destroys the windows a
// test made.
class Win32Test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Handle Window(Rect r, const std::string& title = "test");
  Handle Make(WidgetKind kind, Handle parent, Rect r, const std::string& text = {});
  Handle Make(WidgetSpec spec);
  void Show(Handle window);
  platform::win32::Win32Backend& os = Backend();
  Recorder rec;
  std::vector<Handle> windows;
};

// A control's rectangle in its top-level window's client area.
Rect InClient(Handle widget);

// A GIF of `w` x `h` from rows of palette indexes ('0'..'3') and a palette
// of four 0xRRGGBB colours.
std::string MakeGif(int w, int h, const std::vector<std::string>& rows, const std::uint32_t (&palette)[4]);

// A click of the left button at client point (x, y) of a control, posted
// so it goes through the program's own loop as a person's click does.
void PostClick(Handle widget, int x, int y);

// The text of a window as the system reports it.
std::string WindowText(HWND hwnd);

}  // namespace tl::wintest
