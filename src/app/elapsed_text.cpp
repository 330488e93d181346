#include "app/elapsed_text.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "gbk_texts.h"

namespace tl::app {

namespace {

struct Unit {
  std::string_view suffix;
  double factor;  // from the previous unit
  double limit;   // 0: no limit
};

constexpr double kTolerance = 0.0000001;

std::string NumberText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.13g", v);
  return buf;
}

}  // namespace

double RoundHalfAway(double x, int digits) {
  if (x == 0) return 0;
  const double a = std::fabs(x);
  double r;
  if (digits > 0) {
    const double scale = std::pow(10.0, digits);
    double i;
    const double f = std::modf(a * scale + 1e-12, &i);
    r = (f >= 0.5 ? i + 1 : i) / scale;
  } else if (digits == 0) {
    double i;
    const double f = std::modf(a + 1e-12, &i);
    r = f >= 0.5 ? i + 1 : i;
  } else {
    const double scale = std::pow(10.0, -digits);
    double i;
    const double f = std::modf(a / scale + 1e-12, &i);
    r = (f >= 0.5 ? i + 1 : i) * scale;
  }
  return x < 0 ? -r : r;
}

rt::Text ElapsedText(std::int64_t milliseconds) {
  const Unit ladder[] = {
      {gbk::ElapsedMilliseconds, 1, 1000}, {gbk::ElapsedSeconds, 1000, 60}, {gbk::ElapsedMinutes, 60, 60},
      {gbk::ElapsedHours, 60, 24},         {gbk::ElapsedDays, 24, 30},      {gbk::ElapsedMonths, 30, 12},
      {gbk::ElapsedYears, 12, 0},
  };
  double v = static_cast<double>(milliseconds);
  for (std::size_t i = 0; i < std::size(ladder); ++i) {
    if (i > 0) v /= ladder[i].factor;
    const bool last = i + 1 == std::size(ladder);
    if (last || v - ladder[i].limit < -kTolerance)
      return rt::Text(NumberText(RoundHalfAway(v, 2)) + std::string(ladder[i].suffix));
  }
  return {};
}

rt::Text BatchSummary(std::int64_t total, std::int64_t processed, std::int64_t milliseconds) {
  std::string s(gbk::BatchSummaryTotal);
  s += std::to_string(total);
  s += gbk::BatchSummaryProcessed;
  s += std::to_string(processed);
  s += gbk::BatchSummaryElapsed;
  s += ElapsedText(milliseconds).view();
  return rt::Text(s);
}

}  // namespace tl::app
