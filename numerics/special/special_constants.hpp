// The constants the special functions and the distributions share, as the
// literals their formulas are stated with.
#pragma once

#include <limits>

namespace vke::special {

constexpr double kPi = 3.141592653589793;
constexpr double kSqrtTwo = 1.4142135623730951;
constexpr double kSqrtTwoPi = 2.5066282746310007;
constexpr double kEps = 2.220446049250313e-16;  // 2^-52
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace vke::special
