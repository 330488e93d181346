// Yielding to the message loop. Long work runs on the UI thread and calls
// DoEvents from inside its loops so the window stays usable; handlers may
// then run nested inside the work.
#pragma once
#include <chrono>
#include <cstdint>

namespace tl::rt {

// One pass over the pending window messages; nothing to do before a window
// system is installed.
void DoEvents();

// Installed by the window runtime (and by tests that simulate nesting).
using PumpHandler = void (*)();
PumpHandler SetPumpHandler(PumpHandler handler);

// Yields on a clock rather than per step: Step() is cheap and calls DoEvents
// once at least `period` has passed since the last yield. The clock is read
// only every 256 steps.
class YieldClock {
 public:
  explicit YieldClock(std::chrono::milliseconds period = std::chrono::milliseconds(8))
      : period_(period), last_(std::chrono::steady_clock::now()) {}
  void Step() {
    if ((++steps_ & 0xFF) == 0) Check();
  }

 private:
  void Check();
  std::chrono::milliseconds period_;
  std::chrono::steady_clock::time_point last_;
  std::uint32_t steps_ = 0;
};

}  // namespace tl::rt
