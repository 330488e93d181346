// Wildcard-to-pattern and the folder filter predicate. Any bytes must not
// crash; for printable ASCII the predicate must agree with a plain wildcard
// search (each "|" piece anywhere in the name, "*" any run, "?" at most one
// character, letters without regard to case). Input: filter piece, then the
// name.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "fuzz/fuzz_target.h"
#include "text/file_type_filter.h"

namespace {

bool Printable(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// The name positions reachable after each pattern character, starting
// anywhere: polynomial, so a run of "*" cannot stall the fuzzer.
bool PieceFound(std::string_view piece, std::string_view name) {
  const std::size_t n = name.size();
  std::vector<char> cur(n + 1, 1), next(n + 1);
  for (char c : piece) {
    std::fill(next.begin(), next.end(), 0);
    for (std::size_t j = 0; j <= n; ++j) {
      if (!cur[j]) continue;
      if (c == '*') {
        std::fill(next.begin() + static_cast<std::ptrdiff_t>(j), next.end(), 1);
        break;
      }
      if (c == '?') next[j] = 1;
      if (j < n && (c == '?' || std::tolower(static_cast<unsigned char>(c)) ==
                                    std::tolower(static_cast<unsigned char>(name[j]))))
        next[j + 1] = 1;
    }
    cur.swap(next);
  }
  return std::find(cur.begin(), cur.end(), 1) != cur.end();
}

bool WildcardSearch(std::string_view filter, std::string_view name) {
  std::size_t from = 0;
  for (;;) {
    std::size_t bar = filter.find('|', from);
    std::string_view piece = filter.substr(from, bar == std::string_view::npos ? std::string_view::npos : bar - from);
    if (PieceFound(piece, name)) return true;
    if (bar == std::string_view::npos) return false;
    from = bar + 1;
  }
}

}  // namespace

TIDYLINE_FUZZ_TARGET(filter) {
  using namespace tl::text;
  tl::fuzz::Input in(data, size);
  std::string filter(in.Piece(64));
  std::string name(in.Rest().substr(0, 255));
  std::string pattern(WildcardToPattern(filter).view());
  FileTypeFilter f(filter);
  bool got = f.FileTypeMatches(name);
  if (f.mode() == FileTypeFilter::Mode::kAll && !got) tl::fuzz::Fail("filter", "an all-files filter refused a name");
  // Runs of "*" count as one; many separate "*" can still make the
  // expression engine backtrack past its match limit, and the search then
  // fails as no match (a known limit, kept out of the comparison).
  std::size_t starGroups = 0;
  for (std::size_t i = 0; i < filter.size(); ++i)
    if (filter[i] == '*' && (i == 0 || filter[i - 1] != '*')) ++starGroups;
  const bool fewStars = starGroups <= 6;
  if (f.mode() == FileTypeFilter::Mode::kPattern && Printable(filter) && Printable(name) && fewStars) {
    bool want = WildcardSearch(filter, name);
    if (got != want)
      tl::fuzz::Fail("filter", want ? "a matching name was refused" : "a name was accepted that does not match",
                     filter + " / " + name + " / pattern " + pattern);
  }
  return 0;
}
