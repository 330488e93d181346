// Runtime values: type tags, typed arguments and result records, and the RAII
// owners of text, byte-set and array blocks. The blocks keep the runtime's
// exact layouts because the frame, the buffer object and the automation
// layer pass them around as raw words:
//   text      NUL-terminated GBK bytes; null when empty
//   byte-set  {int32 1, int32 length, bytes}; null when empty
//   array     {int32 dims, int32 sizes..., elements}; {1, 0} when empty
// On 64-bit builds pointer slots and pointer elements are pointer-sized.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "runtime/core/heap.h"

namespace tl::rt {

enum Tag : std::uint32_t {
  kTagOmitted = 0,
  kTagByte = 0x80000101,
  kTagShort = 0x80000201,
  kTagInt = 0x80000301,
  kTagLong = 0x80000401,
  kTagFloat = 0x80000501,
  kTagDouble = 0x80000601,
  kTagBoolean = 0x80000002,
  kTagDateTime = 0x80000003,
  kTagText = 0x80000004,
  kTagByteSet = 0x80000005,
  kTagRoutine = 0x80000006,
  kTagObjectHolder = 0x00010030,
  kTagVariant = 0x00010031,
  kTagBuffer = 0x00040002,
};

// Set on a system kind: the slot holds a pointer to an array of that kind, or
// to a variable that the command writes back.
inline constexpr std::uint32_t kTagIndirect = 0x20000000;

constexpr std::uint32_t BaseTag(std::uint32_t tag) { return tag & ~kTagIndirect; }
constexpr bool IsSystemKind(std::uint32_t tag) { return tag >= 0x80000000u && tag <= 0xBFFFFFFFu; }
constexpr bool IsIndirect(std::uint32_t tag) { return IsSystemKind(tag) && (tag & kTagIndirect); }
constexpr bool IsNumericKind(std::uint32_t tag) {
  return IsSystemKind(tag) && (BaseTag(tag) & 0xFF) == 0x01;
}
// Raw size of one value of a system kind (pointer kinds: a pointer); 0 if unknown.
std::size_t RawSize(std::uint32_t tag);

// Date-times count days from 1899-12-30.
inline constexpr double kMinDate = -657434.0;  // 100-01-01
inline constexpr double kMaxDate = 2958465.0;  // 9999-12-31
inline double ClampDate(double d) { return d < kMinDate ? kMinDate : (d > kMaxDate ? kMaxDate : d); }

// A typed argument and a result record share this 12-byte layout.
struct TypedArg {
  std::uint32_t lo = 0;
  std::uint32_t hi = 0;
  std::uint32_t tag = kTagOmitted;

  bool given() const { return tag != kTagOmitted; }
  std::uint64_t word() const { return lo | (static_cast<std::uint64_t>(hi) << 32); }
  void set_word(std::uint64_t w) {
    lo = static_cast<std::uint32_t>(w);
    hi = static_cast<std::uint32_t>(w >> 32);
  }
  void* pointer() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(word())); }
  void set_pointer(const void* p) { set_word(reinterpret_cast<std::uintptr_t>(p)); }
  std::int32_t as_int() const { return static_cast<std::int32_t>(lo); }
  std::int64_t as_long() const { return static_cast<std::int64_t>(word()); }
  double as_double() const;
  float as_float() const;
};
static_assert(sizeof(TypedArg) == 12);
using ResultRecord = TypedArg;

namespace arg {
TypedArg Omitted();
TypedArg Byte(std::uint8_t v);
TypedArg Short(std::int16_t v);
TypedArg Int(std::int32_t v);
TypedArg Long(std::int64_t v);
TypedArg Float(float v);
TypedArg Double(double v);
TypedArg Boolean(bool v);
TypedArg DateTime(double v);
// Texts are never passed as null: an empty text becomes the constant "".
TypedArg Text(const char* nulTerminated);
// Byte-sets are never passed as null: an empty one becomes the constant {1, 0}.
TypedArg ByteSet(const void* block);
TypedArg Array(std::uint32_t elementTag, const void* block);
// A variable the command may write back (e.g. FetchBytesData's position).
TypedArg IntVariable(std::int32_t* variable);
}  // namespace arg

// ---------------------------------------------------------------------------
// Text: owner of a NUL-terminated GBK block; null when empty.
class Text {
 public:
  Text() = default;
  explicit Text(std::string_view bytes) : p_(Make(bytes)) {}
  Text(const Text& o) : p_(Make(o.view())) {}
  Text(Text&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Text& operator=(Text o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Text() { Release(p_); }

  // Takes ownership of a runtime block (or a constant-region pointer).
  static Text Adopt(char* block) {
    Text t;
    t.p_ = (block && *block) ? block : (Release(block), nullptr);
    return t;
  }
  // A block of `size` bytes plus the NUL, to be filled by the caller.
  static Text Uninitialized(std::size_t size);

  std::string_view view() const { return p_ ? std::string_view(p_, std::strlen(p_)) : std::string_view(); }
  const char* c_str() const { return p_ ? p_ : ""; }
  char* data() { return p_; }
  const char* block() const { return p_; }
  bool empty() const { return p_ == nullptr; }
  std::size_t size() const { return p_ ? std::strlen(p_) : 0; }
  char* release() { return std::exchange(p_, nullptr); }

  friend bool operator==(const Text& a, const Text& b) { return a.view() == b.view(); }
  friend bool operator==(const Text& a, std::string_view b) { return a.view() == b; }

 private:
  static char* Make(std::string_view bytes);
  char* p_ = nullptr;
};

// ---------------------------------------------------------------------------
// ByteSet: owner of a {1, length, bytes} block; null when empty.
class ByteSet {
 public:
  ByteSet() = default;
  explicit ByteSet(std::string_view bytes) : p_(Make(bytes.data(), bytes.size())) {}
  ByteSet(const void* data, std::size_t size) : p_(Make(data, size)) {}
  ByteSet(const ByteSet& o) : p_(Make(o.data(), o.size())) {}
  ByteSet(ByteSet&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ByteSet& operator=(ByteSet o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ByteSet() { Release(p_); }

  static ByteSet Adopt(void* block);
  static ByteSet Uninitialized(std::size_t size);

  // Length and bytes of any byte-set block (null gives 0 / nothing).
  static std::size_t BlockSize(const void* block);
  static const char* BlockData(const void* block);

  std::size_t size() const { return BlockSize(p_); }
  const char* data() const { return BlockData(p_); }
  char* data() { return const_cast<char*>(BlockData(p_)); }
  std::string_view view() const { return {data(), size()}; }
  bool empty() const { return size() == 0; }
  const void* block() const { return p_; }
  void* release() { return std::exchange(p_, nullptr); }

  friend bool operator==(const ByteSet& a, const ByteSet& b) { return a.view() == b.view(); }

 private:
  static std::int32_t* Make(const void* data, std::size_t size);
  std::int32_t* p_ = nullptr;
};

// ---------------------------------------------------------------------------
// Array blocks. Indices are 1-based: below 1 raises runtime error 4, above the
// element count runtime error 1.
namespace array {
std::int32_t Dimensions(const void* block);
std::size_t ElementCount(const void* block);
// Start of the element area (after the dimension sizes).
char* Elements(const void* block);
// Checks a 1-based index against the element count (fatal when out of range).
void CheckIndex(const void* block, std::int64_t index);
// A fresh one-dimensional block with zeroed elements.
void* NewOneDim(std::size_t count, std::size_t elementSize);
}  // namespace array

// TextArray: owner of a one-dimensional array of texts (the split result and
// file lists); each element is a text block owned by the array.
class TextArray {
 public:
  TextArray();  // the empty array {1, 0}
  explicit TextArray(std::size_t count);  // `count` empty elements
  TextArray(const TextArray& o);
  TextArray(TextArray&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  TextArray& operator=(TextArray o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~TextArray();

  static TextArray Adopt(void* block);

  std::size_t size() const { return array::ElementCount(p_); }
  // 1-based, fatal when out of range.
  std::string_view operator[](std::int64_t index) const;
  // 1-based; replaces (and releases) the element.
  void Set(std::int64_t index, Text value);
  void Append(std::string_view value);  // grows by one element

  const void* block() const { return p_; }
  void* release() { return std::exchange(p_, nullptr); }

 private:
  char** slots() const { return reinterpret_cast<char**>(array::Elements(p_)); }
  void* p_ = nullptr;
};

}  // namespace tl::rt
