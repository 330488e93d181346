// The value conversions the configuration store relies on: numbers, flags
// and date-times to and from their stored text, and the line-break escape.
// They follow the runtime's text conversions (numbers "%.13g", flags
// "真"/"假", date-times "Y年M月D日[H时[M分[S秒]]]") so that files stay
// interchangeable with what the runtime's own conversion commands produce.
#pragma once
#include <string>
#include <string_view>

namespace tl::settings {

std::string NumberToText(double value);
std::string FlagToText(bool value);
std::string DateTimeToText(double value);

// Width-normalised, then a decimal floating-point prefix; 0 when none.
double TextToNumber(std::string_view text);
// Width-normalised, then parsed field by field; the minimum date when the
// text is not a valid date and time.
double TextToDateTime(std::string_view text);

// Full-width ASCII (A3 A1..A3 FE) to ASCII, the ideographic space to a
// space, A1 AB to "~", A1 EE / A1 EF to "*"; everything else kept.
std::string NormaliseWidth(std::string_view text);

// Every occurrence of `from` replaced by `to`, byte-exact, walking the text
// character by character (a match never starts on a trail byte).
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

}  // namespace tl::settings
