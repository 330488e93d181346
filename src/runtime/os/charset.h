// The charset converter. Everything that converts between charsets
// (ConvertEncoding, the code-page fallbacks, path names, the built-in
// GB18030 tables) goes through this class; the system's converter behind it
// (iconv on POSIX) is reached only from the per-OS file.
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
  // kSystem skips the built-in pair (the built-in tables are read from the
  // system converter this way).
  enum class Engine { kAny, kSystem };
  CharsetConverter(const std::string& to, const std::string& from, Engine engine = Engine::kAny);
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

// The system converter, implemented per OS (posix_charset.cpp); null when it
// does not know the pair.
namespace system_charset {
void* Open(const char* to, const char* from);
void Close(void* handle);
CharsetConverter::Status Convert(void* handle, const char*& in, std::size_t& inLeft, char*& out,
                                 std::size_t& outLeft);
void Reset(void* handle);
}  // namespace system_charset

}  // namespace tl::rt
