#include "runtime/core/raw_bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include <cmath>
#include <cstring>

namespace tl::rt {
namespace {

std::uint64_t ReadLittleEndian(std::string_view bytes, std::size_t size) {
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < size && i < bytes.size(); ++i)
    word |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return word;
}

bool IsSlotKind(std::uint32_t tag) {
  switch (tag) {
    case kTagByte: case kTagShort: case kTagInt: case kTagLong: case kTagFloat: case kTagDouble:
    case kTagBoolean: case kTagDateTime: case kTagRoutine:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string_view RawBytesOf(const TypedArg& value, RawScratch& scratch) {
  const std::uint32_t tag = value.tag;
  if (IsSlotKind(tag)) {
    // Slot kinds are at most 8 bytes, stored little-endian.
    static_assert(std::endian::native == std::endian::little);
    std::size_t size = std::min<std::size_t>(RawSize(tag), sizeof scratch.bytes);
    std::uint64_t word = value.word();
    std::memcpy(scratch.bytes, &word, size);
    return {scratch.bytes, size};
  }
  if (tag == kTagText) {
    auto* s = static_cast<const char*>(value.pointer());
    return s ? std::string_view(s) : std::string_view();
  }
  if (tag == kTagByteSet) {
    const void* block = value.pointer();
    return {ByteSet::BlockData(block), ByteSet::BlockSize(block)};
  }
  if (IsIndirect(tag) && IsNumericKind(BaseTag(tag))) {
    const void* block = value.pointer();
    std::size_t count = array::ElementCount(block);
    if (count == 0) return {};
    return {array::Elements(block), count * RawSize(BaseTag(tag))};
  }
  return {};
}

ResultRecord ValueFromRawBytes(std::uint32_t tag, std::string_view bytes, std::size_t* consumed) {
  ResultRecord r;
  std::size_t used = 0;
  if (tag == kTagText) {
    std::size_t nul = bytes.find('\0');
    std::size_t length = nul == std::string_view::npos ? bytes.size() : nul;
    used = nul == std::string_view::npos ? length : length + 1;
    r.set_pointer(Text(bytes.substr(0, length)).release());
    r.tag = tag;
  } else if (IsSlotKind(tag)) {
    used = RawSize(tag);
    std::uint64_t word = ReadLittleEndian(bytes, used);
    if (tag == kTagBoolean) {
      word = word != 0 ? 1 : 0;
    } else if (tag == kTagDateTime) {
      double d;
      std::memcpy(&d, &word, sizeof d);
      d = std::isnan(d) ? kMinDate : ClampDate(d);
      std::memcpy(&word, &d, sizeof d);
    }
    r.set_word(word);
    r.tag = tag;
  }
  if (consumed) *consumed = used;
  return r;
}

}  // namespace tl::rt
