// The shell's folder browser driven through the declared DLL commands
// SHBrowseForFolderA, SHGetPathFromIDListA and SendMessageA, as the Windows
// program does it. rt::BrowseForFolder calls BrowseForFolderByShell where
// the backend has the shell's browser (the Win32 one); elsewhere (GTK, the
// tests' headless backend) the backend's own dialog answers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/os/dynamic_library.h"

namespace tl::rt {

// The browser's flags: 0x10 (edit box) unless `editBox` is given false,
// 0x40 (new dialog style) unless `newStyle` is given false, 0x4000 (include
// files) only when `includeFiles` is given true. None given: 0x50.
std::uint32_t FolderBrowserFlags(std::optional<bool> includeFiles, std::optional<bool> editBox,
                                 std::optional<bool> newStyle);

// The browse-info record of the shell (BROWSEINFOA), field for field.
using FolderBrowserCallback = int(TL_SYSTEM_CALL*)(void* window, std::uint32_t message, std::intptr_t lParam,
                                                   std::intptr_t data);
struct FolderBrowseInfo {
  void* owner = nullptr;
  const void* root = nullptr;
  char* displayName = nullptr;
  const char* title = nullptr;
  std::uint32_t flags = 0;
  FolderBrowserCallback callback = nullptr;
  std::intptr_t data = 0;
  int image = 0;
};

// The callback: on the dialog's initialised notification (1) it selects the
// initial folder kept for it (message 0x466 with wParam 1 and the folder
// text); every message gives 1. Until the dialog has shown that folder once,
// the first few changes of selection (2) select it again: a browser that
// fills its tree late (wine's) selects its own default after it.
int TL_SYSTEM_CALL FolderBrowserNotify(void* window, std::uint32_t message, std::intptr_t lParam,
                                       std::intptr_t data);
// The initial folder the callback selects (replaced by each browse).
const std::string& FolderBrowserInitialFolder();

// Shows the dialog (no owner, the desktop as root) titled `title`, opened
// at `initial`; the chosen folder as the shell gives it, nullopt on cancel.
// Where the system has no shell library the first declared call ends the
// program with its runtime error.
std::optional<std::string> BrowseForFolderByShell(std::string_view title, std::string_view initial,
                                                  std::uint32_t flags);

}  // namespace tl::rt
