// Small path helpers shared by the text and file-list code: the platform's
// separator found the way the runtime scans text (a byte of 0x80 or above
// starts a two-byte character, whose second byte is never a separator).
#pragma once
#include <cstddef>
#include <string_view>

#include "runtime/file_io.h"

namespace tl::rt {

// Byte index of the last `c` that starts a character; npos if none.
inline std::size_t FindLastCharacter(std::string_view text, char c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == c) found = i;
    if (static_cast<unsigned char>(text[i]) >= 0x80) ++i;
  }
  return found;
}

inline std::size_t FindLastSeparator(std::string_view path) {
  return FindLastCharacter(path, fileio::kSeparator);
}

}  // namespace tl::rt
