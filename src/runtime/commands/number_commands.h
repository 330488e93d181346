// Number commands: Round, BitAnd, BitOr, and the command bodies of Random,
// SeedRandom and TickCount (the generator itself is in random.h).
#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "runtime/core/frame.h"

namespace tl::rt {

// Half away from zero, with a bias of 1e-12 so that 1.005 rounds to 1.01.
// Negative digits round to tens, hundreds, ...
double Round(double x, std::optional<std::int32_t> digits = {});

// Left-to-right folds; a single value is returned as it is, none gives 0.
std::int32_t BitAnd(std::span<const std::int32_t> values);
std::int32_t BitOr(std::span<const std::int32_t> values);

namespace cmd {
extern const Command kRound;
extern const Command kBitAnd;
extern const Command kBitOr;
extern const Command kRandom;
extern const Command kSeedRandom;
extern const Command kTickCount;
}  // namespace cmd

}  // namespace tl::rt
