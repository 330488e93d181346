// Putting records into random order. The generator is seeded from the tick
// count, every record is drawn exactly once through a UniqueRandomPool, and
// the records are joined with the separator (never after the last one). An
// empty separator means CR LF here.
#pragma once
#include <string_view>

#include "runtime/core/value.h"
#include "text/bytes.h"

namespace tl::text {

Bytes ShuffleBytes(std::string_view text, std::string_view separator);

}  // namespace tl::text
