#include "text/random_pool.h"

#include <array>
#include <bit>
#include <cstring>

#include "runtime/core/random.h"

namespace tl::text {
namespace {
// Without a popcount instruction in the baseline instruction set, a table
// beats the library's bit-twiddling fallback in the hot select loop.
// kSelectInByte[v][j]: the position of the j-th set bit of byte v.
constexpr auto kSelectInByte = [] {
  std::array<std::array<std::uint8_t, 8>, 256> t{};
  for (unsigned v = 0; v < 256; ++v) {
    unsigned j = 0;
    for (unsigned bit = 0; bit < 8; ++bit)
      if (v & (1u << bit)) t[v][j++] = static_cast<std::uint8_t>(bit);
  }
  return t;
}();

// The position of the k-th (0-based) set bit of x, without branches or a
// popcount instruction: per-byte counts by bit twiddling, their running sums
// by one multiply, the byte by comparing all eight sums with k at once, and
// the bit inside it from a table. (k < popcount(x).)
unsigned SelectBit(std::uint64_t x, unsigned k) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  std::uint64_t s = x - ((x >> 1) & 0x5555555555555555ull);
  s = (s & 0x3333333333333333ull) + ((s >> 2) & 0x3333333333333333ull);
  s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  const std::uint64_t sums = s * kOnes;  // byte i: set bits in bytes 0..i
  // High bit of byte i set when sums_i <= k; those bytes come first.
  const std::uint64_t atMost = ((k * kOnes | kHighs) - sums) & kHighs;
  const auto byte = static_cast<unsigned>(((atMost >> 7) * kOnes) >> 56);
  const auto before = static_cast<unsigned>(((sums << 8) >> (8 * byte)) & 0xFF);
  return 8 * byte + kSelectInByte[(x >> (8 * byte)) & 0xFF][k - before];
}
}  // namespace

void UniqueRandomPool::Reset() {
  remaining_ = 0;
  bits_.clear();
  wordCount_.clear();
  tree_.clear();
}

void UniqueRandomPool::Fill(std::int64_t low, std::uint64_t count) {
  low_ = low;
  auto n = static_cast<std::size_t>(count);
  remaining_ = n;
  std::size_t words = (n + 63) / 64;
  std::size_t blocks = (words + kWordsPerBlock - 1) / kWordsPerBlock;
  bits_.assign(blocks * kWordsPerBlock, 0);
  wordCount_.assign(blocks * kWordsPerBlock, 0);
  for (std::size_t w = 0; w < words; ++w) {
    bits_[w] = (w + 1 < words || n % 64 == 0) ? ~0ull : (1ull << (n % 64)) - 1;
    wordCount_[w] = static_cast<std::uint8_t>(std::popcount(bits_[w]));
  }
  // The blocks, padded with empty ones to a power of two, are the leaves of
  // a complete binary tree kept as an array (node i has children 2i and
  // 2i+1); each inner node holds the count of its left subtree.
  const std::size_t padded = blocks ? std::bit_ceil(blocks) : 0;
  std::vector<std::uint32_t> sums(2 * padded, 0);
  for (std::size_t b = 0; b < blocks; ++b) {
    for (std::size_t w = 0; w < kWordsPerBlock; ++w) sums[padded + b] += wordCount_[b * kWordsPerBlock + w];
  }
  tree_.assign(padded, 0);
  for (std::size_t i = padded; i-- > 1;) {
    sums[i] = sums[2 * i] + sums[2 * i + 1];
    tree_[i] = sums[2 * i];
  }
  top_ = padded;
}

std::size_t UniqueRandomPool::TakeKth(std::size_t k) {
  // Descend to the block holding the k-th remaining entry, taking one from
  // every left count passed on the way left: the search and the update are
  // one walk. The right subtree of a node holds more than k - (left count)
  // entries whenever the walk goes right, so it never reaches a padding
  // block. Masks instead of branches: those would be mispredicted half the
  // time.
  std::size_t i = 1;
  std::uint32_t* tree = tree_.data();
  while (i < top_) {
    const std::size_t c = tree[i];
    const std::size_t right = static_cast<std::size_t>(k >= c);
    tree[i] = static_cast<std::uint32_t>(c - (right ^ 1));
    k -= c & (std::size_t{0} - right);
    i = 2 * i + right;
  }
  // The block, then the word, then the bit.
  std::size_t w = (i - top_) * kWordsPerBlock;
  if constexpr (std::endian::native == std::endian::little && kWordsPerBlock == 8) {
    // The eight words' counts as running sums in 16-bit lanes, compared
    // with k all at once: the words whose sums are <= k come before.
    std::uint64_t counts;
    std::memcpy(&counts, &wordCount_[w], 8);
    constexpr std::uint64_t kOnes = 0x0001000100010001ull, kHighs = 0x8000800080008000ull;
    auto lanes = [](std::uint64_t v) {  // the low four bytes, one to a lane
      v &= 0xFFFFFFFFull;
      v = (v | (v << 16)) & 0x0000FFFF0000FFFFull;
      return (v | (v << 8)) & 0x00FF00FF00FF00FFull;
    };
    const std::uint64_t low = lanes(counts) * kOnes;  // lane j: words 0..j
    const std::uint64_t high = lanes(counts >> 32) * kOnes + (low >> 48) * kOnes;  // words 0..4+j
    const std::uint64_t kk = k * kOnes | kHighs;
    const auto passed = static_cast<unsigned>(((((kk - low) & kHighs) >> 15) * kOnes >> 48) +
                                              ((((kk - high) & kHighs) >> 15) * kOnes >> 48));
    const std::uint64_t sums = passed < 4 ? low : high;
    const auto through = static_cast<std::size_t>((sums >> (16 * (passed & 3))) & 0xFFFF);
    w += passed;
    k -= through - wordCount_[w];
  } else {
    while (k >= wordCount_[w]) k -= wordCount_[w++];
  }
  const std::size_t bit = SelectBit(bits_[w], static_cast<unsigned>(k));
  bits_[w] &= ~(1ull << bit);
  --wordCount_[w];
  --remaining_;
  return w * 64 + bit;
}

namespace {
// A draw's position from the generator outputs `next` gives.
template <typename Next>
std::size_t PositionOf(std::size_t size, Next&& next) {
  if (size > UniqueRandomPool::kSingleDrawLimit) {
    std::uint64_t high = next();
    std::uint64_t low = next();
    std::uint64_t v = (high << 15) | low;  // 30 bits
    // Beyond 2^30 entries a third output keeps every position reachable.
    if (size > (std::size_t{1} << 30)) v = (v << 15) | next();
    return static_cast<std::size_t>(v % size);
  }
  // Random(1, size) - 1: no generator output is taken for a single entry.
  if (size <= 1) return 0;
  return static_cast<std::size_t>(next() % size);
}
}  // namespace

std::size_t UniqueRandomPool::DrawPosition(std::size_t size) {
  return PositionOf(size, [] { return rt::NextRandom(); });
}

std::size_t UniqueRandomPool::DrawPositionFrom(std::uint32_t state, std::size_t size) {
  return PositionOf(size, [&state] { return rt::StepRandom(state); });
}

std::int32_t UniqueRandomPool::Draw(std::int32_t low, std::int32_t high) {
  rt::SeedRandom();
  if (remaining_ == 0) Fill(low, high >= low ? static_cast<std::uint64_t>(std::int64_t{high} - low + 1) : 0);
  if (remaining_ == 0) return low;  // an empty range (high < low) has nothing to give
  std::size_t pos = DrawPosition(remaining_);
  return static_cast<std::int32_t>(low_ + static_cast<std::int64_t>(TakeKth(pos)));
}

std::uint64_t UniqueRandomPool::DrawIndex(std::uint64_t count) {
  rt::SeedRandom();
  if (remaining_ == 0) Fill(0, count);
  if (remaining_ == 0) return 0;
  return TakeKth(DrawPosition(remaining_));
}

}  // namespace tl::text
