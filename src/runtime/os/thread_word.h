// A word of storage per thread, for state that every thread keeps for
// itself and reads very often (the runtime's random generator). The
// compiler's thread_local serves on POSIX; mingw's GCC emulates it with a
// lookup under a spin lock on every access, which cost the shuffle's draws
// about a fifth of their time under wine, so Windows takes the system's own
// thread slots.
#pragma once
#include <cstdint>

namespace tl::os {

// The calling thread's word; 0 in a thread that has not set it.
std::uintptr_t ThreadWord();
void SetThreadWord(std::uintptr_t value);

}  // namespace tl::os
