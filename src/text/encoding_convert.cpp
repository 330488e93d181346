#include "text/encoding_convert.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/core/heap.h"
#include "runtime/os/charset.h"

namespace tl::text {

namespace {

constexpr int kMaxConversionCalls = 12;

// Runs the conversion into a runtime block that starts with `header` bytes
// the caller fills in, and keeps one spare byte after the output for a NUL.
// Returns the block (owned by the caller) and the output length, or null;
// `invalidAt`, when given, receives the offset of an input sequence that is
// not valid in `from` (or that the input ends inside).
char* ConvertIntoBlock(std::string_view bytes, std::string_view from, std::string_view to,
                       std::size_t header, std::size_t& produced, std::size_t* invalidAt = nullptr) {
  produced = 0;
  rt::CharsetConverter conv{std::string(to), std::string(from)};
  if (!conv.ok()) return nullptr;
  std::size_t capacity = bytes.size();
  const std::size_t growth = bytes.size() / 2 + 128;
  char* block = static_cast<char*>(rt::Allocate(header + capacity + 1));
  const char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  for (int call = 1;; ++call) {
    char* out = block + header + produced;
    std::size_t outLeft = capacity - produced;
    auto status = conv.Convert(in, inLeft, out, outLeft);
    produced = capacity - outLeft;
    if (status == rt::CharsetConverter::Status::kDone) break;
    if (status != rt::CharsetConverter::Status::kOutputFull || call == kMaxConversionCalls) {
      if (invalidAt && (status == rt::CharsetConverter::Status::kInvalid ||
                        status == rt::CharsetConverter::Status::kIncomplete))
        *invalidAt = static_cast<std::size_t>(in - bytes.data());
      rt::Release(block);
      return nullptr;
    }
    capacity += growth;
    block = static_cast<char*>(rt::Reallocate(block, header + capacity + 1));
  }
  if (capacity - produced > 4096) block = static_cast<char*>(rt::Reallocate(block, header + produced + 1));
  block[header + produced] = '\0';
  return block;
}

}  // namespace

rt::ByteSet ConvertEncoding(std::string_view bytes, std::string_view from, std::string_view to,
                            std::int32_t* success) {
  if (success) *success = 0;
  if (bytes.empty()) {
    rt::CharsetConverter probe{std::string(to), std::string(from)};
    if (probe.ok() && success) *success = 1;
    return {};
  }
  std::size_t produced = 0;
  char* block = ConvertIntoBlock(bytes, from, to, 8, produced);
  if (!block) return {};
  if (produced > INT32_MAX) {
    // A byte-set cannot say how long it is past 2 GiB: fail rather than
    // hand back a length that wrapped.
    rt::Release(block);
    return {};
  }
  const std::int32_t words[2] = {1, static_cast<std::int32_t>(produced)};
  std::memcpy(block, words, sizeof words);
  if (success) *success = 1;
  return rt::ByteSet::Adopt(block);
}

std::optional<rt::Text> ConvertEncodingToText(std::string_view bytes, std::string_view from,
                                              std::string_view to, std::size_t* invalidAt) {
  if (bytes.empty()) {
    rt::CharsetConverter probe{std::string(to), std::string(from)};
    if (!probe.ok()) return std::nullopt;
    return rt::Text();
  }
  std::size_t produced = 0;
  char* block = ConvertIntoBlock(bytes, from, to, 0, produced, invalidAt);
  if (!block) return std::nullopt;
  if (std::memchr(block, 0, produced)) {
    rt::Release(block);
    return std::nullopt;
  }
  return rt::Text::Adopt(block);
}

const rt::Command kConvertEncoding{"ConvertEncoding", [](rt::ResultRecord& r, int argc, const rt::TypedArg* args) {
  std::int32_t* flag = nullptr;
  if (const rt::TypedArg* a = rt::ArgAt(argc, args, 3); a && rt::IsIndirect(a->tag))
    flag = static_cast<std::int32_t*>(a->pointer());
  rt::ReturnByteSet(r, ConvertEncoding(rt::ArgBytes(argc, args, 0), rt::ArgText(argc, args, 1),
                                       rt::ArgText(argc, args, 2), flag));
}};

}  // namespace tl::text
