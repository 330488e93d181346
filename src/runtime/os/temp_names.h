// What the temporary-file services of every OS share (runtime/os/temp_files.h):
// the names, and the sweep of stale files, with per-OS hooks for what a
// process id means and when a stale file may go.
#pragma once
#include <string>
#include <string_view>

namespace tl::os {

// `dir` with a final separator (empty stays empty: the current folder).
std::string TempFolder(std::string_view dir);
// The process id in a name of ours, or 0 when the name is not one of ours.
unsigned long PidOfTempName(std::string_view name);
// folder + ".tidyline-<pid>-": a file's name is this and "<n>.tmp".
std::string TempStem(const std::string& folder, unsigned long pid);

// Per OS.
unsigned long CurrentProcessId();
bool ProcessGone(unsigned long pid);
// Removes a stale file unless somebody still holds it open.
bool RemoveStaleTempFile(const std::string& path);

}  // namespace tl::os
