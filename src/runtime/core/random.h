// The runtime's random generator, seeding counter and tick count. The
// shuffle's output depends on every detail here, so it is kept exact.
#pragma once
#include <cstdint>
#include <optional>

namespace tl::rt {

// Milliseconds since the system started, wrapping at 2^32.
std::uint32_t TickCount();
// Fixes what TickCount returns (tidyline-cli --seed); nullopt restores the clock.
void SetTickCountOverride(std::optional<std::uint32_t> fixedTick);

// With a seed: state := seed. Without: s = TickCount + counter; counter +=
// (s & 0xFF) + 100; state := s.
void SeedRandom(std::optional<std::int32_t> seed = std::nullopt);
// Next generator output, 0..32767.
std::uint32_t NextRandom();
// The same step on a state the caller keeps (NextRandom steps this
// thread's), for work that replays the generator from states it saved.
inline std::uint32_t StepRandom(std::uint32_t& state) {
  state = state * 214013u + 2531011u;
  return (state >> 16) & 0x7FFF;
}
// lo + output mod (span + 1), with the argument rules of the Random command.
std::int32_t Random(std::optional<std::int32_t> low = std::nullopt,
                    std::optional<std::int32_t> high = std::nullopt);

// Direct access for tests and for code that must reproduce a sequence.
std::uint32_t RandomState();
std::uint32_t SeedCounter();
void SetSeedCounter(std::uint32_t counter);

}  // namespace tl::rt
