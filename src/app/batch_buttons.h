// The batch started from the main window: the two batch buttons, files
// dropped on the window, and the view that shows a batch's progress.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "runtime/core/value.h"

namespace tl::app {

// The folder dialog (opened at the folder chosen last in this run), the
// listing of its files that the filter box accepts, and the batch over them:
// by-object lists through the file-system object, else with the directory
// search. Cancel ends it silently.
void ChooseFolderAndList(bool byObject);

// Runs the batch over `files` on the main window: status label, progress
// bar, summary, the question and the file browser. `unlisted` files of a
// listing could not be named in the program's text and count as failed.
void RunWindowBatch(const rt::TextArray& files, std::int64_t unlisted = 0);

// Files and folders dropped on the main window, in drop order: each folder
// becomes the files of it that the filter box accepts (as the folder
// button lists them), each file stays itself; then one batch over all.
void DropFiles(std::span<const std::string> paths);

}  // namespace tl::app
