#include "runtime/commands/byteset_commands.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "gbk_texts.h"
#include "runtime/core/errors.h"
#include "runtime/core/raw_bytes.h"

namespace tl::rt {
namespace {
std::size_t Clamp(std::int64_t v, std::size_t high) {
  return v <= 0 ? 0 : std::min(static_cast<std::size_t>(v), high);
}
}  // namespace

std::int32_t ByteSetLength(std::string_view bytes) { return static_cast<std::int32_t>(bytes.size()); }

ByteSet LeftBytes(std::string_view bytes, std::int32_t n) { return ByteSet(bytes.substr(0, Clamp(n, bytes.size()))); }

ByteSet RightBytes(std::string_view bytes, std::int32_t n) {
  return ByteSet(bytes.substr(bytes.size() - Clamp(n, bytes.size())));
}

ByteSet MidBytes(std::string_view bytes, std::int32_t start, std::int32_t n) {
  std::size_t p = Clamp(std::int64_t{start} - 1, bytes.size());
  return ByteSet(bytes.substr(p, Clamp(n, bytes.size() - p)));
}

std::int32_t FindBytes(std::string_view bytes, std::string_view sought, std::optional<std::int32_t> start) {
  const std::size_t p = start ? Clamp(std::int64_t{*start} - 1, bytes.size()) : 0;
  if (sought.empty() || bytes.size() - p < sought.size()) return -1;
  const char* base = bytes.data();
  const char* last = base + (bytes.size() - sought.size());  // the latest possible match start
  for (const char* at = base + p; at <= last;) {
    const void* hit = std::memchr(at, sought[0], static_cast<std::size_t>(last - at) + 1);
    if (!hit) break;
    at = static_cast<const char*>(hit);
    if (std::memcmp(at, sought.data(), sought.size()) == 0) return static_cast<std::int32_t>(at - base + 1);
    ++at;
  }
  return -1;
}

ByteSet ReplaceBytes(std::string_view bytes, std::string_view oldBytes, std::optional<std::string_view> newBytes,
                     std::optional<std::int32_t> start, std::optional<std::int32_t> count) {
  const std::size_t length = bytes.size();
  const std::size_t m = oldBytes.size();
  const std::size_t p = start ? Clamp(std::int64_t{*start} - 1, length) : 0;
  std::int64_t remaining = count ? std::max<std::int32_t>(*count, 0) : -1;  // -1: no limit
  if (length == 0 || m == 0 || p >= length || remaining == 0) return ByteSet(bytes);

  const std::string_view replacement = newBytes.value_or(std::string_view());
  std::string out;
  out.reserve(length);
  out.append(bytes.substr(0, p));
  std::size_t i = p;
  while (remaining != 0 && i + m <= length) {
    if (std::memcmp(bytes.data() + i, oldBytes.data(), m) == 0) {
      out.append(replacement);
      i += m;
      if (remaining > 0) --remaining;
    } else {
      out += bytes[i++];
    }
  }
  out.append(bytes.substr(i));
  return ByteSet(out);
}

ByteSet ZeroBytes(std::int32_t n) {
  if (n <= 0) return ByteSet();
  ByteSet out = ByteSet::Uninitialized(static_cast<std::size_t>(n));
  std::memset(out.data(), 0, static_cast<std::size_t>(n));
  return out;
}

ByteSet ToByteSet(const TypedArg& value) {
  RawScratch scratch;
  return ByteSet(RawBytesOf(value, scratch));
}

ResultRecord FetchBytesData(std::string_view bytes, std::int32_t type, std::int32_t* position) {
  static constexpr std::uint32_t kTags[] = {kTagByte,    kTagShort,  kTagInt,      kTagLong,    kTagFloat,
                                            kTagDouble,  kTagBoolean, kTagDateTime, kTagRoutine, kTagText};
  if (type < kFetchByte || type > kFetchText) FatalError(gbk::ErrFetchType);
  const std::uint32_t tag = kTags[type - 1];

  // A position outside 1..length names no byte: the value reads as zero (or
  // empty) and the variable is marked as finished.
  std::int64_t offset = position ? std::int64_t{*position} - 1 : 0;
  const bool inside = offset >= 0 && static_cast<std::size_t>(offset) < bytes.size();
  std::size_t consumed = 0;
  ResultRecord value =
      ValueFromRawBytes(tag, inside ? bytes.substr(static_cast<std::size_t>(offset)) : std::string_view(), &consumed);
  if (position) {
    std::int64_t next = offset + static_cast<std::int64_t>(consumed);
    *position = (!inside || next >= static_cast<std::int64_t>(bytes.size())) ? -1 : static_cast<std::int32_t>(next + 1);
  }
  return value;
}

ByteSet PointerToBytes(const void* address, std::int32_t length) {
  if (!address || length <= 0) return ByteSet();
  return ByteSet(address, static_cast<std::size_t>(length));
}

// ---------------------------------------------------------------------------
namespace cmd {
namespace {

std::optional<std::string_view> OptBytes(int argc, const TypedArg* args, int i) {
  if (!ArgAt(argc, args, i)) return std::nullopt;
  return ArgBytes(argc, args, i);
}
std::int32_t IntOr0(int argc, const TypedArg* args, int i) { return ArgInt(argc, args, i).value_or(0); }

void ByteSetLengthBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, ByteSetLength(ArgBytes(argc, args, 0)));
}
void LeftBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, LeftBytes(ArgBytes(argc, args, 0), IntOr0(argc, args, 1)));
}
void RightBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, RightBytes(ArgBytes(argc, args, 0), IntOr0(argc, args, 1)));
}
void MidBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, MidBytes(ArgBytes(argc, args, 0), IntOr0(argc, args, 1), IntOr0(argc, args, 2)));
}
void FindBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, FindBytes(ArgBytes(argc, args, 0), ArgBytes(argc, args, 1), ArgInt(argc, args, 2)));
}
void ReplaceBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, ReplaceBytes(ArgBytes(argc, args, 0), ArgBytes(argc, args, 1), OptBytes(argc, args, 2),
                                ArgInt(argc, args, 3), ArgInt(argc, args, 4)));
}
void ZeroBytesBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnByteSet(r, ZeroBytes(IntOr0(argc, args, 0))); }
void ToByteSetBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnByteSet(r, ToByteSet(argc > 0 ? args[0] : TypedArg{}));
}
void FetchBytesDataBody(ResultRecord& r, int argc, const TypedArg* args) {
  // The position comes either as a variable to advance or as a plain value.
  std::int32_t local = 0;
  std::int32_t* position = nullptr;
  if (const TypedArg* a = ArgAt(argc, args, 2)) {
    if (IsIndirect(a->tag) && a->pointer()) {
      position = static_cast<std::int32_t*>(a->pointer());
    } else {
      local = ArgInt(argc, args, 2).value_or(0);
      position = &local;
    }
  }
  r = FetchBytesData(ArgBytes(argc, args, 0), IntOr0(argc, args, 1), position);
}
void PointerToBytesBody(ResultRecord& r, int argc, const TypedArg* args) {
  const TypedArg* address = ArgAt(argc, args, 0);
  ReturnByteSet(r, PointerToBytes(address ? address->pointer() : nullptr, IntOr0(argc, args, 1)));
}

}  // namespace

const Command kByteSetLength{"ByteSetLength", &ByteSetLengthBody};
const Command kLeftBytes{"LeftBytes", &LeftBytesBody};
const Command kRightBytes{"RightBytes", &RightBytesBody};
const Command kMidBytes{"MidBytes", &MidBytesBody};
const Command kFindBytes{"FindBytes", &FindBytesBody};
const Command kReplaceBytes{"ReplaceBytes", &ReplaceBytesBody};
const Command kZeroBytes{"ZeroBytes", &ZeroBytesBody};
const Command kToByteSet{"ToByteSet", &ToByteSetBody};
const Command kFetchBytesData{"FetchBytesData", &FetchBytesDataBody};
const Command kPointerToBytes{"PointerToBytes", &PointerToBytesBody};
}  // namespace cmd

}  // namespace tl::rt
