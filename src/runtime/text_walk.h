// Helpers shared by the commands that walk GBK texts byte pair by byte pair.
#pragma once
#include <cstddef>
#include <string_view>

namespace tl::rt::walk {

inline bool IsLead(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }

// No GBK or GB18030 character has a second byte below 0x30, so a high byte
// followed by such a byte (LF, CR, space, comma...) stands alone: text in
// another single-byte code page keeps its line breaks and separators.
inline bool CanTrail(char c) { return static_cast<unsigned char>(c) >= 0x30; }

// Bytes of the character at i: 1, 2 for a lead byte with its trail, or 0 when
// a lead byte has no trail (end of text or NUL), which ends a walk. A high
// byte before a byte that cannot trail is a character of its own.
inline std::size_t CharStep(std::string_view t, std::size_t i) {
  if (!IsLead(t[i])) return 1;
  if (i + 1 >= t.size() || t[i + 1] == '\0') return 0;
  return CanTrail(t[i + 1]) ? 2 : 1;
}

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

inline bool SameBytes(const char* a, const char* b, std::size_t n, bool foldCase) {
  if (!foldCase) {
    for (std::size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  for (std::size_t i = 0; i < n; ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

}  // namespace tl::rt::walk
