#include "cli/progress.h"

#include <cstdio>

namespace tl::cli {
namespace {

std::string Amount(double v, bool bytes) {
  char buf[32];
  if (!bytes) {
    if (v >= 1e6)
      std::snprintf(buf, sizeof buf, "%.1fM", v / 1e6);
    else
      std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
  }
  const char* units[] = {"B", "KB", "MB", "GB", "TB"};
  int u = 0;
  while (v >= 1000 && u < 4) {
    v /= 1000;
    ++u;
  }
  std::snprintf(buf, sizeof buf, u ? "%.1f %s" : "%.0f %s", v, units[u]);
  return buf;
}

std::string Duration(double s) {
  char buf[32];
  const auto t = static_cast<long long>(s + 0.5);
  if (t >= 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", t / 3600, t / 60 % 60, t % 60);
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld", t / 60, t % 60);
  return buf;
}

}  // namespace

ProgressLine::ProgressLine(bool enabled)
    : enabled_(enabled), start_(Clock::now()), phaseStart_(start_), next_(start_ + std::chrono::seconds(1)) {}

std::string ProgressLine::Format(std::string_view phase, std::uint64_t done, std::uint64_t total,
                                 std::uint64_t records, std::string_view unit, double seconds) {
  const bool bytes = unit.empty();
  std::string line(phase);
  line += ": " + Amount(static_cast<double>(done), bytes);
  if (total) line += " of " + Amount(static_cast<double>(total), bytes);
  if (!bytes) line += " " + std::string(unit);
  line += ", " + Amount(static_cast<double>(records), false) + " records";
  if (seconds > 0 && done > 0) {
    const double rate = static_cast<double>(done) / seconds;
    line += ", " + Amount(rate, bytes) + (bytes ? "/s" : " " + std::string(unit) + "/s");
    if (total > done) line += ", " + Duration(static_cast<double>(total - done) / rate) + " left";
  }
  return line;
}

void ProgressLine::Update(std::string_view phase, std::uint64_t done, std::uint64_t total, std::uint64_t records,
                          std::string_view unit) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (phase != phase_) {
    phase_ = phase;
    phaseStart_ = now;
  }
  if (now < next_) return;
  next_ = now + std::chrono::milliseconds(250);
  const double seconds = std::chrono::duration<double>(now - phaseStart_).count();
  std::fprintf(stderr, "\r%s\033[K", Format(phase, done, total, records, unit, seconds).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace tl::cli
