// The buffer object of the object library: a growable byte buffer with
// append, insert, find and remove. A buffer variable is one pointer-sized
// slot holding its header; a typed argument of kind kTagBuffer points at that
// slot. The methods are frame commands whose first argument is the buffer;
// C++ code uses the `Buffer` facade, which owns one slot.
//
// Positions are 1-based on the way in: q > 0 becomes the index q - 1, while 0
// and negative values stay as they are, a negative index counting from the
// end. Every method either does all of its work or leaves the buffer as it
// was.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

struct BufferHeader {
  char* data = nullptr;
  std::uint32_t capacity = 0;
  std::uint32_t length = 0;
  std::uint32_t minAllocation = 10240;
  std::uint32_t maxCapacity = 0x7FFFFFFE;
  std::uint32_t growthStep = 10240;
};

inline constexpr std::uint32_t kBufferMaxCapacity = 0x7FFFFFFE;

// Raw bytes that a value contributes to a buffer: a text with its NUL, a
// byte-set its data, numbers/boolean/date-time their value bytes, an array
// each element in order, another buffer its whole content. Appends to `out`;
// false for a kind that has no raw bytes.
bool AppendRawBufferBytes(const TypedArg& value, std::string& out);

// Typed operations on a header (null header: the call fails).
namespace buffer {
BufferHeader* New();
BufferHeader* Copy(const BufferHeader* source);
void Free(BufferHeader* header);
bool Clear(BufferHeader* h);
std::int32_t Length(const BufferHeader* h);
ByteSet GetBytes(const BufferHeader* h, std::optional<std::int32_t> start, std::optional<std::int32_t> count);
bool Append(BufferHeader* h, std::string_view bytes);
bool Insert(BufferHeader* h, std::int32_t position, std::string_view bytes);
bool Remove(BufferHeader* h, std::int32_t start, std::int32_t count);
std::int32_t Find(const BufferHeader* h, std::string_view bytes, std::optional<std::int32_t> start);
std::int32_t FindReverse(const BufferHeader* h, std::string_view bytes, std::optional<std::int32_t> start);
bool LoadFile(BufferHeader* h, std::string_view path);
// Makes room for n bytes in total (the capacity rule).
bool Reserve(BufferHeader* h, std::uint64_t n);
}  // namespace buffer

// Frame commands; argument 0 is the buffer object.
extern const Command kBufferInit;
extern const Command kBufferCopy;
extern const Command kBufferFree;
extern const Command kBufferClear;
extern const Command kBufferLength;
extern const Command kBufferGetBytes;
extern const Command kBufferAppend;
extern const Command kBufferInsert;
extern const Command kBufferRemove;
extern const Command kBufferFind;
extern const Command kBufferFindReverse;
extern const Command kBufferLoadFile;

// Typed owner of one buffer object.
class Buffer {
 public:
  Buffer();
  Buffer(const Buffer& other);
  Buffer(Buffer&& other) noexcept;
  Buffer& operator=(Buffer other) noexcept;
  ~Buffer();

  bool Clear() { return buffer::Clear(header()); }
  std::int32_t Length() const { return buffer::Length(header()); }
  ByteSet GetBytes(std::optional<std::int32_t> start = std::nullopt,
                   std::optional<std::int32_t> count = std::nullopt) const {
    return buffer::GetBytes(header(), start, count);
  }
  bool AppendBytes(std::string_view bytes) { return buffer::Append(header(), bytes); }
  bool InsertBytes(std::int32_t position, std::string_view bytes) {
    return buffer::Insert(header(), position, bytes);
  }
  // Any values, with their raw bytes, all or nothing.
  bool Append(std::initializer_list<TypedArg> values);
  bool Insert(std::int32_t position, std::initializer_list<TypedArg> values);
  bool Remove(std::int32_t start, std::int32_t count) { return buffer::Remove(header(), start, count); }
  std::int32_t Find(std::string_view bytes, std::optional<std::int32_t> start = std::nullopt) const {
    return buffer::Find(header(), bytes, start);
  }
  std::int32_t FindReverse(std::string_view bytes, std::optional<std::int32_t> start = std::nullopt) const {
    return buffer::FindReverse(header(), bytes, start);
  }
  bool LoadFile(std::string_view path) { return buffer::LoadFile(header(), path); }

  // The bytes in use, valid until the next change.
  std::string_view view() const;
  // A typed argument naming this buffer (for the frame commands and for
  // passing the buffer as a value to another buffer).
  TypedArg AsArg() const;

  BufferHeader* header() const { return static_cast<BufferHeader*>(slot_); }

 private:
  void* slot_ = nullptr;
};

}  // namespace tl::rt
