#include "text/shuffle.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
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
    // Only the seeding is a chain; the positions come from the states it
    // leaves, side by side. The last draw (one entry) takes no output, so
    // the generator ends as it always has.
    rt::YieldClock clock;
    for (std::size_t i = 0; i < n; ++i) {
      rt::SeedRandom();
      order[i] = static_cast<Index>(rt::RandomState());
      clock.Step();
    }
  }
  const unsigned positionParts = PartsFor(n);
  RunParts(positionParts, [&](unsigned p) {
    const std::size_t from = PartBegin(n, positionParts, p), to = PartBegin(n, positionParts, p + 1);
    for (std::size_t i = from; i < to; ++i)
      order[i] = static_cast<Index>(UniqueRandomPool::DrawPositionFrom(static_cast<std::uint32_t>(order[i]), n - i));
  });
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

// How far ahead the gather prefetches: the record starts of the order, and
// the record texts.
constexpr std::size_t kIndexAhead = 16, kTextAhead = 8;

// Copies the records of order[from, to) with the separators after them
// (none after the last of all n) to `o`; returns the end.
template <typename Index>
char* GatherRun(const RecordIndex& records, const Index* order, std::size_t from, std::size_t to, std::size_t n,
                std::string_view separator, char* o) {
  const std::size_t m = separator.size();
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
  return o;
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
    GatherRun(records, order.data(), PartBegin(n, parts, p), PartBegin(n, parts, p + 1), n, separator, base + at[p]);
  });
  out.SetSize(total);
  out.Finish();
  return out;
}

// A record too large for a block goes out as it stands in the text.
template <typename Index>
bool WriteAlone(const RecordIndex& records, const Index* order, std::size_t i, std::size_t n,
                std::string_view separator, const ByteSink& sink) {
  return sink(records[order[i]]) && (i + 1 == n || sink(separator));
}

// One part: records are gathered into one block, handed on whenever the
// next record would not fit.
template <typename Index>
bool WriteInOnePart(const RecordIndex& records, const Index* order, std::string_view separator,
                    const ByteSink& sink, std::size_t chunk) {
  const std::size_t n = records.size(), m = separator.size();
  auto block = PodVector<char>::Uninitialized(std::min(chunk, records.text().size() + m));
  std::size_t used = 0;
  for (std::size_t from = 0; from < n;) {
    // The run of records that fits what is left of the block.
    std::size_t to = from, bytes = 0;
    for (; to < n; ++to) {
      const std::size_t need = records[order[to]].size() + (to + 1 < n ? m : 0);
      if (used + bytes + need > chunk) break;
      bytes += need;
    }
    if (to > from) {
      GatherRun(records, order, from, to, n, separator, block.data() + used);
      used += bytes;
      from = to;
      continue;
    }
    // The block is full, or the next record alone is larger than it.
    if (used > 0) {
      if (!sink(std::string_view(block.data(), used))) return false;
      used = 0;
    } else {
      if (!WriteAlone(records, order, from, n, separator, sink)) return false;
      ++from;
    }
  }
  return used == 0 || sink(std::string_view(block.data(), used));
}

// Several parts: the order is cut into runs of at most `chunk` bytes (a
// larger record alone in its run); the parts gather runs into a ring of
// blocks side by side, part p the runs p, p + parts, ..., and the calling
// thread hands them on in order. A block is reused once its run is out.
// A run its part has not begun when the calling thread comes to it, which
// happens when a part's thread could not start, is gathered by the calling
// thread itself.
template <typename Index>
bool WriteInParts(const RecordIndex& records, const Index* order, std::string_view separator,
                  const ByteSink& sink, std::size_t chunk, unsigned parts) {
  const std::size_t n = records.size(), m = separator.size();
  struct Run {
    std::size_t from, to, bytes;
  };
  std::vector<std::vector<Run>> partRuns(parts);
  RunParts(parts, [&](unsigned p) {
    const std::size_t from = PartBegin(n, parts, p), to = PartBegin(n, parts, p + 1);
    std::size_t start = from, bytes = 0;
    for (std::size_t i = from; i < to; ++i) {
      if (i + kIndexAhead < to) records.PrefetchStart(order[i + kIndexAhead]);
      const std::size_t need = records[order[i]].size() + (i + 1 < n ? m : 0);
      if (bytes > 0 && bytes + need > chunk) {
        partRuns[p].push_back({start, i, bytes});
        start = i;
        bytes = 0;
      }
      bytes += need;
    }
    if (to > start) partRuns[p].push_back({start, to, bytes});
  });
  std::vector<Run> runs;
  for (const auto& r : partRuns) runs.insert(runs.end(), r.begin(), r.end());
  partRuns.clear();

  enum : std::uint8_t { kOpen, kTaken, kReady };
  const std::size_t slots = 2 * std::size_t{parts};
  std::vector<PodVector<char>> blocks(slots);
  std::vector<std::uint8_t> state(runs.size(), kOpen);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t written = 0;  // runs handed on
  bool stop = false;
  auto gather = [&](std::size_t j) {
    const Run& r = runs[j];
    if (r.bytes > chunk) return;  // goes out as it stands
    PodVector<char>& block = blocks[j % slots];
    // No run holds more than the whole text.
    if (block.empty()) block = PodVector<char>::Uninitialized(std::min(chunk, records.text().size() + m));
    GatherRun(records, order, r.from, r.to, n, separator, block.data());
  };
  bool ok = true;
  RunParts(parts, [&](unsigned p) {
    if (p > 0) {
      for (std::size_t j = p; j < runs.size(); j += parts) {
        {
          std::unique_lock lock(mutex);
          changed.wait(lock, [&] { return stop || written + slots > j; });
          if (stop) return;
          if (state[j] != kOpen) continue;
          state[j] = kTaken;
        }
        gather(j);
        std::lock_guard lock(mutex);
        state[j] = kReady;
        changed.notify_all();
      }
      return;
    }
    for (std::size_t j = 0; j < runs.size(); ++j) {
      bool mine = false;
      {
        std::unique_lock lock(mutex);
        if (state[j] == kOpen) {
          state[j] = kTaken;
          mine = true;
        } else {
          changed.wait(lock, [&] { return state[j] == kReady; });
        }
      }
      if (mine) gather(j);
      const Run& r = runs[j];
      const bool out = r.bytes > chunk ? WriteAlone(records, order, r.from, n, separator, sink)
                                       : sink(std::string_view(blocks[j % slots].data(), r.bytes));
      std::lock_guard lock(mutex);
      if (!out) {
        ok = false;
        stop = true;
      } else {
        written = j + 1;
      }
      changed.notify_all();
      if (!out) return;
    }
  });
  return ok;
}

template <typename Index>
bool DrawAndWrite(const RecordIndex& records, std::string_view separator, const ByteSink& sink,
                  std::size_t chunk) {
  const std::size_t n = records.size();
  auto order = PodVector<Index>::Uninitialized(n);
  DrawOrder(order.data(), n);
  const unsigned parts = PartsFor(n);
  if (parts <= 1) return WriteInOnePart(records, order.data(), separator, sink, chunk);
  return WriteInParts(records, order.data(), separator, sink, chunk, parts);
}

}  // namespace

bool ShuffleInto(std::string_view text, std::string_view separator, const ByteSink& sink, std::size_t chunk) {
  rt::SeedRandom();
  if (separator.empty()) separator = "\r\n";
  RecordIndex records(text, separator);
  const std::size_t n = records.size();
  if (n == 0) return true;
  chunk = std::max<std::size_t>(chunk, 1);
  if (n <= 0xFFFFFFFFu) return DrawAndWrite<std::uint32_t>(records, separator, sink, chunk);
  return DrawAndWrite<std::size_t>(records, separator, sink, chunk);
}

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
