// Hands out the numbers of a range in random order without repetition. Every
// draw reseeds the runtime generator from the tick count and the seeding
// counter, then picks position k of the remaining numbers, which stay in
// ascending order.
//
// The remaining numbers are kept as a bitmap over the range. A binary tree
// over the 512-bit blocks (one cache line of the bitmap each) holds what is
// left in the left half below each node, and a byte per 64-bit word counts
// within the block, so finding and taking the k-th remaining number is one
// walk down a tree small enough to stay in cache, instead of moving the rest
// of the pool down after every draw.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tl::text {

class UniqueRandomPool {
 public:
  // With more than this many numbers left a single generator output (0..32767)
  // cannot reach every position, so two outputs are combined.
  static constexpr std::size_t kSingleDrawLimit = 32768;

  // Returns a number in [low, high]; the first draw after construction or
  // reset fills the pool with low..high.
  std::int32_t Draw(std::int32_t low, std::int32_t high);
  // The same for the range 0..count-1 of any size (the command-line tool may
  // shuffle more records than a 32-bit number counts).
  std::uint64_t DrawIndex(std::uint64_t count);
  void Reset();
  std::size_t Remaining() const { return remaining_; }

  // The 0-based position a draw takes from a pool of `size` entries, using
  // the generator as it is now.
  static std::size_t DrawPosition(std::size_t size);
  // The position the same draw takes when the generator's state is `state`
  // (the generator itself is left alone).
  static std::size_t DrawPositionFrom(std::uint32_t state, std::size_t size);

  // For a sequence of draws whose positions were taken beforehand: fills
  // the pool with 0..count-1, takes the number at a 0-based position among
  // those remaining, and lists the remaining numbers in ascending order.
  void Start(std::uint64_t count) { Fill(0, count); }
  std::uint64_t TakeAt(std::size_t position) { return TakeKth(position); }
  template <typename Index>
  void CopyRemaining(Index* out) const {
    for (std::size_t w = 0; w < bits_.size(); ++w) {
      for (std::uint64_t b = bits_[w]; b; b &= b - 1)
        *out++ = static_cast<Index>(w * 64 + static_cast<std::size_t>(__builtin_ctzll(b)));
    }
  }

 private:
  void Fill(std::int64_t low, std::uint64_t count);
  std::size_t TakeKth(std::size_t k);  // 0-based rank among remaining entries

  std::int64_t low_ = 0;
  std::size_t remaining_ = 0;
  static constexpr std::size_t kWordsPerBlock = 8;
  std::vector<std::uint64_t> bits_;    // 1 = still in the pool
  std::vector<std::uint8_t> wordCount_;  // set bits per word
  std::vector<std::uint32_t> tree_;    // [1, top_): left-subtree counts; leaves are the blocks
  std::size_t top_ = 0;                // block count rounded up to a power of two
};

}  // namespace tl::text
