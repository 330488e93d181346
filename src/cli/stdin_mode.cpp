#include "cli/stdin_mode.h"

#include <cstdio>

#include "runtime/automation/wide_text.h"
#include "runtime/os/stdio.h"
#include "text/encoding_detect.h"
#include "text/file_text.h"

namespace tl::cli {
namespace {

int Fail(const char* message) {
  std::fprintf(stderr, "tidyline-cli: %s\n", message);
  return 1;
}

}  // namespace

int RunStdinMode(text::FixedOptions& options) {
  os::StdinBytes input;
  if (!input.Read()) return Fail("cannot read standard input");
  const std::string_view bytes = input.view();

  // Input that stays in the program's own encoding (ANSI, and not UTF-8 in
  // disguise) is processed as it is, byte for byte: no copy, and a NUL or a
  // final 0x1A, which a pipe does not use as an end mark, is kept.
  const text::ContentStart at = text::EncodingOfBytes(bytes, options.encoding);
  const std::string_view content = bytes.substr(at.start);
  if (at.code == text::kEncodingAnsi && !(text::HasHighByte(content) && rt::automation::IsValidUtf8(content))) {
    text::Bytes result = text::ProcessBytes(bytes, options);
    return os::WriteStdout({result.view()}) ? 0 : Fail("cannot write standard output");
  }

  // Anything else is decoded once, as a file would be, processed, and
  // encoded back; the byte-order mark (only when the input had one) and the
  // body are written one after the other.
  rt::Text result;
  int code = 0;
  bool hadMark = false;
  {
    text::FileText decoded = text::ReadTextFromMemory(bytes, options.encoding);
    if (!decoded.ok) return Fail("standard input cannot be read whole as text in its encoding");
    code = decoded.code;
    hadMark = decoded.hadMark;
    result = text::ProcessText(decoded.text.view(), options);
  }  // the decoded input goes before the result is encoded
  const text::EncodedText out = text::EncodeTextForOutput(result.view(), code, hadMark);
  result = rt::Text();
  return os::WriteStdout({out.mark, out.body.view()}) ? 0 : Fail("cannot write standard output");
}

}  // namespace tl::cli
