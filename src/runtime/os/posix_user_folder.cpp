// The user's settings folder on POSIX (runtime/os/user_folder.h).
#include "runtime/os/user_folder.h"

#include <cstdlib>

#include "runtime/os/files.h"

namespace tl::os {

std::string UserSettingsFolder() {
  // Relative values are ignored, as the XDG base-directory rules ask.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    return {};
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return rt::fileio::FromOsName(base) + "/tidyline";
}

}  // namespace tl::os
