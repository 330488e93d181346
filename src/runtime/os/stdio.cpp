// Reading standard input whole (runtime/os/stdio.h), shared by every OS.
#include <cstdio>
#include <cstdlib>

#include "runtime/os/stdin_hint.h"
#include "runtime/os/stdio.h"

namespace tl::os {

StdinBytes::~StdinBytes() { std::free(data_); }

bool StdinBytes::Read() {
  // Read, never mapped: a file that another program truncates meanwhile (a
  // log rotated with copytruncate) would make a mapping fault. A regular file
  // is read into one block of the size it has now; one spare byte sees the
  // end without growing the block.
  const std::optional<std::size_t> left = PrepareStdinForReading();
  std::size_t cap = left ? *left + 1 : std::size_t{1} << 20;
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

}  // namespace tl::os
