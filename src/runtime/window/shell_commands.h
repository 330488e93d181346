// The shell services the application reaches through the runtime: the
// folder browser, opening a document or web address, and the system's file
// browser. Failures are results; nothing here is fatal.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tl::rt {

// The folder dialog with `title`, opened at `initial` (empty: the system's
// choice). The chosen folder exactly as the dialog gives it; nullopt on
// cancel or when there is no window system.
std::optional<std::string> BrowseForFolder(std::string_view title, std::string_view initial);
// Opens a document or address with its registered program (verb "open").
bool OpenDocument(std::string_view target, int showMode);
// Opens the file browser on `path` (select: on the item inside its folder).
bool OpenFolderInBrowser(std::string_view path, bool newWindow, bool select);

}  // namespace tl::rt
