// The progress line of tidyline-cli: on standard error when it is a
// terminal, once the work has taken about a second; rewritten in place at
// most a few times a second and cleared at the end. Never on a pipe or file.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tl::cli {

class ProgressLine {
 public:
  // `enabled` false: never draws (--quiet, or standard error not a terminal).
  explicit ProgressLine(bool enabled);
  ~ProgressLine() { Clear(); }

  // `total` 0: unknown. `unit` names what done and total count (buckets,
  // records); empty: bytes.
  void Update(std::string_view phase, std::uint64_t done, std::uint64_t total, std::uint64_t records,
              std::string_view unit = {});
  void Clear();

  // The line for these values (for tests): phase, done of total, records,
  // rate and time left.
  static std::string Format(std::string_view phase, std::uint64_t done, std::uint64_t total, std::uint64_t records,
                            std::string_view unit, double seconds);

 private:
  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point phaseStart_;
  Clock::time_point next_;
  std::string phase_;
};

}  // namespace tl::cli
