// Reading a whole input stream for the command-line tool. A regular file on
// standard input is mapped rather than copied, so an 80 MB input costs no
// extra 80 MB.
#pragma once
#include <cstddef>
#include <string_view>

namespace tl::cli {

class InputBytes {
 public:
  InputBytes() = default;
  InputBytes(const InputBytes&) = delete;
  InputBytes& operator=(const InputBytes&) = delete;
  ~InputBytes();

  // Reads standard input to its end; false (with errno set) on a read error.
  bool ReadStdin();
  std::string_view view() const { return {data_ ? data_ : "", size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

// Writes all bytes to standard output; false on a write error.
bool WriteStdout(std::string_view bytes);

}  // namespace tl::cli
