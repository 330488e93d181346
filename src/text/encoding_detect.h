// Which encoding a file is read in, and where its content starts: from the
// user's choice, or from byte-order marks and the charset an HTML head
// declares.
#pragma once
#include <cstdint>
#include <string_view>

#include "runtime/commands/files.h"
#include "runtime/core/value.h"

namespace tl::text {

// The requested or working encoding of a file. 0..5 are the items of the
// encoding choice; 6 only comes from detection.
enum EncodingCode : int {
  kEncodingAuto = 0,
  kEncodingAnsi = 1,
  kEncodingUtf8 = 2,
  kEncodingUtf16Le = 3,
  kEncodingUtf16Be = 4,
  kEncodingBig5 = 5,
  kEncodingBig5Hkscs = 6,
};

// The charset name handed to the converter ("UTF-8", "UTF-16LE", "UTF-16BE",
// "BIG5", "BIG5-HKSCS"); null for 0, 1 and unknown codes.
const char* CharsetOfEncoding(int code);
// The byte-order mark read and written for a code (codes 2, 3, 4); empty
// otherwise.
std::string_view MarkOfEncoding(int code);

// Decides the working code of a just-opened file and leaves its position at
// the first content byte. Requested 0 detects (marks, then an HTML charset,
// else 1); 2, 3 and 4 skip their own mark when the file starts with it; 1, 5
// and 6 start at offset 0. A requested code outside 0..6 is treated as 0.
int PositionForEncoding(rt::FileNumber file, int requested);

// The same decision for a file's whole content already in memory: the
// working code and the offset of the first content byte. Lets a reader read
// a large file once instead of once for detection and once for content.
struct ContentStart {
  int code = kEncodingAnsi;
  std::size_t start = 0;
};
ContentStart EncodingOfBytes(std::string_view bytes, int requested);

// True when any byte is 0x80 or above (text that is not plain ASCII).
bool HasHighByte(std::string_view bytes);

// 0 none, 1 UTF-8, 2 Big5, 3 Big5-HKSCS: the first meta tag (inside the head
// when there is one) that declares one of them decides.
enum HtmlCharset : int { kHtmlNone = 0, kHtmlUtf8 = 1, kHtmlBig5 = 2, kHtmlBig5Hkscs = 3 };
int DetectHtmlCharset(std::string_view text);

// The bytes between the first `left` at or after `position` (1-based; 0 and
// 1 mean the start) and the next `right` after it, both found without regard
// to ASCII case. On a match `position` moves just past `right`; otherwise the
// result is empty and `position` is unchanged.
rt::Text TextBetween(std::string_view text, std::string_view left, std::string_view right,
                     std::int64_t& position);
// True when one of the "[fg]"-separated pieces occurs in text (ASCII case
// ignored, matches start on character boundaries).
bool ContainsAny(std::string_view text, std::string_view alternatives);
// Every "''" becomes one double quote.
rt::Text UnquoteApostrophes(std::string_view text);

// First occurrence of needle in text at or after byte index `from`, ASCII
// case ignored, starting on a character boundary of text; npos if none.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from);

}  // namespace tl::text
