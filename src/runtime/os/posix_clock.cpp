// The clock on POSIX (runtime/os/clock.h).
#include <time.h>

#include "runtime/os/clock.h"

namespace tl::os {

std::uint32_t TickCount() {
  // The coarse clock ticks every few milliseconds, like the Windows tick
  // count, and is several times cheaper to read; the shuffle reads it once
  // per record.
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

}  // namespace tl::os
