// Removing repeated records: the last occurrence of every distinct record
// survives (the first with `keepFirst`), survivors keep the order of those
// occurrences, and they are
// joined with the separator. While the result is still empty a kept empty
// record adds nothing and the next kept record gets no separator in front.
// With fewer than two records the text comes back unchanged, byte for byte.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/core/value.h"
#include "text/bytes.h"

namespace tl::text {

// Records counted by a de-duplication: `in` cut from the text, `out` kept.
struct DedupeCounts {
  std::uint64_t in = 0;
  std::uint64_t out = 0;
};

// Works on raw bytes (NUL is an ordinary byte here).
Bytes DedupeBytes(std::string_view text, std::string_view separator, bool keepFirst = false);
// The same, but nothing (no copy) when the text would come back unchanged.
// `counts`, when given, receives the record counts either way.
std::optional<Bytes> DedupeIfChanged(std::string_view text, std::string_view separator, bool keepFirst = false,
                                     DedupeCounts* counts = nullptr);

}  // namespace tl::text
