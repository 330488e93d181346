// The regular-expression object wrapper and the collection walker: the
// program has no expression engine of its own and drives the scriptable
// "VBScript.RegExp" object instead, handing it UTF-16 subjects.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/automation/commands.h"
#include "runtime/core/value.h"

namespace tl::text {

namespace automation = rt::automation;

// A wildcard filter as an expression: the characters \ ^ $ + . { } [ ] = ( )
// and " are escaped (backslash first; never the second byte of a double-byte
// character), then "*" becomes ".*" and "?" ".?". "|" stays an alternation.
rt::Text WildcardToPattern(std::string_view filter);

class RegexMatcher {
 public:
  RegexMatcher() = default;
  // Shares both object references and copies the subject.
  RegexMatcher(const RegexMatcher&) = default;
  RegexMatcher& operator=(const RegexMatcher&) = default;
  ~RegexMatcher() = default;

  static rt::Text WildcardToPattern(std::string_view filter) { return text::WildcardToPattern(filter); }
  // Omitted flags are true. The result is that of setting "Pattern".
  bool Create(std::string_view pattern, std::optional<bool> ignoreCase = std::nullopt,
              std::optional<bool> multiline = std::nullopt, std::optional<bool> global = std::nullopt);
  // The number of matches in a GBK subject (0 when none or on failure).
  int Execute(std::string_view subject);
  // "Count" of the match collection held.
  int MatchCount() const;

  const rt::Object& object() const { return regex_; }
  const rt::Object& matches() const { return matches_; }

 private:
  rt::Object regex_;
  rt::Object matches_;
  rt::Text subject_;
};

// Walks a collection through its "_NewEnum" enumerator: Start once, then
// Next until it gives false.
class CollectionEnumerator {
 public:
  CollectionEnumerator() = default;
  CollectionEnumerator(const CollectionEnumerator&) = default;
  CollectionEnumerator& operator=(const CollectionEnumerator&) = default;
  ~CollectionEnumerator() = default;

  bool Start(const rt::ObjectHolder& collection);
  // Clears `item`, then fetches one element into it; false at the end or
  // when never started.
  bool Next(rt::VariantValue& item);

  // The enumerator's own operations.
  void Release() { enum_ = {}; }
  automation::HResult NextItems(std::uint32_t count, rt::Variant* items, std::uint32_t* fetched);
  automation::HResult Skip(std::uint32_t count);
  automation::HResult Reset();

 private:
  automation::Ref<automation::EnumVariant> enum_;
};

}  // namespace tl::text
