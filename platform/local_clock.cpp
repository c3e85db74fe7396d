// The local clock over clock_gettime and localtime_r.
#include "platform/local_clock.hpp"

#include <cmath>
#include <ctime>

namespace vke {

namespace {

double ReadClock(clockid_t clock) {
  timespec ts{};
  if (clock_gettime(clock, &ts) != 0) return 0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double SystemWallClock() {
  return ReadClock(CLOCK_REALTIME);
}
double SystemElapsedClock() {
  return ReadClock(CLOCK_MONOTONIC);
}

ClockSource g_wall = &SystemWallClock;
ClockSource g_elapsed = &SystemElapsedClock;

// time_t holds whole seconds well inside this range on every platform we
// build for; beyond it localtime_r is not asked.
constexpr double kLargestEpochSeconds = 1e15;

}  // namespace

double WallClockSeconds() {
  return g_wall();
}

double ElapsedClockSeconds() {
  return g_elapsed();
}

bool LocalDateTimeAt(double epochSeconds, LocalDateTime* out) {
  if (!(std::fabs(epochSeconds) < kLargestEpochSeconds)) return false;
  const double whole = std::floor(epochSeconds);
  const auto t = static_cast<time_t>(whole);
  tm local{};
  if (!localtime_r(&t, &local)) return false;
  out->year = local.tm_year + 1900;
  out->month = local.tm_mon + 1;
  out->day = local.tm_mday;
  out->hour = local.tm_hour;
  out->minute = local.tm_min;
  out->second = local.tm_sec + (epochSeconds - whole);
  return true;
}

void SetClockSourcesForTesting(ClockSource wall, ClockSource elapsed) {
  g_wall = wall ? wall : &SystemWallClock;
  g_elapsed = elapsed ? elapsed : &SystemElapsedClock;
}

}  // namespace vke
