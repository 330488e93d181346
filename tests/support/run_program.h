// Test helper: runs a program through the shell with given standard input
// and environment, and collects its exit code and output.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tl::test {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

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

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
}

// `env` entries are NAME=VALUE, put in front of the command.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& input, const std::vector<std::string>& env = {}) {
  char dir[] = "/tmp/tidyline-run-XXXXXX";
  if (!mkdtemp(dir)) return {};
  std::string base = dir;
  WriteWholeFile(base + "/in", input);
  std::string cmd = "env";
  for (const auto& e : env) cmd += " " + ShellQuote(e);
  cmd += " " + ShellQuote(program);
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  cmd += " < " + base + "/in > " + base + "/out 2> " + base + "/err";
  int status = std::system(cmd.c_str());
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadWholeFile(base + "/out");
  r.err = ReadWholeFile(base + "/err");
  std::system(("rm -rf " + base).c_str());
  return r;
}

}  // namespace tl::test
