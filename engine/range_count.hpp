// The elements of a real range start:step:stop, shared by the range values
// and the range loops so that both run through the same numbers: how many
// there are (a loop's range, whose elements are never stored, may have more
// than a value can), and element k as start + k * step (never a running sum, whose
// rounding drifts). Bounds that are single are counted in single precision
// and their elements rounded to single.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/errors/errors.hpp"

namespace vke {

// The largest element count of a range.
inline constexpr double kMaxRangeCount = 2147483647;

// The quotient ((stop - start) + step) / step that counts the elements.
inline double RangeQuotient(double start, double stop, double step, bool single) {
  if (single) {
    const auto s = static_cast<float>(step);
    return ((static_cast<float>(stop) - static_cast<float>(start)) + s) / s;
  }
  return ((stop - start) + step) / step;
}

// The quotient taken a little above, by 1000 units of the last place, so
// that 0:0.1:0.5 reaches its stop; floored, and 0 when not above 0 (NaN
// included).
inline double FloorRangeQuotient(double q) {
  const double c = std::floor(q * std::bit_cast<double>(0x3ff00000000003e8ull));
  return c > 0 ? c : 0;
}

// The number of elements: the floor of RangeQuotient taken a little above. A
// quotient above kMaxRangeCount (a zero step toward a larger stop, an
// infinite span) gives kErrObjTooLarge.
inline ErrCode CountRange(double start, double stop, double step, bool single, int64_t* count) {
  const double q = RangeQuotient(start, stop, step, single);
  if (q > kMaxRangeCount) return kErrObjTooLarge;
  *count = static_cast<int64_t>(FloorRangeQuotient(q));
  return kOk;
}

// The number of steps of a range loop, which holds no elements and so has
// no limit: as CountRange below kMaxRangeCount; above it the margin stays
// that of kMaxRangeCount (so that no step lies past the stop), and an
// infinite stop gives an infinite count. A zero step toward a larger stop,
// or an infinite start, whose every step is the same, gives kErrObjTooLarge
// as the range value does.
inline ErrCode CountLoopRange(double start, double stop, double step, bool single, double* count) {
  const double q = RangeQuotient(start, stop, step, single);
  if (q <= kMaxRangeCount || q != q) {
    *count = FloorRangeQuotient(q);
    return kOk;
  }
  if (step == 0 || !std::isfinite(start)) return kErrObjTooLarge;
  *count = std::floor(q + kMaxRangeCount * 1000 * 0x1p-52);
  return kOk;
}

// Element k (0-based) of the range.
inline double RangeElement(double start, double step, int64_t k, bool single) {
  const double x = start + static_cast<double>(k) * step;
  return single ? static_cast<float>(x) : x;
}

// The last element of a loop's range of `count` steps (count > 0), which
// may be infinite.
inline double LastRangeElement(double start, double step, double count, bool single) {
  if (count <= 0x1p62) return RangeElement(start, step, static_cast<int64_t>(count) - 1, single);
  const double x = start + (count - 1) * step;
  return single ? static_cast<float>(x) : x;
}

}  // namespace vke
