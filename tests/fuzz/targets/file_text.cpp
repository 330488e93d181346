// Encoding detection and file text reading on any bytes, with every requested
// encoding: the file and the in-memory reader agree, and what they report is
// consistent with the bytes. Input: the file's bytes.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_target.h"
#include "support/temp_dir.h"
#include "text/encoding_detect.h"
#include "text/file_text.h"

namespace {

const std::string& ScratchFile() {
  static const std::string path = [] {
    const std::filesystem::path dir = tl::test::MakeTempDir("tidyline-fuzz-");
    if (dir.empty()) tl::fuzz::Fail("file_text", "no scratch directory");
    return (dir / "input.txt").string();
  }();
  return path;
}

}  // namespace

TIDYLINE_FUZZ_TARGET(file_text) {
  using namespace tl::text;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream f(ScratchFile(), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  int html = DetectHtmlCharset(bytes);
  if (html < kHtmlNone || html > kHtmlBig5Hkscs) tl::fuzz::Fail("file_text", "HTML charset out of range");
  for (int requested = -1; requested <= 7; ++requested) {
    ContentStart at = EncodingOfBytes(bytes, requested);
    if (at.start > bytes.size() || at.code < kEncodingAnsi || at.code > kEncodingBig5Hkscs)
      tl::fuzz::Fail("file_text", "content start or code out of range");
    FileText mem = ReadTextFromMemory(bytes, requested);
    FileText file = ReadTextFile(ScratchFile(), requested);
    if (mem.ok != file.ok || mem.code != file.code || mem.hadMark != file.hadMark || mem.text != file.text ||
        mem.sourceBytes != file.sourceBytes)
      tl::fuzz::Fail("file_text", "file and memory readers disagree", bytes);
    if (file.sourceBytes != static_cast<std::int64_t>(size)) tl::fuzz::Fail("file_text", "bytes read miscounted");
    if (file.ok && (file.code < kEncodingAnsi || file.code > kEncodingBig5Hkscs))
      tl::fuzz::Fail("file_text", "read with no working encoding");
    if (file.hadMark && MarkOfEncoding(file.code).empty() && file.code != kEncodingUtf8)
      tl::fuzz::Fail("file_text", "a mark reported for an encoding without one");
    if (file.ok && file.code == kEncodingAnsi && file.text.view() != bytes.substr(0, file.text.view().size()))
      tl::fuzz::Fail("file_text", "a raw read that is not the file's bytes", bytes);
    if (file.ok) {
      // Whatever was read can be written back in its encoding.
      EncodedText out = EncodeTextForOutput(file.text.view(), file.code, file.hadMark);
      if (out.body.view().empty() && !file.text.view().empty())
        tl::fuzz::Fail("file_text", "a read text that encodes to nothing");
    }
  }
  return 0;
}
