#include "runtime/commands/system_commands.h"

#include <string>
#include <utility>

#include "runtime/core/gbk_view.h"
#include "runtime/os/files.h"
#include "runtime/os/process.h"

namespace tl::rt {

namespace {

ProgramLauncher g_launcher = nullptr;

std::string& Recorded() {
  static std::string dir;
  return dir;
}

// Only whole separators go: "\" may end a two-byte GBK character.
std::string WithoutTrailingSeparator(std::string_view d) {
  while (d.size() > 1 && gbk::FindLastSeparator(d) == d.size() - 1) d.remove_suffix(1);
  return std::string(d);
}

}  // namespace

void SetProgramDirectory(std::string_view directory) { Recorded() = WithoutTrailingSeparator(directory); }

Text ProgramDirectory() {
  std::string& dir = Recorded();
  if (dir.empty()) {
    std::string exe = os::ProgramPath();
    std::size_t slash = gbk::FindLastSeparator(exe);
    if (slash != std::string::npos) dir = WithoutTrailingSeparator(exe.substr(0, slash == 0 ? 1 : slash));
  }
  return Text(dir);
}

bool RunProgram(std::string_view commandLine, std::optional<bool> wait, std::optional<int> windowMode) {
  if (commandLine.empty()) return false;
  int mode = windowMode.value_or(2);
  mode = mode < 1 ? 1 : mode > 6 ? 6 : mode;
  return g_launcher ? g_launcher(commandLine, wait.value_or(false), mode)
                    : os::RunProgram(commandLine, wait.value_or(false), mode);
}

ProgramLauncher SetProgramLauncher(ProgramLauncher launcher) { return std::exchange(g_launcher, launcher); }

const Command kProgramDirectory{"ProgramDirectory", [](ResultRecord& r, int, const TypedArg*) {
  ReturnText(r, ProgramDirectory());
}};

const Command kRunProgram{"RunProgram", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, RunProgram(ArgText(argc, args, 0), ArgBool(argc, args, 1), ArgInt(argc, args, 2)));
}};

}  // namespace tl::rt
