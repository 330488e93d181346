// The one place that talks to iconv. Everything that converts between
// charsets (ConvertEncoding, the code-page fallbacks, path names on POSIX)
// goes through this class, so a platform without iconv needs one new file.
#pragma once
#include <cstddef>
#include <string>

namespace tl::rt {

namespace gb18030 {
struct Tables;
}

class CharsetConverter {
 public:
  // Charset names are passed to iconv exactly as given. "UTF-8" <-> "GB18030"
  // (any letter case) runs on a built-in converter that gives iconv's result.
  CharsetConverter(const std::string& to, const std::string& from);
  ~CharsetConverter();
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;

  bool ok() const { return handle_ != nullptr || fast_ != nullptr; }

  enum class Status {
    kDone,        // all input consumed
    kOutputFull,  // out of room; call again with more
    kInvalid,     // an input sequence that is not valid in the source charset
                  // (or has no equivalent in the target); `in` points at it
    kIncomplete,  // the input ends inside a sequence
  };
  // Converts from [in, in + inLeft) into [out, out + outLeft), advancing all
  // four like iconv() does.
  Status Convert(const char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft);
  // Back to the initial shift state (for a new, unrelated input).
  void Reset();

 private:
  void* handle_ = nullptr;
  const gb18030::Tables* fast_ = nullptr;
  bool fastToGb18030_ = false;
};

}  // namespace tl::rt
