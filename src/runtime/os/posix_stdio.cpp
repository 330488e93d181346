// Standard input and output on POSIX (runtime/os/stdio.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "runtime/os/stdio.h"

namespace tl::os {

StdinBytes::~StdinBytes() { std::free(data_); }

bool StdinBytes::Read() {
  // Read, never mapped: a file that another program truncates meanwhile (a
  // log rotated with copytruncate) would make a mapping fault. A regular file
  // is read into one block of the size it has now; one spare byte sees the
  // end without growing the block.
  std::size_t cap = 1 << 20;
  struct stat st;
  const off_t pos = lseek(STDIN_FILENO, 0, SEEK_CUR);
  if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && pos >= 0)
    cap = static_cast<std::size_t>(st.st_size > pos ? st.st_size - pos : 0) + 1;
  data_ = static_cast<char*>(std::malloc(cap));
  if (!data_) return false;
  for (;;) {
    if (size_ == cap) {
      cap *= 2;
      char* grown = static_cast<char*>(std::realloc(data_, cap));
      if (!grown) return false;
      data_ = grown;
    }
    std::size_t got = std::fread(data_ + size_, 1, cap - size_, stdin);
    size_ += got;
    if (got == 0) return !std::ferror(stdin);
  }
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

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace tl::os
