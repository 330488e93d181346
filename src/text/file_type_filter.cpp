#include "text/file_type_filter.h"

#include "runtime/commands/text_commands.h"

namespace tl::text {

FileTypeFilter::FileTypeFilter(std::string_view filter) {
  if (filter.empty()) filter = "*";
  if (filter == "*" || filter == "*.*") {
    mode_ = Mode::kAll;
  } else if (filter.size() >= 2 && filter.substr(0, 2) == "*." && rt::FindTextReverse(filter, "*") == 1) {
    mode_ = Mode::kExtension;
    ending_ = std::string(rt::ToLower(filter.substr(1)).view());
  } else {
    mode_ = Mode::kPattern;
    // Not global: whether a name matches does not depend on it, the count
    // is never used, and one match is cheaper than all of them. (Wine's
    // expression object also never returns from a global search that
    // matches the empty string, as "||zzz*|" does.)
    matcher_.Create(WildcardToPattern(filter).view(), true, true, false);
  }
}

bool FileTypeFilter::FileTypeMatches(std::string_view name) {
  switch (mode_) {
    case Mode::kAll: return true;
    case Mode::kExtension: {
      // Lower-cased whole, so a trail byte at the cut is never taken for a
      // letter of its own.
      const rt::Text lower = rt::ToLower(name);
      std::string_view n = lower.view();
      if (n.size() > ending_.size()) n = n.substr(n.size() - ending_.size());
      return n == ending_;
    }
    case Mode::kPattern: return matcher_.Execute(name) > 0;
  }
  return false;
}

}  // namespace tl::text
