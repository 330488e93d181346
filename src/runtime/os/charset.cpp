// The converter's choice between the built-in UTF-8 <-> GB18030 pair and the
// system's converter; shared by every OS.
#include "runtime/os/charset.h"

#include <string_view>

#include "runtime/core/gbk_view.h"
#include "runtime/os/gb18030_fast.h"

namespace tl::rt {

CharsetConverter::CharsetConverter(const std::string& to, const std::string& from, Engine engine) {
  // Only the plain names: suffixes such as //IGNORE change the system
  // converter's behaviour.
  const bool toGb = gbk::EqualsNoCase(to, "GB18030") && gbk::EqualsNoCase(from, "UTF-8");
  if (engine == Engine::kAny && (toGb || (gbk::EqualsNoCase(to, "UTF-8") && gbk::EqualsNoCase(from, "GB18030")))) {
    fast_ = gb18030::SharedTables();
    fastToGb18030_ = toGb;
    if (fast_) return;
  }
  handle_ = system_charset::Open(to.c_str(), from.c_str());
}

CharsetConverter::~CharsetConverter() {
  if (handle_) system_charset::Close(handle_);
}

CharsetConverter::Status CharsetConverter::Convert(const char*& in, std::size_t& inLeft, char*& out,
                                                   std::size_t& outLeft) {
  if (fast_) {
    return fastToGb18030_ ? gb18030::Utf8ToGb18030(*fast_, in, inLeft, out, outLeft)
                          : gb18030::Gb18030ToUtf8(*fast_, in, inLeft, out, outLeft);
  }
  if (!handle_) return Status::kInvalid;
  return system_charset::Convert(handle_, in, inLeft, out, outLeft);
}

void CharsetConverter::Reset() {
  if (handle_) system_charset::Reset(handle_);
}

}  // namespace tl::rt
