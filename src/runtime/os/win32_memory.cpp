// Memory hints on Windows (runtime/os/memory.h): the process heap keeps
// freed blocks by itself and large pages need a privilege a normal user
// lacks, so there is nothing to ask for.
#include <windows.h>

#include "runtime/os/memory.h"

namespace tl::os {

void AdviseLargeBlock(void* /*block*/, std::size_t /*size*/) {}
void KeepLargeFreedBlocks() {}

std::uint64_t AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  // A 32-bit process cannot use more than its own address space.
  return status.ullAvailPhys < status.ullAvailVirtual ? status.ullAvailPhys : status.ullAvailVirtual;
}

}  // namespace tl::os
