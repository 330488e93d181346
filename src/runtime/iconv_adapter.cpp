#include "runtime/iconv_adapter.h"

#include <cerrno>
#include <iconv.h>

namespace tl::rt {

namespace {
iconv_t Raw(void* h) { return static_cast<iconv_t>(h); }
}  // namespace

CharsetConverter::CharsetConverter(const std::string& to, const std::string& from) {
  iconv_t h = iconv_open(to.c_str(), from.c_str());
  if (h != reinterpret_cast<iconv_t>(-1)) handle_ = h;
}

CharsetConverter::~CharsetConverter() {
  if (handle_) iconv_close(Raw(handle_));
}

CharsetConverter::Status CharsetConverter::Convert(const char*& in, std::size_t& inLeft, char*& out,
                                                   std::size_t& outLeft) {
  if (!handle_) return Status::kInvalid;
  // iconv's prototype takes a non-const input pointer; it never writes there.
  char* src = const_cast<char*>(in);
  std::size_t r = iconv(Raw(handle_), &src, &inLeft, &out, &outLeft);
  in = src;
  if (r != static_cast<std::size_t>(-1)) return Status::kDone;
  switch (errno) {
    case E2BIG: return Status::kOutputFull;
    case EINVAL: return Status::kIncomplete;
    default: return Status::kInvalid;
  }
}

void CharsetConverter::Reset() {
  if (handle_) iconv(Raw(handle_), nullptr, nullptr, nullptr, nullptr);
}

}  // namespace tl::rt
