// The system charset converter on iconv.
#include <cerrno>
#include <iconv.h>

#include "runtime/os/charset.h"

namespace tl::rt::system_charset {

namespace {
iconv_t Raw(void* h) { return static_cast<iconv_t>(h); }
}  // namespace

void* Open(const char* to, const char* from) {
  iconv_t h = iconv_open(to, from);
  return h == reinterpret_cast<iconv_t>(-1) ? nullptr : h;
}

void Close(void* handle) { iconv_close(Raw(handle)); }

CharsetConverter::Status Convert(void* handle, const char*& in, std::size_t& inLeft, char*& out,
                                 std::size_t& outLeft) {
  using Status = CharsetConverter::Status;
  // iconv's prototype takes a non-const input pointer; it never writes there.
  char* src = const_cast<char*>(in);
  std::size_t r = iconv(Raw(handle), &src, &inLeft, &out, &outLeft);
  in = src;
  if (r != static_cast<std::size_t>(-1)) {
    // The input is used up: write what the converter still holds. Big5-HKSCS
    // keeps a final Ê or ê back in case a combining mark follows, and a text
    // ending in one would lose it.
    if (iconv(Raw(handle), nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1) && errno == E2BIG)
      return Status::kOutputFull;
    return Status::kDone;
  }
  switch (errno) {
    case E2BIG: return Status::kOutputFull;
    case EINVAL: return Status::kIncomplete;
    default: return Status::kInvalid;
  }
}

void Reset(void* handle) { iconv(Raw(handle), nullptr, nullptr, nullptr, nullptr); }

}  // namespace tl::rt::system_charset
