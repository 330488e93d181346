#include "runtime/core/message_pump.h"

namespace tl::rt {
namespace {
PumpHandler g_pump = nullptr;
}

void DoEvents() {
  if (g_pump) g_pump();
}

PumpHandler SetPumpHandler(PumpHandler handler) {
  PumpHandler old = g_pump;
  g_pump = handler;
  return old;
}

void YieldClock::Check() {
  auto now = std::chrono::steady_clock::now();
  if (now - last_ >= period_) {
    DoEvents();
    last_ = std::chrono::steady_clock::now();
  }
}

}  // namespace tl::rt
