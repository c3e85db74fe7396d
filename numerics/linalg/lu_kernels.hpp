// LU factorisation with partial pivoting of a real or complex m x n matrix
// stored row by row, in place: rows are swapped physically, U lies on and
// above the diagonal and the multipliers of L (unit diagonal left out)
// below it.
#pragma once

#include <cstdint>

namespace vke {

// perm (m entries) receives for each row of the result the row of the
// argument that ended there. The pivot of a column is the first row whose
// modulus is strictly the largest (ties keep the upper row); a column whose
// pivot is 0 is left without elimination.
void FactorLUReal(double* a, int32_t m, int32_t n, int32_t* perm);
// The same on separate real and imaginary arrays; the pivot search compares
// squared moduli.
void FactorLUComplex(double* re, double* im, int32_t m, int32_t n, int32_t* perm);

}  // namespace vke
