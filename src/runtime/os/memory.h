// Hints to the system's memory manager.
#pragma once
#include <cstddef>

namespace tl::os {

// Touching fresh memory is dear (a page fault per 4 KiB), so a large block
// asks for huge pages where the system has them; nothing elsewhere.
void AdviseLargeBlock(void* block, std::size_t size);

// Large blocks come from the heap and stay there when freed, so the next
// large block reuses pages already touched instead of asking the system for
// fresh zeroed ones. For a process that handles one large input after
// another (tidyline-cli).
void KeepLargeFreedBlocks();

}  // namespace tl::os
