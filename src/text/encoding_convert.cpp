#include "text/encoding_convert.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/heap.h"
#include "runtime/os/charset.h"
#include "text/parallel.h"

namespace tl::text {

namespace {

constexpr int kMaxConversionCalls = 12;

// Runs the conversion into a runtime block that starts with `header` bytes
// the caller fills in, and keeps one spare byte after the output for a NUL.
// Returns the block (owned by the caller) and the output length, or null;
// `invalidAt`, when given, receives the offset of an input sequence that is
// not valid in `from` (or that the input ends inside).
char* ConvertPiece(std::string_view bytes, std::string_view from, std::string_view to, std::size_t header,
                   std::size_t& produced, std::size_t* invalidAt) {
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

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// UTF-8 and GB18030 never hold an LF byte inside a character and carry no
// state from one character to the next, so text in them converts piece by
// piece when the pieces are cut after an LF.
bool CutsAtLineFeeds(std::string_view charset) { return SameName(charset, "UTF-8") || SameName(charset, "GB18030"); }

char* ConvertIntoBlock(std::string_view bytes, std::string_view from, std::string_view to,
                       std::size_t header, std::size_t& produced, std::size_t* invalidAt = nullptr) {
  const unsigned parts = PartsFor(bytes.size() / 64);  // worth it from a few megabytes
  if (parts == 1 || !CutsAtLineFeeds(from) || !CutsAtLineFeeds(to))
    return ConvertPiece(bytes, from, to, header, produced, invalidAt);
  // Large text is converted in pieces side by side, each cut after an LF;
  // the first piece that fails tells where, as one conversion would.
  std::vector<std::size_t> cut(parts + 1, bytes.size());
  cut[0] = 0;
  for (unsigned p = 1; p < parts; ++p) {
    const std::size_t near = std::max(cut[p - 1], PartBegin(bytes.size(), parts, p));
    const std::size_t lf = bytes.find('\n', near);
    cut[p] = lf == std::string_view::npos ? bytes.size() : lf + 1;
  }
  std::vector<char*> blocks(parts, nullptr);
  std::vector<std::size_t> sizes(parts, 0), bad(parts, std::string_view::npos);
  RunParts(parts, [&](unsigned p) {
    blocks[p] = ConvertPiece(bytes.substr(cut[p], cut[p + 1] - cut[p]), from, to, p == 0 ? header : 0, sizes[p],
                             &bad[p]);
  });
  char* block = blocks[0];
  produced = sizes[0];
  for (unsigned p = 1; p < parts && block; ++p) {
    if (!blocks[p]) {
      if (invalidAt && bad[p] != std::string_view::npos) *invalidAt = cut[p] + bad[p];
      rt::Release(block);
      block = nullptr;
      break;
    }
    block = static_cast<char*>(rt::Reallocate(block, header + produced + sizes[p] + 1));
    std::memcpy(block + header + produced, blocks[p], sizes[p]);
    produced += sizes[p];
  }
  if (!blocks[0] && invalidAt && bad[0] != std::string_view::npos) *invalidAt = bad[0];
  for (unsigned p = 1; p < parts; ++p) rt::Release(blocks[p]);
  if (!block) {
    produced = 0;
    return nullptr;
  }
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
