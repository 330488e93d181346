// The per-thread word on Windows (runtime/os/thread_word.h): one thread
// slot of the system, a plain read of the thread's own block.
#include <windows.h>

#include "runtime/os/thread_word.h"

namespace tl::os {
namespace {

// Taken before main (the first use may come from any thread) and never
// given back. A process that has used up every slot, which nothing here
// does, shares one word between its threads instead of failing.
const DWORD g_slot = TlsAlloc();
std::uintptr_t g_shared = 0;

}  // namespace

std::uintptr_t ThreadWord() {
  if (g_slot == TLS_OUT_OF_INDEXES) return g_shared;
  return reinterpret_cast<std::uintptr_t>(TlsGetValue(g_slot));
}

void SetThreadWord(std::uintptr_t value) {
  if (g_slot == TLS_OUT_OF_INDEXES) {
    g_shared = value;
    return;
  }
  TlsSetValue(g_slot, reinterpret_cast<void*>(value));
}

}  // namespace tl::os
