// Memory hints on POSIX (runtime/os/memory.h).
#include <sys/mman.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <unistd.h>

#include <cstdint>
#include <cstdio>

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

std::uint64_t AvailableMemory() {
  // MemAvailable counts the page cache the system would give up; the free
  // pages alone would understate it badly.
  if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kb = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1;
    std::fclose(f);
    if (found) return static_cast<std::uint64_t>(kb) * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) : 0;
}

}  // namespace tl::os
