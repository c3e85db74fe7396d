// The principal square root and logarithm of an upper triangular complex
// matrix, for sqrtm and logm of both linear-algebra libraries, on matrices
// in any layout. Unlike the Parlett recurrence they do not divide by
// differences of diagonal values, so equal eigenvalues need no care:
// - the square root by the recurrence
//     U(i,j) = (T(i,j) - sum_{k=i+1}^{j-1} U(i,k) U(k,j)) / (U(i,i) + U(j,j)),
//   whose divisor, a sum of principal roots, vanishes only where both are 0;
// - the logarithm by inverse scaling and squaring: square roots until
//   T^(1/2^k) is near I, the Gauss-Legendre form of the Pade approximant of
//   log(I + X) there, times 2^k; the diagonal and first superdiagonal are
//   then computed directly from the diagonal logarithms.
// Their products involve square roots or quotients of T's entries, never
// products of T with f(T), so they keep T's whole range.
#pragma once

#include <cstdint>

#include "numerics/kernels/parlett_recurrence.hpp"

namespace vke {

// Fills F's strictly upper triangle with the principal square root of the
// upper triangular T; F's diagonal holds the principal roots of T's. False
// when a divisor is zero under a non-zero numerator (T singular, with no
// square root): that entry is then the quotient as it falls, infinite.
bool TriangularSquareRoot(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n);

// The doubles of work TriangularLogarithm needs.
int64_t TriangularLogarithmWork(int32_t n);

// Fills F's strictly upper triangle with the principal logarithm of the
// upper triangular T; F's diagonal holds the logarithms of T's. False, F
// untouched, when a diagonal logarithm or an entry of T is not finite or the
// square roots do not come near I: the caller then has the Parlett
// recurrence.
bool TriangularLogarithm(const ComplexMatrixView& t, const ComplexMatrixView& f, int32_t n,
                         double* work);

// The separation of T's diagonal for the error estimates: the smallest
// |T(j,j) - T(i,i)|^2 over unequal pairs, at most |T(0,0)|^2.
double SmallestDiagonalGap(const ComplexMatrixView& t, int32_t n);

}  // namespace vke
