// Processes on POSIX (runtime/os/process.h).
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/os/process.h"

extern char** environ;

namespace tl::os {

std::string ProgramPath() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  buf.resize(static_cast<std::size_t>(n));
  return rt::fileio::FromOsName(buf);
}

std::string CurrentDirectory() {
  std::string buf(4096, '\0');
  if (!::getcwd(buf.data(), buf.size())) return {};
  buf.resize(std::char_traits<char>::length(buf.data()));
  return rt::fileio::FromOsName(buf);
}

bool SetCurrentDirectory(std::string_view path) {
  return !path.empty() && ::chdir(rt::fileio::ToOsName(path).c_str()) == 0;
}

namespace {

// Splits a command line into words: blanks separate words, double quotes
// group, a backslash before a double quote escapes it (the Windows rules,
// simplified; nothing is expanded).
std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string cur;
  bool inWord = false, quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
      cur.push_back('"');
      inWord = true;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(std::move(cur));
      cur.clear();
      inWord = false;
    } else {
      cur.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(std::move(cur));
  return words;
}

std::vector<pid_t>& Unwaited() {
  static std::vector<pid_t> pids;
  return pids;
}

void ReapFinished() {
  auto& pids = Unwaited();
  for (std::size_t i = 0; i < pids.size();) {
    if (::waitpid(pids[i], nullptr, WNOHANG) != 0) {
      pids[i] = pids.back();
      pids.pop_back();
    } else {
      ++i;
    }
  }
}

}  // namespace

bool RunProgram(std::string_view commandLine, bool wait, int /*windowMode: no equivalent here*/) {
  ReapFinished();
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) return false;
  for (auto& w : words) w = rt::fileio::ToOsName(w);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  if (wait) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  } else {
    Unwaited().push_back(pid);
  }
  return true;
}

}  // namespace tl::os
