// Files and directory search: the operating-system side of the file and
// directory-search commands, of file text and of the batch. posix_files.cpp
// implements it for Linux; a Win32 file implements it with CreateFileA /
// FindFirstFileA.
//
// Paths and names cross this boundary as the program's own GBK texts; an
// implementation whose file system speaks another encoding converts them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/os/path.h"

namespace tl::rt::fileio {

// The platform's path separator; path logic is written against it.
inline constexpr char kSeparator = os::kSeparator;

using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

enum class Access { kRead, kWrite, kReadWrite };
enum class Disposition {
  kOpenExisting,      // the file must exist
  kCreateOrTruncate,  // made empty once the sharing check has passed
  kOpenOrCreate,      // never truncated
  kCreateNew,         // fails when the name exists (temporary files)
};
// What other openers of the same file may still do.
enum class Share { kReadWrite = 1, kWrite = 2, kRead = 3, kNone = 4 };

// A failing call leaves errno saying why (Windows maps its own error
// codes), for the messages that name the cause.
//
// Opens a regular file (never a directory). On POSIX the sharing rules hold
// between Tidyline processes (and between handles of one process) through
// advisory locks; programs that take no locks are not held back.
Handle Open(std::string_view path, Access access, Disposition disposition, Share share);
void Close(Handle h);
// Bytes read (0 at the end), or -1 on failure. Reads until n or the end.
std::int64_t ReadAt(Handle h, std::int64_t offset, void* buffer, std::size_t n);
// Writes all n bytes or fails.
bool WriteAt(Handle h, std::int64_t offset, const void* data, std::size_t n);
std::int64_t Size(Handle h);  // -1 on failure
bool Resize(Handle h, std::int64_t size);

// A file's bytes shown in place, read-only, without copying them.
struct FileView {
  const char* data = nullptr;
  std::size_t size = 0;
  void* base = nullptr;  // what ReleaseView gives back
};
// Bytes [offset, offset + size) of an open regular file as a view, where
// that is both safe and cheaper than reading them: on Windows, for a file on
// a local fixed disk (the system refuses to cut a viewed file short, and no
// network can fail under the view). nullopt: read the bytes instead; always
// so on POSIX, where a file truncated meanwhile would fault a mapping.
std::optional<FileView> ViewForReading(Handle h, std::int64_t offset, std::size_t size);
void ReleaseView(const FileView& view);

// Creates one directory: false if it exists or its parent does not.
bool MakeDirectory(std::string_view path);
// Renames over an existing file (same directory).
bool Rename(std::string_view from, std::string_view to);
bool RemoveFile(std::string_view path);
// Identifies the file a path names (device and file number, or the
// platform's equivalent), so that two spellings of one file compare equal.
// nullopt when the path names nothing.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> IdentityOf(std::string_view path);

// Directory search as the Windows find-first/find-next pair works: the
// pattern's last component may hold "*" and "?" (ASCII case-insensitive;
// a pattern ending in ".*" also matches names without a dot); names come
// without their directory, "." and ".." included.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

struct DirEntry {
  std::string name;  // GBK
  std::uint32_t attributes = 0;
  // False when the entry's own name cannot be carried through the program's
  // text (on Linux: not UTF-8, and read as GB18030 it would name another
  // file); `name` then shows it with its stray bytes as \xHH and opens
  // nothing of its own.
  bool nameKept = true;
};
class DirSearch;
// Null when nothing matches (or the directory cannot be read).
DirSearch* FindFirst(std::string_view pattern, DirEntry& first);
bool FindNext(DirSearch* search, DirEntry& next);
void FindClose(DirSearch* search);
// The matching rule of FindFirst, exposed for tests and for ListFiles users.
bool WildcardMatches(std::string_view pattern, std::string_view name);

// Names between the program's GBK texts and the file system's own
// encoding (UTF-8 on Linux; the identity where the file system speaks the
// ANSI code page). Bytes that do not convert pass unchanged, one by one; the
// rest of the name converts.
std::string ToOsName(std::string_view programText);
std::string FromOsName(std::string_view osName);

}  // namespace tl::rt::fileio
