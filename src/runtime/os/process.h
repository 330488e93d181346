// This process and the programs it starts: the program's own file, the
// current directory, and running a command line.
#pragma once
#include <string>
#include <string_view>

namespace tl::os {

// The running program's own file, as a full GBK path; empty when unknown.
std::string ProgramPath();

// GBK paths; SetCurrentDirectory is false for an empty path or a failure.
std::string CurrentDirectory();
bool SetCurrentDirectory(std::string_view path);

// Starts a command line (split like a shell would split words, without
// expanding anything) with this process's current directory and
// environment. With `wait`, waits for the end of the process; otherwise
// returns once it has started. The window mode (a SW_* command) is kept for
// platforms that have one. False when the program cannot be started.
bool RunProgram(std::string_view commandLine, bool wait, int windowMode);

}  // namespace tl::os
