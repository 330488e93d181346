// Starts an Xvfb of our own on a free display (Xvfb picks the number and
// reports it through -displayfd), runs the tests on it, stops it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gtk/gtk_support.h"

namespace tl::gtktest {
namespace {

platform::gtk::GtkBackend* g_backend = nullptr;

class XServer {
 public:
  bool Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    std::string fd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ < 0) {
      pid_ = 0;
      close(fds[0]);
      close(fds[1]);
      return false;
    }
    if (pid_ == 0) {
      // The server goes with the tests, however they end (a crash, a
      // timeout's kill).
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The display number arrives once the server accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, 15000) > 0) {
      char buf[32];
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
      std::fprintf(stderr, "Xvfb did not report a display within 15 s\n");
      Stop();
      return false;
    }
    number.resize(number.find('\n'));
    display_ = ":" + number;
    return true;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = 0;
        return;
      }
      usleep(10000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = 0;
  std::string display_;
};

// On a failure: a screenshot of the whole screen and the windows a person
// would have seen on it.
class ScreenshotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& info) override {
    if (!info.result()->Failed()) return;
    GdkWindow* root = gdk_get_default_root_window();
    std::string name = std::string("gtk-failure-") + info.test_suite_name() + "." + info.name() + ".png";
    for (char& c : name)
      if (c == '/') c = '_';
    if (GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root))) {
      gdk_pixbuf_save(shot, name.c_str(), "png", nullptr, nullptr);
      g_object_unref(shot);
      std::fprintf(stderr, "screenshot of the failure: %s\n", name.c_str());
    }
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l; l = l->next) {
      GtkWindow* w = GTK_WINDOW(l->data);
      if (!gtk_widget_get_mapped(GTK_WIDGET(w))) continue;
      int x = 0, y = 0;
      gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(w)), &x, &y);
      const char* title = gtk_window_get_title(w);
      std::fprintf(stderr, "on screen: window \"%s\" at %d,%d size %dx%d\n", title ? title : "",
                   x, y, gtk_widget_get_allocated_width(GTK_WIDGET(w)), gtk_widget_get_allocated_height(GTK_WIDGET(w)));
    }
    g_list_free(tops);
  }
};

}  // namespace

platform::gtk::GtkBackend& Backend() { return *g_backend; }

}  // namespace tl::gtktest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tl::gtktest::XServer x;
  if (!x.Start()) return 1;
  setenv("DISPLAY", x.display().c_str(), 1);
  setenv("GDK_BACKEND", "x11", 1);
  unsetenv("WAYLAND_DISPLAY");
  setenv("GTK_THEME", "Adwaita", 1);
  setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus on a test server
  setenv("GSETTINGS_BACKEND", "memory", 1);  // the file chooser keeps no state
  int rc = 1;
  {
    std::string why;
    if (!tl::platform::gtk::GtkBackend::OpenDisplay(&why)) {
      std::fprintf(stderr, "GTK cannot use the test display: %s\n", why.c_str());
    } else {
      tl::platform::gtk::GtkBackend backend;
      tl::gtktest::g_backend = &backend;
      ::testing::UnitTest::GetInstance()->listeners().Append(new tl::gtktest::ScreenshotOnFailure);
      rc = RUN_ALL_TESTS();
      tl::gtktest::g_backend = nullptr;
    }
  }
  x.Stop();
  return rc;
}
