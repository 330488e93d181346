#include "runtime/automation/wide_text.h"

#include "runtime/os/codepage.h"

namespace tl::rt::automation {
namespace {

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

bool IsAscii(std::u16string_view s) {
  for (char16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

// The code-page layer replaces what does not convert (U+FFFD one way, "?"
// the other); it only gives nothing for a code page it does not know.
std::u16string ToUnits(int codePage, std::string_view bytes) {
  if (IsAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());
  return codepage::ToUtf16(codePage, bytes).value_or(std::u16string());
}

std::string FromUnits(int codePage, std::u16string_view units) {
  if (IsAscii(units)) return std::string(units.begin(), units.end());
  return codepage::FromUtf16(codePage, units, '?').value_or(std::string());
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) { return ToUnits(codepage::kGb18030, gbk); }
std::string Utf16ToGbk(std::u16string_view units) { return FromUnits(codepage::kGb18030, units); }
std::u16string Utf8ToUtf16(std::string_view utf8) { return ToUnits(codepage::kUtf8, utf8); }
std::string Utf16ToUtf8(std::u16string_view units) { return FromUnits(codepage::kUtf8, units); }

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = c < 0xC2 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : c < 0xF5 ? 3 : 0;
    if (n == 0 || s.size() - i <= n) return false;
    // The second byte also rules out overlong forms, surrogates and code
    // points above U+10FFFF.
    const auto d = static_cast<unsigned char>(s[i + 1]);
    const unsigned char lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char hi = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (d < lo || d > hi) return false;
    for (std::size_t k = 2; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

}  // namespace tl::rt::automation
