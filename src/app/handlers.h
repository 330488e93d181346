// The event handlers that the main window's template binds (see the event
// table in main_window_template.cpp). None takes arguments or returns a
// value.
#pragma once

namespace tl::app {

void onMainWindowCreated();
void onMainWindowCloseQuery();
// Text buttons.
void onPasteClick();
void onProcessClick();
void onCopyClick();
// Batch buttons.
void onChooseFilesClick();
void onChooseFolderClick();
void onChooseFolderRightDown();
// Banner.
void onSlideTimer();
void onLogoClick();
void onHomepageImageClick();

}  // namespace tl::app
