// Test helper: runs a program directly (no shell) with given standard input
// and extra environment entries, and collects its exit code and output.
// POSIX: fork and exec (the program is looked up on PATH); Windows:
// CreateProcessA with the arguments quoted as the C runtime reads them.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tl::test {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A word for sh -c, quoted.
inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

#ifdef _WIN32
// One argument as the C runtime's command-line parser gives it back.
inline std::string QuoteArgument(const std::string& a) {
  if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos) return a;
  std::string q = "\"";
  std::size_t slashes = 0;
  for (char c : a) {
    if (c == '\\') {
      ++slashes;
    } else {
      if (c == '"') q.append(slashes + 1, '\\');
      slashes = 0;
    }
    q += c;
  }
  q.append(slashes, '\\');
  return q + "\"";
}
#endif

// `env` entries are NAME=VALUE, added to (or replacing in) the caller's
// environment.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& input, const std::vector<std::string>& env = {}) {
  const std::filesystem::path dir = MakeTempDir();
  if (dir.empty()) return {};
  WriteWholeFile(dir / "in", input);
  RunResult r;
#ifdef _WIN32
  std::string cmd = QuoteArgument(program);
  for (const auto& a : args) cmd += " " + QuoteArgument(a);
  // The environment block: the caller's entries that `env` does not name,
  // then `env`.
  std::string block;
  if (char* own = GetEnvironmentStringsA()) {
    for (const char* p = own; *p; p += std::strlen(p) + 1) {
      const std::string entry(p);
      bool replaced = false;
      for (const auto& e : env) {
        const std::size_t eq = e.find('=');
        if (eq != std::string::npos && _strnicmp(entry.c_str(), e.c_str(), eq + 1) == 0) replaced = true;
      }
      if (!replaced) block += entry + '\0';
    }
    FreeEnvironmentStringsA(own);
  }
  for (const auto& e : env) block += e + '\0';
  block += '\0';
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  auto open = [&](const char* name, bool write) {
    return CreateFileW((dir / name).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE in = open("in", false), out = open("out", true), err = open("err", true);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, block.data(), nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    r.exitCode = static_cast<int>(code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  for (HANDLE h : {in, out, err})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
#else
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open((dir / "in").c_str(), O_RDONLY);
    const int out = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  r.out = ReadWholeFile(dir / "out");
  r.err = ReadWholeFile(dir / "err");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return r;
}

// This process's id, as the tools name their temporary files by.
inline long CurrentProcessId() {
#ifdef _WIN32
  return static_cast<long>(GetCurrentProcessId());
#else
  return static_cast<long>(getpid());
#endif
}

// The id of a process that has already ended (a writer killed outright):
// POSIX forks a child that exits at once; Windows starts `program` with no
// arguments and no console streams and waits for it. -1 if none could be
// started.
inline long EndedProcessId([[maybe_unused]] const std::string& program) {
#ifdef _WIN32
  std::string cmd = QuoteArgument(program) + " --version";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<long>(pi.dwProcessId);
#else
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  if (pid < 0) return -1;
  waitpid(pid, nullptr, 0);
  return static_cast<long>(pid);
#endif
}

// A program started with its standard streams on the null device, to be
// stopped outright while it works (SIGKILL; TerminateProcess on Windows).
class Started {
 public:
  explicit Started(const std::vector<std::string>& argv) {
#ifdef _WIN32
    std::string cmd;
    for (const auto& a : argv) cmd += (cmd.empty() ? "" : " ") + QuoteArgument(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
      CloseHandle(pi.hThread);
      process_ = pi.hProcess;
    }
#else
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
#endif
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  ~Started() { Kill(); }

  bool ok() const {
#ifdef _WIN32
    return process_ != nullptr;
#else
    return pid_ > 0;
#endif
  }

  // Stops the program at once and waits for it; true when it was still
  // running (so it was the kill that ended it).
  bool Kill() {
#ifdef _WIN32
    if (!process_) return false;
    const bool running = WaitForSingleObject(process_, 0) == WAIT_TIMEOUT && TerminateProcess(process_, 137);
    WaitForSingleObject(process_, INFINITE);
    CloseHandle(process_);
    process_ = nullptr;
    return running;
#else
    if (pid_ <= 0) return false;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFSIGNALED(status);
#endif
  }

 private:
#ifdef _WIN32
  HANDLE process_ = nullptr;
#else
  pid_t pid_ = -1;
#endif
};

}  // namespace tl::test
