// The batch driver: processes a list of files into the save folder
// "保存目录" beside the first file, reporting progress through a view.
//
// The main window implements the view with its status label, progress bar,
// message box and the system file browser; tidyline-cli implements it on
// standard error and never opens anything.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/core/value.h"
#include "text/process_text.h"

namespace tl::app {

class BatchView {
 public:
  virtual ~BatchView() = default;
  // GBK texts.
  virtual void SetStatusText(std::string_view text) = 0;
  virtual void SetProgressMaximum(std::int32_t maximum) = 0;
  virtual void SetProgressPosition(std::int32_t position) = 0;
  // A Yes/No question with the default caption; returns the button as
  // ShowMessage does: 5 Yes, 6 No.
  virtual int AskYesNo(std::string_view question) = 0;
  // Opens the folder in the system's file browser.
  virtual void OpenFolder(std::string_view folder) = 0;
  // A file that was not processed, with the reason (ASCII); after its
  // status text. Nothing by default.
  virtual void FileFailed(std::string_view path, std::string_view reason) {
    (void)path;
    (void)reason;
  }
  // Asked after the yield that follows each file: true ends the batch there,
  // without summary or question (the window that shows them has gone).
  virtual bool Stopped() { return false; }
};

struct BatchResult {
  std::int64_t total = 0;
  std::int64_t processed = 0;
  std::int64_t elapsedMs = 0;
  rt::Text saveFolder;  // ends with the separator; empty when nothing ran
};

// Processes `files` (full GBK paths, in order) with batch::ProcessFiles into
// the save folder of the first file's directory:
// - status "(n:i) <base name>\r\n" and progress i for each file, DoEvents
//   after each;
// - a result is never written over a file of the batch's own list (a source
//   inside the save folder), and never over a result that another source of
//   the same name wrote earlier in this batch; such files count as not
//   processed (the same source listed twice is processed again);
// - then the summary as status text, and the question "是否打开保存目录？"
//   whose answer 5 opens the folder;
// - the elapsed time is the tick difference taken modulo 2^32, so a tick
//   count that wraps during the batch still gives the true duration;
// - a view that reports Stopped() after a yield ends the batch at once.
// An empty list does nothing. A first path without any directory part uses
// the current directory.
// `unlisted` counts files of the listing whose names could not be carried
// through the program's text: never opened, they count as not processed.
BatchResult BatchProcess(const rt::TextArray& files, text::ProcessOptions& options, BatchView& view,
                         std::int64_t unlisted = 0);
BatchResult BatchProcess(std::span<const std::string> files, text::ProcessOptions& options, BatchView& view);

}  // namespace tl::app
