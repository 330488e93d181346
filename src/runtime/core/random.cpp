#include "runtime/core/random.h"

#include "runtime/os/clock.h"

namespace tl::rt {
namespace {
thread_local std::uint32_t t_state = 1;
std::uint32_t g_counter = 0;
std::optional<std::uint32_t> g_fixed_tick;
}  // namespace

std::uint32_t TickCount() {
  if (g_fixed_tick) return *g_fixed_tick;
  return os::TickCount();
}

void SetTickCountOverride(std::optional<std::uint32_t> fixedTick) { g_fixed_tick = fixedTick; }

void SeedRandom(std::optional<std::int32_t> seed) {
  if (seed) {
    t_state = static_cast<std::uint32_t>(*seed);
    return;
  }
  std::uint32_t s = TickCount() + g_counter;
  g_counter += (s & 0xFF) + 100;
  t_state = s;
}

std::uint32_t NextRandom() { return StepRandom(t_state); }

std::int32_t Random(std::optional<std::int32_t> low, std::optional<std::int32_t> high) {
  std::int64_t a = low ? (*low < 0 ? 0 : *low) : 0;
  std::int64_t b = high ? (*high < 0 ? 0 : *high) : 2147483647;
  std::int64_t lo = a < b ? a : b;
  std::int64_t hi = a < b ? b : a;
  if (lo == hi) return static_cast<std::int32_t>(lo);
  std::int64_t span = hi - lo;
  if (span > 2147483646) span = 2147483646;
  return static_cast<std::int32_t>(lo + NextRandom() % (span + 1));
}

std::uint32_t RandomState() { return t_state; }
std::uint32_t SeedCounter() { return g_counter; }
void SetSeedCounter(std::uint32_t counter) { g_counter = counter; }

}  // namespace tl::rt
