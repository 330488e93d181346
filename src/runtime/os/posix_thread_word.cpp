// The per-thread word on POSIX (runtime/os/thread_word.h).
#include "runtime/os/thread_word.h"

namespace tl::os {
namespace {
thread_local std::uintptr_t t_word = 0;
}  // namespace

std::uintptr_t ThreadWord() { return t_word; }
void SetThreadWord(std::uintptr_t value) { t_word = value; }

}  // namespace tl::os
