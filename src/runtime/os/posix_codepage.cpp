// Code-page conversions on iconv (the Linux implementation of codepage.h).
#include <cstring>

#include "runtime/os/codepage.h"
#include "runtime/os/codepage_converter.h"

namespace tl::rt::codepage {

namespace {

const char* CharsetOf(int codePage) {
  switch (codePage) {
    case kAnsi:
    case kGbk: return "CP936";
    case kBig5: return "CP950";
    case kUtf8: return "UTF-8";
    case kGb18030: return "GB18030";
    default: return nullptr;
  }
}

}  // namespace

std::optional<std::u16string> ToUtf16(int codePage, std::string_view bytes, bool* replaced) {
  if (replaced) *replaced = false;
  const char* charset = CharsetOf(codePage);
  if (!charset) return std::nullopt;
  return ToUtf16ByConverter(charset, bytes, replaced);
}

std::optional<std::string> FromUtf16(int codePage, std::u16string_view units,
                                     std::optional<char> defaultChar, bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  const char* charset = CharsetOf(codePage);
  if (!charset) return std::nullopt;
  return FromUtf16ByConverter(charset, units, defaultChar, usedDefault);
}

}  // namespace tl::rt::codepage
