// The per-user folder for the settings of a program installed where it may
// not write beside itself.
#pragma once
#include <string>

namespace tl::os {

// The user's Tidyline settings folder as a GBK path without a trailing
// separator: $XDG_CONFIG_HOME/tidyline, else $HOME/.config/tidyline on
// Linux; %APPDATA%\Tidyline on Windows. Empty when the environment names no
// such place. The folder is not created here.
std::string UserSettingsFolder();

}  // namespace tl::os
