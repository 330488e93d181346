// Code-page conversions through the charset converter (codepage.h rules):
// the whole of codepage.h on POSIX, the code pages the system lacks on
// Windows.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tl::rt::codepage {

// `replaced` (when given) tells whether a character had to be replaced.
std::optional<std::u16string> ToUtf16ByConverter(const char* charset, std::string_view bytes,
                                                  bool* replaced = nullptr);
std::optional<std::string> FromUtf16ByConverter(const char* charset, std::u16string_view units,
                                                std::optional<char> defaultChar, bool* usedDefault);

}  // namespace tl::rt::codepage
