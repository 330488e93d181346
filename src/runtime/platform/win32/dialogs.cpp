// Message boxes and the multi-select open-file dialog. The folder browser
// is the shell's, which the runtime drives through its declared commands
// (runtime/window/shell_folder_browser.h).
#include "runtime/platform/win32/win32_internal.h"
// After <windows.h>, which it needs.
#include <commdlg.h>

#include <algorithm>

namespace tl::platform::win32 {
namespace {

// The open-file dialog's first buffer; it grows when a selection needs more.
constexpr std::size_t kFileBuffer = 61440;
constexpr DWORD kOpenFlags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                             OFN_HIDEREADONLY;  // 0x1A04

// The window a dialog belongs to: our active window, when there is one.
HWND DialogOwner(Impl& impl) {
  HWND active = GetActiveWindow();
  Node* n = active ? impl.Get(active) : nullptr;
  return n && n->kind == WidgetKind::kTopWindow ? active : nullptr;
}

}  // namespace

int Win32Backend::MessageBox(std::string_view text, std::string_view caption, std::uint32_t style) {
  if (!impl_->started) StartRuntimeWindow();
  std::string t(text), c(caption);
  // No owner, as the runtime's boxes have none.
  return MessageBoxA(nullptr, t.c_str(), c.c_str(), style);
}

std::optional<std::vector<std::string>> Win32Backend::OpenFilesDialog(const OpenFilesRequest& request) {
  Impl& impl = *impl_;
  if (!impl.started) StartRuntimeWindow();
  // "name\0pattern\0...\0\0"
  std::string filter;
  for (const auto& [name, patterns] : request.filters) {
    filter += name;
    filter += '\0';
    filter += patterns;
    filter += '\0';
  }
  filter += '\0';
  std::string title = request.title, folder = request.initial_directory;
  std::vector<char> buffer(kFileBuffer, '\0');
  for (;;) {
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = DialogOwner(impl);
    ofn.lpstrFilter = request.filters.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filter_index + 1);
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.Flags = kOpenFlags | (request.keep_current_directory ? OFN_NOCHANGEDIR : 0);
    std::fill(buffer.begin(), buffer.end(), '\0');
    std::size_t need = 0;
    if (GetOpenFileNameA(&ofn)) {
      // Some dialogs (wine's) fill the buffer to its last byte and report
      // success: names cut off, without their end. The list ends with two
      // NULs inside the buffer, or it did not fit.
      if (buffer[buffer.size() - 1] == '\0' && buffer[buffer.size() - 2] == '\0') break;
    } else {
      if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL) return std::nullopt;
      // The first bytes say how much the selection needs.
      need = static_cast<unsigned char>(buffer[0]) | (static_cast<unsigned char>(buffer[1]) << 8);
    }
    // The dialog is shown again with room for the selection.
    std::size_t grown = std::max(buffer.size() * 2, need + 2);
    if (grown > (64u << 20)) return std::nullopt;
    buffer.assign(grown, '\0');
  }
  // One name: the full path. Several: the folder, then each name.
  std::vector<std::string> parts;
  for (std::size_t at = 0; at < buffer.size() && buffer[at];) {
    std::size_t end = at;
    while (end < buffer.size() && buffer[end]) ++end;
    parts.emplace_back(buffer.data() + at, end - at);
    at = end + 1;
  }
  if (parts.empty()) return std::nullopt;
  if (parts.size() == 1) return parts;
  std::string dir = parts[0];
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  std::vector<std::string> out;
  for (std::size_t i = 1; i < parts.size(); ++i) out.push_back(dir + parts[i]);
  return out;
}

std::optional<std::string> Win32Backend::BrowseForFolder(std::string_view, std::string_view) {
  return std::nullopt;
}

}  // namespace tl::platform::win32
