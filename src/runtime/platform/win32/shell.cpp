// Documents, addresses and folders through the shell.
#include "runtime/os/process.h"
#include "runtime/platform/win32/win32_internal.h"
// After <windows.h>, which they need.
#include <shellapi.h>

namespace tl::platform::win32 {

bool Win32Backend::OpenDocument(std::string_view target, std::string_view verb, int show) {
  if (target.empty()) return false;
  std::string t(target), v(verb);
  auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, v.empty() ? nullptr : v.c_str(), t.c_str(), "", "", show));
  return result > 32;
}

bool Win32Backend::OpenFolder(std::string_view path, bool new_window, bool select) {
  if (path.empty()) return false;
  std::string command = "explorer ";
  command += select ? "/e,/select," : new_window ? "/n," : "";
  command += '"';
  command += path;
  command += '"';
  return os::RunProgram(command, false, SW_SHOWNORMAL);
}

}  // namespace tl::platform::win32
