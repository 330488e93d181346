#include "runtime/window/shell_folder_browser.h"

#include <cstring>

#include "runtime/core/declared_commands.h"
#include "runtime/core/gbk_view.h"

namespace tl::rt {

namespace {

constexpr std::uint32_t kEditBox = 0x10;
constexpr std::uint32_t kNewDialogStyle = 0x40;
constexpr std::uint32_t kIncludeFiles = 0x4000;
constexpr std::uint32_t kInitialized = 1;         // BFFM_INITIALIZED
constexpr std::uint32_t kSelectionChanged = 2;    // BFFM_SELCHANGED
constexpr std::uint32_t kSetSelection = 0x466;    // BFFM_SETSELECTIONA
constexpr int kReselections = 5;

// The folder the callback selects, and whether the dialog has shown it.
struct Browse {
  std::string initial;
  bool shown = false;
  int tries = 0;
};

Browse& State() {
  static Browse browse;
  return browse;
}

void SelectInitial(void* window) {
  CallDeclaredDllCommand<std::intptr_t>(kDllSendMessageA, window, kSetSelection, static_cast<std::uintptr_t>(1),
                                        reinterpret_cast<std::intptr_t>(State().initial.c_str()));
}

// Folder names as the shell compares them: letters in either case, and a
// separator at the end or not (a whole one: "乗" ends in the same byte).
bool SameFolder(std::string_view a, std::string_view b) {
  const auto trim = [](std::string_view p) {
    while (p.size() > 1 && gbk::FindLastCharacter(p, '\\') == p.size() - 1) p.remove_suffix(1);
    return p;
  };
  return gbk::EqualsNoCase(trim(a), trim(b));
}

}  // namespace

std::uint32_t FolderBrowserFlags(std::optional<bool> includeFiles, std::optional<bool> editBox,
                                 std::optional<bool> newStyle) {
  std::uint32_t flags = 0;
  if (editBox.value_or(true)) flags |= kEditBox;
  if (newStyle.value_or(true)) flags |= kNewDialogStyle;
  if (includeFiles.value_or(false)) flags |= kIncludeFiles;
  return flags;
}

const std::string& FolderBrowserInitialFolder() { return State().initial; }

// A browser that fills its tree late (wine's) may select its own default
// folder after the initial one was selected: until the dialog has shown the
// initial folder once, the first few changes of selection ask for it again.
int TL_SYSTEM_CALL FolderBrowserNotify(void* window, std::uint32_t message, std::intptr_t lParam, std::intptr_t) {
  Browse& browse = State();
  if (message == kInitialized) SelectInitial(window);
  if (message == kSelectionChanged && !browse.shown && !browse.initial.empty()) {
    std::string path(520, '\0');
    if (lParam && CallDeclaredDllCommand<int>(kDllSHGetPathFromIDListA, reinterpret_cast<const void*>(lParam),
                                              path.data()) &&
        SameFolder(path.c_str(), browse.initial))
      browse.shown = true;
    else if (++browse.tries <= kReselections)
      SelectInitial(window);
  }
  return 1;
}

std::optional<std::string> BrowseForFolderByShell(std::string_view title, std::string_view initial,
                                                  std::uint32_t flags) {
  State() = Browse{std::string(initial.substr(0, initial.find('\0')))};
  const std::string caption(title.substr(0, title.find('\0')));
  FolderBrowseInfo info;
  info.title = caption.c_str();
  info.flags = flags;
  info.callback = &FolderBrowserNotify;
  void* chosen = CallDeclaredDllCommand<void*>(kDllSHBrowseForFolderA, &info);
  if (!chosen) return std::nullopt;
  // The shell writes at most MAX_PATH bytes and a NUL; the buffer is the
  // 512 spaces the program prepares. The name ends at its NUL: spaces at
  // either end belong to it.
  std::string buffer(512, ' ');
  const int ok = CallDeclaredDllCommand<int>(kDllSHGetPathFromIDListA, static_cast<const void*>(chosen), buffer.data());
  if (!ok) return std::nullopt;
  buffer.resize(std::strlen(buffer.c_str()));
  if (buffer.empty()) return std::nullopt;
  return buffer;
}

}  // namespace tl::rt
