// Calendar arithmetic for date-times: a double counting days from 1899-12-30
// in the proleptic Gregorian calendar. For negative values the integer part
// is the day and the fraction's absolute value is the time of day, so -1.25
// is 1899-12-29 06:00 (the automation-date convention).
#pragma once
#include <cstdint>

namespace tl::rt {

struct CivilTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

bool IsLeapYear(int year);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Year 100..9999, a real day of that month, hour 0..23, minute and second 0..59.
bool IsValidCivil(const CivilTime& t);

// Days from 1899-12-30 to the given date (negative before it).
std::int64_t DaysFromCivil(int year, int month, int day);
CivilTime CivilFromDays(std::int64_t days);

// The date-time of a civil date and time (not validated).
double DateTimeFromCivil(const CivilTime& t);
// Clamps to the valid range first (NaN counts as the minimum) and rounds the
// time of day to the nearest second, carrying into the next day.
CivilTime CivilFromDateTime(double value);

}  // namespace tl::rt
