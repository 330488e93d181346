// Reading a whole input stream for the command-line tool. Standard input is
// read, never mapped: a file that another program truncates meanwhile (a log
// rotated by copying and truncating) would make every later access to the
// lost pages a bus error. A regular file is read into one block of its size.
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

  // Reads standard input to its end (the bytes there are, should the file
  // shrink meanwhile); false (with errno set) on a read error.
  bool ReadStdin();
  std::string_view view() const { return {data_ ? data_ : "", size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// Writes all bytes to standard output; false on a write error.
bool WriteStdout(std::string_view bytes);

}  // namespace tl::cli
