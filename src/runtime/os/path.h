// Spelling of paths on this OS: the separator. Which prefixes name no
// directory of their own (the root, a drive) is fs::SkipsDirectoryPrefix,
// one rule for both separators.
#pragma once
#include <string_view>

namespace tl::os {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

}  // namespace tl::os
