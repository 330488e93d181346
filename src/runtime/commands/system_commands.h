// The program directory and running other programs.
#pragma once
#include <optional>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

// Recorded once at start-up; without a trailing separator. Until start-up
// records it, the directory of the running program file.
void SetProgramDirectory(std::string_view directory);
Text ProgramDirectory();

// Starts the command line as a new process with this process's current
// directory and environment. Window mode 1..6 (default 2; above 6 counts as
// 6, below 1 as 1) is passed where the platform has one. With wait, returns
// after the process has ended. False when it cannot be started.
bool RunProgram(std::string_view commandLine, std::optional<bool> wait = std::nullopt,
                std::optional<int> windowMode = std::nullopt);

// Tests record the programs started instead of starting them; null goes
// back to the operating system. Returns the previous launcher.
using ProgramLauncher = bool (*)(std::string_view commandLine, bool wait, int windowMode);
ProgramLauncher SetProgramLauncher(ProgramLauncher launcher);

extern const Command kProgramDirectory;
extern const Command kRunProgram;

}  // namespace tl::rt
