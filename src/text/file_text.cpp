#include "text/file_text.h"

#include <climits>
#include <cstring>
#include <string>

#include "runtime/os/codepage.h"
#include "runtime/os/files.h"
#include "runtime/os/temp_files.h"
#include "runtime/core/heap.h"
#include "runtime/core/gbk_view.h"
#include "runtime/core/random.h"
#include "text/encoding_convert.h"
#include "text/encoding_detect.h"

namespace tl::text {

namespace {

constexpr char kEndOfFileMark = 0x1A;
constexpr std::string_view kProgramCharset = "GB18030";

// Turns a byte-set block into a text block in place (no second copy of a
// large file): the bytes move down over the header.
rt::Text IntoText(rt::ByteSet bytes, std::size_t length) {
  if (length == 0) return {};
  char* block = static_cast<char*>(bytes.release());
  std::memmove(block, block + 8, length);
  block[length] = '\0';
  return rt::Text::Adopt(block);
}

std::u16string UnitsOf(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(bytes[2 * i]);
    unsigned char b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return units;
}

// The platform's code-page conversion of the file's bytes, tried when the
// charset converter gives nothing. nullopt when it gives nothing either,
// when its result would be cut short, or when it would put a substitute in
// place of a character it could not convert.
std::optional<rt::Text> FallbackDecode(std::string_view bytes, int code) {
  std::optional<std::string> text;
  bool substituted = false;
  switch (code) {
    case kEncodingUtf8: {
      bool replaced = false;
      auto units = rt::codepage::ToUtf16(rt::codepage::kUtf8, bytes, &replaced);
      if (units && !replaced && units->find(u'\0') == std::u16string::npos)
        text = rt::codepage::FromUtf16(rt::codepage::kAnsi, *units, std::nullopt, &substituted);
      break;
    }
    case kEncodingUtf16Le:
    case kEncodingUtf16Be: {
      if (bytes.size() % 2) break;  // a trailing half unit would be dropped
      std::u16string units = UnitsOf(bytes, code == kEncodingUtf16Be);
      if (units.find(u'\0') == std::u16string::npos)
        text = rt::codepage::FromUtf16(rt::codepage::kAnsi, units, std::nullopt, &substituted);
      break;
    }
    case kEncodingBig5:
    case kEncodingBig5Hkscs: {
      if (bytes.find('\0') != std::string_view::npos) break;
      bool replaced = false;
      auto units = rt::codepage::ToUtf16(rt::codepage::kBig5, bytes, &replaced);
      if (units && !replaced) text = rt::codepage::FromUtf16(rt::codepage::kGbk, *units, '\0', &substituted);
      break;
    }
    default: break;
  }
  if (substituted || !text || text->empty() || text->find('\0') != std::string::npos) return std::nullopt;
  return rt::Text(*text);
}

// Reads the whole file once, for reading only (others may still read and
// write it), to its end: a file may hold more than its reported size (0 for
// many pseudo-files) or less, if it shrank meanwhile. nullopt when it cannot
// be opened or read, or holds more than a text can.
std::optional<rt::ByteSet> ReadWholeFile(std::string_view path, bool& opened) {
  using namespace rt::fileio;
  const Handle h = Open(path, Access::kRead, Disposition::kOpenExisting, Share::kReadWrite);
  opened = h != kNoHandle;
  if (!opened) return std::nullopt;
  std::optional<rt::ByteSet> result;
  const std::int64_t reported = Size(h);
  if (reported >= 0 && reported <= INT32_MAX) {
    // The reported size in one read into the final block, the common case.
    rt::ByteSet bytes = rt::ByteSet::Uninitialized(static_cast<std::size_t>(reported));
    std::int64_t got = reported == 0 ? 0 : ReadAt(h, 0, bytes.data(), bytes.size());
    if (got == reported) {
      // Whatever follows, in blocks, until a read gives nothing.
      std::string more;
      constexpr std::size_t kBlock = 64 * 1024;
      for (;;) {
        const std::size_t at = more.size();
        if (static_cast<std::int64_t>(at) > INT32_MAX - reported) {
          got = -1;
          break;
        }
        more.resize(at + kBlock);
        const std::int64_t n = ReadAt(h, reported + static_cast<std::int64_t>(at), more.data() + at, kBlock);
        if (n <= 0) {
          more.resize(at);
          if (n < 0) got = -1;
          break;
        }
        more.resize(at + static_cast<std::size_t>(n));
      }
      if (got >= 0 && static_cast<std::int64_t>(more.size()) <= INT32_MAX - reported) {
        if (more.empty()) {
          result = std::move(bytes);
        } else {
          std::string whole(bytes.view());
          whole += more;
          result = rt::ByteSet(whole);
        }
      }
    } else if (got >= 0 && got < reported) {
      result = rt::ByteSet(bytes.view().substr(0, static_cast<std::size_t>(got)));  // it shrank
    }
  }
  Close(h);
  return result;
}

// Detection and decoding of `bytes`; `owner`, when given, holds those bytes
// and may give its block to the raw result instead of a copy.
FileText Decode(std::string_view bytes, int requested, rt::ByteSet* owner) {
  FileText r;
  r.opened = true;
  r.sourceBytes = static_cast<std::int64_t>(bytes.size());
  const ContentStart at = EncodingOfBytes(bytes, requested);
  const std::string_view content = bytes.substr(at.start);
  r.code = at.code;
  r.hadMark = at.start > 0;
  std::optional<rt::Text> text;
  if (const char* charset = CharsetOfEncoding(r.code)) {
    std::size_t invalidAt = std::string_view::npos;
    text = ConvertEncodingToText(content, charset, kProgramCharset, &invalidAt);
    if (invalidAt != std::string_view::npos) {
      // Not text in its encoding: no fallback may guess at it, and reading
      // it raw would pass its bytes off as GBK.
      r.invalidAt = static_cast<std::int64_t>(at.start + invalidAt);
      return r;
    }
    if (!text || text->empty()) text = FallbackDecode(content, r.code);
  } else {
    // Text declared or detected as ANSI may be UTF-8 without a mark, or,
    // when ANSI was chosen, with one: that mark is no character of the text.
    const std::string_view utf8Mark = MarkOfEncoding(kEncodingUtf8);
    const bool marked = content.substr(0, utf8Mark.size()) == utf8Mark;
    text = ConvertEncodingToText(content.substr(marked ? utf8Mark.size() : 0), "UTF-8", kProgramCharset);
    if (text && !text->empty() && HasHighByte(content)) {
      r.code = kEncodingUtf8;
      r.hadMark = marked;
    }
  }
  if (text && !text->empty()) {
    r.text = std::move(*text);
    r.ok = true;
    return r;
  }
  // The raw bytes of the whole file as the program's own text.
  r.code = kEncodingAnsi;
  r.hadMark = false;
  std::size_t n = bytes.size();
  if (n > 0 && bytes[n - 1] == kEndOfFileMark) --n;
  if (n > 0 && std::memchr(bytes.data(), 0, n)) return r;  // a NUL would cut the text short
  r.text = owner ? IntoText(std::move(*owner), n) : rt::Text(bytes.substr(0, n));
  r.ok = true;
  return r;
}

// Writes the parts to a fresh temporary file beside `path`, then renames it
// over `path`.
bool WriteReplacing(std::string_view path, std::string_view mark, std::string_view body) {
  if (path.empty()) return false;
  // Keep the rule of an in-place write: a destination that could not be
  // opened for writing with exclusive access is not replaced.
  if (rt::fileio::IdentityOf(path)) {  // the name as spelled, not as a pattern
    auto h = rt::fileio::Open(path, rt::fileio::Access::kWrite, rt::fileio::Disposition::kOpenExisting,
                              rt::fileio::Share::kNone);
    if (h == rt::fileio::kNoHandle) return false;
    rt::fileio::Close(h);
  }
  const std::size_t sep = gbk::FindLastSeparator(path);
  const std::string_view dir = sep == std::string_view::npos ? std::string_view() : path.substr(0, sep + 1);
  // A short name of our own, removed on an interrupt and by a later run
  // when its writer was killed.
  std::optional<os::TempFile> temp = os::CreateTempFile(dir);
  if (!temp) return false;
  const bool ok = rt::fileio::WriteAt(temp->handle, 0, mark.data(), mark.size()) &&
                  rt::fileio::WriteAt(temp->handle, static_cast<std::int64_t>(mark.size()), body.data(), body.size());
  if (!ok) {
    os::DiscardTempFile(*temp);
    return false;
  }
  return os::CommitTempFile(*temp, path);
}

}  // namespace

std::string InvalidTextReason(int code, std::int64_t invalidAt) {
  const char* charset = CharsetOfEncoding(code);
  std::string reason = "not valid ";
  reason += charset ? charset : "text";
  reason += " at byte offset ";
  reason += std::to_string(invalidAt);
  return reason;
}

FileText ReadTextFile(std::string_view path, int requestedCode) {
  bool opened = false;
  std::optional<rt::ByteSet> bytes = ReadWholeFile(path, opened);
  if (!bytes) {
    FileText failed;
    failed.opened = opened;
    return failed;
  }
  const std::string_view view = bytes->view();
  return Decode(view, requestedCode, &*bytes);
}

FileText ReadTextFromMemory(std::string_view bytes, int requestedCode) {
  if (bytes.size() > INT32_MAX) return {};  // as much as a file may hold
  return Decode(bytes, requestedCode, nullptr);
}

rt::ByteSet EncodeTextBody(std::string_view text, int code) {
  const char* charset = CharsetOfEncoding(code);
  if (!charset || text.empty()) return rt::ByteSet(text);
  rt::ByteSet conv = ConvertEncoding(text, kProgramCharset, charset);
  if (!conv.empty()) return conv;
  if (code == kEncodingUtf8 || code == kEncodingUtf16Le || code == kEncodingUtf16Be) {
    auto units = rt::codepage::ToUtf16(rt::codepage::kAnsi, text);
    if (units && !units->empty()) {
      if (code == kEncodingUtf8) {
        auto utf8 = rt::codepage::FromUtf16(rt::codepage::kUtf8, *units);
        if (utf8 && !utf8->empty()) return rt::ByteSet(*utf8);
      } else {
        std::string out(units->size() * 2, '\0');
        const bool big = code == kEncodingUtf16Be;
        for (std::size_t i = 0; i < units->size(); ++i) {
          out[2 * i + (big ? 1 : 0)] = static_cast<char>((*units)[i] & 0xFF);
          out[2 * i + (big ? 0 : 1)] = static_cast<char>((*units)[i] >> 8);
        }
        return rt::ByteSet(out);
      }
    }
  }
  return rt::ByteSet(text);
}

EncodedText EncodeTextForOutput(std::string_view text, int code, bool withMark) {
  return {withMark ? MarkOfEncoding(code) : std::string_view(), EncodeTextBody(text, code)};
}

bool WriteTextFile(std::string_view path, std::string_view text, int code, std::int64_t* bytesWritten) {
  const EncodedText out = EncodeTextForOutput(text, code, true);
  const bool ok = WriteReplacing(path, out.mark, out.body.view());
  if (ok && bytesWritten) *bytesWritten = static_cast<std::int64_t>(out.mark.size() + out.body.size());
  return ok;
}

}  // namespace tl::text
