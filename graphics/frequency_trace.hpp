// The adaptive tracer of the Nyquist and Nichols curves: the frequency axis
// walked as an angle theta from 0 to pi on the unit circle (a continuous
// system mapped by s = (z - 1) / (z + 1), so that w = tan(theta / 2)), with
// steps halved where the curve bends inside the visible window, points
// outside it collapsed, and the window found again where the curve crosses
// a corner.
//
// Each tracer writes {n, x[n], y[n], w[n] with keep} at the start of its
// area and returns the doubles written; with room for fewer than 5 points
// the curve is empty (n = 0).
#pragma once

#include <cstdint>

namespace vke {

struct TraceSpec {
  const double* den;
  int32_t denDegree;
  const double* num;
  int32_t numDegree;
  double xTolerance;
  double yTolerance;  // Nichols only
  bool logY;          // Nichols: magnitudes compared by their ratio
  bool keep;          // the frequencies are stored too
  double xlo, xhi, ylo, yhi;
  bool negative;  // negative frequencies: the mirror image
  double lo, hi;  // theta limits (the mapped entries take frequencies)
  bool mapped;    // num and den are in z after the bilinear map
  double delay;   // mapped curves only
  int64_t budget;
};

// Nyquist: x = Re G, y = Im G.
int64_t TraceFrequencyCurve(const TraceSpec& spec, double* area, int64_t size);
// Nichols: x = the unwrapped phase, y = |G|.
int64_t TraceNicholsWorker(const TraceSpec& spec, double* area, int64_t size);

// The continuous entries: num and den of s, lo and hi frequencies (an upper
// limit of 0 means infinity). Both polynomials are mapped into z with the
// degree of the higher of them, in the area's last doubles.
int64_t TraceNyquistCurveMapped(TraceSpec spec, double* area, int64_t size);
int64_t TraceNicholsCurveMapped(TraceSpec spec, double* area, int64_t size);

}  // namespace vke
