#include "runtime/commands/files.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/commands/convert_commands.h"
#include "runtime/os/files.h"
#include "runtime/core/gbk_view.h"

namespace tl::rt {

namespace {

// Memory files grow in whole steps of this size (but at least doubling, so
// that filling a large memory file stays linear).
constexpr std::size_t kMemoryStep = 1024;
// Insertion and deletion move the tail through one block of this size.
constexpr std::size_t kMoveBlock = 4096;
constexpr std::size_t kLineChunk = 512;

class FileObject {
 public:
  explicit FileObject(fileio::Handle h) : kind_(kDiskFile), handle_(h) {}
  FileObject() : kind_(kMemoryFile) {}
  ~FileObject() {
    if (kind_ == kDiskFile) fileio::Close(handle_);
  }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  int kind() const { return kind_; }
  std::int64_t pos = 0;

  std::int64_t Size() const {
    return kind_ == kDiskFile ? fileio::Size(handle_) : static_cast<std::int64_t>(size_);
  }
  std::int64_t ReadAt(std::int64_t off, void* buf, std::size_t n) const {
    if (kind_ == kDiskFile) return fileio::ReadAt(handle_, off, buf, n);
    if (off < 0) return -1;
    if (static_cast<std::uint64_t>(off) >= size_) return 0;
    std::size_t got = std::min(n, size_ - static_cast<std::size_t>(off));
    if (got) std::memcpy(buf, mem_.get() + off, got);
    return static_cast<std::int64_t>(got);
  }
  bool WriteAt(std::int64_t off, const void* data, std::size_t n) {
    if (kind_ == kDiskFile) return fileio::WriteAt(handle_, off, data, n);
    if (off < 0) return false;
    std::size_t end = static_cast<std::size_t>(off) + n;
    if (end > size_ && !Resize(static_cast<std::int64_t>(end))) return false;
    if (n) std::memcpy(mem_.get() + off, data, n);
    return true;
  }
  bool Resize(std::int64_t size) {
    if (kind_ == kDiskFile) return fileio::Resize(handle_, size);
    if (size < 0) return false;
    std::size_t want = static_cast<std::size_t>(size);
    if (want > cap_) {
      std::size_t cap = std::max(want, cap_ * 2);
      cap = (cap + kMemoryStep - 1) / kMemoryStep * kMemoryStep;
      std::unique_ptr<char[]> grown(new (std::nothrow) char[cap]);
      if (!grown) return false;
      if (size_) std::memcpy(grown.get(), mem_.get(), size_);
      mem_ = std::move(grown);
      cap_ = cap;
    }
    if (want > size_) std::memset(mem_.get() + size_, 0, want - size_);
    size_ = want;
    return true;
  }

 private:
  int kind_;
  fileio::Handle handle_ = fileio::kNoHandle;
  std::unique_ptr<char[]> mem_;
  std::size_t size_ = 0;
  std::size_t cap_ = 0;
};

struct FileTable {
  std::unordered_map<FileNumber, std::unique_ptr<FileObject>> files;
  FileNumber next = 1;

  FileNumber Add(std::unique_ptr<FileObject> f) {
    while (next <= 0 || files.count(next)) next = next <= 0 || next == INT_MAX ? 1 : next + 1;
    FileNumber n = next++;
    files.emplace(n, std::move(f));
    return n;
  }
  FileObject* Find(FileNumber n) {
    auto it = files.find(n);
    return it == files.end() ? nullptr : it->second.get();
  }
};

FileTable& Table() {
  static FileTable table;
  return table;
}

FileObject* Lookup(FileNumber f) { return Table().Find(f); }


// Writes the concatenation at the position; the position is restored on
// failure.
bool WriteParts(FileNumber f, std::span<const std::string_view> parts) {
  FileObject* file = Lookup(f);
  if (!file) return false;
  const std::int64_t start = file->pos;
  std::int64_t at = start;
  for (std::string_view p : parts) {
    if (p.empty()) continue;
    if (!file->WriteAt(at, p.data(), p.size())) {
      file->pos = start;
      return false;
    }
    at += static_cast<std::int64_t>(p.size());
  }
  file->pos = at;
  return true;
}

}  // namespace

FileNumber OpenFile(std::string_view path, std::optional<int> mode, std::optional<int> sharing) {
  const int m = mode.value_or(3);
  const int s = sharing.value_or(1);
  if (path.empty() || m < 1 || m > 6 || s < 1 || s > 4) return 0;
  using fileio::Access;
  using fileio::Disposition;
  static constexpr Access kAccess[] = {Access::kRead,  Access::kWrite, Access::kReadWrite,
                                       Access::kWrite, Access::kWrite, Access::kReadWrite};
  static constexpr Disposition kDisposition[] = {
      Disposition::kOpenExisting,     Disposition::kOpenExisting, Disposition::kOpenExisting,
      Disposition::kCreateOrTruncate, Disposition::kOpenOrCreate, Disposition::kOpenOrCreate};
  fileio::Handle h = fileio::Open(path, kAccess[m - 1], kDisposition[m - 1], static_cast<fileio::Share>(s));
  if (h == fileio::kNoHandle) return 0;
  return Table().Add(std::make_unique<FileObject>(h));
}

FileNumber OpenMemoryFile() { return Table().Add(std::make_unique<FileObject>()); }

void CloseFile(FileNumber f) { Table().files.erase(f); }

int FileKindOf(FileNumber f) {
  FileObject* file = Lookup(f);
  return file ? file->kind() : 0;
}

ByteSet ReadBytes(FileNumber f, std::int64_t n) {
  FileObject* file = Lookup(f);
  if (!file || n <= 0) return {};
  const std::int64_t size = file->Size();
  if (size < 0) return {};
  const std::int64_t avail = std::max<std::int64_t>(0, size - file->pos);
  const std::int64_t want = std::min<std::int64_t>({n, avail, INT32_MAX});
  if (want <= 0) return {};
  ByteSet out = ByteSet::Uninitialized(static_cast<std::size_t>(want));
  std::int64_t got = file->ReadAt(file->pos, out.data(), static_cast<std::size_t>(want));
  if (got < 0) {
    file->pos = size;
    return {};
  }
  file->pos += got;
  if (got == want) return out;
  return ByteSet(out.data(), static_cast<std::size_t>(got));
}

Text ReadText(FileNumber f, std::optional<std::int64_t> n) {
  FileObject* file = Lookup(f);
  if (!file) return {};
  const std::int64_t size = file->Size();
  if (size < 0) return {};
  const std::int64_t count = n.value_or(size);
  if (count < 1) return {};
  const std::int64_t avail = std::max<std::int64_t>(0, size - file->pos);
  const std::int64_t want = std::min<std::int64_t>({count, avail, INT32_MAX});
  if (want <= 0) return {};
  Text out = Text::Uninitialized(static_cast<std::size_t>(want));
  std::int64_t got = file->ReadAt(file->pos, out.data(), static_cast<std::size_t>(want));
  if (got < 0) {
    file->pos = size;
    return {};
  }
  const char* d = out.data();
  const std::size_t len = static_cast<std::size_t>(got);
  const void* sub = std::memchr(d, 0x1A, len);
  std::size_t end = sub ? static_cast<std::size_t>(static_cast<const char*>(sub) - d) : len;
  const void* nul = std::memchr(d, 0, end);
  if (nul) end = static_cast<std::size_t>(static_cast<const char*>(nul) - d);
  if (end == len) {
    file->pos += got;
    if (len == static_cast<std::size_t>(want)) return out;
    return Text(std::string_view(d, len));
  }
  file->pos += static_cast<std::int64_t>(end);
  std::size_t textEnd = end;
  if (d[end] == 0 && end > 0 && gbk::IsLeadAt(std::string_view(d, end), end - 1)) --textEnd;
  return Text(std::string_view(d, textEnd));
}

Text ReadLine(FileNumber f) {
  FileObject* file = Lookup(f);
  if (!file) return {};
  std::string line;
  char chunk[kLineChunk];
  for (;;) {
    const std::int64_t start = file->pos;
    std::int64_t got = file->ReadAt(start, chunk, sizeof chunk);
    if (got < 0) {
      std::int64_t size = file->Size();
      if (size >= 0) file->pos = size;
      return {};
    }
    if (got == 0) break;
    const std::size_t n = static_cast<std::size_t>(got);
    const bool lastChunk = n < sizeof chunk;
    std::size_t i = 0;
    for (; i < n; ++i) {
      const unsigned char c = static_cast<unsigned char>(chunk[i]);
      if (c == '\n') {
        line.append(chunk, i);
        file->pos = start + static_cast<std::int64_t>(i) + 1;
        goto done;
      }
      if (c == 0 || c == 0x1A) {
        line.append(chunk, i);
        file->pos = start + static_cast<std::int64_t>(i);
        goto done;
      }
      if (c >= 0x80) {
        if (i + 1 < n) {
          if (chunk[i + 1] == 0) {  // a lead byte cut off by NUL is dropped
            line.append(chunk, i);
            file->pos = start + static_cast<std::int64_t>(i) + 1;
            goto done;
          }
          ++i;
        } else if (!lastChunk) {
          break;  // the lead byte starts the next chunk, with its trail byte
        }
      }
    }
    line.append(chunk, i);
    file->pos = start + static_cast<std::int64_t>(i);
    if (lastChunk) break;
  }
done:
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return Text(line);
}

bool WriteTextToFile(FileNumber f, std::span<const std::string_view> texts) { return WriteParts(f, texts); }

bool WriteBytesToFile(FileNumber f, std::span<const std::string_view> byteSets) {
  return WriteParts(f, byteSets);
}

bool InsertBytesIntoFile(FileNumber f, std::span<const std::string_view> byteSets) {
  FileObject* file = Lookup(f);
  if (!file) return false;
  std::size_t d = 0;
  for (auto b : byteSets) d += b.size();
  if (d == 0) return true;
  const std::int64_t p = file->pos;
  const std::int64_t size = file->Size();
  if (size < 0) return false;
  char block[kMoveBlock];
  for (std::int64_t end = size; end > p;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(kMoveBlock, end - p));
    const std::int64_t from = end - static_cast<std::int64_t>(n);
    if (file->ReadAt(from, block, n) != static_cast<std::int64_t>(n) ||
        !file->WriteAt(from + static_cast<std::int64_t>(d), block, n)) {
      file->pos = p;
      return false;
    }
    end = from;
  }
  return WriteParts(f, byteSets);
}

bool DeleteFileBytes(FileNumber f, std::int64_t n) {
  FileObject* file = Lookup(f);
  if (!file) return false;
  if (n <= 0) return true;
  const std::int64_t p = file->pos;
  const std::int64_t size = file->Size();
  if (size < 0) return false;
  char block[kMoveBlock];
  for (std::int64_t from = p + n; from < size;) {
    const std::size_t len = static_cast<std::size_t>(std::min<std::int64_t>(kMoveBlock, size - from));
    if (file->ReadAt(from, block, len) != static_cast<std::int64_t>(len) ||
        !file->WriteAt(from - n, block, len)) {
      file->pos = p;
      return false;
    }
    from += static_cast<std::int64_t>(len);
  }
  const std::int64_t newSize = std::max(size - n, p);
  if (!file->Resize(newSize)) {
    file->pos = p;
    return false;
  }
  file->pos = newSize;
  return true;
}

bool SeekFile(FileNumber f, std::optional<int> origin, std::int64_t offset) {
  FileObject* file = Lookup(f);
  if (!file) return false;
  std::int64_t base;
  switch (origin.value_or(1)) {
    case 1: base = 0; break;
    case 2: base = file->Size(); break;
    case 3: base = file->pos; break;
    default: return false;
  }
  if (base < 0 || base + offset < 0) return false;
  file->pos = base + offset;
  return true;
}

bool SeekFileStart(FileNumber f) { return SeekFile(f, 1, 0); }
bool SeekFileEnd(FileNumber f) { return SeekFile(f, 2, 0); }

std::int64_t FilePosition(FileNumber f) {
  FileObject* file = Lookup(f);
  return file ? file->pos : -1;
}

std::int64_t FileLength(FileNumber f) {
  FileObject* file = Lookup(f);
  return file ? file->Size() : -1;
}

bool AtFileEnd(FileNumber f, std::optional<bool> stopAtNul) {
  FileObject* file = Lookup(f);
  if (!file) return true;
  const std::int64_t size = file->Size();
  if (size < 0 || file->pos >= size) return true;
  if (!stopAtNul.value_or(false)) return false;
  char c = 1;
  if (file->ReadAt(file->pos, &c, 1) != 1) return false;
  return c == 0 || c == 0x1A;
}

ByteSet ReadFileBytes(std::string_view path) {
  if (path.empty()) return {};
  FileNumber f = OpenFile(path, 1, 3);
  if (!f) return {};
  ByteSet out = ReadBytes(f, FileLength(f));
  CloseFile(f);
  return out;
}

bool WriteFileBytes(std::string_view path, std::span<const std::string_view> byteSets) {
  if (path.empty()) return false;
  FileNumber f = OpenFile(path, 4, 4);
  if (!f) return false;
  bool ok = WriteBytesToFile(f, byteSets);
  CloseFile(f);
  return ok;
}

bool FileExists(std::string_view path) {
  fileio::DirEntry entry;
  fileio::DirSearch* s = fileio::FindFirst(path, entry);
  if (!s) return false;
  fileio::FindClose(s);
  return true;
}

bool MakeDirectory(std::string_view path) { return fileio::MakeDirectory(path); }

// ---------------------------------------------------------------------------
// Frame bodies

namespace {

std::int32_t ToResultInt(std::int64_t v) { return v > INT32_MAX ? -1 : static_cast<std::int32_t>(v); }

FileNumber ArgFile(int argc, const TypedArg* args) { return ArgInt(argc, args, 0).value_or(0); }

// WriteTextToFile writes texts, numbers, booleans and date-times as ToText
// gives them; other kinds are skipped.
bool WritesAsText(std::uint32_t tag) {
  return tag == kTagText || tag == kTagBoolean || tag == kTagDateTime ||
         (IsNumericKind(tag) && !IsIndirect(tag));
}

template <bool kInsert>
void ByteSetsBody(ResultRecord& r, int argc, const TypedArg* args) {
  std::vector<std::string_view> parts;
  for (int i = 1; i < argc; ++i)
    if (BaseTag(args[i].tag) == kTagByteSet && !IsIndirect(args[i].tag)) parts.push_back(ArgBytes(argc, args, i));
  FileNumber f = ArgFile(argc, args);
  ReturnBool(r, kInsert ? InsertBytesIntoFile(f, parts) : WriteBytesToFile(f, parts));
}

}  // namespace

const Command kOpenFile{"OpenFile", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, OpenFile(ArgText(argc, args, 0), ArgInt(argc, args, 1), ArgInt(argc, args, 2)));
}};
const Command kOpenMemoryFile{"OpenMemoryFile", [](ResultRecord& r, int, const TypedArg*) {
  ReturnInt(r, OpenMemoryFile());
}};
const Command kCloseFile{"CloseFile", [](ResultRecord&, int argc, const TypedArg* args) {
  CloseFile(ArgFile(argc, args));
}};
const Command kReadBytes{"ReadBytes", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, ReadBytes(ArgFile(argc, args), ArgInt(argc, args, 1).value_or(0)));
}};
const Command kReadText{"ReadText", [](ResultRecord& r, int argc, const TypedArg* args) {
  auto n = ArgInt(argc, args, 1);
  ReturnText(r, ReadText(ArgFile(argc, args), n ? std::optional<std::int64_t>(*n) : std::nullopt));
}};
const Command kReadLine{"ReadLine", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnText(r, ReadLine(ArgFile(argc, args)));
}};
const Command kWriteTextToFile{"WriteTextToFile", [](ResultRecord& r, int argc, const TypedArg* args) {
  std::vector<Text> texts;
  for (int i = 1; i < argc; ++i)
    if (WritesAsText(args[i].tag)) texts.push_back(ToText(args[i]));
  std::vector<std::string_view> views;
  for (const Text& t : texts) views.push_back(t.view());
  ReturnBool(r, WriteTextToFile(ArgFile(argc, args), views));
}};
const Command kWriteBytesToFile{"WriteBytesToFile", ByteSetsBody<false>};
const Command kInsertBytesIntoFile{"InsertBytesIntoFile", ByteSetsBody<true>};
const Command kDeleteFileBytes{"DeleteFileBytes", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, DeleteFileBytes(ArgFile(argc, args), ArgInt(argc, args, 1).value_or(0)));
}};
const Command kSeekFile{"SeekFile", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, SeekFile(ArgFile(argc, args), ArgInt(argc, args, 1), ArgInt(argc, args, 2).value_or(0)));
}};
const Command kSeekFileStart{"SeekFileStart", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, SeekFileStart(ArgFile(argc, args)));
}};
const Command kSeekFileEnd{"SeekFileEnd", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, SeekFileEnd(ArgFile(argc, args)));
}};
const Command kFilePosition{"FilePosition", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, ToResultInt(FilePosition(ArgFile(argc, args))));
}};
const Command kFileLength{"FileLength", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, ToResultInt(FileLength(ArgFile(argc, args))));
}};
const Command kAtFileEnd{"AtFileEnd", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, AtFileEnd(ArgFile(argc, args), ArgBool(argc, args, 1)));
}};
const Command kReadFileBytes{"ReadFileBytes", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, ReadFileBytes(ArgText(argc, args, 0)));
}};
const Command kWriteFileBytes{"WriteFileBytes", [](ResultRecord& r, int argc, const TypedArg* args) {
  std::vector<std::string_view> parts;
  for (int i = 1; i < argc; ++i)
    if (BaseTag(args[i].tag) == kTagByteSet && !IsIndirect(args[i].tag)) parts.push_back(ArgBytes(argc, args, i));
  ReturnBool(r, WriteFileBytes(ArgText(argc, args, 0), parts));
}};
const Command kFileExists{"FileExists", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, FileExists(ArgText(argc, args, 0)));
}};
const Command kMakeDirectory{"MakeDirectory", [](ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, MakeDirectory(ArgText(argc, args, 0)));
}};

}  // namespace tl::rt
