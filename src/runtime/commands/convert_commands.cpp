#include "runtime/commands/convert_commands.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "gbk_texts.h"
#include "runtime/core/datetime.h"
#include "runtime/core/raw_bytes.h"

namespace tl::rt {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::int32_t TruncateToInt(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (d <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(d);
}

std::string_view UpToNul(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

template <typename T>
void AppendNumber(std::string& out, T value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

Text FormatGeneral(double value, int precision) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
  return Text(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
}

}  // namespace

std::string NormalizeWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (!(c & 0x80) || i + 1 >= text.size() || text[i + 1] == '\0') {
      out += text[i];
      ++i;
      continue;
    }
    auto t = static_cast<unsigned char>(text[i + 1]);
    if (c == 0xA3 && t >= 0xA1 && t <= 0xFE) {
      out += static_cast<char>(t & 0x7F);
    } else if (c == 0xA1 && t == 0xA1) {
      out += ' ';
    } else if (c == 0xA1 && t == 0xAB) {
      out += '~';
    } else if (c == 0xA1 && (t == 0xEE || t == 0xEF)) {
      out += '*';
    } else {
      out.append(text.substr(i, 2));
    }
    i += 2;
  }
  return out;
}

std::int32_t TextToInteger(std::string_view text) {
  const std::string s = NormalizeWidth(text);
  std::size_t i = 0;
  while (i < s.size() && IsCSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::int64_t v = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) v = 2147483648LL;  // saturate; the sign decides below
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) v = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

double TextToNumber(std::string_view text) {
  const std::string s = NormalizeWidth(text);
  std::size_t i = 0;
  while (i < s.size() && IsCSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t begin = i;
  std::size_t intDigits = 0, fracDigits = 0, leadingZeros = 0;
  bool significant = false;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++intDigits) {
    significant = significant || s[i] != '0';
    if (!significant) ++leadingZeros;
  }
  std::size_t fracZeros = 0;
  if (i < s.size() && s[i] == '.') {
    std::size_t j = i + 1;
    bool fracSignificant = false;
    for (; j < s.size() && IsDigit(s[j]); ++j, ++fracDigits) {
      fracSignificant = fracSignificant || s[j] != '0';
      if (!fracSignificant) ++fracZeros;
    }
    if (intDigits + fracDigits > 0) i = j;
  }
  if (intDigits + fracDigits == 0) return 0.0;
  std::int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
    if (j < s.size() && IsDigit(s[j])) {
      for (; j < s.size() && IsDigit(s[j]); ++j) exponent = std::min<std::int64_t>(exponent * 10 + (s[j] - '0'), 100000);
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }
  double value = 0.0;
  auto res = std::from_chars(s.data() + begin, s.data() + i, value, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Decide overflow or underflow from the decimal magnitude of the number.
    std::int64_t magnitude = intDigits > leadingZeros ? static_cast<std::int64_t>(intDigits - leadingZeros)
                                                      : -static_cast<std::int64_t>(fracZeros);
    value = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (res.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

double TextToTime(std::string_view text) {
  const std::string s = NormalizeWidth(text);
  std::size_t i = 0;
  auto field = [&](int maxDigits) {
    int v = 0;
    for (int n = 0; n < maxDigits && i < s.size() && IsDigit(s[i]); ++n, ++i) v = v * 10 + (s[i] - '0');
    return v;
  };
  auto skipSeparator = [&](std::string_view unit, bool spaceToo) {
    if (i >= s.size()) return;
    char c = s[i];
    if (c == '-' || c == '.' || c == '/' || c == ':' || (spaceToo && c == ' ')) {
      ++i;
    } else if (std::string_view(s).substr(i).starts_with(unit)) {
      i += unit.size();
    }
  };
  CivilTime t;
  t.year = field(4);
  skipSeparator(gbk::DateUnitYear, false);
  t.month = field(2);
  skipSeparator(gbk::DateUnitMonth, false);
  t.day = field(2);
  skipSeparator(gbk::DateUnitDay, true);
  t.hour = field(2);
  skipSeparator(gbk::DateUnitHour, false);
  t.minute = field(2);
  skipSeparator(gbk::DateUnitMinute, false);
  t.second = field(2);
  if (i < s.size() && !std::string_view(s).substr(i).starts_with(gbk::DateUnitSecond)) return kMinDate;
  if (!IsValidCivil(t)) return kMinDate;
  // 9999-12-31 with a time of day lies past the last valid date-time.
  return ClampDate(DateTimeFromCivil(t));
}

Text FloatToText(float value) { return FormatGeneral(static_cast<double>(value), 6); }
Text DoubleToText(double value) { return FormatGeneral(value, 13); }

Text DateTimeToText(double value) {
  const CivilTime t = CivilFromDateTime(value);
  std::string out;
  AppendNumber(out, t.year);
  out += gbk::DateUnitYear;
  AppendNumber(out, t.month);
  out += gbk::DateUnitMonth;
  AppendNumber(out, t.day);
  out += gbk::DateUnitDay;
  const int parts = t.second != 0 ? 3 : t.minute != 0 ? 2 : t.hour != 0 ? 1 : 0;
  if (parts >= 1) {
    AppendNumber(out, t.hour);
    out += gbk::DateUnitHour;
  }
  if (parts >= 2) {
    AppendNumber(out, t.minute);
    out += gbk::DateUnitMinute;
  }
  if (parts >= 3) {
    AppendNumber(out, t.second);
    out += gbk::DateUnitSecond;
  }
  return Text(out);
}

Text ToText(const TypedArg& value) {
  std::string out;
  switch (value.tag) {
    case kTagText: {
      auto* s = static_cast<const char*>(value.pointer());
      return Text(s ? std::string_view(s) : std::string_view());
    }
    case kTagByteSet: {
      RawScratch scratch;
      return Text(UpToNul(RawBytesOf(value, scratch)));
    }
    case kTagByte: AppendNumber(out, value.lo & 0xFFu); break;
    case kTagShort: AppendNumber(out, static_cast<std::int16_t>(value.lo & 0xFFFF)); break;
    case kTagInt: AppendNumber(out, value.as_int()); break;
    case kTagLong: AppendNumber(out, value.as_long()); break;
    case kTagFloat: return FloatToText(value.as_float());
    case kTagDouble: return DoubleToText(value.as_double());
    case kTagBoolean: return Text(value.lo != 0 ? gbk::True : gbk::False);
    case kTagDateTime: return DateTimeToText(value.as_double());
    default:
      if (IsIndirect(value.tag) && IsNumericKind(BaseTag(value.tag))) {
        RawScratch scratch;
        return Text(UpToNul(RawBytesOf(value, scratch)));
      }
      return Text();
  }
  return Text(out);
}

std::int32_t ToInteger(const TypedArg& value) {
  switch (value.tag) {
    case kTagBoolean: case kTagInt: case kTagRoutine: case kTagLong: return value.as_int();
    case kTagByte: return static_cast<std::int32_t>(value.lo & 0xFF);
    case kTagShort: return static_cast<std::int16_t>(value.lo & 0xFFFF);
    case kTagFloat: return TruncateToInt(value.as_float());
    case kTagDouble: return TruncateToInt(value.as_double());
    case kTagText: {
      auto* s = static_cast<const char*>(value.pointer());
      return s ? TextToInteger(s) : 0;
    }
    default: return 0;
  }
}

double ToNumber(const TypedArg& value) {
  switch (value.tag) {
    case kTagByte: return static_cast<double>(value.lo & 0xFF);
    case kTagShort: return static_cast<std::int16_t>(value.lo & 0xFFFF);
    case kTagInt: case kTagBoolean: return value.as_int();
    case kTagRoutine: return static_cast<double>(value.lo);
    case kTagLong: return static_cast<double>(value.as_long());
    case kTagFloat: return value.as_float();
    case kTagDouble: return value.as_double();
    case kTagText: {
      auto* s = static_cast<const char*>(value.pointer());
      return s ? TextToNumber(s) : 0.0;
    }
    default: return 0.0;
  }
}

double ToTime(const TypedArg& value) {
  if (value.tag == kTagDateTime) return value.as_double();
  if (value.tag == kTagText) {
    auto* s = static_cast<const char*>(value.pointer());
    return s ? TextToTime(s) : kMinDate;
  }
  return kMinDate;
}

// ---------------------------------------------------------------------------
namespace cmd {
namespace {
TypedArg First(int argc, const TypedArg* args) { return argc > 0 ? args[0] : TypedArg{}; }

void ToTextBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnText(r, ToText(First(argc, args))); }
void ToIntegerBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnInt(r, ToInteger(First(argc, args))); }
void ToNumberBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnDouble(r, ToNumber(First(argc, args))); }
void ToTimeBody(ResultRecord& r, int argc, const TypedArg* args) { ReturnDateTime(r, ToTime(First(argc, args))); }
}  // namespace

const Command kToText{"ToText", &ToTextBody};
const Command kToInteger{"ToInteger", &ToIntegerBody};
const Command kToNumber{"ToNumber", &ToNumberBody};
const Command kToTime{"ToTime", &ToTimeBody};
}  // namespace cmd

}  // namespace tl::rt
