// Wildcard-to-pattern and the folder filter predicate. Any bytes must not
// crash; for printable ASCII the predicate must agree with a plain wildcard
// search (each "|" piece anywhere in the name, "*" any run, "?" at most one
// character, letters without regard to case). Input: filter piece, then the
// name.
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

bool MatchHere(std::string_view p, std::string_view s) {
  if (p.empty()) return true;  // a search: the rest of the name does not matter
  if (p[0] == '*') {
    for (std::size_t k = 0; k <= s.size(); ++k)
      if (MatchHere(p.substr(1), s.substr(k))) return true;
    return false;
  }
  if (p[0] == '?') return MatchHere(p.substr(1), s) || (!s.empty() && MatchHere(p.substr(1), s.substr(1)));
  return !s.empty() && std::tolower(static_cast<unsigned char>(p[0])) == std::tolower(static_cast<unsigned char>(s[0])) &&
         MatchHere(p.substr(1), s.substr(1));
}

bool WildcardSearch(std::string_view filter, std::string_view name) {
  std::size_t from = 0;
  for (;;) {
    std::size_t bar = filter.find('|', from);
    std::string_view piece = filter.substr(from, bar == std::string_view::npos ? std::string_view::npos : bar - from);
    for (std::size_t i = 0; i <= name.size(); ++i)
      if (MatchHere(piece, name.substr(i))) return true;
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
  if (f.mode() == FileTypeFilter::Mode::kPattern && Printable(filter) && Printable(name) &&
      filter.find_first_of("\0", 0, 1) == std::string::npos) {
    bool want = WildcardSearch(filter, name);
    if (got != want)
      tl::fuzz::Fail("filter", want ? "a matching name was refused" : "a name was accepted that does not match",
                     filter + " / " + name + " / pattern " + pattern);
  }
  return 0;
}
