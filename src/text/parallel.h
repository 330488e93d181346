// Splitting the record engine's work over the processor's cores. Work is
// shared out only when the input is large enough to pay for a thread; part 0
// always runs on the calling thread, which alone may yield to the message
// loop. The results never depend on how many parts there are.
#pragma once
#include <cstddef>
#include <thread>
#include <vector>

namespace tl::text {

// How many parts `units` of work (records, or bytes) are worth: 1 below the
// threshold, else the number of cores (at most 8).
unsigned PartsFor(std::size_t units);
// Changes the threshold (records or bytes) from which work is shared and the
// number of parts (0: the number of cores); SetParallelism(0, 0) restores the
// defaults. Tests use it to take the shared paths on small inputs.
void SetParallelism(std::size_t threshold, unsigned parts);

// Runs fn(part) for every part in [0, parts), part 0 on the calling thread,
// and returns when all are done. A thread that cannot be started leaves its
// part to the calling thread.
template <typename Fn>
void RunParts(unsigned parts, Fn&& fn) {
  if (parts <= 1) {
    fn(0u);
    return;
  }
  std::vector<std::thread> threads;
  std::vector<unsigned> inline_parts;
  threads.reserve(parts - 1);
  for (unsigned p = 1; p < parts; ++p) {
    try {
      threads.emplace_back([&fn, p] { fn(p); });
    } catch (...) {
      inline_parts.push_back(p);
    }
  }
  fn(0u);
  for (unsigned p : inline_parts) fn(p);
  for (auto& t : threads) t.join();
}

// [begin, end) of part `p` of `n` items cut into `parts` nearly equal runs.
inline std::size_t PartBegin(std::size_t n, unsigned parts, unsigned p) {
  return n / parts * p + n % parts * p / parts;
}

}  // namespace tl::text
