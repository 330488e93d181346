#include "runtime/iconv_adapter.h"

#include <cerrno>
#include <iconv.h>

#include <string_view>

#include "runtime/gb18030_fast.h"

namespace tl::rt {

namespace {
iconv_t Raw(void* h) { return static_cast<iconv_t>(h); }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}
}  // namespace

CharsetConverter::CharsetConverter(const std::string& to, const std::string& from) {
  // Only the plain names: suffixes such as //IGNORE change iconv's behaviour.
  const bool toGb = SameName(to, "GB18030") && SameName(from, "UTF-8");
  if (toGb || (SameName(to, "UTF-8") && SameName(from, "GB18030"))) {
    fast_ = gb18030::SharedTables();
    fastToGb18030_ = toGb;
    if (fast_) return;
  }
  iconv_t h = iconv_open(to.c_str(), from.c_str());
  if (h != reinterpret_cast<iconv_t>(-1)) handle_ = h;
}

CharsetConverter::~CharsetConverter() {
  if (handle_) iconv_close(Raw(handle_));
}

CharsetConverter::Status CharsetConverter::Convert(const char*& in, std::size_t& inLeft, char*& out,
                                                   std::size_t& outLeft) {
  if (fast_) {
    return fastToGb18030_ ? gb18030::Utf8ToGb18030(*fast_, in, inLeft, out, outLeft)
                          : gb18030::Gb18030ToUtf8(*fast_, in, inLeft, out, outLeft);
  }
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
