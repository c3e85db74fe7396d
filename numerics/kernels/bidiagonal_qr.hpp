// The diagonalisation of a real bidiagonal matrix by implicit-shift QR
// sweeps, shared by the real and the complex singular value decompositions.
#pragma once

#include <cmath>
#include <cstdint>

namespace vke {

// sqrt(a^2 + b^2) as |a| sqrt(1 + (b/a)^2) with a the larger magnitude; 0
// when both are 0.
double Hypotenuse(double a, double b);

inline double WithSignOf(double magnitude, double sign) {
  return sign >= 0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// A matrix whose columns the sweeps rotate; null data for none.
struct RotatedColumns {
  double* data;
  int32_t rows;
  int32_t cols;
};

// When an entry of the bidiagonal counts as zero: below size (the complex
// kernel's tolerance), or lost when added to size (the real kernel's norm).
struct NegligibleTest {
  double size;
  bool additive;
  bool operator()(double x) const {
    return additive ? std::fabs(x) + size == size : std::fabs(x) <= size;
  }
};

// d (n) the diagonal, e (n) the superdiagonal with e[k] beside d[k] and
// e[0] = 0; on return d holds the singular values, made non-negative, and
// the rotations have been applied to the columns of u and v. After
// maxSweeps sweeps on one value it is left as it stands (false when
// failOnBudget is set, at once).
bool DiagonaliseBidiagonal(double* d, double* e, int32_t n, RotatedColumns u, RotatedColumns v,
                           NegligibleTest negligible, int32_t maxSweeps, bool failOnBudget);

}  // namespace vke
