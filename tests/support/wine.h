// Test helper: whether the test program runs under wine, for the few cases
// where wine's system objects fall short of Windows (each use says how).
#pragma once
#ifdef _WIN32
#include <windows.h>
#endif

namespace tl::test {

inline bool UnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
  return false;
#endif
}

// Wine's "VBScript.RegExp" never returns from a global Execute (or Replace)
// whose pattern matches the empty string somewhere: it does not step past
// an empty match.
inline constexpr const char* kWineEmptyGlobalMatch =
    "wine's VBScript.RegExp loops forever on an empty match of a global search";

}  // namespace tl::test
