// Split, de-duplicate and shuffle against the plain reference algorithms.
// Input: one byte picks the separator (a fixed list or one from the input),
// one byte the clock, the rest is the text.
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "runtime/core/random.h"
#include "text/dedupe.h"
#include "text/records.h"
#include "text/reference.h"
#include "text/shuffle.h"

TIDYLINE_FUZZ_TARGET(records_reference) {
  using namespace tl;
  fuzz::Input in(data, size);
  static const char* const kSeps[] = {"\r\n", "\n", ",", "", "\xA3\xAC", "\\", "ab", "\x1A"};
  std::uint8_t pick = in.Byte();
  std::string sep = pick < 8 * 24 ? std::string(kSeps[pick % 8]) : std::string(in.Piece(4));
  std::uint32_t tick = in.U32();
  std::string text(in.Rest());

  auto want = test::ReferenceSplit(text, sep);
  // The reference walks a NUL-terminated text: compare only where that holds.
  if (text.find('\0') == std::string::npos && sep.find('\0') == std::string::npos) {
    text::RecordIndex index(text, sep);
    if (index.size() != want.size()) fuzz::Fail("records_reference", "split count differs", text);
    for (std::size_t i = 0; i < want.size(); ++i)
      if (index[i] != want[i]) fuzz::Fail("records_reference", "split record differs", text);

    std::string dedupe(text::DedupeBytes(text, sep).view());
    if (dedupe != test::ReferenceDedupe(text, sep)) fuzz::Fail("records_reference", "dedupe differs", text);
    auto changed = text::DedupeIfChanged(text, sep);
    if (changed ? std::string(changed->view()) != dedupe : dedupe != text)
      fuzz::Fail("records_reference", "DedupeIfChanged disagrees with DedupeBytes", text);

    rt::SetTickCountOverride(tick);
    rt::SetSeedCounter(tick >> 16);
    std::string ref = test::ReferenceShuffle(text, sep);
    rt::SetSeedCounter(tick >> 16);
    std::string got(text::ShuffleBytes(text, sep).view());
    rt::SetTickCountOverride(std::nullopt);
    if (got != ref) fuzz::Fail("records_reference", "shuffle differs", text);
  } else {
    // NUL is an ordinary byte for the engine: no crash, and de-duplication
    // never grows the text.
    text::RecordIndex index(text, sep);
    std::size_t total = 0;
    for (std::size_t i = 0; i < index.size(); ++i) total += index[i].size();
    if (total > text.size()) fuzz::Fail("records_reference", "records longer than the text");
    if (text::DedupeBytes(text, sep).view().size() > text.size())
      fuzz::Fail("records_reference", "dedupe grew the text");
    if (text::ShuffleBytes(text, sep).view().size() > text.size() + 2 * (sep.empty() ? 2 : sep.size()))
      fuzz::Fail("records_reference", "shuffle grew the text");
  }
  return 0;
}
