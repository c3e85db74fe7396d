// The whole-array passes of the elementwise mathematics: a real array whose
// every value stays real is rewritten in one tight loop, or by the vector
// kernels four elements at a time, instead of element by element through
// the extended-precision kernels. Each pass is within one unit in the last
// place of the exact values, overflows and underflows only where the value
// itself does, and leaves the array untouched when it declines.
#include <cmath>

#include "builtins/elementwise_math.hpp"
#include "builtins/vector_math.hpp"

namespace vke {

namespace {

// Whether no element lies below lo or above hi (NaN passes: it stays NaN).
bool AllWithin(const double* x, int64_t n, double lo, double hi) {
  bool inside = true;
  for (int64_t i = 0; i < n; i++) inside &= !(x[i] < lo) & !(x[i] > hi);
  return inside;
}

bool RunVector(VectorFunction f, double* x, int64_t n, double lo = -INFINITY,
               double hi = INFINITY) {
  if (!VectorMathAvailable()) return false;
  if ((lo > -INFINITY || hi < INFINITY) && !AllWithin(x, n, lo, hi)) return false;
  ApplyVectorFunction(f, x, n);
  return true;
}

template <typename F>
bool Map(double* x, int64_t n, F f) {
  for (int64_t i = 0; i < n; i++) x[i] = f(x[i]);
  return true;
}

}  // namespace

bool AbsWholeArray(double* x, int64_t n, int32_t) {
  return Map(x, n, [](double v) { return std::fabs(v); });
}

bool RoundingWholeArray(double* x, int64_t n, int32_t option) {
  switch (option) {
    case 'f':
      return Map(x, n, [](double v) { return std::floor(v); });
    case 'c':
      return Map(x, n, [](double v) { return std::ceil(v); });
    case 't':
      return Map(x, n, [](double v) { return std::trunc(v); });
    default:
      // Halves go toward +Inf; v - floor(v) is exact below 2^52.
      return Map(x, n, [](double v) {
        if (!(std::fabs(v) < 0x1p52)) return v;
        const double f = std::floor(v);
        return v - f >= 0.5 ? f + 1 : f;
      });
  }
}

bool ExpLogWholeArray(double* x, int64_t n, int32_t option) {
  switch (option) {
    case 'e':
      return RunVector(VectorFunction::kExp, x, n);
    case 'E':
      return RunVector(VectorFunction::kExpm1, x, n);
    case 'l':
      return RunVector(VectorFunction::kLog, x, n, 0);
    case '1':
      return RunVector(VectorFunction::kLog10, x, n, 0);
    case '2':
      return RunVector(VectorFunction::kLog2, x, n, 0);
    case 'L':
      return RunVector(VectorFunction::kLog1p, x, n, -1);
    case 's':
      return AllWithin(x, n, 0, INFINITY) && Map(x, n, [](double v) { return std::sqrt(v); });
    default:
      return false;
  }
}

bool TrigWholeArray(double* x, int64_t n, int32_t option) {
  switch (option) {
    case 's':
      return RunVector(VectorFunction::kSin, x, n);
    case 'c':
      return RunVector(VectorFunction::kCos, x, n);
    case 't':
      return RunVector(VectorFunction::kTan, x, n);
    case 'T':
      return RunVector(VectorFunction::kAtan, x, n);
    case 'S':
      return RunVector(VectorFunction::kAsin, x, n, -1, 1);
    case 'C':
      return RunVector(VectorFunction::kAcos, x, n, -1, 1);
    default:
      return false;
  }
}

bool HyperbolicWholeArray(double* x, int64_t n, int32_t option) {
  return option == 't' && RunVector(VectorFunction::kTanh, x, n);
}

}  // namespace vke
