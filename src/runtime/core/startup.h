// Process start-up, the message loop and the shutdown sequence of the
// runtime. The program's entry routine calls InitRuntime first and
// RunMessageLoop last; the exit code then goes through ShutdownRuntime.
#pragma once
#include <string>
#include <string_view>

#include "runtime/os/files.h"
#include "runtime/window/window_runtime.h"

namespace tl::rt {

// What the program image contributes at start-up.
struct RuntimeImage {
  std::string_view template_segment;  // the window-template data segment
  HandlerResolver resolve_handler;    // stored handler value -> procedure
};

// In order: heap, automation, program directory as current directory,
// hidden runtime window, main thread, constant region, templates and their
// handlers. A segment that cannot be read ends in the runtime error dialog
// "载入窗口模板数据段出错!". Needs an installed platform backend; also
// installs the error dialog, the exit sequence and the DoEvents pump.
void InitRuntime(const RuntimeImage& image);

// Sets the start-up-finished flag and runs the loop while a loaded window
// exists; returns the quit code (0 when nothing was loaded).
int RunMessageLoop();

// The shutdown sequence for exit code `code` (without ending the process);
// the shutdown hook runs once, then is forgotten. ExitProgram runs this and
// then ends the process. Called on another thread it only forwards the code
// to the UI thread and ends the process at once, or, when a shutdown is
// already under way there, leaves the ending to it and never returns.
void ShutdownRuntime(int code);
bool ShuttingDown();

// Recorded by InitRuntime: the directory of the program (no trailing
// separator; empty when the path has none) and the program file name.
const std::string& ProgramDirectoryPath();
const std::string& ProgramFileName();

// The program file start-up takes its directory from; empty (the default)
// means the running program's own file. Tests start "as" another program.
void SetProgramPathForStartup(std::string path);

// The platform's path separator.
inline constexpr char kPathSeparator = fileio::kSeparator;

}  // namespace tl::rt
