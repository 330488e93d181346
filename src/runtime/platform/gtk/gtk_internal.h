// Shared by the files of the GTK backend; nothing outside gtk/ includes it.
#pragma once
#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/gtk/gtk_backend.h"

namespace tl::platform::gtk {

// One window or control. `outer` is what sits in the parent's container (and
// is the Handle); `inner` is the widget that holds the text or the state.
struct Node {
  WidgetKind kind = WidgetKind::kLabel;
  GtkWidget* outer = nullptr;
  GtkWidget* inner = nullptr;
  GtkWidget* container = nullptr;  // GtkLayout that takes child controls
  GtkWidget* radio_off = nullptr;  // hidden partner that un-checks a radio button
  GtkCssProvider* css = nullptr;
  Handle parent = kNoHandle;
  std::vector<Handle> children;  // stacking order, top first
  Rect rect;                      // top level: outer frame; control: in the parent
  WidgetSpec spec;
  std::string text;               // GBK caption as given (labels, buttons)
  std::uint32_t text_colour = kDefaultColour;
  int progress_min = 0, progress_max = 100, progress_pos = 0;
  std::vector<GdkPixbuf*> pictures;
  std::uint32_t transparent = kDefaultColour;
  GdkCursor* cursor = nullptr;
  bool pressed = false;        // picture button: the second image is shown
  bool quiet = false;          // our own writes raise no change events
  bool runtime_destroy = false;
  unsigned set_text_generation = 0;
  bool chunking = false;        // a large text is going in by pieces
  bool chunk_editable = true;   // what the box was before that
  // Multi-line box: the program's bytes of the text it set last, kept while
  // the buffer still holds exactly that text (reading a large buffer back
  // and converting it stalls the window); `writing` marks our own changes.
  std::string set_text;
  bool set_text_valid = false;
  bool writing = false;
  // Top level: the frame size is reached once the window manager's border
  // is known.
  int deco_left = 0, deco_top = 0, deco_right = 0, deco_bottom = 0;
  bool deco_known = false;
  guint frame_check = 0;
  // A move of ours that the window manager has not carried out yet.
  bool move_pending = false;
  gint64 move_time = 0;
  int move_tries = 0;
  int window_state = 0;
  Handle default_button = kNoHandle;  // top level: the button Enter presses
};

struct Modal {
  Handle window;
  GMainLoop* loop;
  bool ended;
};

struct Impl {
  GtkBackend* self = nullptr;
  EventSink* sink = nullptr;
  std::map<Handle, std::unique_ptr<Node>> nodes;
  std::map<TimerId, guint> timers;
  TimerId next_timer = 1;

  std::optional<int> quit;
  std::vector<GMainLoop*> loops;  // RunLoop and modal loops, innermost last
  std::vector<Modal> modal;
  int pump_depth = 0;
  guint idle_source = 0;
  int idle_count = 0;
  bool started = false;

  Node* Get(Handle h) {
    auto it = nodes.find(h);
    return it == nodes.end() ? nullptr : it->second.get();
  }
  // Reports an event; returns the sink's reply (default when none).
  EventReply Send(Handle w, const Event& e);
  void ArmIdle();
  // The GtkWindow holding a node (itself for a top level); null if none.
  Node* TopOf(Handle h);
};

// The single backend of the process; signal handlers reach it from here.
Impl* Backend();
void SetBackend(Impl* impl);

inline Event Ev(EventType type) {
  Event e;
  e.type = type;
  return e;
}
inline Handle HandleOf(GtkWidget* w) { return reinterpret_cast<Handle>(w); }
inline gpointer AsData(Handle h) { return reinterpret_cast<gpointer>(h); }
inline Handle FromData(gpointer p) { return reinterpret_cast<Handle>(p); }

// --- text boundary (text_boundary.cpp)
// GBK/GB18030 with CR LF -> UTF-8 with LF. Bytes that are not GB18030 show
// as U+FFFD.
std::string ToUtf8(std::string_view gbk);
// UTF-8 -> GB18030; every LF not preceded by CR becomes CR LF.
std::string FromUtf8(std::string_view utf8);
// ToUtf8, and whether FromUtf8 gives `gbk` back byte for byte: it is valid
// GB18030 without NUL, and each of its LFs follows exactly one CR.
std::string ToUtf8Exact(std::string_view gbk, bool& exact);
// GBK -> UTF-8 keeping line breaks as they are (titles, names).
std::string ToUtf8Keep(std::string_view gbk);
// UTF-8 -> GB18030 keeping line breaks.
std::string FromUtf8Keep(std::string_view utf8);
// Pango markup of a caption: "&X" underlines X, "&&" is "&". The key is
// left to the runtime (no GTK mnemonic is registered), as on Windows where
// the program, not a dialog manager, applies it.
std::string CaptionMarkup(std::string_view utf8);

// --- clipboard (clipboard.cpp)
// The text of clipboard data asked for as UTF8_STRING, as
// gtk_selection_data_get_text would give it (up to the first NUL), without
// its copies; false when GTK's own way must be taken (no data, another type,
// or not valid UTF-8).
bool ClipboardUtf8(GtkSelectionData* data, std::string_view& text);

// --- controls (controls.cpp)
GtkWidget* MakeControl(Impl& impl, Node& node, const WidgetSpec& spec);
void ApplyStyle(Node& node);
void ShowPicture(Node& node);
void ConnectInput(Impl& impl, Node& node, GtkWidget* target);
void SetEditText(Impl& impl, Handle h, std::string_view gbk);
std::string GetEditText(Node& node);
// CSS for the whole program (fonts, compact controls); once per display.
void InstallProgramStyle();
// A colour word (0x00BBGGRR) as CSS; empty for the default.
std::string CssColour(std::uint32_t colour);

// --- windows and loop (window_loop.cpp)
// PumpPending with another budget: every pending event is dispatched, the
// rest (GTK's background work) only while `budget_us` lasts.
void Pump(Impl& impl, gint64 budget_us);
GtkWidget* MakeTopWindow(Impl& impl, Node& node, const WidgetSpec& spec);
void PlaceChild(Node& parent, Node& child);
// Makes the top level's default button GTK's default widget again (taking a
// widget out of its container forgets it).
void ApplyDefault(Impl& impl, Handle any);

// --- drop (window_loop.cpp)
void EnableDrop(Impl& impl, Handle h, GtkWidget* target);

// --- key codes (controls.cpp)
int VirtualKeyOf(guint keyval);
int KeyStateOf(guint state);

}  // namespace tl::platform::gtk
