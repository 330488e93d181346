// tidyline-cli end to end, in process: arguments and standard input from the
// fuzz input, run in a scratch folder of small source files. Whatever the
// arguments, the exit code is 0, 1 or 2, every source is byte-identical
// afterwards and no temporary file is left behind. Input: argument count,
// arguments (mostly from the tool's own vocabulary), then standard input.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "support/temp_dir.h"
#include "runtime/core/random.h"

int TidylineCliMain(int argc, char** argv);

namespace {

namespace fsys = std::filesystem;

struct Source {
  const char* name;
  std::string bytes;
};

const std::vector<Source>& Sources() {
  static const std::vector<Source> sources = {
      {"a.txt", "777\r\n123\r\n321\r\n222\r\n777"},
      {"u8.txt", "\xEF\xBB\xBF" "b\r\n\xE4\xB8\xAD\r\nb"},
      {"w.txt", std::string("\xFF\xFE" "b\0\r\0\n\0a\0\r\0\n\0b\0", 16)},
      {"dir/b.log", "x\ny\nx\n"},
      {"dir/c.txt", std::string("\xD6\xD0\r\n\x1A", 5)},
  };
  return sources;
}

const fsys::path& Base() {
  static const fsys::path base = [] {
    const fsys::path dir = tl::test::MakeTempDir("tidyline-fuzz-");
    if (dir.empty()) tl::fuzz::Fail("cli", "no scratch directory");
    return dir;
  }();
  return base;
}

std::string ReadAll(const fsys::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void Lay(const fsys::path& work) {
  std::error_code ec;
  fsys::remove_all(work, ec);
  fsys::create_directories(work / "dir");
  for (const auto& s : Sources()) std::ofstream(work / s.name, std::ios::binary) << s.bytes;
}

#ifdef _WIN32
constexpr int kBinary = O_BINARY;
constexpr const char* kNullDevice = "NUL";
#else
constexpr int kBinary = 0;
constexpr const char* kNullDevice = "/dev/null";
#endif

// Standard streams pointed at files for the call, and back afterwards.
class Redirect {
 public:
  Redirect(const fsys::path& in, const fsys::path& out) {
    std::fflush(stdout);
    std::cout.flush();
    for (int fd = 0; fd < 3; ++fd) saved_[fd] = dup(fd);
    int i = open(in.string().c_str(), O_RDONLY | kBinary);
    int o = open(out.string().c_str(), O_WRONLY | O_CREAT | O_TRUNC | kBinary, 0600);
    int n = open(kNullDevice, O_WRONLY);
    dup2(i, 0);
    dup2(o, 1);
    dup2(n, 2);
    close(i);
    close(o);
    close(n);
  }
  ~Redirect() {
    std::fflush(stdout);
    std::cout.flush();
    std::cerr.flush();
    for (int fd = 0; fd < 3; ++fd) {
      dup2(saved_[fd], fd);
      close(saved_[fd]);
    }
    clearerr(stdin);
    clearerr(stdout);
  }

 private:
  int saved_[3];
};

}  // namespace

TIDYLINE_FUZZ_TARGET(cli) {
  static const char* const kWords[] = {
      "-d", "-s", "--separator", ",", "", "--seed", "7", "4294967296", "--encoding", "auto", "ansi", "utf-8",
      "unicode", "unicode-be", "big5", "--folder", "dir", "--filter", "*.txt|*.log", "*.?x*", "--by-object",
      "--list", "a.txt", "u8.txt", "w.txt", "dir/b.log", "dir/c.txt", "-", "--help", "missing.txt", ".",
      "\xA3\xAC", "\r\n", "--version", "-ds", "--dedupe", "--shuffle", "\xE4\xB8\xAD"};
  constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
  tl::fuzz::Input in(data, size);
  std::vector<std::string> args = {"tidyline-cli"};
  for (std::uint8_t n = in.Byte() % 9; n > 0; --n) {
    std::uint8_t w = in.Byte();
    std::string arg = w < 220 ? std::string(kWords[w % kWordCount]) : std::string(in.Piece(16));
    // Stay inside the scratch folder: no absolute paths, no way up.
    if (arg.find('/') != std::string::npos && arg != "dir/b.log" && arg != "dir/c.txt") arg = "a.txt";
    if (arg.find("..") != std::string::npos) arg = "a.txt";
    args.push_back(arg);
  }
  std::string_view input = in.Rest();

  const fsys::path work = Base() / "work";
  Lay(work);
  std::ofstream(Base() / "stdin", std::ios::binary | std::ios::trunc)
      .write(input.data(), static_cast<std::streamsize>(input.size()));

  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int code;
  {
    const fsys::path cwd = fsys::current_path();
    fsys::current_path(work);
    Redirect redirect(Base() / "stdin", Base() / "stdout");
    code = TidylineCliMain(static_cast<int>(args.size()), argv.data());
    fsys::current_path(cwd);
  }
  tl::rt::SetTickCountOverride(std::nullopt);

  std::string line;
  for (std::size_t i = 1; i < args.size(); ++i) line += "[" + args[i] + "]";
  if (code < 0 || code > 2) tl::fuzz::Fail("cli", "exit code out of range", line);
  for (const auto& s : Sources())
    if (ReadAll(work / s.name) != s.bytes) tl::fuzz::Fail("cli", "a source changed", line + " " + s.name);
  for (const auto& e : fsys::recursive_directory_iterator(work))
    if (e.path().extension() == ".tmp") tl::fuzz::Fail("cli", "a temporary file was left", line + " " + e.path().string());
  return 0;
}
