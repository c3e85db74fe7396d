// The elements of a real range start:step:stop, shared by the range values
// and the range loops so that both run through the same numbers: how many
// there are, and element k as start + k * step (never a running sum, whose
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

// The number of elements: floor of ((stop - start) + step) / step, taken a
// little above (by 1000 units of the last place) so that 0:0.1:0.5 reaches
// its stop. A quotient above kMaxRangeCount (a zero step toward a larger
// stop, an infinite span) gives kErrObjTooLarge; a count not above 0, NaN
// included, is 0.
inline ErrCode CountRange(double start, double stop, double step, bool single, int64_t* count) {
  double q;
  if (single) {
    const auto s = static_cast<float>(step);
    q = ((static_cast<float>(stop) - static_cast<float>(start)) + s) / s;
  } else {
    q = ((stop - start) + step) / step;
  }
  if (q > kMaxRangeCount) return kErrObjTooLarge;
  const double c = std::floor(q * std::bit_cast<double>(0x3ff00000000003e8ull));
  *count = c > 0 ? static_cast<int64_t>(c) : 0;
  return kOk;
}

// Element k (0-based) of the range.
inline double RangeElement(double start, double step, int64_t k, bool single) {
  const double x = start + static_cast<double>(k) * step;
  return single ? static_cast<float>(x) : x;
}

}  // namespace vke
