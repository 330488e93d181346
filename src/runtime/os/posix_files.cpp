// Files and directory search on POSIX (runtime/os/files.h).
//
// Sharing modes: every Tidyline opener takes shared open-file-description
// locks on four marker bytes far beyond any real content: "reads", "writes",
// "forbids reading", "forbids writing". After taking its own markers, an
// opener checks for the markers of others that its access or its sharing
// rule conflicts with, and gives up on a conflict. Two openers racing each
// other may both give up; they never both succeed. Programs that take no
// locks are not affected (the locks are advisory).
#include <fcntl.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

#include "runtime/os/files.h"
#include "runtime/os/charset.h"
#include "runtime/core/gbk_view.h"

namespace tl::rt::fileio {

namespace {

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Converts `s`, each byte that is not part of a valid sequence passed on
// unchanged (or written as \xHH when `escape`), so every valid part of a name
// converts whatever its neighbours are.
std::string Recode(std::string_view s, const char* to, const char* from, bool escape = false) {
  CharsetConverter conv(to, from);
  if (!conv.ok()) return std::string(s);
  std::string out;
  std::string buf(s.size() * 4 + 8, '\0');
  const char* in = s.data();
  std::size_t inLeft = s.size();
  while (inLeft > 0) {
    char* o = buf.data();
    std::size_t oLeft = buf.size();
    const auto st = conv.Convert(in, inLeft, o, oLeft);
    out.append(buf.data(), buf.size() - oLeft);
    if (st == CharsetConverter::Status::kDone) break;
    if (st == CharsetConverter::Status::kOutputFull) continue;
    if (escape) {
      static constexpr char kHex[] = "0123456789abcdef";
      const unsigned char c = static_cast<unsigned char>(*in);
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += *in;
    }
    ++in;
    --inLeft;
    conv.Reset();
  }
  return out;
}

// The program's GBK path as the file system's UTF-8 name. Bytes that are not
// valid GB18030 are passed on unchanged rather than guessed at.
std::string ToOs(std::string_view path) {
  if (IsAscii(path)) return std::string(path);
  return Recode(path, "UTF-8", "GB18030");
}

std::string FromOs(std::string_view name) {
  if (IsAscii(name)) return std::string(name);
  return Recode(name, "GB18030", "UTF-8");
}

// An entry's name as the program's text, and whether that text names the
// entry again: a name that is not valid UTF-8 may read as valid GB18030 (GBK
// bytes), and would then name another file. Such a name is given with its
// stray bytes as \xHH, for messages only.
std::string NameOfEntry(std::string_view osName, bool& kept) {
  std::string name = FromOs(osName);
  kept = ToOs(name) == osName;
  if (!kept) name = Recode(osName, "GB18030", "UTF-8", true);
  return name;
}

struct PosixFile {
  int fd = -1;
  int lockFd = -1;  // fd itself, or a read-only twin when fd cannot read
};

constexpr off_t kMarkerBase = static_cast<off_t>(LLONG_MAX) - 16;
enum Marker { kReads = 0, kWrites = 1, kForbidsRead = 2, kForbidsWrite = 3 };

bool TakeMarker(int fd, Marker m) {
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kMarkerBase + m;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

// True when some other opener holds marker m.
bool OthersHold(int fd, Marker m) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kMarkerBase + m;
  fl.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

bool ApplySharing(int lockFd, bool reads, bool writes, Share share) {
  const bool forbidsRead = share == Share::kWrite || share == Share::kNone;
  const bool forbidsWrite = share == Share::kRead || share == Share::kNone;
  if (reads && !TakeMarker(lockFd, kReads)) return false;
  if (writes && !TakeMarker(lockFd, kWrites)) return false;
  if (forbidsRead && !TakeMarker(lockFd, kForbidsRead)) return false;
  if (forbidsWrite && !TakeMarker(lockFd, kForbidsWrite)) return false;
  if (forbidsRead && OthersHold(lockFd, kReads)) return false;
  if (forbidsWrite && OthersHold(lockFd, kWrites)) return false;
  if (reads && OthersHold(lockFd, kForbidsRead)) return false;
  if (writes && OthersHold(lockFd, kForbidsWrite)) return false;
  return true;
}

PosixFile* Get(Handle h) { return reinterpret_cast<PosixFile*>(h); }

void CloseFds(PosixFile& f) {
  if (f.lockFd >= 0 && f.lockFd != f.fd) ::close(f.lockFd);
  if (f.fd >= 0) ::close(f.fd);
}

}  // namespace

Handle Open(std::string_view path, Access access, Disposition disposition, Share share) {
  if (path.empty()) return kNoHandle;
  int flags = O_CLOEXEC;
  flags |= access == Access::kRead ? O_RDONLY : access == Access::kWrite ? O_WRONLY : O_RDWR;
  if (disposition != Disposition::kOpenExisting) flags |= O_CREAT;
  if (disposition == Disposition::kCreateNew) flags |= O_EXCL;
  const std::string os = ToOs(path);
  PosixFile f;
  // Non-blocking only while opening: a named pipe would otherwise wait here
  // for a writer (or reader) that may never come.
  f.fd = ::open(os.c_str(), flags | O_NONBLOCK, 0666);
  if (f.fd < 0) return kNoHandle;
  struct stat st {};
  if (fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(f.fd, F_SETFL, fcntl(f.fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    CloseFds(f);
    return kNoHandle;
  }
  // Read locks need a descriptor open for reading.
  f.lockFd = access == Access::kWrite ? ::open(os.c_str(), O_RDONLY | O_CLOEXEC) : f.fd;
  if (f.lockFd >= 0 &&
      !ApplySharing(f.lockFd, access != Access::kWrite, access != Access::kRead, share)) {
    CloseFds(f);
    return kNoHandle;
  }
  if (disposition == Disposition::kCreateOrTruncate && ftruncate(f.fd, 0) != 0) {
    CloseFds(f);
    return kNoHandle;
  }
  return reinterpret_cast<Handle>(new PosixFile(f));
}

void Close(Handle h) {
  if (h == kNoHandle) return;
  PosixFile* f = Get(h);
  CloseFds(*f);
  delete f;
}

std::int64_t ReadAt(Handle h, std::int64_t offset, void* buffer, std::size_t n) {
  if (h == kNoHandle || offset < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(Get(h)->fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<std::size_t>(r);
  }
  return static_cast<std::int64_t>(done);
}

bool WriteAt(Handle h, std::int64_t offset, const void* data, std::size_t n) {
  if (h == kNoHandle || offset < 0) return false;
  auto* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < n) {
    ssize_t r = ::pwrite(Get(h)->fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) return false;
    done += static_cast<std::size_t>(r);
  }
  return true;
}

std::int64_t Size(Handle h) {
  if (h == kNoHandle) return -1;
  struct stat st {};
  if (fstat(Get(h)->fd, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool Resize(Handle h, std::int64_t size) {
  if (h == kNoHandle || size < 0) return false;
  return ftruncate(Get(h)->fd, static_cast<off_t>(size)) == 0;
}

bool MakeDirectory(std::string_view path) {
  if (path.empty()) return false;
  return ::mkdir(ToOs(path).c_str(), 0777) == 0;
}

bool Rename(std::string_view from, std::string_view to) {
  return ::rename(ToOs(from).c_str(), ToOs(to).c_str()) == 0;
}

bool RemoveFile(std::string_view path) { return ::unlink(ToOs(path).c_str()) == 0; }

std::optional<FileIdentity> IdentityOf(std::string_view path) {
  struct stat st {};
  if (path.empty() || ::stat(ToOs(path).c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// ---------------------------------------------------------------------------
// Directory search

namespace {

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

std::uint32_t AttributesOf(const struct stat& st, bool writable, std::string_view name) {
  std::uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if (S_ISREG(st.st_mode)) a |= kAttrArchive;
  if (!writable) a |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.') a |= kAttrHidden;
  return a;
}

}  // namespace

class DirSearch {
 public:
  DIR* dir = nullptr;
  std::string pattern;  // GBK last component
};

namespace {

bool Accept(DirSearch* s, DirEntry& out) {
  while (struct dirent* d = ::readdir(s->dir)) {
    bool kept = true;
    std::string name = NameOfEntry(d->d_name, kept);
    if (!WildcardMatches(s->pattern, name)) continue;
    struct stat st {};
    int dfd = dirfd(s->dir);
    if (fstatat(dfd, d->d_name, &st, 0) != 0 && fstatat(dfd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
      continue;  // vanished meanwhile
    bool writable = faccessat(dfd, d->d_name, W_OK, 0) == 0;
    out.attributes = AttributesOf(st, writable, name);
    out.name = std::move(name);
    out.nameKept = kept;
    return true;
  }
  return false;
}

}  // namespace

DirSearch* FindFirst(std::string_view pattern, DirEntry& first) {
  if (pattern.empty()) return nullptr;
  std::size_t slash = pattern.rfind(kSeparator);
  std::string dir = slash == std::string_view::npos ? std::string(".")
                    : slash == 0                    ? std::string(1, kSeparator)
                                                    : std::string(pattern.substr(0, slash));
  std::string_view last = slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
  if (last.empty()) return nullptr;
  auto* s = new DirSearch;
  s->pattern = std::string(last);
  if (!HasWildcard(last)) {
    // A plain name is looked up as it is spelled: the file system decides
    // about case, so what is found here is what an open would find.
    struct stat st {};
    const std::string os = ToOs(pattern);
    if (::stat(os.c_str(), &st) != 0 && ::lstat(os.c_str(), &st) != 0) {
      delete s;
      return nullptr;
    }
    first.name = std::string(last);
    first.nameKept = true;
    first.attributes = AttributesOf(st, ::access(os.c_str(), W_OK) == 0, last);
    return s;  // no directory stream: the next call ends the search
  }
  s->dir = ::opendir(ToOs(dir).c_str());
  if (!s->dir || !Accept(s, first)) {
    FindClose(s);
    return nullptr;
  }
  return s;
}

bool FindNext(DirSearch* search, DirEntry& next) {
  if (!search || !search->dir) return false;
  return Accept(search, next);
}

void FindClose(DirSearch* search) {
  if (!search) return;
  if (search->dir) ::closedir(search->dir);
  delete search;
}

// ---------------------------------------------------------------------------

std::string ToOsName(std::string_view programText) { return ToOs(programText); }
std::string FromOsName(std::string_view osName) { return FromOs(osName); }

// Read, never mapped: a file that another program truncates meanwhile (a log
// rotated with copytruncate) would make a mapping fault.
std::optional<FileView> ViewForReading(Handle, std::int64_t, std::size_t) { return std::nullopt; }
void ReleaseView(const FileView&) {}

}  // namespace tl::rt::fileio
