// Dense kernels over square and rectangular double matrices stored row by
// row: products, Gauss-Jordan solvers, determinants, and the exponential of a
// square matrix with the power of a scalar raised to one. A complex matrix is
// its real block followed by its imaginary block. The kernels allocate
// nothing (scratch comes from their callers), return nothing and never fail:
// singular systems make infinities and NaN flow into their results.
#pragma once

#include <cstdint>

namespace vke {

// ---- Products ----
// C = A x B for A m x k, B k x n, C m x n; C(i, j) is the sum of A(i, l) x
// B(l, j) started at 0 and taken over l in increasing order. C must not
// overlap A or B. panel, when given, is ProductPanelDoubles(n) doubles of
// scratch in which B is packed a panel at a time (faster for large
// products); without it the kernel packs one strip at a time on the stack.
void MultiplyRealMatrices(int32_t m, int32_t k, int32_t n, const double* a, const double* b,
                          double* c, double* panel = nullptr);
int32_t ProductPanelDoubles(int32_t n);
// The same with vectors of the given number of lanes (8, 4 or 2; 0: the
// widest the processor has); false, having done nothing, when the
// processor lacks that width. For tests and benchmarks of each width.
bool MultiplyRealMatricesWithLanes(int32_t lanes, int32_t m, int32_t k, int32_t n, const double* a,
                                   const double* b, double* c, double* panel);
// The same for complex A, B and C: the real part sums Ar Br - Ai Bi, the
// imaginary part Ar Bi + Ai Br.
void MultiplyComplexMatrices(int32_t m, int32_t k, int32_t n, const double* a, const double* b,
                             double* c);

// ---- Gauss-Jordan solvers ----
// perm is n words of scratch; A (n x n) is destroyed and X replaces B.
// A X = B for an n x m B; with bComplex set B's imaginary block is solved too.
void SolveLinearSystemReal(double* a, double* b, int32_t n, int32_t m, int32_t* perm,
                           bool bComplex);
// A X = B for complex A and B.
void SolveLinearSystemComplex(double* a, double* b, int32_t n, int32_t m, int32_t* perm);
// X A = B for an m x n B whose rows are independent right-hand sides (a
// complex B with a real A: pass its two blocks as 2m rows).
void SolveRightReal(double* a, double* b, int32_t n, int32_t m, int32_t* perm);
void SolveRightComplex(double* a, double* b, int32_t n, int32_t m, int32_t* perm);

// ---- Determinants (A destroyed; 1 for n = 0) ----
void DeterminantReal(double* a, double* det, int32_t n, int32_t* perm);
void DeterminantComplex(double* re, double* im, double* detRe, double* detIm, int32_t n,
                        int32_t* perm);

// ---- Matrix exponential ----
// The largest sum of |a(i, j)| over one row (0 for n < 1).
double MatrixNormReal(const double* a, int32_t n);
double MatrixNormComplex(const double* re, const double* im, int32_t n);
// result = expm(A); A is overwritten. work: n + 2n^2 doubles (real),
// 2n + 4n^2 (complex).
void ExpmReal(double* a, int32_t n, double* result, double* work);
void ExpmComplex(double* a, int32_t n, double* result, double* work);
// result = s^M = expm(ln(s) M); M is overwritten; work as for the exponential.
void ScalarPowMatrixReal(double s, double* m, int32_t n, double* result, double* work);
void ScalarPowMatrixComplex(double sRe, double sIm, double* m, int32_t n, double* result,
                            double* work);

}  // namespace vke
