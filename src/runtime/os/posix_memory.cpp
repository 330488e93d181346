// Memory hints on POSIX (runtime/os/memory.h).
#include <sys/mman.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdint>

#include "runtime/os/memory.h"

namespace tl::os {

void AdviseLargeBlock(void* block, std::size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::size_t kHuge = 2u << 20;
  if (size < 2 * kHuge) return;
  auto start = (reinterpret_cast<std::uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(kHuge - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

void KeepLargeFreedBlocks() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

}  // namespace tl::os
