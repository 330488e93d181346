// The clock on Windows (runtime/os/clock.h).
#include <windows.h>

#include "runtime/os/clock.h"

namespace tl::os {

std::uint32_t TickCount() { return GetTickCount(); }

}  // namespace tl::os
