// The generator's state is per thread and exact for every 32-bit value: the
// shuffle's output depends on both.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <thread>
#include <vector>

#include "runtime/core/random.h"

namespace tl::rt {
namespace {

TEST(RandomState, EverySeedIsKeptExactly) {
  struct Case {
    std::int32_t seed;
    std::uint32_t state;
    std::uint32_t next;  // the first output after the seed
  };
  const std::vector<Case> cases = {
      {0, 0u, 38},  {1, 1u, 41},  {-1, 0xFFFFFFFFu, 35},  {INT32_MIN, 0x80000000u, 38},
      {INT32_MAX, 0x7FFFFFFFu, 35}, {12345, 12345u, 7584},
  };
  for (const Case& c : cases) {
    SeedRandom(c.seed);
    EXPECT_EQ(RandomState(), c.state) << c.seed;
    EXPECT_EQ(NextRandom(), c.next) << c.seed;
  }
}

TEST(RandomState, EachThreadStartsAtOneAndKeepsItsOwn) {
  SeedRandom(777);
  const std::uint32_t before = RandomState();
  std::vector<std::uint32_t> firstState(4), firstOutput(4), afterSeed(4);
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      firstState[t] = RandomState();
      firstOutput[t] = NextRandom();
      SeedRandom(static_cast<std::int32_t>(100 + t));
      afterSeed[t] = RandomState();
    });
  for (auto& th : threads) th.join();
  for (unsigned t = 0; t < 4; ++t) {
    EXPECT_EQ(firstState[t], 1u) << t;
    EXPECT_EQ(firstOutput[t], 41u) << t;
    EXPECT_EQ(afterSeed[t], 100u + t) << t;
  }
  // The other threads' seeds left this thread's generator alone.
  EXPECT_EQ(RandomState(), before);
}

}  // namespace
}  // namespace tl::rt
