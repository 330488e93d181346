// Standard input and output on Windows (runtime/os/stdio.h). Both streams
// are switched to binary: in text mode reading stops at the first 0x1A and
// line breaks are translated both ways.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/os/stdin_hint.h"
#include "runtime/os/stdio.h"

namespace tl::os {

namespace {
void MakeBinary(std::FILE* f) { _setmode(_fileno(f), _O_BINARY); }
}  // namespace

std::optional<std::size_t> PrepareStdinForReading() {
  MakeBinary(stdin);
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
  LARGE_INTEGER size{}, zero{}, pos{};
  if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) ||
      !SetFilePointerEx(h, zero, &pos, FILE_CURRENT))
    return std::nullopt;
  return static_cast<std::size_t>(size.QuadPart > pos.QuadPart ? size.QuadPart - pos.QuadPart : 0);
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

std::optional<rt::fileio::FileView> ViewStdinToEnd(std::size_t limit) {
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin)));
  LARGE_INTEGER size{}, zero{}, pos{};
  if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) ||
      !SetFilePointerEx(h, zero, &pos, FILE_CURRENT) || size.QuadPart <= pos.QuadPart ||
      static_cast<std::uint64_t>(size.QuadPart - pos.QuadPart) > limit)
    return std::nullopt;
  const auto n = static_cast<std::size_t>(size.QuadPart - pos.QuadPart);
  auto file = reinterpret_cast<rt::fileio::Handle>(h);
  std::optional<rt::fileio::FileView> view = rt::fileio::ViewForReading(file, pos.QuadPart, n);
  if (!view) return std::nullopt;
  // A file that has grown since its size was taken is read instead, to
  // its end.
  char more = 0;
  LARGE_INTEGER end{};
  if (rt::fileio::ReadAt(file, size.QuadPart, &more, 1) != 0 || !SetFilePointerEx(h, size, &end, FILE_BEGIN)) {
    rt::fileio::ReleaseView(*view);
    return std::nullopt;
  }
  return view;
}

void SeekStdin(std::int64_t offset) { _lseeki64(_fileno(stdin), offset, SEEK_SET); }

bool StderrIsTerminal() {
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR && GetConsoleMode(h, &mode);
}

}  // namespace tl::os
