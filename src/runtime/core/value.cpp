#include "runtime/core/value.h"

#include "runtime/core/errors.h"

namespace tl::rt {

std::size_t RawSize(std::uint32_t tag) {
  switch (BaseTag(tag)) {
    case kTagByte: return 1;
    case kTagShort: return 2;
    case kTagInt: case kTagFloat: case kTagBoolean: return 4;
    case kTagLong: case kTagDouble: case kTagDateTime: return 8;
    case kTagRoutine: return 4;
    case kTagText: case kTagByteSet: return sizeof(void*);
    default: return 0;
  }
}

double TypedArg::as_double() const {
  std::uint64_t w = word();
  double d;
  std::memcpy(&d, &w, sizeof d);
  return d;
}

float TypedArg::as_float() const {
  float f;
  std::memcpy(&f, &lo, sizeof f);
  return f;
}

namespace arg {
namespace {
TypedArg Make(std::uint64_t word, std::uint32_t tag) {
  TypedArg a;
  a.set_word(word);
  a.tag = tag;
  return a;
}
constexpr std::int32_t kEmptyByteSet[2] = {1, 0};
}  // namespace

TypedArg Omitted() { return {}; }
TypedArg Byte(std::uint8_t v) { return Make(v, kTagByte); }
TypedArg Short(std::int16_t v) { return Make(static_cast<std::uint16_t>(v), kTagShort); }
TypedArg Int(std::int32_t v) { return Make(static_cast<std::uint32_t>(v), kTagInt); }
TypedArg Long(std::int64_t v) { return Make(static_cast<std::uint64_t>(v), kTagLong); }
TypedArg Float(float v) {
  std::uint32_t w;
  std::memcpy(&w, &v, sizeof w);
  return Make(w, kTagFloat);
}
TypedArg Double(double v) {
  std::uint64_t w;
  std::memcpy(&w, &v, sizeof w);
  return Make(w, kTagDouble);
}
TypedArg Boolean(bool v) { return Make(v ? 1 : 0, kTagBoolean); }
TypedArg DateTime(double v) {
  TypedArg a = Double(v);
  a.tag = kTagDateTime;
  return a;
}
TypedArg Text(const char* s) {
  TypedArg a;
  a.set_pointer(s ? s : "");
  a.tag = kTagText;
  return a;
}
TypedArg ByteSet(const void* block) {
  TypedArg a;
  a.set_pointer(block ? block : kEmptyByteSet);
  a.tag = kTagByteSet;
  return a;
}
TypedArg Array(std::uint32_t elementTag, const void* block) {
  TypedArg a;
  a.set_pointer(block);
  a.tag = elementTag | kTagIndirect;
  return a;
}
TypedArg IntVariable(std::int32_t* variable) {
  TypedArg a;
  a.set_pointer(variable);
  a.tag = kTagInt | kTagIndirect;
  return a;
}
}  // namespace arg

// ---------------------------------------------------------------------------
char* Text::Make(std::string_view bytes) {
  if (bytes.empty()) return nullptr;
  auto* p = static_cast<char*>(Allocate(bytes.size() + 1));
  std::memcpy(p, bytes.data(), bytes.size());
  p[bytes.size()] = '\0';
  return p;
}

Text Text::Uninitialized(std::size_t size) {
  Text t;
  if (size == 0) return t;
  t.p_ = static_cast<char*>(Allocate(size + 1));
  t.p_[size] = '\0';
  return t;
}

// ---------------------------------------------------------------------------
std::int32_t* ByteSet::Make(const void* data, std::size_t size) {
  if (size == 0) return nullptr;
  // The length field is 32-bit: a larger byte-set cannot exist, and a wrapped
  // length would silently lose data.
  if (size > 0x7FFFFFF7u) FatalAllocation(size + 8);
  auto* p = static_cast<std::int32_t*>(Allocate(size + 8));
  p[0] = 1;
  p[1] = static_cast<std::int32_t>(size);
  if (data) std::memcpy(p + 2, data, size);
  return p;
}

ByteSet ByteSet::Adopt(void* block) {
  ByteSet b;
  if (BlockSize(block) == 0) {
    Release(block);
    return b;
  }
  b.p_ = static_cast<std::int32_t*>(block);
  return b;
}

ByteSet ByteSet::Uninitialized(std::size_t size) {
  ByteSet b;
  b.p_ = Make(nullptr, size);
  return b;
}

std::size_t ByteSet::BlockSize(const void* block) {
  if (!block) return 0;
  std::int32_t n;
  std::memcpy(&n, static_cast<const char*>(block) + 4, 4);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

const char* ByteSet::BlockData(const void* block) {
  return block ? static_cast<const char*>(block) + 8 : nullptr;
}

// ---------------------------------------------------------------------------
namespace array {

std::int32_t Dimensions(const void* block) {
  if (!block) return 0;
  std::int32_t d;
  std::memcpy(&d, block, 4);
  return d;
}

std::size_t ElementCount(const void* block) {
  std::int32_t dims = Dimensions(block);
  if (dims <= 0) return 0;
  std::size_t count = 1;
  auto* sizes = static_cast<const char*>(block) + 4;
  for (std::int32_t i = 0; i < dims; ++i) {
    std::int32_t s;
    std::memcpy(&s, sizes + 4 * i, 4);
    count *= s > 0 ? static_cast<std::size_t>(s) : 0;
  }
  return count;
}

char* Elements(const void* block) {
  std::int32_t dims = Dimensions(block);
  return const_cast<char*>(static_cast<const char*>(block)) + 4 + 4 * static_cast<std::size_t>(dims < 0 ? 0 : dims);
}

void CheckIndex(const void* block, std::int64_t index) {
  if (index < 1) RaiseRuntimeError(kErrIndexBelowOne);
  if (static_cast<std::uint64_t>(index) > ElementCount(block)) RaiseRuntimeError(kErrIndexAboveCount);
}

void* NewOneDim(std::size_t count, std::size_t elementSize) {
  std::size_t bytes = 8 + count * elementSize;
  auto* p = static_cast<std::int32_t*>(Allocate(bytes));
  p[0] = 1;
  p[1] = static_cast<std::int32_t>(count);
  std::memset(p + 2, 0, count * elementSize);
  return p;
}

}  // namespace array

// ---------------------------------------------------------------------------
TextArray::TextArray() : p_(array::NewOneDim(0, sizeof(char*))) {}

TextArray::TextArray(std::size_t count) : p_(array::NewOneDim(count, sizeof(char*))) {}

TextArray::TextArray(const TextArray& o) : p_(array::NewOneDim(o.size(), sizeof(char*))) {
  for (std::size_t i = 0; i < o.size(); ++i) {
    Text copy(o[static_cast<std::int64_t>(i + 1)]);
    slots()[i] = copy.release();
  }
}

TextArray::~TextArray() {
  if (!p_) return;
  std::size_t n = size();
  for (std::size_t i = 0; i < n; ++i) Release(slots()[i]);
  Release(p_);
}

TextArray TextArray::Adopt(void* block) {
  TextArray a;
  Release(a.p_);
  a.p_ = block ? block : array::NewOneDim(0, sizeof(char*));
  return a;
}

std::string_view TextArray::operator[](std::int64_t index) const {
  array::CheckIndex(p_, index);
  const char* s = slots()[index - 1];
  return s ? std::string_view(s) : std::string_view();
}

void TextArray::Set(std::int64_t index, Text value) {
  array::CheckIndex(p_, index);
  Release(slots()[index - 1]);
  slots()[index - 1] = value.release();
}

void TextArray::Append(std::string_view value) {
  std::size_t n = size();
  p_ = Reallocate(p_, 8 + (n + 1) * sizeof(char*));
  static_cast<std::int32_t*>(p_)[1] = static_cast<std::int32_t>(n + 1);
  Text copy(value);
  slots()[n] = copy.release();
}

}  // namespace tl::rt
