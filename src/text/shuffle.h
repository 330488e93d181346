// Putting records into random order. The generator is seeded from the tick
// count, every record is drawn exactly once through a UniqueRandomPool, and
// the records are joined with the separator (never after the last one). An
// empty separator means CR LF here.
#pragma once
#include <cstddef>
#include <functional>
#include <string_view>

#include "runtime/core/value.h"
#include "text/bytes.h"

namespace tl::text {

Bytes ShuffleBytes(std::string_view text, std::string_view separator);

// Receives output piece by piece; false stops the work.
using ByteSink = std::function<bool(std::string_view)>;
inline constexpr std::size_t kShuffleChunk = std::size_t{2} << 20;

// The same bytes as ShuffleBytes, in the same order for the same generator
// state, handed to `sink` in pieces of at most `chunk` bytes gathered in a
// few blocks that are reused (a record larger than that goes out on its own,
// as it stands in the text), instead of one block the size of the result.
// The sink is called from the calling thread only. False when it refused.
bool ShuffleInto(std::string_view text, std::string_view separator, const ByteSink& sink,
                 std::size_t chunk = kShuffleChunk);

}  // namespace tl::text
