// The local clock of the platform: the wall clock, a steady elapsed-time
// clock, and the local calendar fields of a wall-clock instant. Tests put
// their own sources in place of the two clocks.
#pragma once

#include <cstdint>

namespace vke {

// The calendar fields of one local instant.
struct LocalDateTime {
  int32_t year = 0;
  int32_t month = 0;  // 1 to 12
  int32_t day = 0;    // 1 to 31
  int32_t hour = 0;
  int32_t minute = 0;
  double second = 0;  // with its fraction, below 60 (61 in a leap second)
};

// Seconds since the epoch on the system's wall clock.
double WallClockSeconds();
// Seconds on a clock that only runs forward and does not follow changes of
// the wall clock; its origin is arbitrary.
double ElapsedClockSeconds();
// The local date and time of a wall-clock instant; false when the platform
// cannot convert it (far outside its calendar range, or not a number).
bool LocalDateTimeAt(double epochSeconds, LocalDateTime* out);

// Replaces the two clocks (null restores the platform's own).
using ClockSource = double (*)();
void SetClockSourcesForTesting(ClockSource wall, ClockSource elapsed);

}  // namespace vke
