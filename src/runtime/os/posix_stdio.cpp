// Standard input and output on POSIX (runtime/os/stdio.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "runtime/os/stdin_hint.h"
#include "runtime/os/stdio.h"

namespace tl::os {

std::optional<std::size_t> PrepareStdinForReading() {
  struct stat st;
  const off_t pos = lseek(STDIN_FILENO, 0, SEEK_CUR);
  if (fstat(STDIN_FILENO, &st) != 0 || !S_ISREG(st.st_mode) || pos < 0) return std::nullopt;
  return static_cast<std::size_t>(st.st_size > pos ? st.st_size - pos : 0);
}

bool WriteStdout(std::initializer_list<std::string_view> parts) {
  for (std::string_view bytes : parts)
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) return false;
  return std::fflush(stdout) == 0;
}

std::int64_t ReadStdinSome(void* buffer, std::size_t n) {
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, n);
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}

std::optional<StdinFile> StdinAsRegularFile() {
  struct stat st;
  if (fstat(STDIN_FILENO, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const off_t pos = lseek(STDIN_FILENO, 0, SEEK_CUR);
  if (pos < 0) return std::nullopt;
  return StdinFile{"/proc/self/fd/0", static_cast<std::int64_t>(pos)};
}

// Read, never mapped (see rt::fileio::ViewForReading).
std::optional<rt::fileio::FileView> ViewStdinToEnd(std::size_t) { return std::nullopt; }
void SeekStdin(std::int64_t offset) { ::lseek(STDIN_FILENO, static_cast<off_t>(offset), SEEK_SET); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace tl::os
