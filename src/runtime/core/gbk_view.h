// The rules of reading GBK text byte by byte, in one place: a byte of 0x80
// or above starts a two-byte character whose second byte may look like
// anything (a separator, a letter), so every scan that looks for an ASCII
// byte must step over characters rather than bytes.
#pragma once
#include <cstddef>
#include <string_view>

#include "runtime/os/path.h"

namespace tl::gbk {

inline bool IsLead(char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }

// No GBK or GB18030 character has a second byte below 0x30, so a high byte
// followed by such a byte (LF, CR, space, comma, '/', '.') stands alone: text
// in another single-byte code page keeps its line breaks and separators.
inline bool CanTrail(char c) { return static_cast<unsigned char>(c) >= 0x30; }

// Bytes of the character at i: 2 for a lead byte with a byte after it, else
// 1. Paths and names keep this plain pairing, so a name splits the same way
// on every system.
inline std::size_t CharLength(std::string_view s, std::size_t i) {
  return (IsLead(s[i]) && i + 1 < s.size()) ? 2 : 1;
}

// Bytes of the character at i for walks that stop at a broken pair: 1, 2 for
// a lead byte with its trail, or 0 when a lead byte has no trail (end of text
// or NUL). A high byte before a byte that cannot trail is a character of its
// own.
inline std::size_t CharStep(std::string_view t, std::size_t i) {
  if (!IsLead(t[i])) return 1;
  if (i + 1 >= t.size() || t[i + 1] == '\0') return 0;
  return CanTrail(t[i + 1]) ? 2 : 1;
}

// True when the byte at `pos` (< text.size()) starts a character, given that
// `from` does (from <= pos). A byte below 0x80 is a whole character or a
// trail byte, so the byte after it always starts a character; only the run of
// high bytes just before `pos` needs counting. Inside such a run every high
// byte is followed by a high byte, so the run pairs up from its start; an odd
// run ends in a high byte that pairs with the byte at pos only when that byte
// can trail.
inline bool AtBoundary(std::string_view text, std::size_t from, std::size_t pos) {
  std::size_t r = pos;
  while (r > from && IsLead(text[r - 1])) --r;
  return ((pos - r) & 1) == 0 || !CanTrail(text[pos]);
}

// True when text[i] is the lead byte of a two-byte character.
inline bool IsLeadAt(std::string_view text, std::size_t i) { return IsLead(text[i]) && AtBoundary(text, 0, i); }

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// ASCII letters compared without case, every other byte as it is.
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

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && SameBytes(a.data(), b.data(), a.size(), true);
}

// Byte index of the last `c` that starts a character; npos if none.
inline std::size_t FindLastCharacter(std::string_view text, char c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == c) found = i;
    if (IsLead(text[i])) ++i;
  }
  return found;
}

// True when every piece between whole `c` characters is non-empty: the key
// paths A\\B, \A and A\ have an empty one. The empty text has none.
inline bool PiecesNonEmpty(std::string_view text, char c) {
  if (text.empty()) return true;
  std::size_t length = 0;  // of the current piece
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == c) {
      if (length == 0) return false;
      length = 0;
      continue;
    }
    ++length;
    if (IsLead(text[i])) ++i;
  }
  return length != 0;
}

inline std::size_t FindLastSeparator(std::string_view path) { return FindLastCharacter(path, os::kSeparator); }

}  // namespace tl::gbk
