// The backend's life: the display, the runtime's start and stop, the exit
// handed over from another thread.
#include <clocale>
#include <cstdlib>

#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {

GtkBackend::GtkBackend() : impl_(std::make_unique<Impl>()) {
  impl_->self = this;
  SetBackend(impl_.get());
}

GtkBackend::~GtkBackend() {
  Impl& impl = *impl_;
  for (auto& [id, source] : impl.timers) g_source_remove(source);
  impl.timers.clear();
  if (impl.idle_source) g_source_remove(impl.idle_source);
  // Top levels take their controls with them.
  std::vector<Handle> tops;
  for (auto& [h, n] : impl.nodes)
    if (n->kind == WidgetKind::kTopWindow) tops.push_back(h);
  for (Handle h : tops) DestroyWidget(h);
  if (Backend() == &impl) SetBackend(nullptr);
}

bool GtkBackend::OpenDisplay(std::string* why) {
  static int state = 0;  // 0 not tried, 1 open, 2 failed
  if (state == 0) {
    // Only the character type (names, input methods) and GTK's own messages
    // follow the user's locale; numbers keep the C conventions the runtime
    // formats with. Texts reach GTK as UTF-8 whatever the locale says.
    gtk_disable_setlocale();
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    // Absolute placement needs X11 (XWayland on a Wayland desktop).
    gdk_set_allowed_backends("x11,*");
    state = gtk_init_check(nullptr, nullptr) ? 1 : 2;
    if (state == 1) InstallProgramStyle();
  }
  if (state == 2 && why) {
    const char* display = std::getenv("DISPLAY");
    *why = display && *display ? std::string("cannot open display ") + display
                               : std::string("no display (DISPLAY is not set)");
  }
  return state == 1;
}

void GtkBackend::StartRuntimeWindow() {
  if (impl_->started) return;
  impl_->started = OpenDisplay();
}

void GtkBackend::StopRuntimeWindow() {}

void GtkBackend::ForwardExit(int code) {
  // The only call made from another thread; GLib's idle queue is safe there.
  g_idle_add(
      [](gpointer data) -> gboolean {
        std::exit(GPOINTER_TO_INT(data));
        return G_SOURCE_REMOVE;
      },
      GINT_TO_POINTER(code));
}

}  // namespace tl::platform::gtk
