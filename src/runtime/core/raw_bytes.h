// The raw bytes of a value and the value read back from raw bytes: the byte
// images that ToByteSet, FetchBytesData, file and registry writes and the
// buffer object work on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/core/value.h"

namespace tl::rt {

// Holds the bytes of a value that lives in the argument's own slot.
struct RawScratch {
  char bytes[8];
};

// Numbers, boolean, date-time and routine address: their slot bytes in the
// kind's raw size, little-endian (in `scratch`). A text: its bytes without the
// NUL; a byte-set: its data; an array of a numeric kind: its element area.
// Anything else: nothing.
std::string_view RawBytesOf(const TypedArg& value, RawScratch& scratch);

// Reads a value of kind `tag` from the start of `bytes`. Numeric kinds,
// boolean (non-zero -> 1), date-time (clamped) and routine address are read
// little-endian, padded with zero bytes when fewer than the raw size are
// there; a text runs to the first NUL or the end of `bytes`. The record's tag
// is `tag`; a text result is a fresh block owned by the caller (TakeText).
// `consumed` receives the bytes stepped over: the raw size, or for a text its
// length plus the NUL if one was found. An unknown tag gives an empty record.
ResultRecord ValueFromRawBytes(std::uint32_t tag, std::string_view bytes, std::size_t* consumed = nullptr);

}  // namespace tl::rt
