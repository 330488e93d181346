// The clipboard: other programs get UTF-8 with LF; what they offer arrives
// as GBK (GB18030) with CR LF.
#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {
namespace {
constexpr std::size_t kClipboardPiece = 512 * 1024;
constexpr gint64 kClipboardBudgetUs = 2000;
}  // namespace

bool ClipboardUtf8(GtkSelectionData* data, std::string_view& text) {
  if (!data || gtk_selection_data_get_data_type(data) != gdk_atom_intern_static_string("UTF8_STRING") ||
      gtk_selection_data_get_format(data) != 8 || gtk_selection_data_get_length(data) <= 0)
    return false;
  std::string_view all(reinterpret_cast<const char*>(gtk_selection_data_get_data(data)),
                       static_cast<std::size_t>(gtk_selection_data_get_length(data)));
  text = all.substr(0, all.find('\0'));
  return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

std::optional<std::string> GtkBackend::GetClipboardText() {
  if (!impl_->started) StartRuntimeWindow();
  if (!impl_->started) return std::nullopt;
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  // The raw UTF-8: GTK's own text of 10 MB takes a tenth of a second of
  // copying and checking, in one piece.
  GtkSelectionData* data =
      gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern_static_string("UTF8_STRING"));
  std::string_view utf8;
  gchar* text = nullptr;
  if (!ClipboardUtf8(data, utf8)) {
    // Another type, or not UTF-8: GTK's own way (other targets tried).
    if (data) gtk_selection_data_free(data);
    data = nullptr;
    text = gtk_clipboard_wait_for_text(clipboard);
    if (!text) return std::nullopt;
    utf8 = text;
  }
  // A large text is converted in pieces cut after line breaks, the window
  // served between them (the wait above serves it already).
  std::string out;
  out.reserve(utf8.size());
  std::size_t at = 0;
  while (at < utf8.size()) {
    std::size_t end = utf8.size();
    if (end - at > kClipboardPiece) {
      std::size_t nl = utf8.find('\n', at + kClipboardPiece);
      if (nl != std::string_view::npos) end = nl + 1;
    }
    out += FromUtf8(utf8.substr(at, end - at));
    at = end;
    if (at < utf8.size()) Pump(*impl_, kClipboardBudgetUs);
  }
  if (data) gtk_selection_data_free(data);
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
