#include "text/shuffle.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/core/message_pump.h"
#include "runtime/core/random.h"
#include "text/parallel.h"
#include "text/pod_vector.h"
#include "text/random_pool.h"
#include "text/records.h"

namespace tl::text {

namespace {

// The draws do not depend on the records, so the whole order comes first:
// the position of every draw among the numbers still in the pool, each draw
// reseeding the generator as it always has, and then the numbers those
// positions take. The second step is shared out: part 0 takes the first
// draws from the full pool; each later part takes its draws from a pool of
// its own as large as what remains when its draws begin, which gives their
// ranks among the numbers left by the parts before; those ranks are then
// looked up in the list of the numbers left.
template <typename Index>
void DrawOrder(Index* order, std::size_t n) {
  {
    rt::YieldClock clock;
    for (std::size_t i = 0; i < n; ++i) {
      rt::SeedRandom();
      order[i] = static_cast<Index>(UniqueRandomPool::DrawPosition(n - i));
      clock.Step();
    }
  }
  const unsigned parts = std::min<unsigned>(PartsFor(n), 2);
  if (parts == 1) {
    UniqueRandomPool pool;
    pool.Start(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<Index>(pool.TakeAt(order[i]));
    return;
  }
  const std::size_t half = n / 2;
  auto left = PodVector<Index>::Uninitialized(n - half);  // what the first half leaves
  RunParts(2, [&](unsigned p) {
    UniqueRandomPool pool;
    if (p == 0) {
      pool.Start(n);
      for (std::size_t i = 0; i < half; ++i) order[i] = static_cast<Index>(pool.TakeAt(order[i]));
      pool.CopyRemaining(left.data());
    } else {
      pool.Start(n - half);
      for (std::size_t i = half; i < n; ++i) order[i] = static_cast<Index>(pool.TakeAt(order[i]));
    }
  });
  RunParts(2, [&](unsigned p) {
    const std::size_t from = half + PartBegin(n - half, 2, p), to = half + PartBegin(n - half, 2, p + 1);
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = from; i < to; ++i) {
      if (i + kAhead < to) __builtin_prefetch(&left[order[i + kAhead]]);
      order[i] = left[order[i]];
    }
  });
}

// Gathers the records in the drawn order with prefetching: the gather is a
// random walk over the text and would otherwise wait on memory for every
// record. Parts gather runs of the order side by side, each where the bytes
// before its run end. Index is 32-bit whenever the count allows, which
// halves the order's memory.
template <typename Index>
Bytes DrawAndGather(const RecordIndex& records, std::string_view separator, std::size_t total) {
  const std::size_t n = records.size();
  auto order = PodVector<Index>::Uninitialized(n);
  DrawOrder(order.data(), n);

  // The whole output is returned, whatever bytes the records hold.
  Bytes out(total);
  const unsigned parts = PartsFor(n);
  std::vector<std::size_t> at(parts + 1, 0);
  const std::size_t m = separator.size();
  constexpr std::size_t kIndexAhead = 16, kTextAhead = 8;
  if (parts > 1) {
    // Each run's length, from the record starts alone.
    RunParts(parts, [&](unsigned p) {
      const std::size_t from = PartBegin(n, parts, p), to = PartBegin(n, parts, p + 1);
      std::size_t sum = 0;
      for (std::size_t i = from; i < to; ++i) {
        if (i + kIndexAhead < to) records.PrefetchStart(order[i + kIndexAhead]);
        sum += records[order[i]].size() + m;
      }
      at[p + 1] = sum;
    });
    for (unsigned p = 0; p < parts; ++p) at[p + 1] += at[p];
  }
  char* base = out.data();
  RunParts(parts, [&](unsigned p) {
    const std::size_t from = PartBegin(n, parts, p), to = PartBegin(n, parts, p + 1);
    char* o = base + at[p];
    for (std::size_t i = from; i < to; ++i) {
      if (i + kIndexAhead < to) records.PrefetchStart(order[i + kIndexAhead]);
      if (i + kTextAhead < to) records.PrefetchRecord(order[i + kTextAhead]);
      const std::string_view rec = records[order[i]];
      std::memcpy(o, rec.data(), rec.size());
      o += rec.size();
      if (i + 1 < n) {
        std::memcpy(o, separator.data(), m);
        o += m;
      }
    }
  });
  out.SetSize(total);
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
