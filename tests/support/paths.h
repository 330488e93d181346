// Test helper: paths written with "/" in the platform's own spelling, so one
// table serves both systems.
#pragma once
#include <string>

namespace tl::test {

#ifdef _WIN32
inline constexpr char kSep = '\\';
inline constexpr bool kWindows = true;
#else
inline constexpr char kSep = '/';
inline constexpr bool kWindows = false;
#endif

// Every "/" becomes the separator ("/" is never a GBK trail byte).
inline std::string Native(std::string path) {
  for (char& c : path)
    if (c == '/') c = kSep;
  return path;
}

}  // namespace tl::test
