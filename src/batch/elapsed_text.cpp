#include "batch/elapsed_text.h"

#include <string>

#include "gbk_texts.h"
#include "runtime/commands/convert_commands.h"
#include "runtime/commands/number_commands.h"

namespace tl::batch {

namespace {

struct Unit {
  std::string_view suffix;
  double factor;  // from the previous unit
  double limit;   // 0: no limit
};

constexpr double kTolerance = 0.0000001;

}  // namespace

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
    if (last || v - ladder[i].limit < -kTolerance) {
      std::string out(rt::DoubleToText(rt::Round(v, 2)).view());
      out += ladder[i].suffix;
      return rt::Text(out);
    }
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

}  // namespace tl::batch
