// Standard input and output on Windows (runtime/os/stdio.h). Both streams
// are switched to binary: in text mode reading stops at the first 0x1A and
// line breaks are translated both ways.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/os/stdio.h"

namespace tl::os {

namespace {
void MakeBinary(std::FILE* f) { _setmode(_fileno(f), _O_BINARY); }
}  // namespace

StdinBytes::~StdinBytes() { std::free(data_); }

bool StdinBytes::Read() {
  MakeBinary(stdin);
  // A regular file is read into one block of the size it has now; one
  // spare byte sees the end without growing the block.
  std::size_t cap = 1 << 20;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
  LARGE_INTEGER size{}, zero{}, pos{};
  if (h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) &&
      SetFilePointerEx(h, zero, &pos, FILE_CURRENT))
    cap = static_cast<std::size_t>(size.QuadPart > pos.QuadPart ? size.QuadPart - pos.QuadPart : 0) + 1;
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
  MakeBinary(stdout);
  for (std::string_view bytes : parts)
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) return false;
  return std::fflush(stdout) == 0;
}

std::int64_t ReadStdinSome(void* buffer, std::size_t n) {
  static const bool binary = (MakeBinary(stdin), true);
  (void)binary;
  const unsigned int chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned int>(n);
  return _read(_fileno(stdin), buffer, chunk);
}

std::optional<StdinFile> StdinAsRegularFile() {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
  if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK) return std::nullopt;
  LARGE_INTEGER zero{}, pos{};
  if (!SetFilePointerEx(h, zero, &pos, FILE_CURRENT)) return std::nullopt;
  char name[MAX_PATH + 8];
  const DWORD n = GetFinalPathNameByHandleA(h, name, sizeof name, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= sizeof name) return std::nullopt;
  std::string path(name, n);
  // "\\?\C:\x" names the same file as "C:\x"; network paths stay as they are.
  if (path.starts_with("\\\\?\\") && path.size() > 6 && path[5] == ':') path.erase(0, 4);
  return StdinFile{path, pos.QuadPart};
}

bool StderrIsTerminal() {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR && GetConsoleMode(h, &mode);
}

}  // namespace tl::os
