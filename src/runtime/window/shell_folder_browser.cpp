#include "runtime/window/shell_folder_browser.h"

#include <cstring>

#include "runtime/core/declared_commands.h"

namespace tl::rt {

namespace {

constexpr std::uint32_t kEditBox = 0x10;
constexpr std::uint32_t kNewDialogStyle = 0x40;
constexpr std::uint32_t kIncludeFiles = 0x4000;
constexpr std::uint32_t kInitialized = 1;         // BFFM_INITIALIZED
constexpr std::uint32_t kSetSelection = 0x466;    // BFFM_SETSELECTIONA

std::string& InitialFolder() {
  static std::string folder;
  return folder;
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

const std::string& FolderBrowserInitialFolder() { return InitialFolder(); }

int TL_SYSTEM_CALL FolderBrowserNotify(void* window, std::uint32_t message, std::intptr_t, std::intptr_t) {
  if (message == kInitialized)
    CallDeclaredDllCommand<std::intptr_t>(kDllSendMessageA, window, kSetSelection, static_cast<std::uintptr_t>(1),
                                          reinterpret_cast<std::intptr_t>(InitialFolder().c_str()));
  return 1;
}

std::optional<std::string> BrowseForFolderByShell(std::string_view title, std::string_view initial,
                                                  std::uint32_t flags) {
  InitialFolder() = std::string(initial.substr(0, initial.find('\0')));
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
