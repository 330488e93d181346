// Byte-set commands. Byte-sets are passed in as their data bytes; positions
// are 1-based and out-of-range positions and counts are clamped. Empty
// results are null byte-sets.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

std::int32_t ByteSetLength(std::string_view bytes);
ByteSet LeftBytes(std::string_view bytes, std::int32_t n);
ByteSet RightBytes(std::string_view bytes, std::int32_t n);
ByteSet MidBytes(std::string_view bytes, std::int32_t start, std::int32_t n);
std::int32_t FindBytes(std::string_view bytes, std::string_view sought, std::optional<std::int32_t> start = {});
// Byte-exact; count limits the replacements (negative counts as 0).
ByteSet ReplaceBytes(std::string_view bytes, std::string_view oldBytes,
                     std::optional<std::string_view> newBytes = {}, std::optional<std::int32_t> start = {},
                     std::optional<std::int32_t> count = {});
ByteSet ZeroBytes(std::int32_t n);
// The raw bytes of any value (a text without its NUL).
ByteSet ToByteSet(const TypedArg& value);

// Data types of FetchBytesData.
enum FetchType : std::int32_t {
  kFetchByte = 1,
  kFetchShort,
  kFetchInt,
  kFetchLong,
  kFetchFloat,
  kFetchDouble,
  kFetchBoolean,
  kFetchDateTime,
  kFetchRoutine,
  kFetchText,
};

// Reads a value of the given type at the 1-based *position (from the start
// when position is null). Short reads are padded with zero bytes; a text runs
// to the first NUL or the end. *position moves past what was read, or becomes
// -1 when that reaches the end or when it named no byte of the byte-set. The
// record's tag gives the kind; a text result belongs to the caller
// (TakeText). An invalid type is a fatal runtime error.
ResultRecord FetchBytesData(std::string_view bytes, std::int32_t type, std::int32_t* position = nullptr);

// A copy of `length` bytes at `address`; null address or length <= 0 gives
// the empty byte-set.
ByteSet PointerToBytes(const void* address, std::int32_t length);

namespace cmd {
extern const Command kByteSetLength;
extern const Command kLeftBytes;
extern const Command kRightBytes;
extern const Command kMidBytes;
extern const Command kFindBytes;
extern const Command kReplaceBytes;
extern const Command kZeroBytes;
extern const Command kToByteSet;
extern const Command kFetchBytesData;
extern const Command kPointerToBytes;
}  // namespace cmd

}  // namespace tl::rt
