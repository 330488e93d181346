#include "runtime/commands/number_commands.h"

#include <cmath>
#include <vector>

#include "runtime/core/random.h"

namespace tl::rt {
namespace {
constexpr double kRoundBias = 1e-12;

double HalfUp(double y) {
  double whole;
  double fraction = std::modf(y + kRoundBias, &whole);
  return fraction >= 0.5 ? whole + 1 : whole;
}
}  // namespace

double Round(double x, std::optional<std::int32_t> digits) {
  if (x == 0 || !std::isfinite(x)) return x;
  const int d = digits.value_or(0);
  const double a = std::fabs(x);
  double r;
  if (d > 0) {
    const double scale = std::pow(10.0, d);
    const double y = a * scale;
    // Too many digits to scale: the value has no finer digits to round.
    if (!std::isfinite(y)) return x;
    r = HalfUp(y) / scale;
  } else if (d == 0) {
    r = HalfUp(a);
  } else {
    const double scale = std::pow(10.0, -static_cast<double>(d));
    if (!std::isfinite(scale)) return 0.0;  // rounding to a unit beyond any double
    r = HalfUp(a / scale) * scale;
  }
  return x < 0 ? -r : r;
}

std::int32_t BitAnd(std::span<const std::int32_t> values) {
  if (values.empty()) return 0;
  std::int32_t acc = values[0];
  for (std::size_t i = 1; i < values.size(); ++i) acc &= values[i];
  return acc;
}

std::int32_t BitOr(std::span<const std::int32_t> values) {
  std::int32_t acc = 0;
  for (std::int32_t v : values) acc |= v;
  return acc;
}

// ---------------------------------------------------------------------------
namespace cmd {
namespace {

std::vector<std::int32_t> GivenInts(int argc, const TypedArg* args) {
  std::vector<std::int32_t> values;
  values.reserve(static_cast<std::size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i)
    if (auto v = ArgInt(argc, args, i)) values.push_back(*v);
  return values;
}

void RoundBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnDouble(r, Round(ArgDouble(argc, args, 0).value_or(0.0), ArgInt(argc, args, 1)));
}
void BitAndBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnInt(r, BitAnd(GivenInts(argc, args))); }
void BitOrBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnInt(r, BitOr(GivenInts(argc, args))); }
void RandomBody(ResultRecord& r, int argc, const TypedArg* args) {
  ReturnInt(r, Random(ArgInt(argc, args, 0), ArgInt(argc, args, 1)));
}
void SeedRandomBody(ResultRecord&, int argc, const TypedArg* args) { SeedRandom(ArgInt(argc, args, 0)); }
void TickCountBody(ResultRecord& r, int, const TypedArg*) { ReturnInt(r, static_cast<std::int32_t>(TickCount())); }

}  // namespace

const Command kRound{"Round", &RoundBody};
const Command kBitAnd{"BitAnd", &BitAndBody};
const Command kBitOr{"BitOr", &BitOrBody};
const Command kRandom{"Random", &RandomBody};
const Command kSeedRandom{"SeedRandom", &SeedRandomBody};
const Command kTickCount{"TickCount", &TickCountBody};
}  // namespace cmd

}  // namespace tl::rt
