// Documents, URLs and folders through the desktop; programs; and the process
// facts the runtime asks the backend for.

#include "runtime/os/files.h"
#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {
namespace {

// "scheme:" with a scheme of two letters or more (one letter would be a
// drive on Windows).
bool IsUri(std::string_view target) {
  std::size_t colon = target.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    char c = target[i];
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

std::string UriOfPath(std::string_view gbk_path) {
  std::string os = rt::fileio::ToOsName(gbk_path);
  if (!g_path_is_absolute(os.c_str())) {
    gchar* cwd = g_get_current_dir();
    gchar* full = g_build_filename(cwd, os.c_str(), nullptr);
    os = full;
    g_free(full);
    g_free(cwd);
  }
  gchar* uri = g_filename_to_uri(os.c_str(), nullptr, nullptr);
  std::string out = uri ? uri : "";
  g_free(uri);
  return out;
}

bool LaunchUri(const std::string& uri) {
  if (uri.empty()) return false;
  GError* error = nullptr;
  bool ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
  if (error) g_error_free(error);
  return ok;
}

// Asks the desktop's file manager to show the item selected in its folder.
bool ShowItem(const std::string& uri) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (!bus) return false;
  const gchar* uris[] = {uri.c_str(), nullptr};
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
      "ShowItems", g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
  g_object_unref(bus);
  if (error) g_error_free(error);
  if (!reply) return false;
  g_variant_unref(reply);
  return true;
}

}  // namespace

bool GtkBackend::OpenDocument(std::string_view target, std::string_view verb, int show) {
  (void)verb;  // the desktop has one default action per type
  (void)show;
  if (target.empty()) return false;
  if (!impl_->started) StartRuntimeWindow();
  if (IsUri(target)) return LaunchUri(ToUtf8Keep(target));
  return LaunchUri(UriOfPath(target));
}

bool GtkBackend::OpenFolder(std::string_view path, bool new_window, bool select) {
  (void)new_window;  // file managers open a window of their own
  if (path.empty()) return false;
  if (!impl_->started) StartRuntimeWindow();
  std::string uri = UriOfPath(path);
  if (select) {
    if (ShowItem(uri)) return true;
    // No file manager that selects: its folder instead.
    std::string p(path);
    auto slash = p.rfind('/');
    if (slash != std::string::npos) p.resize(slash ? slash : 1);
    return LaunchUri(UriOfPath(p));
  }
  return LaunchUri(uri);
}

}  // namespace tl::platform::gtk
