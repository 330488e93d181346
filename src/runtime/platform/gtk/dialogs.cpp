// Message boxes, the open-files dialog and the folder chooser.
#include "runtime/os/files.h"
#include "runtime/os/process.h"
#include "runtime/platform/gtk/gtk_internal.h"

namespace tl::platform::gtk {
namespace {

// MB_* bits.
constexpr std::uint32_t kTypeMask = 0x0F, kIconMask = 0xF0, kDefaultMask = 0xF00;

struct Choice {
  const char* label;
  int result;
};

std::vector<Choice> ButtonsOf(std::uint32_t style) {
  switch (style & kTypeMask) {
    case 1: return {{"确定", kIdOk}, {"取消", kIdCancel}};
    case 2: return {{"中止(_A)", kIdAbort}, {"重试(_R)", kIdRetry}, {"忽略(_I)", kIdIgnore}};
    case 3: return {{"是(_Y)", kIdYes}, {"否(_N)", kIdNo}, {"取消", kIdCancel}};
    case 4: return {{"是(_Y)", kIdYes}, {"否(_N)", kIdNo}};
    case 5: return {{"重试(_R)", kIdRetry}, {"取消", kIdCancel}};
    default: return {{"确定", kIdOk}};
  }
}

GtkMessageType IconOf(std::uint32_t style) {
  switch (style & kIconMask) {
    case 0x10: return GTK_MESSAGE_ERROR;
    case 0x20: return GTK_MESSAGE_QUESTION;
    case 0x30: return GTK_MESSAGE_WARNING;
    case 0x40: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

// The windows of the program that are shown now; a dialog sits above the
// active one.
GtkWindow* ActiveTopLevel(Impl& impl) {
  GtkWindow* any = nullptr;
  for (auto& [h, n] : impl.nodes) {
    if (n->kind != WidgetKind::kTopWindow || !gtk_widget_get_visible(n->outer)) continue;
    if (gtk_window_is_active(GTK_WINDOW(n->outer))) return GTK_WINDOW(n->outer);
    if (!any) any = GTK_WINDOW(n->outer);
  }
  return any;
}

std::vector<std::string> SplitPatterns(const std::string& list) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string p = list.substr(start, end - start);
    while (!p.empty() && p.front() == ' ') p.erase(p.begin());
    while (!p.empty() && p.back() == ' ') p.pop_back();
    if (!p.empty()) out.push_back(p);
    start = end + 1;
  }
  return out;
}

// GtkFileFilter patterns are case-sensitive; Windows filters are not:
// "*.txt" becomes "*.[tT][xX][tT]". Other bytes (UTF-8 too) pass unchanged.
std::string AnyCase(const std::string& pattern) {
  std::string out;
  for (char c : pattern) {
    char lower = g_ascii_tolower(c), upper = g_ascii_toupper(c);
    if (lower != upper) {
      out += '[';
      out += lower;
      out += upper;
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

std::string OsPath(std::string_view gbk) { return rt::fileio::ToOsName(gbk); }

}  // namespace

int GtkBackend::MessageBox(std::string_view text, std::string_view caption, std::uint32_t style) {
  Impl& impl = *impl_;
  if (!impl.started) StartRuntimeWindow();
  if (!impl.started) return kIdCancel;
  // Message boxes of the program are not owned by a window (as with a null
  // owner on Windows); they stay above the program's windows while shown.
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, IconOf(style), GTK_BUTTONS_NONE, "%s",
                                             ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8Keep(caption).c_str());
  if (GtkWindow* above = ActiveTopLevel(impl)) gtk_window_set_transient_for(GTK_WINDOW(dialog), above);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), (style & 0x40000) != 0);  // MB_TOPMOST
  std::vector<Choice> buttons = ButtonsOf(style);
  bool has_cancel = false;
  for (const Choice& c : buttons) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), c.label, c.result);
    has_cancel |= c.result == kIdCancel;
  }
  std::size_t def = (style & kDefaultMask) >> 8;
  if (def >= buttons.size()) def = 0;
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons[def].result);
  // Boxes without a way to cancel cannot be closed from the frame.
  bool closable = has_cancel || buttons.size() == 1;
  gtk_window_set_deletable(GTK_WINDOW(dialog), closable);
  int result;
  while (true) {
    result = gtk_dialog_run(GTK_DIALOG(dialog));
    if (result > 0) break;
    if (closable) {
      result = has_cancel ? kIdCancel : buttons[0].result;
      break;
    }
  }
  gtk_widget_destroy(dialog);
  return result;
}

std::optional<std::vector<std::string>> GtkBackend::OpenFilesDialog(const OpenFilesRequest& request) {
  Impl& impl = *impl_;
  if (!impl.started) StartRuntimeWindow();
  if (!impl.started) return std::nullopt;
  std::string title = request.title.empty() ? std::string("打开") : ToUtf8Keep(request.title);
  GtkWidget* dialog = gtk_file_chooser_dialog_new(title.c_str(), ActiveTopLevel(impl), GTK_FILE_CHOOSER_ACTION_OPEN,
                                                  "取消(_C)", GTK_RESPONSE_CANCEL, "打开(_O)", GTK_RESPONSE_ACCEPT,
                                                  nullptr);
  // Enter accepts, as in the system's open dialog.
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_select_multiple(chooser, TRUE);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  std::vector<GtkFileFilter*> filters;
  for (const auto& [name, patterns] : request.filters) {
    GtkFileFilter* f = gtk_file_filter_new();
    gtk_file_filter_set_name(f, ToUtf8Keep(name).c_str());
    for (const std::string& p : SplitPatterns(patterns)) {
      // "*.*" means every file, as on Windows (also names without a dot).
      gtk_file_filter_add_pattern(f, p == "*.*" ? "*" : AnyCase(ToUtf8Keep(p)).c_str());
    }
    gtk_file_chooser_add_filter(chooser, f);
    filters.push_back(f);
  }
  if (!filters.empty())
    gtk_file_chooser_set_filter(chooser, filters[std::min<std::size_t>(static_cast<std::size_t>(std::max(0, request.filter_index)), filters.size() - 1)]);
  std::string folder = request.initial_directory.empty() ? std::string() : OsPath(request.initial_directory);
  if (folder.empty()) {
    gchar* cwd = g_get_current_dir();
    folder = cwd;
    g_free(cwd);
  }
  gtk_file_chooser_set_current_folder(chooser, folder.c_str());
  std::optional<std::vector<std::string>> out;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    GSList* names = gtk_file_chooser_get_filenames(chooser);
    std::vector<std::string> paths;
    for (GSList* l = names; l; l = l->next) {
      paths.push_back(rt::fileio::FromOsName(static_cast<const char*>(l->data)));
      g_free(l->data);
    }
    g_slist_free(names);
    if (!paths.empty()) {
      if (!request.keep_current_directory) {
        auto slash = paths.front().rfind('/');
        if (slash != std::string::npos) (void)os::SetCurrentDirectory(paths.front().substr(0, slash ? slash : 1));
      }
      out = std::move(paths);
    }
  }
  gtk_widget_destroy(dialog);
  return out;
}

std::optional<std::string> GtkBackend::BrowseForFolder(std::string_view title, std::string_view initial_folder) {
  Impl& impl = *impl_;
  if (!impl.started) StartRuntimeWindow();
  if (!impl.started) return std::nullopt;
  std::string caption = title.empty() ? std::string("选择文件夹") : ToUtf8Keep(title);
  GtkWidget* dialog = gtk_file_chooser_dialog_new(caption.c_str(), ActiveTopLevel(impl),
                                                  GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "取消(_C)",
                                                  GTK_RESPONSE_CANCEL, "选择(_S)", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  if (!initial_folder.empty()) gtk_file_chooser_set_current_folder(chooser, OsPath(initial_folder).c_str());
  std::optional<std::string> out;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
      out = rt::fileio::FromOsName(name);
      g_free(name);
    }
  }
  gtk_widget_destroy(dialog);
  return out;
}

}  // namespace tl::platform::gtk
