// Memory hints on Windows (runtime/os/memory.h). Large pages need a
// privilege a normal user lacks, and the process heap keeps freed blocks by
// itself, so a large block only has its pages made present at once.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "runtime/os/memory.h"

namespace tl::os {

namespace {
// Locking a piece makes all its pages present in one call; unlocking leaves
// them so. Under wine each first touch of a page is a fault of its own,
// dearer than zeroing the page many times over (78 MB read into a fresh
// block: 0.6 s, into one whose pages are present: 20 ms). Pieces of 4 MiB
// stay inside the usual locked-memory limit; where the system refuses (a
// working set too small to lock them, as Windows has by default) the pages
// come on first touch as before, and nothing is asked again.
constexpr std::size_t kPresentFrom = 4u << 20;
constexpr std::size_t kPiece = 4u << 20;
std::atomic<bool> g_lockRefused{false};
}  // namespace

void AdviseLargeBlock(void* block, std::size_t size) {
  if (size < kPresentFrom || g_lockRefused.load(std::memory_order_relaxed)) return;
  char* p = static_cast<char*>(block);
  for (std::size_t at = 0; at < size; at += kPiece) {
    const std::size_t n = std::min(kPiece, size - at);
    if (!VirtualLock(p + at, n)) {
      g_lockRefused.store(true, std::memory_order_relaxed);
      return;
    }
    VirtualUnlock(p + at, n);
  }
}

void KeepLargeFreedBlocks() {}

std::uint64_t AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  // A 32-bit process cannot use more than its own address space.
  return status.ullAvailPhys < status.ullAvailVirtual ? status.ullAvailPhys : status.ullAvailVirtual;
}

}  // namespace tl::os
