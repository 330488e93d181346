#include "runtime/core/datetime.h"

#include <cmath>

#include "runtime/core/value.h"

namespace tl::rt {
namespace {
// 1970-01-01 counted from 1899-12-30.
constexpr std::int64_t kUnixEpochDay = 25569;
}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidCivil(const CivilTime& t) {
  return t.year >= 100 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 &&
         t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

// Era-based conversion (400-year cycles of 146097 days), valid for any year.
std::int64_t DaysFromCivil(int year, int month, int day) {
  std::int64_t y = year - (month <= 2 ? 1 : 0);
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + kUnixEpochDay;
}

CivilTime CivilFromDays(std::int64_t days) {
  std::int64_t z = days - kUnixEpochDay + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

double DateTimeFromCivil(const CivilTime& t) {
  auto days = static_cast<double>(DaysFromCivil(t.year, t.month, t.day));
  double fraction = (t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0;
  return days < 0 ? days - fraction : days + fraction;
}

CivilTime CivilFromDateTime(double value) {
  value = std::isnan(value) ? kMinDate : ClampDate(value);
  double whole = std::trunc(value);
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * 86400.0));
  auto days = static_cast<std::int64_t>(whole);
  if (seconds >= 86400) {
    // The time of day always runs forward from the day's midnight, also for
    // negative values, so the carry goes to the next calendar day.
    seconds -= 86400;
    ++days;
  }
  CivilTime t = CivilFromDays(days);
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

}  // namespace tl::rt
