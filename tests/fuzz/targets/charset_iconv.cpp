// The built-in UTF-8 <-> GB18030 converter against the system's (iconv on
// Linux; on Windows the code-page converter, which decodes and encodes one
// character at a time from tables generated from the host's iconv): same
// status, same input consumed, same output, for any bytes and any output
// room. Input: direction byte, room byte, then the bytes to convert.
#include <string>

#include "fuzz/fuzz_target.h"
#include "runtime/os/charset.h"

namespace {

using tl::rt::CharsetConverter;

struct Outcome {
  CharsetConverter::Status status;
  std::size_t consumed;
  std::string out;
};

// Converts in steps of `room` output bytes until anything but "output full".
Outcome Run(CharsetConverter& c, std::string_view bytes, std::size_t room) {
  const char* in = bytes.data();
  std::size_t inLeft = bytes.size();
  std::string out;
  CharsetConverter::Status st;
  for (int guard = 0;; ++guard) {
    std::string chunk(room, '\0');
    char* o = chunk.data();
    std::size_t oLeft = room;
    st = c.Convert(in, inLeft, o, oLeft);
    out.append(chunk.data(), room - oLeft);
    if (st != CharsetConverter::Status::kOutputFull) break;
    if (room - oLeft == 0 || guard > 1 << 16) break;  // no progress: stop, the other side must agree
  }
  return {st, bytes.size() - inLeft, out};
}

}  // namespace

TIDYLINE_FUZZ_TARGET(charset_iconv) {
  tl::fuzz::Input in(data, size);
  bool toGb = in.Byte() & 1;
  std::size_t room = in.Byte() % 16 + 1;
  if (room == 16) room = 4096;
  std::string_view bytes = in.Rest();
  const char* to = toGb ? "GB18030" : "UTF-8";
  const char* from = toGb ? "UTF-8" : "GB18030";
  CharsetConverter fast(to, from);
  CharsetConverter system(to, from, CharsetConverter::Engine::kSystem);
  if (!fast.ok() || !system.ok()) tl::fuzz::Fail("charset_iconv", "a converter did not open");
  Outcome a = Run(fast, bytes, room);
  Outcome b = Run(system, bytes, room);
  if (a.status != b.status) tl::fuzz::Fail("charset_iconv", "status differs", bytes);
  if (a.consumed != b.consumed) tl::fuzz::Fail("charset_iconv", "consumed input differs", bytes);
  if (a.out != b.out) tl::fuzz::Fail("charset_iconv", "output differs", bytes);
  return 0;
}
