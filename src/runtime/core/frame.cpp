#include "runtime/core/frame.h"

#include <cstring>

namespace tl::rt {

ResultRecord CallCommand(const Command& command, int argc, const TypedArg* args) {
  ResultRecord result{};
  command.body(result, argc, args);
  return result;
}

ResultRecord CallLibraryCommand(const Command& command, int argc, const TypedArg* args) {
  return CallCommand(command, argc, args);
}

std::string_view ArgText(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a) return {};
  auto* s = static_cast<const char*>(a->pointer());
  return s ? std::string_view(s) : std::string_view();
}

std::string_view ArgBytes(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a) return {};
  const void* block = a->pointer();
  return {ByteSet::BlockData(block), ByteSet::BlockSize(block)};
}

namespace {
// Truncates toward zero; out-of-range values saturate and NaN gives 0, where
// a plain conversion would be undefined.
std::int32_t SaturatedInt(double d) {
  if (!(d == d)) return 0;
  if (d >= 2147483647.0) return 2147483647;
  if (d <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(d);
}
}  // namespace

std::optional<std::int32_t> ArgInt(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a) return std::nullopt;
  switch (BaseTag(a->tag)) {
    case kTagByte: return static_cast<std::int32_t>(a->lo & 0xFF);
    case kTagShort: return static_cast<std::int32_t>(static_cast<std::int16_t>(a->lo & 0xFFFF));
    case kTagLong: return static_cast<std::int32_t>(a->lo);
    case kTagFloat: return SaturatedInt(a->as_float());
    case kTagDouble: case kTagDateTime: return SaturatedInt(a->as_double());
    default: return a->as_int();
  }
}

std::optional<bool> ArgBool(int argc, const TypedArg* args, int i) {
  auto v = ArgInt(argc, args, i);
  if (!v) return std::nullopt;
  return *v != 0;
}

std::optional<double> ArgDouble(int argc, const TypedArg* args, int i) {
  const TypedArg* a = ArgAt(argc, args, i);
  if (!a) return std::nullopt;
  switch (BaseTag(a->tag)) {
    case kTagDouble: case kTagDateTime: return a->as_double();
    case kTagFloat: return a->as_float();
    case kTagLong: return static_cast<double>(a->as_long());
    default: return static_cast<double>(*ArgInt(argc, args, i));
  }
}

void ReturnText(ResultRecord& r, Text value) {
  r.set_pointer(value.release());
  r.tag = kTagText;
}
void ReturnByteSet(ResultRecord& r, ByteSet value) {
  r.set_pointer(value.release());
  r.tag = kTagByteSet;
}
void ReturnArray(ResultRecord& r, void* block, std::uint32_t elementTag) {
  r.set_pointer(block);
  r.tag = elementTag | kTagIndirect;
}
void ReturnInt(ResultRecord& r, std::int32_t value) {
  r.set_word(static_cast<std::uint32_t>(value));
  r.tag = kTagInt;
}
void ReturnBool(ResultRecord& r, bool value) {
  r.set_word(value ? 1 : 0);
  r.tag = kTagBoolean;
}
void ReturnDouble(ResultRecord& r, double value) {
  std::uint64_t w;
  std::memcpy(&w, &value, sizeof w);
  r.set_word(w);
  r.tag = kTagDouble;
}
void ReturnDateTime(ResultRecord& r, double value) {
  ReturnDouble(r, ClampDate(value));
  r.tag = kTagDateTime;
}

}  // namespace tl::rt
