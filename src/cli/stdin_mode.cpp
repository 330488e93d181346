#include "cli/stdin_mode.h"

#include <cstdio>
#include <string>
#include <string_view>

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

// In line-break mode a final line break ends the last line; the record
// engine joins records without one whenever it rebuilds the text, and only a
// text it leaves as it is (fewer than two records to de-duplicate) keeps it.
// Standard input follows the Unix convention instead: a final break in means
// a final break out. Returns the break to append, or nothing.
std::string FinalBreakToRestore(std::string_view in, std::string_view out, text::FixedOptions& options) {
  if (!options.lineBreakMode || in.empty()) return {};
  std::string lineBreak = text::EffectiveSeparator(options, in);
  // A rebuilt text is always shorter than an input that ends with a
  // separator, so only an unchanged text compares equal.
  if (!in.ends_with(lineBreak) || out == in) return {};
  return lineBreak;
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
    const std::string lineBreak = FinalBreakToRestore(bytes, result.view(), options);
    return os::WriteStdout({result.view(), lineBreak}) ? 0 : Fail("cannot write standard output");
  }

  // Anything else is decoded once, as a file would be, processed, and
  // encoded back; the byte-order mark (only when the input had one), the body
  // and a restored final line break are written one after the other.
  rt::Text result;
  std::string lineBreak;
  int code = 0;
  bool hadMark = false;
  {
    text::FileText decoded = text::ReadTextFromMemory(bytes, options.encoding);
    if (decoded.invalidAt >= 0)
      return Fail(("standard input: " + text::InvalidTextReason(decoded.code, decoded.invalidAt)).c_str());
    if (!decoded.ok) return Fail("standard input cannot be read whole as text in its encoding");
    code = decoded.code;
    hadMark = decoded.hadMark;
    result = text::ProcessText(decoded.text.view(), options);
    lineBreak = FinalBreakToRestore(decoded.text.view(), result.view(), options);
  }  // the decoded input goes before the result is encoded
  const text::EncodedText out = text::EncodeTextForOutput(result.view(), code, hadMark);
  result = rt::Text();
  const rt::ByteSet encodedBreak = text::EncodeTextBody(lineBreak, code);
  return os::WriteStdout({out.mark, out.body.view(), encodedBreak.view()}) ? 0 : Fail("cannot write standard output");
}

}  // namespace tl::cli
