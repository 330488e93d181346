// Text at the automation boundary: the program's GBK/GB18030 bytes and the
// file system's UTF-8 names on one side, the UTF-16 of BSTRs on the other.
// GB18030 covers all of Unicode, so nothing is lost either way.
#pragma once
#include <string>
#include <string_view>

namespace tl::rt::automation {

// Invalid or incomplete byte sequences become U+FFFD.
std::u16string GbkToUtf16(std::string_view gbk);
// Unpaired surrogates become "?".
std::string Utf16ToGbk(std::u16string_view units);

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view units);
// True when `bytes` are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// ASCII-only case folding, for names and ProgIDs.
char16_t FoldAscii(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace tl::rt::automation
