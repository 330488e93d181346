#include "text/random_pool.h"

#include <bit>

#include "runtime/random.h"

namespace tl::text {

void UniqueRandomPool::Reset() {
  remaining_ = 0;
  bits_.clear();
  tree_.clear();
}

void UniqueRandomPool::Fill(std::int32_t low, std::int32_t high) {
  low_ = low;
  std::size_t n = high >= low ? static_cast<std::size_t>(static_cast<std::int64_t>(high) - low + 1) : 0;
  remaining_ = n;
  std::size_t words = (n + 63) / 64;
  bits_.assign(words, ~0ull);
  if (n % 64) bits_.back() = (1ull << (n % 64)) - 1;
  // Fenwick tree (1-based) built in linear time.
  tree_.assign(words + 1, 0);
  for (std::size_t w = 1; w <= words; ++w) {
    tree_[w] += static_cast<std::uint32_t>(std::popcount(bits_[w - 1]));
    std::size_t parent = w + (w & (~w + 1));
    if (parent <= words) tree_[parent] += tree_[w];
  }
  top_ = words ? std::bit_floor(words) : 0;
}

std::size_t UniqueRandomPool::TakeKth(std::size_t k) {
  // Descend the tree to the word holding the k-th remaining entry.
  std::size_t w = 0;
  const std::size_t words = bits_.size();
  for (std::size_t step = top_; step; step >>= 1) {
    std::size_t next = w + step;
    if (next <= words && tree_[next] <= k) {
      w = next;
      k -= tree_[next];
    }
  }
  // w is the 0-based word now; select its k-th set bit, a byte at a time.
  std::uint64_t word = bits_[w];
  std::size_t bit = 0;
  for (;;) {
    auto c = static_cast<std::size_t>(std::popcount(word & 0xFF));
    if (k < c) break;
    k -= c;
    word >>= 8;
    bit += 8;
  }
  for (;; word >>= 1, ++bit) {
    if (word & 1) {
      if (k == 0) break;
      --k;
    }
  }
  bits_[w] &= ~(1ull << bit);
  for (std::size_t i = w + 1; i <= words; i += i & (~i + 1)) --tree_[i];
  --remaining_;
  return w * 64 + bit;
}

std::size_t UniqueRandomPool::DrawPosition(std::size_t size) {
  if (size > kSingleDrawLimit) {
    std::uint32_t high = rt::NextRandom();
    std::uint32_t low = rt::NextRandom();
    return ((high << 15) | low) % size;
  }
  // Random(1, size) - 1: no generator output is taken for a single entry.
  return static_cast<std::size_t>(rt::Random(1, static_cast<std::int32_t>(size)) - 1);
}

std::int32_t UniqueRandomPool::Draw(std::int32_t low, std::int32_t high) {
  rt::SeedRandom();
  if (remaining_ == 0) Fill(low, high);
  if (remaining_ == 0) return low;  // an empty range (high < low) has nothing to give
  std::size_t pos = DrawPosition(remaining_);
  return static_cast<std::int32_t>(low_ + static_cast<std::int64_t>(TakeKth(pos)));
}

}  // namespace tl::text
