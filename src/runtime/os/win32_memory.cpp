// Memory hints on Windows (runtime/os/memory.h): the process heap keeps
// freed blocks by itself and large pages need a privilege a normal user
// lacks, so there is nothing to ask for.
#include "runtime/os/memory.h"

namespace tl::os {

void AdviseLargeBlock(void* /*block*/, std::size_t /*size*/) {}
void KeepLargeFreedBlocks() {}

}  // namespace tl::os
