// The user's settings folder on Windows (runtime/os/user_folder.h).
#include <windows.h>

#include <string>

#include "runtime/os/user_folder.h"

namespace tl::os {

std::string UserSettingsFolder() {
  // %APPDATA% in the ANSI code page, as every path of the program is.
  char buf[MAX_PATH + 1];
  const DWORD n = GetEnvironmentVariableA("APPDATA", buf, sizeof buf);
  if (n == 0 || n > MAX_PATH) return {};
  std::string folder(buf, n);
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder + "\\Tidyline";
}

}  // namespace tl::os
