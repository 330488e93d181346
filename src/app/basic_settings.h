// The window's choices in the settings file: where the file lives, and the
// six keys of section "基本配置" that hold the state of seven controls.
#pragma once
#include <string>

namespace tl::app {

// Opens the settings file: "Tidyline.ini" beside the program when it can be
// opened for writing there; otherwise the same name in the user's settings
// folder (created when missing). When neither can be written the file beside
// the program still supplies its values. Returns the path opened.
std::string OpenSettings();

// onMainWindowCreated: restores the controls from the file (each missing key
// keeps the template's state) and puts the status label inside the
// progress bar.
void LoadBasicSettings();
// onMainWindowCloseQuery: writes the six keys, each at once.
void SaveBasicSettings();

}  // namespace tl::app
