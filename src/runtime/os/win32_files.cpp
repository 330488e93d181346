// Files and directory search on Windows (runtime/os/files.h). Paths are the
// program's GBK texts, which is the ANSI code page the -A functions speak,
// so names pass unchanged. The sharing modes are the system's share flags.
#include <windows.h>
// After <windows.h>, which it needs.
#include <winternl.h>

#include <cerrno>
#include <string>

#include "runtime/os/files.h"

namespace tl::rt::fileio {

namespace {

HANDLE Raw(Handle h) { return reinterpret_cast<HANDLE>(h); }

// The system's reason for the last failure as errno, which the callers'
// messages name (they would say "unknown error" otherwise).
void KeepError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_USER_MAPPED_FILE: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_FILENAME_EXCED_RANGE: errno = ENAMETOOLONG; break;
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER: errno = EINVAL; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: errno = ENOMEM; break;
    case ERROR_NOT_READY:
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    default: errno = EIO; break;
  }
}

// KeepError, for a failure to return.
template <typename T>
T Failed(T result) {
  KeepError();
  return result;
}

DWORD ShareFlags(Share share) {
  switch (share) {
    case Share::kReadWrite: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case Share::kWrite: return FILE_SHARE_WRITE;
    case Share::kRead: return FILE_SHARE_READ;
    case Share::kNone: return 0;
  }
  return 0;
}

// ReadFile and WriteFile take at most 4 GiB - 1 per call.
constexpr std::size_t kMaxChunk = 1u << 30;

OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
  o.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  return o;
}

}  // namespace

Handle Open(std::string_view path, Access access, Disposition disposition, Share share) {
  if (path.empty()) return kNoHandle;
  DWORD desired = access == Access::kRead    ? GENERIC_READ
                  : access == Access::kWrite ? GENERIC_WRITE
                                             : GENERIC_READ | GENERIC_WRITE;
  DWORD create = OPEN_EXISTING;
  switch (disposition) {
    case Disposition::kOpenExisting: create = OPEN_EXISTING; break;
    // Truncated below, after the share check has let us in: CREATE_ALWAYS
    // would also refuse hidden files.
    case Disposition::kCreateOrTruncate: create = OPEN_ALWAYS; break;
    case Disposition::kOpenOrCreate: create = OPEN_ALWAYS; break;
    case Disposition::kCreateNew: create = CREATE_NEW; break;
  }
  HANDLE h = CreateFileA(std::string(path).c_str(), desired, ShareFlags(share), nullptr, create,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed(kNoHandle);
  // Regular files only: no devices ("CON", "NUL"), pipes or directories.
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(h);
    errno = EISDIR;
    return kNoHandle;
  }
  if (disposition == Disposition::kCreateOrTruncate && !SetEndOfFile(h)) {
    KeepError();
    CloseHandle(h);
    return kNoHandle;
  }
  return reinterpret_cast<Handle>(h);
}

void Close(Handle h) {
  if (h != kNoHandle) CloseHandle(Raw(h));
}

std::int64_t ReadAt(Handle h, std::int64_t offset, void* buffer, std::size_t n) {
  if (h == kNoHandle || offset < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const DWORD want = static_cast<DWORD>(n - done < kMaxChunk ? n - done : kMaxChunk);
    OVERLAPPED o = At(offset + static_cast<std::int64_t>(done));
    DWORD got = 0;
    if (!ReadFile(Raw(h), p + done, want, &got, &o)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return Failed(std::int64_t{-1});
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<std::int64_t>(done);
}

bool WriteAt(Handle h, std::int64_t offset, const void* data, std::size_t n) {
  if (h == kNoHandle || offset < 0) return false;
  auto* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < n) {
    const DWORD want = static_cast<DWORD>(n - done < kMaxChunk ? n - done : kMaxChunk);
    OVERLAPPED o = At(offset + static_cast<std::int64_t>(done));
    DWORD put = 0;
    if (!WriteFile(Raw(h), p + done, want, &put, &o) || put == 0) return Failed(false);
    done += put;
  }
  return true;
}

std::int64_t Size(Handle h) {
  LARGE_INTEGER size{};
  if (h == kNoHandle || !GetFileSizeEx(Raw(h), &size)) return -1;
  return size.QuadPart;
}

bool Resize(Handle h, std::int64_t size) {
  if (h == kNoHandle || size < 0) return false;
  LARGE_INTEGER to{};
  to.QuadPart = size;
  return SetFilePointerEx(Raw(h), to, nullptr, FILE_BEGIN) && SetEndOfFile(Raw(h));
}

bool MakeDirectory(std::string_view path) {
  return !path.empty() && (CreateDirectoryA(std::string(path).c_str(), nullptr) != 0 || Failed(false));
}

bool Rename(std::string_view from, std::string_view to) {
  return MoveFileExA(std::string(from).c_str(), std::string(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0 ||
         Failed(false);
}

bool RemoveFile(std::string_view path) { return DeleteFileA(std::string(path).c_str()) != 0 || Failed(false); }

std::optional<FileIdentity> IdentityOf(std::string_view path) {
  if (path.empty()) return std::nullopt;
  // No access asked for, everything shared, directories allowed: this sees
  // files that others hold open exclusively.
  HANDLE h = CreateFileA(std::string(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// ---------------------------------------------------------------------------
// Directory search: the system's own, wildcard matching included.

class DirSearch {
 public:
  HANDLE find = INVALID_HANDLE_VALUE;
};

namespace {

constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
    FILE_ATTRIBUTE_ARCHIVE;

// Names come from the wide search and are converted here without best
// fit: the -A search would hand back "?" or a look-alike for a character
// outside the ANSI code page, and a look-alike can name another file.
// Such a name is kept out (nameKept false), shown with "?" in its place.
void Fill(const WIN32_FIND_DATAW& d, DirEntry& out) {
  const int n = static_cast<int>(wcslen(d.cFileName));
  BOOL lost = FALSE;
  std::string name(static_cast<std::size_t>(n) * 2 + 1, '\0');
  const int got = n == 0 ? 0
                         : WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, d.cFileName, n, name.data(),
                                               static_cast<int>(name.size()), "?", &lost);
  name.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  out.name = std::move(name);
  out.nameKept = got > 0 && !lost;
  out.attributes = d.dwFileAttributes & kKeptAttributes;
}

}  // namespace

DirSearch* FindFirst(std::string_view pattern, DirEntry& first) {
  if (pattern.empty()) return nullptr;
  const std::string p(pattern);
  const int n = MultiByteToWideChar(CP_ACP, 0, p.data(), static_cast<int>(p.size()), nullptr, 0);
  if (n <= 0) return nullptr;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, p.data(), static_cast<int>(p.size()), wide.data(), n);
  WIN32_FIND_DATAW d{};
  HANDLE find = FindFirstFileW(wide.c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return nullptr;
  Fill(d, first);
  auto* s = new DirSearch;
  s->find = find;
  return s;
}

bool FindNext(DirSearch* search, DirEntry& next) {
  if (!search || search->find == INVALID_HANDLE_VALUE) return false;
  WIN32_FIND_DATAW d{};
  if (!FindNextFileW(search->find, &d)) return false;
  Fill(d, next);
  return true;
}

void FindClose(DirSearch* search) {
  if (!search) return;
  if (search->find != INVALID_HANDLE_VALUE) ::FindClose(search->find);
  delete search;
}

// The -A functions take the ANSI code page, which is the program's own.
std::string ToOsName(std::string_view programText) { return std::string(programText); }
std::string FromOsName(std::string_view osName) { return std::string(osName); }

namespace {

// A view of a network or removable file would raise an exception where a
// read reports an error. The device is asked by handle: a handle inherited
// as standard input may have no name to ask about.
bool OnLocalFixedDisk(HANDLE h) {
  using Query = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FS_INFORMATION_CLASS);
  static const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryVolumeInformationFile")));
  constexpr ULONG kDisk = 7, kDiskFileSystem = 8;           // FILE_DEVICE_DISK(_FILE_SYSTEM)
  constexpr ULONG kRemovable = 0x1, kFloppy = 0x4, kRemote = 0x10;  // FILE_* characteristics
  IO_STATUS_BLOCK io{};
  FILE_FS_DEVICE_INFORMATION info{};
  if (!query || query(h, &io, &info, sizeof info, FileFsDeviceInformation) < 0) return false;
  return (info.DeviceType == kDisk || info.DeviceType == kDiskFileSystem) &&
         (info.Characteristics & (kRemovable | kFloppy | kRemote)) == 0;
}

}  // namespace

std::optional<FileView> ViewForReading(Handle h, std::int64_t offset, std::size_t size) {
  if (h == kNoHandle || offset < 0 || size == 0 || GetFileType(Raw(h)) != FILE_TYPE_DISK) return std::nullopt;
  if (!OnLocalFixedDisk(Raw(h))) return std::nullopt;

  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const auto grain = static_cast<std::int64_t>(info.dwAllocationGranularity);
  const std::int64_t start = offset / grain * grain;
  const auto lead = static_cast<std::size_t>(offset - start);
  HANDLE mapping = CreateFileMappingA(Raw(h), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return std::nullopt;
  void* base = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(static_cast<std::uint64_t>(start) >> 32),
                             static_cast<DWORD>(start), lead + size);
  // The view keeps the mapping alive.
  CloseHandle(mapping);
  if (!base) return std::nullopt;
  return FileView{static_cast<const char*>(base) + lead, size, base};
}

void ReleaseView(const FileView& view) {
  if (view.base) UnmapViewOfFile(view.base);
}

}  // namespace tl::rt::fileio

namespace tl::os {
// "C:" before "C:\...", and the empty root of "\..." on the current drive.
bool IsRootPrefix(std::string_view prefix) {
  if (prefix.empty()) return true;
  const char c = prefix[0];
  return prefix.size() == 2 && prefix[1] == ':' && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}
}  // namespace tl::os
