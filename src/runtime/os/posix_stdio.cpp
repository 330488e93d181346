// Standard input and output on POSIX (runtime/os/stdio.h).
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/os/stdio.h"

namespace tl::os {

StdinBytes::~StdinBytes() {
  if (mapped_) {
    munmap(data_, size_);
    return;
  }
  std::free(data_);
}

bool StdinBytes::Read() {
  struct stat st;
  off_t pos = lseek(STDIN_FILENO, 0, SEEK_CUR);
  if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && pos == 0) {
    if (st.st_size == 0) return true;
    std::size_t len = static_cast<std::size_t>(st.st_size);
    void* p = mmap(nullptr, len, PROT_READ, MAP_PRIVATE | MAP_POPULATE, STDIN_FILENO, 0);
    if (p != MAP_FAILED) {
      data_ = static_cast<char*>(p);
      size_ = len;
      mapped_ = true;
      return true;
    }
  }
  std::size_t cap = 1 << 20;
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

}  // namespace tl::os
