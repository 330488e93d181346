// Conversions between the value kinds: ToText, ToInteger, ToNumber, ToTime,
// and the full-width to half-width normalisation applied before parsing.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/frame.h"
#include "runtime/core/value.h"

namespace tl::rt {

// Full-width ASCII (A3 A1..A3 FE) becomes ASCII, A1 A1 a space, A1 AB "~",
// A1 EE and A1 EF "*"; every other character is kept.
std::string NormalizeWidth(std::string_view text);

// Leading white space, optional sign, decimal digits; no digits gives 0.
// Saturates at the int range.
std::int32_t TextToInteger(std::string_view text);
// A decimal floating-point prefix; no number gives 0.0.
double TextToNumber(std::string_view text);
// Fields year, month, day, hour, minute, second with their separators; a text
// that is not a valid date and time gives the minimum date -657434.0.
double TextToTime(std::string_view text);

// "%.6g", "%.13g" of the value (locale-independent).
Text FloatToText(float value);
Text DoubleToText(double value);
// "Y年M月D日" followed by the hour, minute and second parts that are needed.
Text DateTimeToText(double value);

// Any value (an omitted argument is a TypedArg with tag 0).
Text ToText(const TypedArg& value);
std::int32_t ToInteger(const TypedArg& value);
double ToNumber(const TypedArg& value);
double ToTime(const TypedArg& value);

namespace cmd {
extern const Command kToText;
extern const Command kToInteger;
extern const Command kToNumber;
extern const Command kToTime;
}  // namespace cmd

}  // namespace tl::rt
