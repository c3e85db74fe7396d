// The engine's own dense linear-algebra kernels: Householder reflections,
// Hessenberg and QR factorisations, real and complex Schur forms and the
// Parlett recurrence for functions of a triangular matrix.
//
// Layout: doubles row by row (element (i, j) of an m x n matrix at i * n + j);
// a complex matrix is two arrays of the same shape, real parts and imaginary
// parts. Every kernel works in place on its arguments and on the scratch its
// caller gives it: none allocates, throws or touches anything outside the
// arrays passed. The iterative kernels return false when their iteration
// budget is spent; the others cannot fail.
#pragma once

#include <cstdint>

namespace vke {

// The machine epsilon of every tolerance of the kernels.
inline constexpr double kKernelEps = 2.220446049250313e-16;  // 2^-52

// ---- Householder reflections ----
// H = I - beta v v^T (complex: I - beta v v^H) maps the len values x[0],
// x[stride], ... onto a multiple of the first unit vector: -sign(x[0]) ||x||
// (complex: -(x[0] / |x[0]|) ||x||). A zero (or NaN) source gives v = 0 and
// beta = 1, the identity.
void MakeHouseholderVector(const double* x, int32_t len, int64_t stride, double* v, double* beta);
void MakeHouseholderVectorComplex(const double* xRe, const double* xIm, int32_t len, int64_t stride,
                                  double* vRe, double* vIm, double* beta);

// Left: rows k .. min(m, lim) - 1 of every column of the m x n matrix A are
// replaced by H times them, v[0] meeting row k. Right: columns
// k .. min(n, lim) - 1 of every row are replaced by them times H.
void ApplyHouseholderLeft(double* a, int32_t m, int32_t n, const double* v, double beta, int32_t k,
                          int32_t lim);
void ApplyHouseholderRight(double* a, int32_t m, int32_t n, const double* v, double beta, int32_t k,
                           int32_t lim);
void ApplyHouseholderLeftComplex(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                                 const double* vIm, double beta, int32_t k, int32_t lim);
void ApplyHouseholderRightComplex(double* aRe, double* aIm, int32_t m, int32_t n, const double* vRe,
                                  const double* vIm, double beta, int32_t k, int32_t lim);

// ---- Hessenberg reduction ----
// A (n x n) becomes H = Q^T A Q (complex: Q^H A Q), upper Hessenberg with
// exact zeros below the subdiagonal; Q (or null) receives the product of the
// reflections. work: n doubles (complex: 2n).
void ReduceToHessenbergHouseholder(double* a, int32_t n, double* q, double* work);
void ReduceToHessenbergHouseholderComplex(double* aRe, double* aIm, int32_t n, double* qRe,
                                          double* qIm, double* work);

// ---- QR factorisation ----
// A (m x n) becomes R, upper trapezoidal with exact zeros below the diagonal,
// and A P = Q R with Q (m x m, or null) the product of the reflections. With
// a permutation (n entries; entry k is the input column of result column k)
// the columns are pivoted by largest remaining norm, and the factorisation
// stops once the remaining columns are zero; null means no pivoting.
// work: m doubles (complex: 2m), then n more when pivoting.
void FactorQRHouseholder(double* a, int32_t m, int32_t n, double* q, uint32_t* permutation,
                         double* work);
void FactorQRHouseholderComplex(double* aRe, double* aIm, int32_t m, int32_t n, double* qRe,
                                double* qIm, uint32_t* permutation, double* work);

// ---- Schur forms ----
// T (n x n) becomes its real Schur form Q^T T Q: upper quasi-triangular, a
// 2 x 2 block for each complex-conjugate pair, exact zeros below it; Q (or
// null) receives the orthogonal factor. complexPair (or null) is set to 1
// when a 2 x 2 block is kept, else 0. work: n doubles. False when 100 n
// iterations do not deflate T (n = 0 included); T and Q then hold the
// partial reduction.
bool ComputeRealSchurForm(double* t, int32_t n, double* q, uint8_t* complexPair, double* work);
// The same for a complex T: upper triangular, Q unitary. work: 2n doubles.
bool ComputeComplexSchurForm(double* tRe, double* tIm, int32_t n, double* qRe, double* qIm,
                             double* work);

// One implicit double-shift step on the unreduced Hessenberg block of rows
// and columns p .. n-q-1 (at least 3 of them; smaller blocks are left as they
// are), with the shift taken from its trailing 2 x 2 block; shift is added to
// the shift sum and product (0 in ordinary steps). Q (or null) accumulates.
void FrancisDoubleShiftStep(double* t, int32_t n, int32_t p, int32_t q, double shift, double* qm);
void FrancisDoubleShiftStepComplex(double* tRe, double* tIm, int32_t n, int32_t p, int32_t q,
                                   double shift, double* qRe, double* qIm);

// A real Schur form T and its vectors Q (or null) become the complex Schur
// form: T's 2 x 2 blocks are triangularised by unitary rotations with the
// eigenvalue of positive imaginary part first; the imaginary blocks are
// written (qIm is used only when q is given).
void RealToComplexSchur(double* t, double* tIm, double* q, double* qIm, int32_t n);

// F = U f(T) U^H for an upper triangular T with Schur vectors U. On entry F's
// diagonal holds f(T(i, i)) and its strictly lower part is 0; T is scratch.
// df (real and imaginary parts, n each, or null) holds f'(T(i, i)): with it
// an equal adjacent pair of T's diagonal takes F(i, i+1) = T(i, i+1) f'. An
// entry whose block T(i..j, i..j) is diagonal is 0. Any other entry between
// equal diagonal values keeps its entry value, and the estimate is then 1.
// isComplex (or null) is 0 when F is real to rounding; estimate (or null) is
// the relative error estimate in [eps, 1] (0 for n <= 0). Always true.
bool ParlettMatrixFunction(double* tRe, double* tIm, const double* uRe, const double* uIm,
                           int32_t n, double* fRe, double* fIm, const double* dfRe,
                           const double* dfIm, uint8_t* isComplex, double* estimate);

}  // namespace vke
