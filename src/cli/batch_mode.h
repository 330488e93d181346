// Batches of files: the same batch driver as the window, reporting on
// standard error and never asking anything.
#pragma once
#include <string>
#include <vector>

#include "cli/stdin_mode.h"
#include "text/process_text.h"

namespace tl::cli {

// Paths are program texts (GBK). Exit code 0 when every file was processed,
// 1 otherwise.
// `quiet` leaves out the status lines and the summary (failures are still named).
// Files that do not fit `stream.memory` go through external mode.
int RunBatchMode(const std::vector<std::string>& files, text::FixedOptions& options, const StreamRequest& stream);

struct FolderRequest {
  StreamRequest stream;  // the memory budget and the temporary folder
  std::string folder;  // program text
  std::string filter;  // program text; empty means "*.*"
  bool byObject = false;
  bool listOnly = false;
  bool quiet = false;
};
int RunFolderMode(const FolderRequest& request, text::FixedOptions& options);

}  // namespace tl::cli
