// Spelling of paths on this OS: the separator, and the prefix of an absolute
// path that names no directory of its own.
#pragma once
#include <string_view>

namespace tl::os {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// True for the part of a path before its first separator that is no
// directory to create: the empty root of "/a" on POSIX, a drive "C:" on
// Windows.
bool IsRootPrefix(std::string_view prefix);

}  // namespace tl::os
