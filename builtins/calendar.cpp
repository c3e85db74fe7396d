// The calendar natives cal2julian and julian2cal, and the clock native of
// the run-time table.
#include <algorithm>
#include <cmath>

#include "builtins/builtin.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "platform/local_clock.hpp"

namespace vke {

namespace {

constexpr double kSecondsPerDay = 86400;
// The time of day of a Julian date is kept to 1/10000 s.
constexpr int64_t kTicksPerSecond = 10000;
constexpr int64_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr int64_t kTicksPerHour = 60 * kTicksPerMinute;
constexpr int64_t kTicksPerDay = 24 * kTicksPerHour;
constexpr int32_t kCalendarFields = 6;  // year, month, day, hour, minute, second
// Year, month, day, hour and minute beyond this size make no date; the day
// number arithmetic below stays far inside 64 bits up to it.
constexpr double kLargestCalendarField = 1e9;
constexpr double kLargestDayNumber = 1e12;

// A calendar field given as a double, truncated toward zero; false when it
// is out of the range above or not a number.
bool TruncatedField(double x, int64_t* out) {
  if (!(std::fabs(x) <= kLargestCalendarField)) return false;
  *out = static_cast<int64_t>(x);
  return true;
}

// The Julian day number of a date; every division truncates toward zero.
int64_t JulianDayNumber(int64_t year, int64_t month, int64_t day) {
  const int64_t a = (month - 14) / 12;
  return (1461 * (year + 4800 + a)) / 4 + (367 * (month - 2 - 12 * a)) / 12 -
         (3 * ((year + 4900 + a) / 100)) / 4 + day - 32075;
}

// The Julian date of the first five fields (whole) and the seconds; NaN when
// a whole field makes no date.
double JulianDate(const double* fields, double second) {
  int64_t f[5];
  for (int k = 0; k < 5; k++)
    if (!TruncatedField(fields[k], &f[k])) return std::nan("");
  const double jdn = static_cast<double>(JulianDayNumber(f[0], f[1], f[2]));
  return jdn - 0.5 +
         ((second / 60 + static_cast<double>(f[4])) / 60 + static_cast<double>(f[3])) / 24;
}

// The calendar fields of a Julian date; all NaN when it makes no date. The
// time of day is rounded once, to the finest unit a field keeps, and the
// hour, minute and second are cut from that count, so a time a hair below a
// whole minute carries into the minute (and past midnight into the next
// day) instead of showing 60 seconds.
void CalendarOf(double jd, double* fields) {
  const double whole = std::floor(jd + 0.5);
  if (!(std::fabs(whole) <= kLargestDayNumber)) {
    for (int k = 0; k < kCalendarFields; k++) fields[k] = std::nan("");
    return;
  }
  auto j = static_cast<int64_t>(whole);
  const double s = (jd - whole + 0.5) * kSecondsPerDay;
  auto ticks = static_cast<int64_t>(std::floor(s * kTicksPerSecond + 0.5));
  if (ticks >= kTicksPerDay) {
    ticks -= kTicksPerDay;
    j += 1;
  }
  int64_t l = j + 68569;
  const int64_t n = (4 * l) / 146097;
  l -= (146097 * n + 3) / 4;
  const int64_t i = (4000 * (l + 1)) / 1461001;
  l = l - (1461 * i) / 4 + 31;
  const int64_t k = (80 * l) / 2447;
  const int64_t day = l - (2447 * k) / 80;
  l = k / 11;
  fields[0] = static_cast<double>(100 * (n - 49) + i + l);
  fields[1] = static_cast<double>(k + 2 - 12 * l);
  fields[2] = static_cast<double>(day);
  fields[3] = static_cast<double>(ticks / kTicksPerHour);
  fields[4] = static_cast<double>(ticks / kTicksPerMinute % 60);
  fields[5] = static_cast<double>(ticks % kTicksPerMinute) / kTicksPerSecond;
}

ErrCode PushCalendarRow(EngineContext* ctx, const double* fields) {
  double* row;
  ErrCode e = PushNewMatrix(ctx, 1, kCalendarFields, &row, nullptr);
  if (e) return e;
  for (int k = 0; k < kCalendarFields; k++) row[k] = fields[k];
  return kOk;
}

// The process's clock anchor: the wall-clock instant at which the elapsed
// clock read 0, taken at the first call.
bool g_haveClockAnchor = false;
double g_clockAnchor = 0;

}  // namespace

// cal2julian([y m d h mi s]) with 3 to 6 elements, or
// cal2julian(y, m [, d [, h [, mi [, s]]]]).
ErrCode Cal2julianNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  double fields[kCalendarFields] = {0, 0, 1, 0, 0, 0};
  if (nargin == 1) {
    const NumericView v = ViewNumeric(ctx, 0);
    if (v.cls != ValueClass::kDouble || v.complex) return kErrWrongTypeOverload;
    if (v.shape.count < 3 || v.shape.count > kCalendarFields) return kErrBadSize;
    for (int32_t k = 0; k < kCalendarFields; k++)
      fields[k] = k < v.shape.count ? Load<double>(v.elements + 8 * k) : 0;
  } else {
    for (int32_t k = 0; k < nargin; k++) {
      const int32_t depth = nargin - 1 - k;
      int32_t whole;
      ErrCode e = k == kCalendarFields - 1 ? GetScalarArg(ctx, depth, &fields[k])
                                           : GetIntegerArg(ctx, depth, &whole);
      if (e) return AllowOverload(e);
      if (k < kCalendarFields - 1) fields[k] = whole;
    }
  }
  const double jd = JulianDate(fields, fields[kCalendarFields - 1]);
  return PushInPlaceOfTop(ctx, nargin, [&] { return PushRealScalar(ctx, jd); });
}

// julian2cal(jd): one row [y m d h mi s], or the fields as separate outputs.
ErrCode Julian2calNative(EngineContext* ctx, int32_t, int32_t nargout, uintptr_t) {
  double jd;
  ErrCode e = GetScalarArg(ctx, 0, &jd);
  if (e) return AllowOverload(e);
  double fields[kCalendarFields];
  CalendarOf(jd, fields);
  if (nargout <= 1) {
    if ((e = PushCalendarRow(ctx, fields))) return e;
    return ReplaceEntryWithTop(ctx, 0);
  }
  // The last asked for first, so that the year ends on top; the argument
  // goes once they all stand.
  const int32_t outputs = std::min(nargout, kCalendarFields);
  for (int32_t k = outputs - 1; k >= 0; k--) {
    if ((e = PushRealScalar(ctx, fields[k]))) {
      Drop(ctx, outputs - 1 - k);
      return e;
    }
  }
  return DropStackEntries(ctx, outputs, 1);
}

// clock(): the local date and time. The instant is the anchor plus the
// elapsed time, so that within one process it runs steadily with a fraction
// of a second and does not follow later changes of the wall clock; every
// field of the row comes from that one instant.
ErrCode ClockNative(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  const double elapsed = ElapsedClockSeconds();
  if (!g_haveClockAnchor) {
    g_clockAnchor = WallClockSeconds() - elapsed;
    g_haveClockAnchor = true;
  }
  LocalDateTime t;
  if (!LocalDateTimeAt(g_clockAnchor + elapsed, &t)) return kErrOS;
  const double fields[kCalendarFields] = {
      static_cast<double>(t.year), static_cast<double>(t.month),  static_cast<double>(t.day),
      static_cast<double>(t.hour), static_cast<double>(t.minute), t.second};
  return PushCalendarRow(ctx, fields);
}

void ResetClockAnchorForTesting() {
  g_haveClockAnchor = false;
}

}  // namespace vke
