// The one file-processing path of the window's batch and tidyline-cli's:
// each file is read in its detected or chosen encoding, de-duplicated and
// shuffled as the options say, and written under its own name, in its own
// encoding, into the save folder "保存目录" beside the first file.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/process_text.h"

namespace tl::batch {

enum class FileStatus {
  kProcessed,
  kUnopenable,          // could not be opened for reading (missing, no permission)
  kUnreadable,          // could not be read whole as text
  kInvalidText,         // holds bytes that are not valid in its encoding
  kNotWritten,          // the result could not be written
  kWouldReplaceSource,  // the result would replace a file this batch reads
  kNameTaken,           // another source of the same name wrote that result
  kReported,            // failed, and the reason was already given (external mode)
};

struct FileResult {
  FileStatus status = FileStatus::kUnreadable;
  int encoding = 0;  // the source's EncodingCode; 0 when it was not read
                     // (for kInvalidText, the encoding it is not valid in)
  std::int64_t invalidAt = -1;  // kInvalidText: offset of the first invalid byte
  std::int64_t bytesIn = 0;
  std::int64_t bytesOut = 0;
};

// Why a file was not processed, as tidyline-cli reports it; empty for a
// processed file.
std::string ReasonOf(const FileResult& result);

// Told about each file as the batch goes.
class FileObserver {
 public:
  virtual ~FileObserver() = default;
  // Before file `index` (0-based) of `count`.
  virtual void FileStarting(std::size_t index, std::size_t count, std::string_view path) = 0;
  virtual void FileFinished(std::size_t index, std::string_view path, const FileResult& result) = 0;
  // May take a file in place of the in-memory path (tidyline-cli takes a
  // file larger than its memory budget through its external mode): true
  // when it did, with `result` filled. `target` is the result's checked path.
  virtual bool ProcessInstead(std::string_view path, const std::string& target, FileResult& result) {
    (void)path;
    (void)target;
    (void)result;
    return false;
  }
  // Asked after the yield that follows each file: true ends the batch there
  // (the window that started it has closed meanwhile).
  virtual bool Stopped() { return false; }
};

struct BatchOutcome {
  std::vector<FileResult> files;  // one per path, in order
  std::int64_t processed = 0;
  std::int64_t elapsedMs = 0;
  std::string saveFolder;  // ends with the separator; empty when nothing ran
  // The observer stopped the batch: `files` and `processed` cover the files
  // done so far, the rest were not looked at, and elapsedMs is not measured.
  bool stopped = false;
};

// The save folder of a batch whose first file is `firstPath`, ending with
// the separator; a path without any directory part uses the current
// directory (".").
std::string SaveFolderFor(std::string_view firstPath);

// Processes `paths` (full GBK paths, in order) into the save folder of the
// first, yielding to the message loop after each file:
// - a result is never written over a file of the batch's own list (a source
//   inside the save folder), and never over a result that another source of
//   the same name wrote earlier in this batch (the same source listed twice
//   is processed again);
// - the save folder is created when missing (if that fails, every file
//   fails);
// - an observer that reports Stopped() after a yield ends the batch at once;
// - the elapsed time is the tick difference taken modulo 2^32, so a tick
//   count that wraps during the batch still gives the true duration.
// An empty list does nothing.
BatchOutcome ProcessFiles(std::span<const std::string_view> paths, text::ProcessOptions& options,
                          FileObserver& observer);

}  // namespace tl::batch
