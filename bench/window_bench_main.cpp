// tidyline-window-bench: the tidyline program (the application on the GTK
// backend, started the same way) with a watcher for bench/window_bench.py.
// Nothing of it is in the shipped program: it only listens to signals the
// window's widgets already raise, and prints, on standard output, one line
// per moment the driver times, with T in monotonic microseconds (the clock
// Python's time.monotonic() reads) and C the processor time the window's
// thread has used so far, in microseconds:
//   ready T C                        the main window is up, boxes found
//   press T C BUTTON / key T C KEY   a mouse button released / a key pressed
//   text T C BOX LINES               BOX ("source" or "result") holds LINES
//                                    lines and takes typing (not read-only)
//   owner T C                        the clipboard's owner changed
//   gap T C MS CPU                   the 20 ms timer came MS ms after its
//                                    last tick (only gaps above 30 ms), of
//                                    which the window's thread ran CPU ms (on
//                                    a busy machine the rest is waiting for
//                                    a processor)
// Built only when asked: cmake --build build --target tidyline-window-bench
#include <gtk/gtk.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "app/application.h"
#include "runtime/platform/gtk/gtk_backend.h"

namespace {

constexpr guint kTickMs = 20;
constexpr gint64 kReportGapUs = 30000;

gint64 g_last_tick = 0, g_last_cpu = 0;

gint64 ThreadCpuUs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<gint64>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

void Say(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Now() { return std::to_string(g_get_monotonic_time()) + " " + std::to_string(ThreadCpuUs()); }

// The longest gap between ticks is the longest time the loop was not served.
gboolean OnTick(gpointer) {
  gint64 now = g_get_monotonic_time(), cpu = ThreadCpuUs();
  if (g_last_tick && now - g_last_tick > kReportGapUs)
    Say("gap " + std::to_string(now) + " " + std::to_string(cpu) + " " + std::to_string((now - g_last_tick) / 1000.0) + " " +
        std::to_string((cpu - g_last_cpu) / 1000.0));
  g_last_tick = now;
  g_last_cpu = cpu;
  return G_SOURCE_CONTINUE;
}

// Every event still goes to GTK; input is noted at the moment it is
// dispatched.
void OnGdkEvent(GdkEvent* event, gpointer) {
  if (event->type == GDK_BUTTON_RELEASE) Say("press " + Now() + " " + std::to_string(event->button.button));
  else if (event->type == GDK_KEY_PRESS) Say("key " + Now() + " " + std::to_string(event->key.keyval));
  gtk_main_do_event(event);
}

struct Box {
  const char* name;
  GtkTextView* view;
  int reported_lines = -1;
};
Box g_boxes[2] = {{"source", nullptr}, {"result", nullptr}};

// A box is done when its text is complete and it takes typing again (the
// backend keeps it read-only while a large text goes in); the text's layout
// may still run in the background.
void Check(Box& box) {
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(box.view);
  int lines = gtk_text_buffer_get_line_count(buffer);
  if (!gtk_text_view_get_editable(box.view) || lines == box.reported_lines) return;
  box.reported_lines = lines;
  Say(std::string("text ") + Now() + " " + box.name + " " + std::to_string(lines));
}

void OnChanged(GtkTextBuffer*, gpointer data) { Check(*static_cast<Box*>(data)); }
void OnEditable(GObject*, GParamSpec*, gpointer data) {
  Box& box = *static_cast<Box*>(data);
  // A text going in: its end is reported even with the old line count.
  if (!gtk_text_view_get_editable(box.view)) box.reported_lines = -1;
  Check(box);
}
void OnPasteDone(GtkTextBuffer*, GtkClipboard*, gpointer data) { Check(*static_cast<Box*>(data)); }

void FindViews(GtkWidget* w, gpointer) {
  if (GTK_IS_TEXT_VIEW(w)) {
    // The source box is on the left, the result box on the right.
    GtkWidget* scroll = gtk_widget_get_parent(w);
    GtkWidget* layout = scroll ? gtk_widget_get_parent(scroll) : nullptr;
    int x = 0;
    if (layout && GTK_IS_LAYOUT(layout)) gtk_container_child_get(GTK_CONTAINER(layout), scroll, "x", &x, nullptr);
    Box& box = g_boxes[x < 320 ? 0 : 1];
    box.view = GTK_TEXT_VIEW(w);
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(box.view);
    g_signal_connect_after(buffer, "changed", G_CALLBACK(OnChanged), &box);
    g_signal_connect_after(buffer, "paste-done", G_CALLBACK(OnPasteDone), &box);
    g_signal_connect_after(w, "notify::editable", G_CALLBACK(OnEditable), &box);
    return;
  }
  if (GTK_IS_CONTAINER(w)) gtk_container_forall(GTK_CONTAINER(w), FindViews, nullptr);
}

void OnOwnerChange(GtkClipboard*, GdkEvent*, gpointer) { Say("owner " + Now()); }

}  // namespace

int main() {
  std::string why;
  if (!tl::platform::gtk::GtkBackend::OpenDisplay(&why)) {
    std::fprintf(stderr, "tidyline-window-bench: %s\n", why.c_str());
    return 1;
  }
  tl::platform::gtk::GtkBackend backend;
  gdk_event_handler_set(OnGdkEvent, nullptr, nullptr);
  g_timeout_add(kTickMs, OnTick, nullptr);
  g_signal_connect(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "owner-change", G_CALLBACK(OnOwnerChange), nullptr);
  tl::app::StartApplication(backend);
  GList* tops = gtk_window_list_toplevels();
  for (GList* l = tops; l; l = l->next) FindViews(GTK_WIDGET(l->data), nullptr);
  g_list_free(tops);
  if (!g_boxes[0].view || !g_boxes[1].view) {
    std::fprintf(stderr, "tidyline-window-bench: the two text boxes were not found\n");
    return 1;
  }
  Say("ready " + Now());
  return tl::app::FinishApplication();
}
