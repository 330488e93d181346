// Temporary files of this program: the results written beside their final
// name and renamed into place, and the spill files of tidyline-cli's
// external mode. All are named ".tidyline-<process id>-<n>.tmp" and opened
// with exclusive sharing, so that
// - an interrupt (SIGINT, SIGTERM) removes every one still registered before
//   the process ends (exit status 128 + the signal's number), and
// - a later run that creates a temporary file in the same folder removes the
//   stale ones whose writer is gone (killed outright): their process no
//   longer exists and nobody holds them open.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/os/files.h"

namespace tl::os {

struct TempFile {
  std::string path;  // program text (GBK)
  rt::fileio::Handle handle = rt::fileio::kNoHandle;
};

// Creates a fresh temporary file in folder `dir` (a program-text path, with
// or without a final separator; empty: the current folder), open for reading
// and writing, and registers it for removal on an interrupt. The first call
// for a folder sweeps that folder's stale temporary files. nullopt when no
// file could be created.
std::optional<TempFile> CreateTempFile(std::string_view dir);
// Closes the file (when open) and renames it over `target`, which keeps its
// permissions when it exists; the file is removed when that fails. Either way it is no longer registered.
bool CommitTempFile(TempFile& file, std::string_view target);
// Closes (when open) and removes the file, and unregisters it.
void DiscardTempFile(TempFile& file);

// SIGINT and SIGTERM (and SIGPIPE, SIGHUP) remove the registered files and
// end the process with status 128 + the signal: 130 and 143. Signals that
// were ignored when the process started stay ignored. For tidyline-cli; call
// once at start-up.
void InstallInterruptCleanup();

// Removes the stale temporary files of this program in `dir`; returns how
// many. Files of live writers are left alone.
std::size_t SweepStaleTempFiles(std::string_view dir);

// The prefix and suffix of the names (for tests).
inline constexpr std::string_view kTempPrefix = ".tidyline-";
inline constexpr std::string_view kTempSuffix = ".tmp";

// How many files are registered now (for tests).
std::size_t RegisteredTempFiles();

}  // namespace tl::os
