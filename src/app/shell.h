// Opening web pages, folders and programs through the shell.
#pragma once
#include <string>
#include <string_view>

namespace tl::app {

// Asks the shell to open a document or address in its registered program;
// nothing is reported when that fails.
void OpenUrl(std::string_view url);

struct ExplorerOptions {
  bool newWindow = false;
  bool openItself = false;  // open the item, not its folder with it selected
  bool root = false;        // cut the path at its last separator first
  bool wait = false;
  int showMode = 2;
};

// The file browser on `path`:
// - root: `path` (the caller's text) is cut before its last separator;
// - openItself with a path ending in ".exe" (any case): runs that program;
// - otherwise the system's file browser: on Windows the command line
//   ExplorerCommandLine, elsewhere the platform's folder opener, on the item
//   itself (openItself or root) or on its folder with the item selected.
// False when nothing could be started.
bool OpenInExplorer(std::string& path, const ExplorerOptions& options = {});

// "explorer " + ("/n" or "/e") + "," + ("" with openItself or root, else
// "/select,") + ("/root," with root) + the path in double quotes.
std::string ExplorerCommandLine(std::string_view path, const ExplorerOptions& options);

}  // namespace tl::app
