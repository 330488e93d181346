// Reading a file into the program's text in its detected or chosen
// encoding, processing it, and writing the result back in that encoding.
//
// Paths are the program's GBK texts with the platform's separator.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/value.h"
#include "text/process_text.h"

namespace tl::text {

struct FileText {
  rt::Text text;
  int code = 0;          // working encoding (EncodingCode); 0 when not read
  bool ok = false;       // false: nothing could be read whole; do not process
  bool opened = false;   // the file could be opened for reading
  bool hadMark = false;  // the content started after a byte-order mark
  std::int64_t sourceBytes = 0;  // bytes read
  // The offset of the first byte that is not valid in the file's encoding
  // (code); -1 when there is none. Such a text is not read (ok is false):
  // none of its bytes is replaced by a substitute.
  std::int64_t invalidAt = -1;
};

// Why a text with `invalidAt` set was not read: "not valid UTF-8 at byte
// offset 5" (the offset counts from 0, byte-order mark included).
std::string InvalidTextReason(int code, std::int64_t invalidAt);

// Reads a file for reading only (others may still read and write it), to its
// end whatever size the system reports for it.
// Codes 2..6 convert through the charset converter; content that is not valid
// in that encoding is not read (invalidAt). When the converter cannot be
// used, the platform's code-page fallback is tried, and taken only when it
// substitutes no character; code 1 is first tried as UTF-8 and becomes code 2 when
// that succeeds on content with any byte of 0x80 or above. Last comes the raw
// read (code 1), which drops a single 0x1A that is the file's last byte.
// A conversion whose result would be cut short by a NUL counts as failed; if
// the raw read would be cut short too, or the file cannot be opened, `ok` is
// false.
FileText ReadTextFile(std::string_view path, int requestedCode);
// The same for bytes already in memory (standard input), decoded where they
// are.
FileText ReadTextFromMemory(std::string_view bytes, int requestedCode);

// The bytes of `text` in encoding `code` without a mark: converted from
// GB18030 for codes 2..6 (with the platform's fallback for 2, 3 and 4); the
// text's own bytes when there is no conversion or it gives nothing.
rt::ByteSet EncodeTextBody(std::string_view text, int code);
// As EncodeTextBody, with the code's byte-order mark to go in front when
// asked; the two are written one after the other, never joined in memory.
struct EncodedText {
  std::string_view mark;
  rt::ByteSet body;
};
EncodedText EncodeTextForOutput(std::string_view text, int code, bool withMark);

// Writes the text in encoding `code` (with the mark of codes 2, 3, 4) to a
// temporary file beside `path` and renames it into place, so a failed write
// never leaves a half-written result. False for an empty path, a destination
// that could not be written in place (read-only, or held by another opener),
// or any failed step; the temporary file is then removed. `bytesWritten`,
// when given, receives the size of the written file.
bool WriteTextFile(std::string_view path, std::string_view text, int code,
                   std::int64_t* bytesWritten = nullptr);

}  // namespace tl::text
