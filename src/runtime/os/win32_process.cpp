// Processes on Windows (runtime/os/process.h). Paths are GBK, which is the
// ANSI code page the -A functions speak.
#include <windows.h>
// The header maps this name to SetCurrentDirectoryA; ours is a function of its own.
#undef SetCurrentDirectory

#include <string>

#include "runtime/os/process.h"

namespace tl::os {

std::string ProgramPath() {
  std::string buf(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

std::string CurrentDirectory() {
  DWORD n = GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return {};
  std::string buf(n, '\0');
  n = GetCurrentDirectoryA(n, buf.data());
  if (n == 0 || n >= buf.size()) return {};
  buf.resize(n);
  return buf;
}

bool SetCurrentDirectory(std::string_view path) {
  return !path.empty() && SetCurrentDirectoryA(std::string(path).c_str()) != 0;
}

bool RunProgram(std::string_view commandLine, bool wait, int windowMode) {
  if (commandLine.find_first_not_of(" \t") == std::string_view::npos) return false;
  // CreateProcessA may write into the command line.
  std::string line(commandLine);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(windowMode);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  if (wait) WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace tl::os
