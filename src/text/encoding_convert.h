// Conversion of file contents between a file's charset and the program's
// text (GB18030 on the program's side, which contains GBK).
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::text {

// Converts bytes from one charset to another, charset names passed to the
// converter as spelled. The output starts at the input's length and grows by
// (input length / 2) + 128 bytes whenever it is full, within at most 12
// conversion calls. An empty result means "nothing": an empty input (with
// *success = 1) or a failure (*success = 0): a name the converter does not
// know, an invalid or incomplete input sequence, or too many growths.
rt::ByteSet ConvertEncoding(std::string_view bytes, std::string_view from, std::string_view to,
                            std::int32_t* success = nullptr);

// The same conversion producing a text. nullopt when the conversion fails or
// when its result holds a NUL byte (a text cannot carry it whole). An empty
// input gives an empty text. `invalidAt`, when given, receives the byte
// offset of an input sequence that is not valid in `from` (or that the input
// ends inside) when that is why the conversion failed; it is left alone
// otherwise.
std::optional<rt::Text> ConvertEncodingToText(std::string_view bytes, std::string_view from,
                                              std::string_view to, std::size_t* invalidAt = nullptr);

// Arguments: byte-set, from charset, to charset, [success variable].
extern const rt::Command kConvertEncoding;

}  // namespace tl::text
