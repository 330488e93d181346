// Code-page conversions on Windows (runtime/os/codepage.h): the system's
// MultiByteToWideChar / WideCharToMultiByte for the code pages it has.
// 54936 (GB18030) goes through the charset converter's own tables: wine
// lacks that code page. UTF-16 to UTF-8 goes there too, since the system
// takes no default character for 65001 and unpaired surrogates must become one.
#include <windows.h>

#include "runtime/os/codepage.h"
#include "runtime/os/codepage_converter.h"

namespace tl::rt::codepage {

namespace {

bool SystemHas(int codePage) {
  return codePage == kAnsi || codePage == kGbk || codePage == kBig5 || codePage == kUtf8;
}

// The ANSI code page of this program is always 936, whatever the system's is.
UINT SystemPage(int codePage) { return codePage == kAnsi ? 936 : static_cast<UINT>(codePage); }

}  // namespace

std::optional<std::u16string> ToUtf16(int codePage, std::string_view bytes, bool* replaced) {
  if (replaced) *replaced = false;
  if (codePage == kGb18030) return ToUtf16ByConverter("GB18030", bytes, replaced);
  if (!SystemHas(codePage)) return std::nullopt;
  std::u16string out;
  if (bytes.empty()) return out;
  const UINT page = SystemPage(codePage);
  const int srcLen = static_cast<int>(bytes.size());
  // Strict first, so a caller learns when the system would substitute.
  DWORD flags = MB_ERR_INVALID_CHARS;
  int n = MultiByteToWideChar(page, flags, bytes.data(), srcLen, nullptr, 0);
  if (n <= 0 && GetLastError() == ERROR_NO_UNICODE_TRANSLATION) {
    if (replaced) *replaced = true;
    flags = 0;
    n = MultiByteToWideChar(page, flags, bytes.data(), srcLen, nullptr, 0);
  }
  if (n <= 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  n = MultiByteToWideChar(page, flags, bytes.data(), srcLen, reinterpret_cast<wchar_t*>(out.data()), n);
  if (n <= 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::optional<std::string> FromUtf16(int codePage, std::u16string_view units,
                                     std::optional<char> defaultChar, bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  if (codePage == kGb18030) return FromUtf16ByConverter("GB18030", units, defaultChar, usedDefault);
  if (codePage == kUtf8) return FromUtf16ByConverter("UTF-8", units, defaultChar, usedDefault);
  if (!SystemHas(codePage)) return std::nullopt;
  std::string out;
  if (units.empty()) return out;
  const UINT page = SystemPage(codePage);
  const auto* src = reinterpret_cast<const wchar_t*>(units.data());
  const int srcLen = static_cast<int>(units.size());
  const char fallback = defaultChar.value_or('?');
  // Without WC_NO_BEST_FIT_CHARS, 936 would put near matches in for
  // characters it lacks.
  int n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, src, srcLen, nullptr, 0, &fallback, nullptr);
  if (n <= 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  BOOL used = FALSE;
  n = WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, src, srcLen, out.data(), n, &fallback, &used);
  if (n <= 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  if (usedDefault) *usedDefault = used != 0;
  return out;
}

}  // namespace tl::rt::codepage
