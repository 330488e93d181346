// Standard input and output as whole byte streams (binary, no newline
// translation).
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/os/files.h"

namespace tl::os {

class StdinBytes {
 public:
  StdinBytes() = default;
  StdinBytes(const StdinBytes&) = delete;
  StdinBytes& operator=(const StdinBytes&) = delete;
  ~StdinBytes();

  // Reads standard input to its end; false (with errno set) on a read error.
  bool Read();
  std::string_view view() const { return {data_ ? data_ : "", size_}; }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// Writes the parts one after another to standard output, then flushes;
// false on a write error.
bool WriteStdout(std::initializer_list<std::string_view> parts);

// Reads up to n bytes of standard input: bytes read, 0 at its end, -1 on a
// read error. For input read piece by piece (not mixed with StdinBytes).
std::int64_t ReadStdinSome(void* buffer, std::size_t n);

// When standard input is a regular file: a path that opens that same file
// and the offset standard input stands at, so it can be read in place
// instead of through the stream.
struct StdinFile {
  std::string path;
  std::int64_t offset = 0;
};
std::optional<StdinFile> StdinAsRegularFile();
// Moves standard input, a regular file read in place, to `offset`, as though
// it had been read up to there.
void SeekStdin(std::int64_t offset);

// Standard input from where it stands to its end as a view
// (rt::fileio::ViewForReading) when it is a regular file of 1 to `limit`
// bytes that can be viewed; standard input then stands at its end, as if
// read. nullopt: read it.
std::optional<rt::fileio::FileView> ViewStdinToEnd(std::size_t limit);

// True when standard error is a terminal (progress lines go only there).
bool StderrIsTerminal();

}  // namespace tl::os
