// The platform's code-page conversions (the Windows MultiByteToWideChar /
// WideCharToMultiByte pair), used as fallbacks when the charset converter
// gives nothing. Linux implements them on iconv; a Win32 build maps them to
// the system calls. Code page 0 is the ANSI code page, which for this
// program is always 936 (GBK).
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tl::rt::codepage {

inline constexpr int kAnsi = 0;
inline constexpr int kGbk = 936;
inline constexpr int kBig5 = 950;
inline constexpr int kUtf8 = 65001;
// The superset of GBK that covers all of Unicode (four-byte sequences).
inline constexpr int kGb18030 = 54936;

// Bytes in `codePage` to UTF-16 code units. Invalid or incomplete sequences
// become U+FFFD, as the platform does without its strict flag; `replaced`,
// when given, tells whether that happened. Returns nullopt only for an
// unknown code page.
std::optional<std::u16string> ToUtf16(int codePage, std::string_view bytes, bool* replaced = nullptr);

// UTF-16 code units to `codePage` (65001 included). A character the code
// page lacks, and an unpaired surrogate, becomes `defaultChar` (the
// platform's default "?" when not given); `usedDefault`, when given, tells
// whether that happened. Returns nullopt only for an unknown code page.
std::optional<std::string> FromUtf16(int codePage, std::u16string_view units,
                                     std::optional<char> defaultChar = std::nullopt,
                                     bool* usedDefault = nullptr);

}  // namespace tl::rt::codepage
