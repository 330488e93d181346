// Hints to the system's memory manager.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tl::os {

// Touching fresh memory is dear (a page fault per 4 KiB), so a large block
// asks for huge pages where the system has them (Linux), or has its pages
// made present in a few calls (Windows; under wine every first touch of a
// page is a fault of its own).
void AdviseLargeBlock(void* block, std::size_t size);

// Large blocks come from the heap and stay there when freed, so the next
// large block reuses pages already touched instead of asking the system for
// fresh zeroed ones. For a process that handles one large input after
// another (tidyline-cli).
void KeepLargeFreedBlocks();

// Memory the system could give this process now without swapping, in bytes
// (0 when unknown).
std::uint64_t AvailableMemory();

}  // namespace tl::os
