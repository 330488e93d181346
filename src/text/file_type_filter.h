// Which file names a folder filter accepts (the predicate FileTypeMatches).
// The mode is fixed once, when the filter is made:
//   all        "*" or "*.*" (an empty filter counts as "*")
//   extension  "*.ext" whose only "*" is the first character: the name's end,
//              ASCII letters lower-cased, compared with ".ext"; "?" and the
//              like have no wildcard meaning here
//   pattern    anything else: the filter as an expression (WildcardToPattern),
//              searched case-insensitively anywhere in the name
#pragma once
#include <string>
#include <string_view>

#include "text/regex_matcher.h"

namespace tl::text {

class FileTypeFilter {
 public:
  enum class Mode { kAll, kExtension, kPattern };

  explicit FileTypeFilter(std::string_view filter);
  Mode mode() const { return mode_; }
  // `name` is the bare file name in GBK.
  bool FileTypeMatches(std::string_view name);

 private:
  Mode mode_ = Mode::kAll;
  std::string ending_;  // extension mode, lower-cased
  RegexMatcher matcher_;
};

}  // namespace tl::text
