// Test helper: the exit status a fatal runtime error ends the process with,
// as the parent sees it. The runtime exits with -1: POSIX keeps its low
// eight bits (255), Windows the whole 32-bit value.
#pragma once

namespace tl::test {

#ifdef _WIN32
inline constexpr int kFatalExitStatus = -1;
#else
inline constexpr int kFatalExitStatus = 255;
#endif

}  // namespace tl::test
