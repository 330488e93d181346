// Tests of the GTK backend run against real widgets on an Xvfb server that
// main() starts on a free display (and stops). Waiting is always polling
// with a bound: the X server answers asynchronously.
#pragma once
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/platform/gtk/gtk_backend.h"

// Widget specs are spelled with designated initializers: the fields left out
// keep their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tl::gtktest {

using platform::Event;
using platform::EventReply;
using platform::EventType;
using platform::Handle;
using platform::Rect;
using platform::WidgetKind;
using platform::WidgetSpec;

platform::gtk::GtkBackend& Backend();

inline GtkWidget* G(Handle h) { return reinterpret_cast<GtkWidget*>(h); }

// Serves GTK until `done` holds; false when `timeout_ms` passed first.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// A helper program started by a test, stopped (and reaped) by it.
class Child {
 public:
  Child() = default;
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  // argv[0] is looked up in PATH; stdin gets `input` (then EOF) when given.
  bool Start(const std::vector<std::string>& argv, const std::string* input = nullptr, bool capture = false);
  // Waits (serving GTK meanwhile) for the end; false on timeout.
  bool Wait(int timeout_ms = 5000);
  void Stop();
  const std::string& output() const { return output_; }
  int status() const { return status_; }

 private:
  void Drain();
  GPid pid_ = 0;
  int out_fd_ = -1;
  std::string output_;
  int status_ = -1;
  bool exited_ = false;
};

// Runs a program to its end while serving GTK (it may talk to our windows or
// the clipboard); its standard output.
std::string RunServing(const std::vector<std::string>& argv, const std::string* input = nullptr);

// Real pointer input through the X server's test extension (xdotool), at
// screen coordinates: a click, or a press and a release on their own.
void XClick(int x, int y);
void XPress(int x, int y);
void XRelease();

// Pixels of the screen as a person sees them (0xRRGGBB).
std::uint32_t ScreenPixel(int x, int y);

// Records every event; `reply` may answer or act.
struct Recorder : platform::EventSink {
  struct Entry {
    Handle widget;
    Event event;
  };
  std::vector<Entry> events;
  std::function<EventReply(Handle, const Event&)> reply;
  std::function<bool(int)> idle;
  EventReply OnEvent(Handle widget, const Event& e) override {
    events.push_back({widget, e});
    return reply ? reply(widget, e) : EventReply{};
  }
  bool OnIdle(int count) override { return idle ? idle(count) : false; }
  int Count(EventType t, Handle w = platform::kNoHandle) const {
    int n = 0;
    for (const Entry& e : events)
      if (e.event.type == t && (w == platform::kNoHandle || e.widget == w)) ++n;
    return n;
  }
};

// Installs the backend with a recorder as its sink; destroys the windows a
// test made.
class GtkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Handle Window(Rect r, const std::string& title = "test", int border = 2);
  Handle Make(WidgetKind kind, Handle parent, Rect r, const std::string& text = {});
  Handle Make(WidgetSpec spec);
  // Shows a window and waits until X has it mapped and laid out.
  void Show(Handle window);
  // Sets `text` into an edit box while a timer, at its first tick during the
  // insertion, sets `replacement`; true when that tick came.
  bool SetTextReplacedMidway(Handle edit, const std::string& text, const std::string& replacement);
  platform::gtk::GtkBackend& os = Backend();
  Recorder rec;
  std::vector<Handle> windows;
};

// Client-area origin of a window on the screen, and a widget's rectangle
// relative to its top-level window's client area.
void ClientOrigin(Handle window, int& x, int& y);
Rect WidgetInWindow(Handle widget);

// A GIF of `w` x `h` from rows of palette indexes ('0'..'3') and a palette
// of four 0xRRGGBB colours.
std::string MakeGif(int w, int h, const std::vector<std::string>& rows, const std::uint32_t (&palette)[4]);

}  // namespace tl::gtktest
