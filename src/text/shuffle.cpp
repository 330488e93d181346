#include "text/shuffle.h"

#include <cstdint>

#include "runtime/core/message_pump.h"
#include "runtime/core/random.h"
#include "text/pod_vector.h"
#include "text/random_pool.h"
#include "text/records.h"

namespace tl::text {

namespace {

// Draws the whole order first (the draws do not depend on the records), then
// gathers the records with prefetching: the gather is a random walk over the
// text and would otherwise wait on memory for every record. Index is 32-bit
// whenever the count allows, which halves the order's memory.
template <typename Index>
Bytes DrawAndGather(const RecordIndex& records, std::string_view separator, std::size_t total) {
  const std::size_t n = records.size();
  auto order = PodVector<Index>::Uninitialized(n);
  {
    UniqueRandomPool pool;
    rt::YieldClock clock;
    for (std::size_t i = 0; i < n; ++i) {
      order[i] = static_cast<Index>(pool.DrawIndex(n));
      clock.Step();
    }
  }

  // The whole output is returned, whatever bytes the records hold.
  Bytes out(total);
  constexpr std::size_t kIndexAhead = 16, kTextAhead = 8;
  for (std::size_t i = 0; i < n; ++i) {
    if (i + kIndexAhead < n) records.PrefetchStart(order[i + kIndexAhead]);
    if (i + kTextAhead < n) records.PrefetchRecord(order[i + kTextAhead]);
    out.Append(records[order[i]]);
    if (i + 1 < n) out.Append(separator);
  }
  out.Finish();
  return out;
}

}  // namespace

Bytes ShuffleBytes(std::string_view text, std::string_view separator) {
  rt::SeedRandom();
  if (separator.empty()) separator = "\r\n";
  RecordIndex records(text, separator);
  const std::size_t n = records.size();
  if (n == 0) return Bytes();

  std::size_t total = (n - 1) * separator.size();
  for (std::size_t i = 0; i < n; ++i) total += records[i].size();
  if (n <= 0xFFFFFFFFu) return DrawAndGather<std::uint32_t>(records, separator, total);
  return DrawAndGather<std::size_t>(records, separator, total);
}

}  // namespace tl::text
