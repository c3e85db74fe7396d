// Gain and phase margins of a discrete open loop num(z) / den(z), searched
// along the unit circle; a continuous loop is first mapped onto it.
#pragma once

#include <cstdint>

namespace vke {

// Angles are on the unit circle (0 .. pi); the caller maps them to
// frequencies.
struct StabilityMargins {
  bool stable = false;  // the closed loop; when false nothing else is set
  double gainLower = 0, gainUpper = 0;
  double angleLower = 0, angleUpper = 0;
  double phase = 0, phaseAngle = 0;  // phase >= kNoPhaseMargin: none found
};
inline constexpr double kNoPhaseMargin = 5.0;

// Whether every root of p (degree n, leading zeros allowed) lies inside the
// unit circle, by Schur-Cohn reduction. work: n + 1 doubles.
bool SchurCohnStable(const double* p, int32_t n, double* work);

// The margins of num / den (numDegree <= n, num aligned to the low powers).
// work: n + 1 doubles.
void FindGainPhaseCrossovers(const double* num, int32_t numDegree, const double* den, int32_t n,
                             double* work, StabilityMargins* out);

}  // namespace vke
