// The millisecond clock the runtime's tick count reads.
#pragma once
#include <cstdint>

namespace tl::os {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows
// tick count; cheap enough to read once per record.
std::uint32_t TickCount();

}  // namespace tl::os
