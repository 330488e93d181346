#include "settings/settings_convert.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "gbk_texts.h"
#include "runtime/value.h"

namespace tl::settings {
namespace {

// Days from 1970-01-01 to a civil date and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// 1899-12-30, day 0 of the date-time scale.
constexpr std::int64_t kEpochOffset = -25569;

bool IsLeap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(std::int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool StartsWith(std::string_view s, std::size_t at, std::string_view prefix) {
  return s.substr(at, prefix.size()) == prefix;
}

}  // namespace

std::string NumberToText(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.13g", value);
  return buf;
}

std::string FlagToText(bool value) { return std::string(value ? gbk::True : gbk::False); }

std::string DateTimeToText(double value) {
  value = rt::ClampDate(value);
  double whole = std::trunc(value);
  long long seconds = std::llround(std::fabs(value - whole) * 86400.0);
  if (seconds > 86399) seconds = 86399;
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(static_cast<std::int64_t>(whole) + kEpochOffset, y, m, d);
  int hh = static_cast<int>(seconds / 3600), mm = static_cast<int>(seconds / 60 % 60), ss = static_cast<int>(seconds % 60);
  std::string out = std::to_string(y) + std::string(gbk::SettingsYear) + std::to_string(m) +
                    std::string(gbk::SettingsMonth) + std::to_string(d) + std::string(gbk::SettingsDay);
  if (ss != 0) {
    out += std::to_string(hh) + std::string(gbk::SettingsHour) + std::to_string(mm) +
           std::string(gbk::SettingsMinute) + std::to_string(ss) + std::string(gbk::SettingsSecond);
  } else if (mm != 0) {
    out += std::to_string(hh) + std::string(gbk::SettingsHour) + std::to_string(mm) + std::string(gbk::SettingsMinute);
  } else if (hh != 0) {
    out += std::to_string(hh) + std::string(gbk::SettingsHour);
  }
  return out;
}

std::string NormaliseWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || i + 1 >= text.size()) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    unsigned char t = static_cast<unsigned char>(text[i + 1]);
    if (c == 0xA3 && t >= 0xA1 && t <= 0xFE) {
      out.push_back(static_cast<char>(t & 0x7F));
    } else if (c == 0xA1 && t == 0xA1) {
      out.push_back(' ');
    } else if (c == 0xA1 && t == 0xAB) {
      out.push_back('~');
    } else if (c == 0xA1 && (t == 0xEE || t == 0xEF)) {
      out.push_back('*');
    } else {
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(t));
    }
    ++i;
  }
  return out;
}

double TextToNumber(std::string_view raw) {
  std::string text = NormaliseWidth(raw);
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // from_chars reads the longest decimal prefix and never hex, inf or nan.
  if (i >= text.size() || !(text[i] == '.' || (text[i] >= '0' && text[i] <= '9'))) return 0.0;
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    value = HUGE_VAL;  // a huge exponent; a tiny one gives 0 below
    std::string_view digits(text.data() + i, static_cast<std::size_t>(end - text.data()) - i);
    std::size_t e = digits.find_first_of("eE");
    if (e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-') value = 0.0;
  } else if (ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

double TextToDateTime(std::string_view raw) {
  const std::string text = NormaliseWidth(raw);
  std::size_t at = 0;
  auto field = [&](int maxDigits) {
    int value = 0, n = 0;
    while (n < maxDigits && at < text.size() && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + (text[at++] - '0');
      ++n;
    }
    return value;
  };
  auto skipOne = [&](std::string_view marker, bool space) {
    if (at < text.size() && (text[at] == '-' || text[at] == '.' || text[at] == '/' || text[at] == ':' ||
                             (space && text[at] == ' '))) {
      ++at;
    } else if (StartsWith(text, at, marker)) {
      at += marker.size();
    }
  };
  int year = field(4);
  skipOne(gbk::SettingsYear, false);
  int month = field(2);
  skipOne(gbk::SettingsMonth, false);
  int day = field(2);
  skipOne(gbk::SettingsDay, true);
  int hour = field(2);
  skipOne(gbk::SettingsHour, false);
  int minute = field(2);
  skipOne(gbk::SettingsMinute, false);
  int second = field(2);
  bool tailOk = at == text.size() || StartsWith(text, at, gbk::SettingsSecond);
  if (!tailOk || year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      static_cast<unsigned>(day) > DaysInMonth(year, static_cast<unsigned>(month)) || hour > 23 || minute > 59 ||
      second > 59)
    return rt::kMinDate;
  double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                                    kEpochOffset);
  double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
  return days < 0 ? days - fraction : days + fraction;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (text.empty() || from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (text.size() - i >= from.size()) {
    if (text.compare(i, from.size(), from) == 0) {
      out.append(to);
      i += from.size();
    } else if (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) {
      out.append(text.substr(i, 2));
      i += 2;
    } else {
      out.push_back(text[i++]);
    }
  }
  out.append(text.substr(i));
  return out;
}

}  // namespace tl::settings
