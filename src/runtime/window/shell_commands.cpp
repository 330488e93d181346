#include "runtime/window/shell_commands.h"

#include "runtime/platform/platform.h"
#include "runtime/window/shell_folder_browser.h"

namespace tl::rt {

std::optional<std::string> BrowseForFolder(std::string_view title, std::string_view initial) {
  platform::Platform* os = platform::Current();
  if (!os) return std::nullopt;
  // The shell's own browser, through the declared commands, where there is
  // one; a toolkit's dialog (or a test's answer) elsewhere.
  if (os->HasShellFolderBrowser())
    return BrowseForFolderByShell(title, initial, FolderBrowserFlags(std::nullopt, std::nullopt, std::nullopt));
  return os->BrowseForFolder(title, initial);
}

bool OpenDocument(std::string_view target, int showMode) {
  platform::Platform* os = platform::Current();
  return os && os->OpenDocument(target.substr(0, target.find('\0')), "open", showMode);
}

bool OpenFolderInBrowser(std::string_view path, bool newWindow, bool select) {
  platform::Platform* os = platform::Current();
  return os && os->OpenFolder(path.substr(0, path.find('\0')), newWindow, select);
}

}  // namespace tl::rt
