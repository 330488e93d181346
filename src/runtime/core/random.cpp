#include "runtime/core/random.h"

#include "runtime/os/clock.h"
#include "runtime/os/thread_word.h"

namespace tl::rt {
namespace {
// Each thread's generator starts at 1; its word holds the state xor 1, so
// the word's initial 0 reads as 1.
std::uint32_t State() { return static_cast<std::uint32_t>(os::ThreadWord()) ^ 1u; }
void SetState(std::uint32_t state) { os::SetThreadWord(state ^ 1u); }
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
    SetState(static_cast<std::uint32_t>(*seed));
    return;
  }
  std::uint32_t s = TickCount() + g_counter;
  g_counter += (s & 0xFF) + 100;
  SetState(s);
}

std::uint32_t NextRandom() {
  std::uint32_t state = State();
  const std::uint32_t out = StepRandom(state);
  SetState(state);
  return out;
}

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

std::uint32_t RandomState() { return State(); }
std::uint32_t SeedCounter() { return g_counter; }
void SetSeedCounter(std::uint32_t counter) { g_counter = counter; }

}  // namespace tl::rt
