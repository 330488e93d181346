#include "runtime/automation/wide_text.h"

#include <iconv.h>

#include <cerrno>

namespace tl::rt::automation {
namespace {

// Converts with iconv, replacing what does not convert; `unitBytes` is the
// size of one input unit, stepped over on an invalid sequence.
std::string Convert(const char* to, const char* from, std::string_view in, std::size_t unitBytes,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out;
  std::string buf(in.size() * 2 + 32, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  while (left > 0) {
    char* dst = buf.data();
    std::size_t room = buf.size();
    const std::size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf.data(), buf.size() - room);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    out.append(replacement);
    const std::size_t skip = errno == EINVAL ? left : (unitBytes < left ? unitBytes : left);
    src += skip;
    left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

std::u16string FromLe(const std::string& le) {
  std::u16string out(le.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                   (static_cast<unsigned char>(le[2 * i + 1]) << 8));
  return out;
}

std::string ToLe(std::u16string_view units) {
  std::string le(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    le[2 * i] = static_cast<char>(units[i] & 0xFF);
    le[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return le;
}

constexpr std::string_view kReplacementLe("\xFD\xFF", 2);

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  if (IsAscii(gbk)) return std::u16string(gbk.begin(), gbk.end());
  return FromLe(Convert("UTF-16LE", "GB18030", gbk, 1, kReplacementLe));
}

std::string Utf16ToGbk(std::u16string_view units) {
  bool ascii = true;
  for (char16_t c : units) ascii = ascii && c < 0x80;
  if (ascii) return std::string(units.begin(), units.end());
  return Convert("GB18030", "UTF-16LE", ToLe(units), 2, "?");
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  if (IsAscii(utf8)) return std::u16string(utf8.begin(), utf8.end());
  return FromLe(Convert("UTF-16LE", "UTF-8", utf8, 1, kReplacementLe));
}

std::string Utf16ToUtf8(std::u16string_view units) {
  bool ascii = true;
  for (char16_t c : units) ascii = ascii && c < 0x80;
  if (ascii) return std::string(units.begin(), units.end());
  return Convert("UTF-8", "UTF-16LE", ToLe(units), 2, "?");
}

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (n == 9 || (n && c < 0xC2) || i + n >= s.size() + (n ? 0 : 1)) return false;
    for (std::size_t k = 1; k <= n; ++k)
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
