#include "text/encoding_detect.h"
#include "runtime/core/gbk_view.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace tl::text {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The charset declarations looked for in meta tags, in the order tried.
// Inside a list "''" stands for a double quote and "[fg]" separates pieces.
struct CharsetList {
  std::string_view alternatives;
  int charset;
};
constexpr CharsetList kHtmlCharsetLists[] = {
    {"charset=UTF-8[fg]charset=''UTF-8''[fg]charset='UTF-8'", kHtmlUtf8},
    {"charset=Big5[fg]charset=''Big5''[fg]charset='Big5'", kHtmlBig5},
    {"charset=Big5-HKSCS[fg]charset=''Big5-HKSCS''[fg]charset='Big5-HKSCS'", kHtmlBig5Hkscs},
};



bool BytesAre(rt::FileNumber f, std::string_view want) {
  rt::ByteSet got = rt::ReadBytes(f, static_cast<std::int64_t>(want.size()));
  return got.view() == want;
}

}  // namespace

const char* CharsetOfEncoding(int code) {
  switch (code) {
    case kEncodingUtf8: return "UTF-8";
    case kEncodingUtf16Le: return "UTF-16LE";
    case kEncodingUtf16Be: return "UTF-16BE";
    case kEncodingBig5: return "BIG5";
    case kEncodingBig5Hkscs: return "BIG5-HKSCS";
    default: return nullptr;
  }
}

std::string_view MarkOfEncoding(int code) {
  switch (code) {
    case kEncodingUtf8: return kUtf8Mark;
    case kEncodingUtf16Le: return kUtf16LeMark;
    case kEncodingUtf16Be: return kUtf16BeMark;
    default: return {};
  }
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.empty() || from > text.size() || text.size() - from < needle.size()) return std::string_view::npos;
  const std::size_t last = text.size() - needle.size();
  const char lower = gbk::FoldAscii(needle[0]);
  const char upper = gbk::UpperAscii(lower);
  const char* base = text.data();
  // The next place of each case of the first byte, found again only once
  // passed, and the last known character boundary, which bounds every walk
  // back: both keep the search linear in the text.
  auto next = [&](char c, std::size_t at) -> std::size_t {
    if (at > last) return std::string_view::npos;
    const void* p = std::memchr(base + at, c, last - at + 1);
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - base) : std::string_view::npos;
  };
  std::size_t nextLower = next(lower, from);
  std::size_t nextUpper = upper == lower ? std::string_view::npos : next(upper, from);
  std::size_t boundary = from;
  for (;;) {
    const std::size_t at = std::min(nextLower, nextUpper);
    if (at == std::string_view::npos) return std::string_view::npos;
    const bool onBoundary = gbk::AtBoundary(text, boundary, at);
    if (onBoundary && gbk::SameBytes(base + at, needle.data(), needle.size(), true)) return at;
    // A candidate that is the second byte of a character puts the next
    // boundary right after it.
    boundary = onBoundary ? at : at + 1;
    if (at == nextLower) nextLower = next(lower, at + 1);
    if (at == nextUpper) nextUpper = next(upper, at + 1);
  }
}

rt::Text TextBetween(std::string_view text, std::string_view left, std::string_view right,
                     std::int64_t& position) {
  const std::size_t from = position > 1 ? static_cast<std::size_t>(position - 1) : 0;
  const std::size_t p = FindNoCase(text, left, from);
  if (p == std::string_view::npos) return {};
  const std::size_t inner = p + left.size();
  const std::size_t q = FindNoCase(text, right, inner);
  if (q == std::string_view::npos) return {};
  position = static_cast<std::int64_t>(q + right.size()) + 1;
  return rt::Text(text.substr(inner, q - inner));
}

bool ContainsAny(std::string_view text, std::string_view alternatives) {
  constexpr std::string_view kMarker = "[fg]";
  for (;;) {
    const std::size_t cut = alternatives.find(kMarker);
    std::string_view piece = alternatives.substr(0, cut);
    if (!piece.empty() && FindNoCase(text, piece, 0) != std::string_view::npos) return true;
    if (cut == std::string_view::npos) return false;
    alternatives.remove_prefix(cut + kMarker.size());
  }
}

rt::Text UnquoteApostrophes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
      out.push_back('"');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return rt::Text(out);
}

int DetectHtmlCharset(std::string_view text) {
  std::int64_t start = 0;
  rt::Text headText = TextBetween(text, "<head>", "</head>", start);
  std::string_view head = headText.empty() ? text : headText.view();
  std::int64_t position = 0;
  for (;;) {
    rt::Text meta = TextBetween(head, "<meta", ">", position);
    if (meta.empty()) return kHtmlNone;
    for (const CharsetList& list : kHtmlCharsetLists) {
      rt::Text pieces = UnquoteApostrophes(list.alternatives);
      if (ContainsAny(meta.view(), pieces.view())) return list.charset;
    }
  }
}

namespace {

int CodeOfHtmlCharset(int charset) {
  switch (charset) {
    case kHtmlUtf8: return kEncodingUtf8;
    case kHtmlBig5: return kEncodingBig5;
    case kHtmlBig5Hkscs: return kEncodingBig5Hkscs;
    default: return 0;
  }
}

// What ReadText gives for the whole file: the bytes before the first NUL or
// 0x1A, without a lead byte cut off by that NUL.
std::string_view AsReadText(std::string_view bytes) {
  std::size_t end = bytes.size();
  if (const void* sub = std::memchr(bytes.data(), 0x1A, end)) end = static_cast<const char*>(sub) - bytes.data();
  if (const void* nul = std::memchr(bytes.data(), 0, end)) {
    end = static_cast<const char*>(nul) - bytes.data();
    if (end > 0 && gbk::IsLeadAt(bytes, end - 1)) --end;
  }
  return bytes.substr(0, end);
}

}  // namespace

ContentStart EncodingOfBytes(std::string_view bytes, int requested) {
  auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  switch (requested) {
    case kEncodingUtf8:
    case kEncodingUtf16Le:
    case kEncodingUtf16Be:
      return {requested, startsWith(MarkOfEncoding(requested)) ? MarkOfEncoding(requested).size() : 0};
    case kEncodingAnsi:
    case kEncodingBig5:
    case kEncodingBig5Hkscs: return {requested, 0};
    default: break;
  }
  if (startsWith(kUtf8Mark)) return {kEncodingUtf8, kUtf8Mark.size()};
  if (startsWith(kUtf16LeMark)) return {kEncodingUtf16Le, kUtf16LeMark.size()};
  if (startsWith(kUtf16BeMark)) return {kEncodingUtf16Be, kUtf16BeMark.size()};
  if (bytes.empty()) return {kEncodingAnsi, 0};
  // Without a '<' there is no charset tag to find: one pass instead of the
  // four of the tag search, which large input feels.
  if (!std::memchr(bytes.data(), '<', bytes.size())) return {kEncodingAnsi, 0};
  if (int code = CodeOfHtmlCharset(DetectHtmlCharset(AsReadText(bytes)))) return {code, 0};
  return {kEncodingAnsi, 0};
}

int PositionForEncoding(rt::FileNumber f, int requested) {
  switch (requested) {
    case kEncodingUtf8:
    case kEncodingUtf16Le:
    case kEncodingUtf16Be:
      // A mark is skipped only when it is this code's own; other leading
      // bytes are content.
      if (!BytesAre(f, MarkOfEncoding(requested))) rt::SeekFileStart(f);
      return requested;
    case kEncodingAnsi:
    case kEncodingBig5:
    case kEncodingBig5Hkscs:
      rt::SeekFileStart(f);
      return requested;
    default: break;
  }
  if (BytesAre(f, kUtf8Mark)) return kEncodingUtf8;
  if (rt::SeekFileStart(f) && BytesAre(f, kUtf16LeMark)) return kEncodingUtf16Le;
  if (rt::SeekFileStart(f) && BytesAre(f, kUtf16BeMark)) return kEncodingUtf16Be;
  if (rt::SeekFileStart(f)) {
    int code = 0;
    {
      rt::Text whole = rt::ReadText(f);
      code = CodeOfHtmlCharset(DetectHtmlCharset(whole.view()));
    }
    if (code != 0) {
      rt::SeekFileStart(f);
      if (code == kEncodingUtf8 && !BytesAre(f, kUtf8Mark)) rt::SeekFileStart(f);
      return code;
    }
  }
  rt::SeekFileStart(f);
  return kEncodingAnsi;
}

bool HasHighByte(std::string_view s) {
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    if (w & 0x8080808080808080ULL) return true;
  }
  for (; i < s.size(); ++i)
    if (static_cast<unsigned char>(s[i]) >= 0x80) return true;
  return false;
}

}  // namespace tl::text
