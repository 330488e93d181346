#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reference.h"
#include "runtime/core/random.h"
#include "text/dedupe.h"
#include "text/process_text.h"
#include "text/random_pool.h"
#include "text/shuffle.h"

namespace tl::text {
namespace {

std::string Dedupe(std::string_view t, std::string_view sep) { return std::string(DedupeBytes(t, sep).view()); }

// Fixes the tick count and the seeding counter, so two runs draw alike.
struct FixedClock {
  explicit FixedClock(std::uint32_t tick, std::uint32_t counter = 0) {
    rt::SetTickCountOverride(tick);
    rt::SetSeedCounter(counter);
  }
  ~FixedClock() { rt::SetTickCountOverride(std::nullopt); }
};

TEST(Dedupe, KeepsLastOccurrencesAndJoinRules) {
  const struct {
    std::string text, sep, want;
  } cases[] = {
      {"b\r\na\r\nb", "\r\n", "a\r\nb"},
      {"a\r\nA", "\r\n", "a\r\nA"},
      {"a", "\r\n", "a"},
      {"a\r\n", "\r\n", "a\r\n"},
      {"a\r\nb\r\n", "\r\n", "a\r\nb"},
      {"a\r\nb\r\na", "", "a\r\nb\r\na"},
      {"\r\na\r\nb", "\r\n", "a\r\nb"},
      {"a\r\n\r\nb\r\n\r\n", "\r\n", "a\r\nb\r\n"},
      {"", "\r\n", ""},
      {"777\r\n123\r\n321\r\n222\r\n333\r\n222\r\n321\r\n222\r\n555\r\n655\r\n777", "\r\n",
       "123\r\n333\r\n321\r\n222\r\n555\r\n655\r\n777"},
      {"x,,y,,", ",", "x,y,"},
      {",,", ",", ""},
      {"a\x1A" "b\r\nc\r\na\x1A" "b", "\r\n", "c\r\na\x1A" "b"},
  };
  for (const auto& c : cases) EXPECT_EQ(Dedupe(c.text, c.sep), c.want) << c.text;
}

TEST(Dedupe, MatchesThePairwiseAlgorithmOnRandomTexts) {
  std::mt19937 rng(777);
  const std::vector<std::string> seps = {"\r\n", ",", "\\", "ab", "\xA3\xAC", "\n"};
  const std::vector<std::string> alphabet = {"a", "b", "\r\n", ",", "\\", "\x95\x5C", "\xA3\xAC", "ab", "\n", "c"};
  for (int round = 0; round < 5000; ++round) {
    const std::string& sep = seps[rng() % seps.size()];
    std::string text;
    for (std::size_t i = rng() % 30; i > 0; --i) text += alphabet[rng() % alphabet.size()];
    if (rng() % 10 == 0) text += '\xC4';
    ASSERT_EQ(Dedupe(text, sep), test::ReferenceDedupe(text, sep)) << "sep=" << sep << " text=" << text;
  }
}

TEST(Dedupe, LargeInputMatchesReferenceOnManyRecords) {
  // Enough records to grow the hash table several times.
  std::mt19937 rng(99);
  std::string text;
  for (int i = 0; i < 3000; ++i) text += std::to_string(rng() % 700) + "\r\n";
  EXPECT_EQ(Dedupe(text, "\r\n"), test::ReferenceDedupe(text, "\r\n"));
}

TEST(Shuffle, SameDrawsAsTheMovingPool) {
  std::mt19937 rng(4242);
  const std::vector<std::string> seps = {"\r\n", ",", "", "\xA3\xAC"};
  const std::vector<std::string> alphabet = {"a", "b", "\r\n", ",", "\x95\x5C", "\xA3\xAC", "\x1A", "c"};
  for (int round = 0; round < 3000; ++round) {
    const std::string& sep = seps[rng() % seps.size()];
    std::string text;
    for (std::size_t i = rng() % 40; i > 0; --i) text += alphabet[rng() % alphabet.size()];
    std::uint32_t tick = rng();
    std::string want, got;
    {
      FixedClock clock(tick, round);
      want = test::ReferenceShuffle(text, sep);
    }
    {
      FixedClock clock(tick, round);
      got = std::string(ShuffleBytes(text, sep).view());
    }
    ASSERT_EQ(got, want) << "sep=" << sep << " text=" << text;
  }
}

TEST(Shuffle, LongPoolsDrawFromEveryPosition) {
  // More than 32768 records: the combined draw reaches the whole pool, and
  // the order still equals the moving pool's.
  const int n = 70000;
  std::string text;
  for (int i = 0; i < n; ++i) text += std::to_string(i) + "\n";
  std::string want, got;
  {
    FixedClock clock(5);
    want = test::ReferenceShuffle(text, "\n");
  }
  {
    FixedClock clock(5);
    got = std::string(ShuffleBytes(text, "\n").view());
  }
  ASSERT_EQ(got, want);
  // The first 1000 drawn records must not all come from the first 32768.
  std::vector<std::string> recs = test::ReferenceSplit(got, "\n");
  ASSERT_EQ(recs.size(), static_cast<std::size_t>(n));
  int beyond = 0;
  for (int i = 0; i < 1000; ++i) beyond += std::stoi(recs[i]) >= 32768;
  EXPECT_GT(beyond, 300);
  // Every record exactly once.
  std::sort(recs.begin(), recs.end());
  EXPECT_EQ(std::adjacent_find(recs.begin(), recs.end()), recs.end());
}

TEST(Shuffle, OutputKeepsEveryRecordAndEveryByte) {
  const struct {
    std::string text, sep, sortedWant;
  } cases[] = {
      {"", "\r\n", ""},
      {"a\r\n", "\r\n", "a"},
      {"a", "", "a"},
      {"b\x1A" "c,a,\x1A", ",", "\x1A,a,b\x1A" "c"},
  };
  for (const auto& c : cases) {
    std::string got(ShuffleBytes(c.text, c.sep).view());
    std::string sep = c.sep.empty() ? "\r\n" : c.sep;
    auto recs = test::ReferenceSplit(got, sep);
    std::sort(recs.begin(), recs.end());
    std::string joined;
    for (std::size_t i = 0; i < recs.size(); ++i) joined += (i ? sep : "") + recs[i];
    EXPECT_EQ(joined, c.sortedWant) << c.text;
    EXPECT_FALSE(got.size() >= sep.size() && !got.empty() && got.ends_with(sep)) << c.text;
  }
}

TEST(RandomPool, DrawsEveryNumberOnceThenRefills) {
  FixedClock clock(1000);
  UniqueRandomPool pool;
  std::vector<int> seen;
  for (int i = 0; i < 50; ++i) seen.push_back(pool.Draw(-10, 39));
  std::sort(seen.begin(), seen.end());
  for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[i], i - 10);
  EXPECT_EQ(pool.Remaining(), 0u);
  int again = pool.Draw(1, 3);
  EXPECT_GE(again, 1);
  EXPECT_LE(again, 3);
  EXPECT_EQ(pool.Remaining(), 2u);
}

// A position worked out from a saved state is the one the generator gives
// from that state, on either side of one output (32768) and of 2^30, where
// a draw takes one, two or three outputs.
TEST(RandomPool, PositionFromAStateIsTheGeneratorsPosition) {
  for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{1000}, std::size_t{32768}, std::size_t{32769},
                           std::size_t{4000000}, std::size_t{1} << 30, (std::size_t{1} << 30) + 1,
                           std::size_t{3000000000u}}) {
    for (std::int32_t seed : {0, 1, 77, -5, 2147483647}) {
      rt::SeedRandom(seed);
      const std::size_t want = UniqueRandomPool::DrawPosition(size);
      EXPECT_EQ(UniqueRandomPool::DrawPositionFrom(static_cast<std::uint32_t>(seed), size), want)
          << "size=" << size << " seed=" << seed;
      EXPECT_LT(want, size);
    }
  }
}

// Taking by position agrees with a plain list at sizes around the pool's
// 64-bit words and 512-bit blocks and their power-of-two padding, with
// positions at both ends and in between.
TEST(RandomPool, TakesTheSameNumbersAsAPlainList) {
  std::mt19937 rng(12);
  for (std::size_t n : {1u, 2u, 63u, 64u, 65u, 511u, 512u, 513u, 1024u, 1536u, 4097u, 20001u}) {
    UniqueRandomPool pool;
    pool.Start(n);
    std::vector<std::uint64_t> list(n);
    for (std::size_t i = 0; i < n; ++i) list[i] = i;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t left = n - i;
      const std::size_t pos = i % 3 == 0 ? 0 : i % 3 == 1 ? left - 1 : rng() % left;
      const std::uint64_t got = pool.TakeAt(pos);
      ASSERT_EQ(got, list[pos]) << "n=" << n << " draw " << i;
      list.erase(list.begin() + static_cast<std::ptrdiff_t>(pos));
      if (i == n / 2) {
        std::vector<std::uint64_t> rest(n - i - 1);
        pool.CopyRemaining(rest.data());
        ASSERT_EQ(rest, list) << "n=" << n;
      }
    }
  }
}

// A live options source whose separator changes after the first read, as a
// control edited while the work yields would.
struct ChangingOptions : ProcessOptions {
  std::vector<std::string> separators;
  int reads = 0;
  bool dedupe = true, shuffle = true, lineBreak = false;
  std::string Separator() override { return separators[std::min<std::size_t>(reads++, separators.size() - 1)]; }
  bool Dedupe() override { return dedupe; }
  bool Shuffle() override { return shuffle; }
  int EncodingChoice() override { return 0; }
  bool LineBreakMode() override { return lineBreak; }
};

TEST(ProcessText, ReadsTheSeparatorAnewForEachOperation) {
  FixedClock clock(77);
  ChangingOptions opts;
  opts.separators = {",", "|"};
  // De-duplicate at ",", then shuffle at "|", which is absent: one record.
  rt::Text out = ProcessText("x;y,x;y,z", opts);
  EXPECT_EQ(out.view(), "x;y,z");
  EXPECT_EQ(opts.reads, 2);
}

TEST(ProcessText, ChoicesAndLineBreakMode) {
  const struct {
    std::string text;
    bool dedupe, shuffle, lineBreak;
    std::string sep, want;
  } cases[] = {
      {"b\r\na\r\nb", false, false, true, "\r\n", "b\r\na\r\nb"},
      {"b\r\na\r\nb", true, false, true, "\r\n", "a\r\nb"},
      // Unix-style text in line-break mode: cut and joined at LF.
      {"b\na\nb\n", true, false, true, "\r\n", "a\nb"},
      // Any CR LF present: the usual CR LF rule, LF is just a byte.
      {"b\na\r\nb\n", true, false, true, "\r\n", "b\na\r\nb\n"},
      // A typed separator is never replaced.
      {"b\na\nb", true, false, false, "\r\n", "b\na\nb"},
      {"", true, true, true, "\r\n", ""},
  };
  for (const auto& c : cases) {
    FixedOptions opts;
    opts.dedupe = c.dedupe;
    opts.shuffle = c.shuffle;
    opts.lineBreakMode = c.lineBreak;
    opts.separator = c.sep;
    EXPECT_EQ(ProcessText(c.text, opts).view(), c.want) << c.text;
  }
}

TEST(ProcessText, BothChoicesDedupeThenShuffle) {
  FixedOptions opts;
  opts.shuffle = true;
  std::string got;
  {
    FixedClock clock(3);
    got = std::string(ProcessText("b\r\na\r\nb", opts).view());
  }
  std::string want;
  {
    FixedClock clock(3);
    want = test::ReferenceShuffle(test::ReferenceDedupe("b\r\na\r\nb", "\r\n"), "\r\n");
  }
  EXPECT_EQ(got, want);
  EXPECT_TRUE(got == "a\r\nb" || got == "b\r\na") << got;
}

}  // namespace
}  // namespace tl::text
