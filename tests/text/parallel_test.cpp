// The engine's work shared out over several parts must give exactly what
// one part gives: the same cuts, the same survivors and the same seeded
// order. The threshold is lowered so that small texts take the shared paths,
// with more parts than the machine has cores.
#include <gtest/gtest.h>

#include <random>

#include "reference.h"
#include "runtime/core/random.h"
#include "text/dedupe.h"
#include "text/encoding_convert.h"
#include "text/parallel.h"
#include "text/records.h"
#include "text/shuffle.h"
#include "support/wine.h"

namespace tl::text {
namespace {

struct Parts {
  explicit Parts(unsigned parts) { SetParallelism(1, parts); }
  ~Parts() { SetParallelism(0, 0); }
};

struct FixedClock {
  explicit FixedClock(std::uint32_t tick, std::uint32_t counter = 0) {
    rt::SetTickCountOverride(tick);
    rt::SetSeedCounter(counter);
  }
  ~FixedClock() { rt::SetTickCountOverride(std::nullopt); }
};

std::vector<std::string> Split(std::string_view text, std::string_view sep) {
  RecordIndex r(text, sep);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < r.size(); ++i) out.emplace_back(r[i]);
  return out;
}

// Texts that put separators, double-byte characters and empty records at
// the cuts between parts. A separator below 0x30 without a border takes the
// shared split; "aa" and "\xA3\xAC" (a GBK comma) show the walk still holds.
const std::vector<std::string> kSeparators = {"\r\n", "\n", ",", "\r\n\r", "aa", "\xA3\xAC", ",\n"};
const std::vector<std::string> kPieces = {"a", "b", "\r\n", "\n", "\r", ",", "\x95\x5C", "\xA3\xAC", "aa", "\xD6",
                                          "\xD6\xD0", "\n,", "xyz"};

std::string RandomText(std::mt19937& rng, std::size_t pieces) {
  std::string text;
  for (std::size_t i = pieces; i > 0; --i) text += kPieces[rng() % kPieces.size()];
  return text;
}

// Each round starts the parts' threads anew; under wine a thread costs about
// a millisecond, and the rounds test nothing that differs between systems,
// so the Windows run takes a tenth of them.
int RandomRounds() { return tl::test::UnderWine() ? 150 : 1500; }

TEST(SharedWork, SplitFindsTheCutsOfTheByteWalk) {
  std::mt19937 rng(31);
  for (unsigned parts : {2u, 3u, 5u, 8u}) {
    Parts p(parts);
    for (int round = 0; round < RandomRounds(); ++round) {
      const std::string& sep = kSeparators[rng() % kSeparators.size()];
      const std::string text = RandomText(rng, rng() % 40);
      ASSERT_EQ(Split(text, sep), test::ReferenceSplit(text, sep))
          << "parts=" << parts << " sep=" << sep << " text=" << text;
    }
  }
}

TEST(SharedWork, DedupeKeepsWhatOnePartKeeps) {
  std::mt19937 rng(32);
  for (unsigned parts : {2u, 3u, 4u, 7u}) {
    Parts p(parts);
    for (int round = 0; round < RandomRounds(); ++round) {
      const std::string& sep = kSeparators[rng() % kSeparators.size()];
      const std::string text = RandomText(rng, rng() % 40);
      ASSERT_EQ(std::string(DedupeBytes(text, sep).view()), test::ReferenceDedupe(text, sep))
          << "parts=" << parts << " sep=" << sep << " text=" << text;
    }
  }
}

TEST(SharedWork, DedupeOfManyRecordsMatchesOnePartBothWays) {
  std::mt19937 rng(33);
  std::string text;
  for (int i = 0; i < 60000; ++i) text += (i % 9 == 0 ? "" : std::to_string(rng() % 20000)) + "\r\n";
  text += "tail";
  for (bool keepFirst : {false, true}) {
    std::string one;
    DedupeCounts oneCounts;
    {
      Parts p(1);
      one = std::string(DedupeIfChanged(text, "\r\n", keepFirst, &oneCounts)->view());
    }
    for (unsigned parts : {2u, 4u}) {
      Parts p(parts);
      DedupeCounts counts;
      auto got = DedupeIfChanged(text, "\r\n", keepFirst, &counts);
      ASSERT_TRUE(got);
      EXPECT_EQ(std::string(got->view()), one) << "parts=" << parts << " keepFirst=" << keepFirst;
      EXPECT_EQ(counts.in, 60001u);
      EXPECT_EQ(counts.out, oneCounts.out);
    }
  }
}

TEST(SharedWork, ShuffleDrawsTheSameOrder) {
  std::mt19937 rng(34);
  // Small pools, and pools past one generator output (32768) where two
  // outputs are combined.
  for (std::size_t records : {1u, 2u, 3u, 17u, 1000u, 34000u}) {
    std::string text;
    for (std::size_t i = 0; i < records; ++i) text += std::to_string(rng() % 100000) + (i % 3 ? "\r\n" : ",\r\n");
    for (unsigned parts : {2u, 3u}) {
      const std::uint32_t tick = rng();
      std::string want, got;
      {
        FixedClock clock(tick, 7);
        want = test::ReferenceShuffle(text, "\r\n");
      }
      {
        Parts p(parts);
        FixedClock clock(tick, 7);
        got = std::string(ShuffleBytes(text, "\r\n").view());
      }
      ASSERT_EQ(got, want) << "records=" << records << " parts=" << parts;
    }
  }
}

// The shuffle handed on in pieces gives ShuffleBytes's bytes in one part and
// in several, with pieces smaller than one record, runs that end at every
// kind of record, empty records, records larger than a piece and separators
// of one to three bytes; no piece is larger than asked unless it is one
// record (or its separator) as it stands in the text.
TEST(SharedWork, ShuffleInPiecesGivesTheSameBytes) {
  std::mt19937 rng(35);
  const std::string big(5000, 'B');
  for (const std::string sep : {"\r\n", "\n", ",\n,"}) {
    // Under wine every hand-over between the threads is dear: the largest
    // texts, which test nothing the others do not, are left out there.
    for (std::size_t records : {1u, 2u, 5u, 300u, tl::test::UnderWine() ? 30u : 3000u}) {
      std::string text;
      for (std::size_t i = 0; i < records; ++i) {
        const unsigned kind = rng() % 10;
        text += kind == 0 ? std::string() : kind == 1 ? big : std::to_string(rng() % 1000);
        if (i + 1 < records || rng() % 2) text += sep;
      }
      for (unsigned parts : {1u, 2u, 3u}) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{4096}, kShuffleChunk}) {
          const std::uint32_t tick = rng();
          std::string want, got;
          {
            FixedClock clock(tick, 3);
            want = test::ReferenceShuffle(text, sep);
          }
          Parts p(parts);
          FixedClock clock(tick, 3);
          std::size_t pieces = 0;
          ASSERT_TRUE(ShuffleInto(text, sep, [&](std::string_view piece) {
            ++pieces;
            EXPECT_FALSE(piece.size() > chunk && piece != sep && text.find(piece) == std::string::npos)
                << piece.size();
            got += piece;
            return true;
          }, chunk));
          ASSERT_EQ(got, want) << "records=" << records << " parts=" << parts << " chunk=" << chunk;
          if (chunk >= text.size()) {
            EXPECT_LE(pieces, parts);
          }
        }
      }
    }
  }
}

// A sink that refuses stops the shuffle: false, and nothing more is handed
// on, whichever piece was refused.
TEST(SharedWork, ShuffleStopsWhenTheSinkRefuses) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "record " + std::to_string(i) + "\n";
  for (unsigned parts : {1u, 2u, 3u}) {
    for (int refuse : {1, 2, 40}) {
      Parts p(parts);
      FixedClock clock(9);
      int calls = 0;
      EXPECT_FALSE(ShuffleInto(text, "\n", [&](std::string_view) { return ++calls < refuse; }, 512));
      EXPECT_EQ(calls, refuse) << "parts=" << parts;
    }
  }
  std::string all;
  EXPECT_TRUE(ShuffleInto("", "\n", [&](std::string_view piece) { all += piece; return true; }));
  EXPECT_EQ(all, "");
}

TEST(SharedWork, ConversionInPiecesGivesTheTextAndTheFirstBadOffset) {
  // "中文" in UTF-8 on lines, with a stray byte, a cut-off character or a
  // character GB18030 needs four bytes for, at places that land in
  // different pieces.
  std::string base;
  for (int i = 0; i < 400; ++i) base += (i % 5 ? "line \xE4\xB8\xAD\xE6\x96\x87 " : "\xF0\x9F\x98\x80") + std::to_string(i) + "\n";
  const struct {
    std::size_t at;
    std::string insert;
  } cases[] = {{0, ""}, {10, "\xFF"}, {base.size() / 2, "\x80"}, {base.size() - 3, "\xC3"}, {base.size(), "\xE4\xB8"},
               {base.size() / 3, "\xFE"}};
  for (const auto& c : cases) {
    std::string text = base;
    text.insert(c.at, c.insert);
    auto convert = [](std::string_view in, const char* from, const char* to, std::size_t* bad) {
      std::optional<rt::Text> t = ConvertEncodingToText(in, from, to, bad);
      return t ? "ok:" + std::string(t->view()) : std::string("failed");
    };
    std::size_t oneBad = 12345;
    std::string one;
    {
      Parts p(1);
      one = convert(text, "UTF-8", "GB18030", &oneBad);
    }
    for (unsigned parts : {2u, 3u, 8u}) {
      Parts p(parts);
      SetParallelism(64, parts);  // pieces of a few hundred bytes
      std::size_t bad = 12345;
      const std::string got = convert(text, "UTF-8", "GB18030", &bad);
      EXPECT_EQ(got, one) << c.at << " parts=" << parts;
      EXPECT_EQ(bad, oneBad) << c.at << " parts=" << parts;
      if (got != "failed") {
        EXPECT_EQ(convert(got.substr(3), "GB18030", "UTF-8", nullptr), "ok:" + text);
      }
    }
  }
}

}  // namespace
}  // namespace tl::text
