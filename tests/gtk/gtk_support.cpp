#include "gtk/gtk_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tl::gtktest {

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  gint64 end = g_get_monotonic_time() + static_cast<gint64>(timeout_ms) * 1000;
  while (!done()) {
    if (g_get_monotonic_time() >= end) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
  }
  return true;
}

bool Child::Start(const std::vector<std::string>& argv, const std::string* input, bool capture) {
  std::vector<gchar*> args;
  for (const std::string& a : argv) args.push_back(const_cast<gchar*>(a.c_str()));
  args.push_back(nullptr);
  int in_fd = -1;
  GError* error = nullptr;
  bool ok = g_spawn_async_with_pipes(nullptr, args.data(), nullptr,
                                     GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                                 G_SPAWN_STDERR_TO_DEV_NULL | (capture ? 0 : G_SPAWN_STDOUT_TO_DEV_NULL)),
                                     nullptr, nullptr, &pid_, input ? &in_fd : nullptr, capture ? &out_fd_ : nullptr,
                                     nullptr, &error);
  if (error) {
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << error->message;
    g_error_free(error);
  }
  if (!ok) return false;
  if (input) {
    std::size_t at = 0;
    while (at < input->size()) {
      ssize_t n = write(in_fd, input->data() + at, input->size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    close(in_fd);
  }
  if (out_fd_ >= 0) fcntl(out_fd_, F_SETFL, O_NONBLOCK);
  return true;
}

void Child::Drain() {
  if (out_fd_ < 0) return;
  char buf[4096];
  ssize_t n;
  while ((n = read(out_fd_, buf, sizeof buf)) > 0) output_.append(buf, static_cast<std::size_t>(n));
}

bool Child::Wait(int timeout_ms) {
  if (pid_ == 0) return exited_;
  bool ended = PumpUntil(
      [&] {
        Drain();
        int st = 0;
        if (waitpid(pid_, &st, WNOHANG) != pid_) return false;
        status_ = st;
        return true;
      },
      timeout_ms);
  if (ended) {
    Drain();
    exited_ = true;
    g_spawn_close_pid(pid_);
    pid_ = 0;
    if (out_fd_ >= 0) close(out_fd_);
    out_fd_ = -1;
  }
  return ended;
}

void Child::Stop() {
  if (pid_ == 0) return;
  kill(pid_, SIGTERM);
  if (!Wait(3000)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    g_spawn_close_pid(pid_);
    pid_ = 0;
  }
  if (out_fd_ >= 0) close(out_fd_);
  out_fd_ = -1;
}

std::string RunServing(const std::vector<std::string>& argv, const std::string* input) {
  Child c;
  if (!c.Start(argv, input, true)) return {};
  EXPECT_TRUE(c.Wait(10000)) << argv[0] << " did not finish within 10 s";
  return c.output();
}

void XClick(int x, int y) {
  RunServing({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"});
}
void XPress(int x, int y) {
  RunServing({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "mousedown", "1"});
}
void XRelease() { RunServing({"xdotool", "mouseup", "1"}); }

std::uint32_t ScreenPixel(int x, int y) {
  GdkPixbuf* p = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, 1, 1);
  if (!p) return 0xFFFFFFFF;
  const guchar* px = gdk_pixbuf_read_pixels(p);
  std::uint32_t rgb = (px[0] << 16) | (px[1] << 8) | px[2];
  g_object_unref(p);
  return rgb;
}

void GtkTest::SetUp() {
  platform::Install(&os);
  os.StartRuntimeWindow();
  os.SetEventSink(&rec);
}

void GtkTest::TearDown() {
  for (Handle w : windows) os.DestroyWidget(w);
  windows.clear();
  PumpUntil([] { return !g_main_context_pending(nullptr); }, 2000);
  os.SetEventSink(nullptr);
  platform::Install(nullptr);
}

Handle GtkTest::Window(Rect r, const std::string& title, int border) {
  WidgetSpec s;
  s.kind = WidgetKind::kTopWindow;
  s.rect = r;
  s.text = title;
  s.class_name = "TidylineWindow";
  s.window_border = border;
  s.min_button = true;
  Handle h = os.CreateWidget(s);
  windows.push_back(h);
  return h;
}

Handle GtkTest::Make(WidgetSpec spec) {
  Handle h = os.CreateWidget(spec);
  if (h) os.SetVisible(h, true);
  return h;
}

Handle GtkTest::Make(WidgetKind kind, Handle parent, Rect r, const std::string& text) {
  WidgetSpec s;
  s.kind = kind;
  s.parent = parent;
  s.rect = r;
  s.text = text;
  s.multi_line = kind == WidgetKind::kEditBox;
  s.scroll_bars = 3;
  s.border = kind == WidgetKind::kEditBox ? 1 : 0;
  return Make(s);
}

bool GtkTest::SetTextReplacedMidway(Handle edit, const std::string& text, const std::string& replacement) {
  platform::TimerId timer = os.StartTimer(1);
  bool replaced = false;
  rec.reply = [&](Handle, const Event& e) {
    if (e.type == EventType::kTimer && !replaced) {
      replaced = true;
      os.SetText(edit, replacement);
    }
    return EventReply{};
  };
  os.SetText(edit, text);
  os.StopTimer(timer);
  rec.reply = nullptr;
  return replaced;
}

void GtkTest::Show(Handle window) {
  os.SetVisible(window, true);
  GtkWidget* w = G(window);
  ASSERT_TRUE(PumpUntil([&] {
    if (!gtk_widget_get_mapped(w)) return false;
    GdkWindow* gw = gtk_widget_get_window(w);
    return gdk_window_is_viewable(gw) && gtk_widget_get_allocated_width(w) > 1;
  })) << "the window was not shown within 5 s";
  // Let a painted frame reach the screen.
  GdkFrameClock* clock = gtk_widget_get_frame_clock(w);
  if (!clock) return;
  bool painted = false;
  gulong id = g_signal_connect(clock, "after-paint",
                               G_CALLBACK(+[](GdkFrameClock*, gpointer flag) { *static_cast<bool*>(flag) = true; }),
                               &painted);
  gtk_widget_queue_draw(w);
  PumpUntil([&] { return painted; }, 2000);
  g_signal_handler_disconnect(clock, id);
}

void ClientOrigin(Handle window, int& x, int& y) {
  gdk_window_get_origin(gtk_widget_get_window(G(window)), &x, &y);
}

Rect WidgetInWindow(Handle widget) {
  GtkWidget* w = G(widget);
  GtkWidget* top = gtk_widget_get_toplevel(w);
  int x = 0, y = 0;
  gtk_widget_translate_coordinates(w, top, 0, 0, &x, &y);
  return {x, y, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w)};
}

std::string MakeGif(int w, int h, const std::vector<std::string>& rows, const std::uint32_t (&palette)[4]) {
  std::string g = "GIF89a";
  auto u16 = [&](int v) {
    g += static_cast<char>(v & 0xFF);
    g += static_cast<char>((v >> 8) & 0xFF);
  };
  u16(w);
  u16(h);
  g += static_cast<char>(0x81);  // global colour table of 4 entries
  g += '\0';
  g += '\0';
  for (std::uint32_t c : palette) {
    g += static_cast<char>((c >> 16) & 0xFF);
    g += static_cast<char>((c >> 8) & 0xFF);
    g += static_cast<char>(c & 0xFF);
  }
  g += ',';
  u16(0);
  u16(0);
  u16(w);
  u16(h);
  g += '\0';
  g += '\2';  // minimum code size 2: codes of 3 bits, clear 4, end 5
  // A clear code before every two pixels keeps the code size at 3 bits.
  std::string bytes;
  unsigned acc = 0;
  int bits = 0;
  auto put = [&](unsigned code) {
    acc |= code << bits;
    bits += 3;
    while (bits >= 8) {
      bytes += static_cast<char>(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
  };
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (n++ % 2 == 0) put(4);
      put(static_cast<unsigned>(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] - '0'));
    }
  put(5);
  if (bits > 0) bytes += static_cast<char>(acc & 0xFF);
  for (std::size_t at = 0; at < bytes.size(); at += 255) {
    std::size_t len = std::min<std::size_t>(255, bytes.size() - at);
    g += static_cast<char>(len);
    g += bytes.substr(at, len);
  }
  g += '\0';
  g += ';';
  return g;
}

}  // namespace tl::gtktest
