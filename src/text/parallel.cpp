#include "text/parallel.h"

#include <algorithm>

namespace tl::text {
namespace {
// Below this a thread's start costs more than it saves.
constexpr std::size_t kDefaultThreshold = 1 << 16;
std::size_t g_threshold = kDefaultThreshold;
unsigned g_parts = 0;
}  // namespace

unsigned PartsFor(std::size_t units) {
  if (units < g_threshold) return 1;
  if (g_parts) return g_parts;
  static const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  return cores;
}

void SetParallelism(std::size_t threshold, unsigned parts) {
  g_threshold = threshold ? threshold : kDefaultThreshold;
  g_parts = std::min(parts, 64u);
}

}  // namespace tl::text
