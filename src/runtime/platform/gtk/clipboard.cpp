// The clipboard: other programs get UTF-8 with LF; what they offer arrives
// as GBK (GB18030) with CR LF.
#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {

std::optional<std::string> GtkBackend::GetClipboardText() {
  if (!impl_->started) StartRuntimeWindow();
  if (!impl_->started) return std::nullopt;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gchar* text = gtk_clipboard_wait_for_text(clipboard);
  if (!text) return std::nullopt;
  std::string out = FromUtf8(text);
  g_free(text);
  return out;
}

bool GtkBackend::SetClipboardText(std::string_view text) {
  if (!impl_->started) StartRuntimeWindow();
  if (!impl_->started) return false;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  std::string utf8 = ToUtf8(text);
  gtk_clipboard_set_text(clipboard, utf8.data(), static_cast<gint>(utf8.size()));
  // Hands the text to a clipboard manager, where one runs, so it outlives
  // the program.
  gtk_clipboard_set_can_store(clipboard, nullptr, 0);
  gtk_clipboard_store(clipboard);
  return true;
}

}  // namespace tl::platform::gtk
