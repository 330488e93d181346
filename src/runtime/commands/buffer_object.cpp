#include "runtime/commands/buffer_object.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

#include "runtime/os/files.h"
#include "runtime/core/heap.h"
#include "runtime/core/raw_bytes.h"

namespace tl::rt {
namespace {

// 1-based position in, index out (0 and negatives unchanged).
std::int64_t ToIndex(std::int64_t q) { return q > 0 ? q - 1 : q; }

// Resolves a negative index against the length; nullopt when out of range.
// `allowEnd` admits index == length (an insertion point).
std::optional<std::int64_t> ResolveIndex(std::int64_t index, std::int64_t length, bool allowEnd) {
  if (index < 0) index += length;
  if (index < 0) return std::nullopt;
  if (index > length || (index == length && !allowEnd)) return std::nullopt;
  return index;
}

bool Aliases(const BufferHeader* h, std::string_view bytes) {
  if (!h->data || bytes.empty()) return false;
  std::less<const char*> before;
  return !before(bytes.data(), h->data) && before(bytes.data(), h->data + h->capacity);
}

void AppendTextWithNul(const char* s, std::string& out) {
  if (!s) s = "";
  out.append(s, std::strlen(s) + 1);
}

bool AppendArrayBytes(std::uint32_t elementTag, const void* block, std::string& out) {
  std::size_t count = block ? array::ElementCount(block) : 0;
  if (count == 0) return true;
  const char* elements = array::Elements(block);
  switch (elementTag) {
    case kTagText:
      for (std::size_t i = 0; i < count; ++i) {
        const char* s;
        std::memcpy(&s, elements + i * sizeof(char*), sizeof s);
        if (s) AppendTextWithNul(s, out);  // a null (empty) element adds nothing
      }
      return true;
    case kTagByteSet:
      for (std::size_t i = 0; i < count; ++i) {
        const void* b;
        std::memcpy(&b, elements + i * sizeof(void*), sizeof b);
        out.append(ByteSet::BlockData(b) ? ByteSet::BlockData(b) : "", ByteSet::BlockSize(b));
      }
      return true;
    default: {
      std::size_t size = IsSystemKind(elementTag) ? RawSize(elementTag) : 0;
      if (size == 0) return false;
      out.append(elements, count * size);
      return true;
    }
  }
}

BufferHeader* HeaderOfSlot(const void* slotPointer) {
  if (!slotPointer) return nullptr;
  void* header;
  std::memcpy(&header, slotPointer, sizeof header);
  return static_cast<BufferHeader*>(header);
}

void SetSlot(void* slotPointer, BufferHeader* h) { std::memcpy(slotPointer, &h, sizeof h); }

}  // namespace

bool AppendRawBufferBytes(const TypedArg& value, std::string& out) {
  if (!value.given()) return false;
  if (value.tag == kTagBuffer) {
    const BufferHeader* h = HeaderOfSlot(value.pointer());
    if (h && h->length) out.append(h->data, h->length);
    return h != nullptr;
  }
  if (!IsSystemKind(value.tag)) return false;
  if (IsIndirect(value.tag)) return AppendArrayBytes(BaseTag(value.tag), value.pointer(), out);
  switch (value.tag) {
    case kTagText: AppendTextWithNul(static_cast<const char*>(value.pointer()), out); return true;
    case kTagByteSet: {
      const void* b = value.pointer();
      if (ByteSet::BlockSize(b)) out.append(ByteSet::BlockData(b), ByteSet::BlockSize(b));
      return true;
    }
    default: {
      RawScratch scratch;
      std::string_view bytes = RawBytesOf(value, scratch);
      out.append(bytes);
      return !bytes.empty();
    }
  }
}

namespace buffer {

BufferHeader* New() {
  void* p = Allocate(sizeof(BufferHeader));
  return new (p) BufferHeader();
}

BufferHeader* Copy(const BufferHeader* source) {
  BufferHeader* h = New();
  if (source && source->length) {
    Reserve(h, source->length);
    std::memcpy(h->data, source->data, source->length);
    h->length = source->length;
  }
  return h;
}

void Free(BufferHeader* h) {
  if (!h) return;
  Release(h->data);
  h->~BufferHeader();
  Release(h);
}

bool Reserve(BufferHeader* h, std::uint64_t n) {
  if (!h) return false;
  if (h->capacity >= n) return true;
  if (n > h->maxCapacity) return false;
  std::uint64_t capacity = n <= h->minAllocation ? h->minAllocation : n + h->growthStep;
  if (capacity > h->maxCapacity) capacity = h->maxCapacity;
  auto* data = static_cast<char*>(Allocate(static_cast<std::size_t>(capacity)));
  if (h->length) std::memcpy(data, h->data, h->length);
  Release(h->data);
  h->data = data;
  h->capacity = static_cast<std::uint32_t>(capacity);
  return true;
}

bool Clear(BufferHeader* h) {
  if (!h) return false;
  h->length = 0;
  return true;
}

std::int32_t Length(const BufferHeader* h) { return h ? static_cast<std::int32_t>(h->length) : 0; }

ByteSet GetBytes(const BufferHeader* h, std::optional<std::int32_t> start, std::optional<std::int32_t> count) {
  if (!h) return {};
  auto index = ResolveIndex(start ? ToIndex(*start) : 0, h->length, false);
  if (!index) return {};
  std::int64_t n = h->length - *index;
  if (count && *count >= 0 && *count < n) n = *count;
  return ByteSet(h->data + *index, static_cast<std::size_t>(n));
}

bool Insert(BufferHeader* h, std::int32_t position, std::string_view bytes) {
  if (!h || bytes.empty()) return false;
  auto index = ResolveIndex(ToIndex(position), h->length, true);
  if (!index) return false;
  std::string copy;
  if (Aliases(h, bytes)) bytes = copy.assign(bytes);
  if (!Reserve(h, static_cast<std::uint64_t>(h->length) + bytes.size())) return false;
  std::size_t at = static_cast<std::size_t>(*index);
  std::memmove(h->data + at + bytes.size(), h->data + at, h->length - at);
  std::memcpy(h->data + at, bytes.data(), bytes.size());
  h->length += static_cast<std::uint32_t>(bytes.size());
  return true;
}

bool Append(BufferHeader* h, std::string_view bytes) {
  return h && Insert(h, static_cast<std::int32_t>(h->length) + 1, bytes);
}

bool Remove(BufferHeader* h, std::int32_t start, std::int32_t count) {
  if (!h) return false;
  if (count == 0) return true;
  if (count < 0) return false;
  auto index = ResolveIndex(ToIndex(start), h->length, false);
  if (!index) return false;
  std::int64_t end = *index + count;  // one past the last removed byte
  if (end > h->length) end = h->length;
  std::memmove(h->data + *index, h->data + end, h->length - end);
  h->length -= static_cast<std::uint32_t>(end - *index);
  return true;
}

std::int32_t Find(const BufferHeader* h, std::string_view bytes, std::optional<std::int32_t> start) {
  if (!h || bytes.empty()) return -1;
  auto index = ResolveIndex(start ? ToIndex(*start) : 0, h->length, false);
  if (!index) return -1;
  const char* data = h->data;
  const std::size_t m = bytes.size();
  std::size_t p = static_cast<std::size_t>(*index);
  while (h->length - p >= m) {
    const void* hit = std::memchr(data + p, bytes[0], h->length - m + 1 - p);
    if (!hit) return -1;
    p = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    if (data[p + m - 1] == bytes[m - 1] && std::memcmp(data + p, bytes.data(), m) == 0)
      return static_cast<std::int32_t>(p + 1);
    ++p;
  }
  return -1;
}

std::int32_t FindReverse(const BufferHeader* h, std::string_view bytes, std::optional<std::int32_t> start) {
  if (!h || bytes.empty() || h->length == 0) return -1;
  auto last = ResolveIndex(start ? ToIndex(*start) : h->length - 1, h->length, false);
  if (!last) return -1;
  const std::int64_t m = static_cast<std::int64_t>(bytes.size());
  for (std::int64_t p = *last - m + 1; p >= 0; --p) {
    const char* at = h->data + p;
    if (at[0] == bytes[0] && at[m - 1] == bytes[m - 1] && std::memcmp(at, bytes.data(), m) == 0)
      return static_cast<std::int32_t>(p + 1);
  }
  return -1;
}

bool LoadFile(BufferHeader* h, std::string_view path) {
  if (!h || path.empty() || path.find('\0') != std::string_view::npos) return false;
  // The path is a program text; the file system may spell it otherwise.
  std::FILE* f = std::fopen(fileio::ToOsName(path).c_str(), "rb");
  if (!f) return false;
  // Read into a separate block so that a failure leaves the content as it was.
  BufferHeader fresh;
  long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
  bool ok = std::fseek(f, 0, SEEK_SET) == 0 && (size <= 0 || Reserve(&fresh, static_cast<std::uint64_t>(size)));
  while (ok) {
    if (fresh.length == fresh.capacity && !Reserve(&fresh, static_cast<std::uint64_t>(fresh.length) + 65536)) {
      ok = false;  // larger than a buffer can hold
      break;
    }
    std::size_t got = std::fread(fresh.data + fresh.length, 1, fresh.capacity - fresh.length, f);
    fresh.length += static_cast<std::uint32_t>(got);
    if (got == 0) {
      ok = !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  if (!ok) {
    Release(fresh.data);
    return false;
  }
  Release(h->data);
  h->data = fresh.data;
  h->capacity = fresh.capacity;
  h->length = fresh.length;
  return true;
}

}  // namespace buffer

// ---------------------------------------------------------------------------
// Frame bodies.
namespace {

BufferHeader* Self(int argc, const TypedArg* args) {
  if (argc < 1 || args[0].tag != kTagBuffer) return nullptr;
  return HeaderOfSlot(args[0].pointer());
}

// The raw bytes of args[from..argc), all or nothing: a value of no raw bytes
// (an empty byte-set, an unknown kind) fails the whole call.
bool CollectValues(int argc, const TypedArg* args, int from, std::string& out) {
  if (from >= argc) return false;
  for (int i = from; i < argc; ++i) {
    std::size_t before = out.size();
    if (!AppendRawBufferBytes(args[i], out) || out.size() == before) return false;
  }
  return true;
}

void InitBody(ResultRecord&, int argc, const TypedArg* args) {
  if (argc < 1 || args[0].tag != kTagBuffer || !args[0].pointer()) return;
  SetSlot(args[0].pointer(), buffer::New());
}

void CopyBody(ResultRecord&, int argc, const TypedArg* args) {
  if (argc < 1 || args[0].tag != kTagBuffer || !args[0].pointer()) return;
  const BufferHeader* source = argc > 1 && args[1].tag == kTagBuffer ? HeaderOfSlot(args[1].pointer()) : nullptr;
  SetSlot(args[0].pointer(), buffer::Copy(source));
}

void FreeBody(ResultRecord&, int argc, const TypedArg* args) {
  if (argc < 1 || args[0].tag != kTagBuffer || !args[0].pointer()) return;
  buffer::Free(HeaderOfSlot(args[0].pointer()));
  SetSlot(args[0].pointer(), nullptr);
}

void ClearBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnBool(r, buffer::Clear(Self(argc, args))); }

void LengthBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnInt(r, buffer::Length(Self(argc, args))); }

void GetBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, buffer::GetBytes(Self(argc, args), ArgInt(argc, args, 1), ArgInt(argc, args, 2)));
}

void AppendBody(ResultRecord& r, int argc, const TypedArg* args) {
  BufferHeader* h = Self(argc, args);
  std::string bytes;
  ReturnBool(r, h && CollectValues(argc, args, 1, bytes) && buffer::Append(h, bytes));
}

void InsertBody(ResultRecord& r, int argc, const TypedArg* args) {
  BufferHeader* h = Self(argc, args);
  auto position = ArgInt(argc, args, 1);
  std::string bytes;
  ReturnBool(r, h && position && CollectValues(argc, args, 2, bytes) && buffer::Insert(h, *position, bytes));
}

void RemoveBody(ResultRecord& r, int argc, const TypedArg* args) {
  auto start = ArgInt(argc, args, 1);
  auto count = ArgInt(argc, args, 2);
  ReturnBool(r, start && count && buffer::Remove(Self(argc, args), *start, *count));
}

void FindBody(ResultRecord& r, int argc, const TypedArg* args) {
  std::string bytes;
  bool ok = argc > 1 && AppendRawBufferBytes(args[1], bytes);
  ReturnInt(r, ok ? buffer::Find(Self(argc, args), bytes, ArgInt(argc, args, 2)) : -1);
}

void FindReverseBody(ResultRecord& r, int argc, const TypedArg* args) {
  std::string bytes;
  bool ok = argc > 1 && AppendRawBufferBytes(args[1], bytes);
  ReturnInt(r, ok ? buffer::FindReverse(Self(argc, args), bytes, ArgInt(argc, args, 2)) : -1);
}

void LoadFileBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnBool(r, buffer::LoadFile(Self(argc, args), ArgText(argc, args, 1)));
}

}  // namespace

const Command kBufferInit{"BufferInit", InitBody};
const Command kBufferCopy{"BufferCopy", CopyBody};
const Command kBufferFree{"BufferFree", FreeBody};
const Command kBufferClear{"BufferClear", ClearBody};
const Command kBufferLength{"BufferLength", LengthBody};
const Command kBufferGetBytes{"BufferGetBytes", GetBytesBody};
const Command kBufferAppend{"BufferAppend", AppendBody};
const Command kBufferInsert{"BufferInsert", InsertBody};
const Command kBufferRemove{"BufferRemove", RemoveBody};
const Command kBufferFind{"BufferFind", FindBody};
const Command kBufferFindReverse{"BufferFindReverse", FindReverseBody};
const Command kBufferLoadFile{"BufferLoadFile", LoadFileBody};

// ---------------------------------------------------------------------------
Buffer::Buffer() : slot_(buffer::New()) {}
Buffer::Buffer(const Buffer& other) : slot_(buffer::Copy(other.header())) {}
Buffer::Buffer(Buffer&& other) noexcept : slot_(std::exchange(other.slot_, nullptr)) {}
Buffer& Buffer::operator=(Buffer other) noexcept {
  std::swap(slot_, other.slot_);
  return *this;
}
Buffer::~Buffer() { buffer::Free(header()); }

bool Buffer::Append(std::initializer_list<TypedArg> values) {
  std::string bytes;
  return CollectValues(static_cast<int>(values.size()), values.begin(), 0, bytes) &&
         buffer::Append(header(), bytes);
}

bool Buffer::Insert(std::int32_t position, std::initializer_list<TypedArg> values) {
  std::string bytes;
  return CollectValues(static_cast<int>(values.size()), values.begin(), 0, bytes) &&
         buffer::Insert(header(), position, bytes);
}

std::string_view Buffer::view() const {
  const BufferHeader* h = header();
  return h && h->length ? std::string_view(h->data, h->length) : std::string_view();
}

TypedArg Buffer::AsArg() const {
  TypedArg a;
  a.set_pointer(&slot_);
  a.tag = kTagBuffer;
  return a;
}

}  // namespace tl::rt
