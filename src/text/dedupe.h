// Removing repeated records: the last occurrence of every distinct record
// survives, survivors keep the order of their last occurrences, and they are
// joined with the separator. While the result is still empty a kept empty
// record adds nothing and the next kept record gets no separator in front.
// With fewer than two records the text comes back unchanged, byte for byte.
#pragma once
#include <optional>
#include <string_view>

#include "runtime/core/value.h"
#include "text/bytes.h"

namespace tl::text {

// Works on raw bytes (NUL is an ordinary byte here).
Bytes DedupeBytes(std::string_view text, std::string_view separator);
// The same, but nothing (no copy) when the text would come back unchanged.
std::optional<Bytes> DedupeIfChanged(std::string_view text, std::string_view separator);

}  // namespace tl::text
