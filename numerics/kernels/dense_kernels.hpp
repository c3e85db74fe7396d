// The engine's own dense linear-algebra kernels: Householder reflections,
// Hessenberg and QR factorisations, real and complex Schur forms, the
// Parlett recurrence, eigenvalues and characteristic polynomials, balancing,
// polynomial roots, singular value decompositions and the Cholesky factor.
//
// Layout: doubles row by row (element (i, j) of an m x n matrix at i * n + j);
// a complex matrix is two arrays of the same shape, real parts and imaginary
// parts; polynomials are coefficients, highest power first. Every kernel
// works in place on its arguments and on the scratch its caller gives it:
// none allocates, throws or touches anything outside the arrays passed. The
// iterative kernels return false (or kKernelFailed) when their iteration
// budget is spent; the others cannot fail.
//
// The control-design code reads some of these under other contracts: its
// paired real eigenvalues are ComputeRealEigenvaluesPaired (the pairing of
// ComputeRealCharPoly, true on success), its root finder on a copy of the
// coefficients is FindRealPolynomialRootsOnCopy, and its conjugate-pair
// matcher is MatchConjugatePairs.
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
// Both iterate on T brought to unit size by a power of two (see
// ScaleToUnitRange), so that entries near either end of the double range
// neither overflow nor underflow; a triangular T is already its own form.
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

// Exchanges the diagonal entries i and i+1 of an upper triangular T (real
// when tIm is null) by the rotation whose first column is the eigenvector of
// T(i+1, i+1), applied as T := G^H T G and Q := Q G (Q or null); T(i+1, i)
// is left exactly 0. An exactly zero T(i, i+1) makes it the plain exchange
// of the two rows and columns.
void SwapSchurDiagonalPair(double* tRe, double* tIm, double* qRe, double* qIm, int32_t n,
                           int32_t i);

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

// ---- Eigenvalues and characteristic polynomials ----
// The result of the kernels below that can fail on top of a yes/no answer.
inline constexpr int32_t kKernelFailed = -1;

// The n + 1 monic coefficients of the product of (z - roots[i]).
void PolyFromRealRoots(const double* roots, int32_t n, double* c);
// The monic polynomial of the n values re + i im, built in complex
// arithmetic into cRe and cIm (n + 1 each; cRe's first n bytes serve as
// scratch). True when every value off the real axis has a partner of
// opposite imaginary part (the real parts are not compared).
bool MatchConjugatePairs(const double* re, const double* im, int32_t n, double* cRe, double* cIm);
// The characteristic polynomial of a complex matrix (both blocks destroyed)
// by reduction to companion form; a zero pivot switches to the product over
// the eigenvalues of the complex Schur form, which needs work (2n doubles).
// index: n words. False when that Schur form does not converge.
bool ComputeComplexCharPoly(double* aRe, double* aIm, int32_t n, double* cRe, double* cIm,
                            uint32_t* index, double* work);
// The characteristic polynomial of a real matrix (destroyed) from its
// eigenvalues: 1 when they pair up (c real), 0 when not, kKernelFailed when
// the eigenvalue iteration does not converge (c then unset). work: 4n + 1
// doubles (n words of indices, eigenvalue real parts at work + n, imaginary
// parts at work + 2n, imaginary coefficients at work + 3n).
int32_t ComputeRealCharPoly(double* a, int32_t n, double* c, double* work);

// Eigenvalues d (n) and eigenvectors v (columns of n x n, or null) of a real
// symmetric matrix by cyclic Jacobi rotations, unsorted; a's upper triangle
// is destroyed. work: 2n doubles. Stops after 50 sweeps as it stands.
void EigSymmetricJacobi(double* a, int32_t n, double* d, double* v, double* work);
// Stabilised elimination to upper Hessenberg form (the multipliers stay
// below the subdiagonal); index[m] receives the pivot row of step m.
void ReduceToHessenbergByElimination(double* a, int32_t n, uint32_t* index);
// The eigenvalues of the Hessenberg part of a (destroyed) by double-shift QR
// steps under a budget of 30 n iterations; false when it is spent (values
// not reached are not written) or a is not finite.
bool IterateHessenbergQR(double* a, int32_t n, double tol, double* re, double* im);
// ReduceToHessenbergByElimination, then IterateHessenbergQR with tolerance
// eps, on a brought to unit size as the Schur forms are. index: n words.
bool ComputeRealEigenvalues(double* a, int32_t n, uint32_t* index, double* re, double* im);
// A becomes S^-1 A S with S = diag(scale), powers of two that even out the
// row and column sums; im is null for a real matrix.
void BalanceMatrix(double* re, double* im, int32_t n, double* scale);

// For the control-design code: the real characteristic polynomial (n + 1
// coefficients) of a (destroyed); true only when the eigenvalues converged
// and paired up. work as for ComputeRealCharPoly.
bool ComputeRealEigenvaluesPaired(double* a, int32_t n, double* c, double* work);

// ---- Polynomial roots ----
// Roots of c[0] z^n + ... + c[n]: eigenvalues of the balanced companion
// matrix (BalanceMatrix, so that widely spread coefficients keep their small
// roots), each polished by Newton steps on the polynomial while they reduce
// |p|, with the Laguerre fallback below when that iteration fails (c is
// then normalised and deflated in place). Roots at zero from trailing zero
// coefficients take the last positions. Real: 1 when a root has a non-zero
// (or NaN) imaginary part, 0 when none, kKernelFailed when c[0] is 0 or the
// fallback fails too; work: n^2 doubles, then n words. Complex: false in
// those cases; work: 2n^2 + 2n doubles.
int32_t ComputeRealPolynomialRoots(double* c, int32_t n, double* re, double* im, double* work);
bool ComputeComplexPolynomialRoots(double* cRe, double* cIm, int32_t n, double* re, double* im,
                                   double* work);
// The fallbacks: one root (or, real, one conjugate pair) at a time by
// Laguerre's method and deflation, stored from the last position down, with
// a bounded number of starts per root. Real: 1 when a complex pair was
// produced, else 0, kKernelFailed when c[0] is 0 or no start converges.
int32_t FindRealPolynomialRoots(double* c, int32_t n, double* re, double* im);
bool FindComplexPolynomialRoots(double* cRe, double* cIm, int32_t n, double* re, double* im);
// Laguerre iterations on a monic polynomial from x + i y; a negative y
// starts on the real axis and moves off it when the iteration needs to. On
// return y >= 0 is a complex pair x +- i y, y = -1 a real root x (real
// kernel); true when converged.
bool LaguerreRealPolynomial(const double* c, int32_t n, double* x, double* y, double tol);
bool LaguerreComplexPolynomial(const double* cRe, const double* cIm, int32_t n, double* x,
                               double* y, double tol);
// For the control-design code: FindRealPolynomialRoots on a copy of c made
// in work (n + 1 doubles); true on success.
bool FindRealPolynomialRootsOnCopy(const double* c, int32_t n, double* re, double* im,
                                   double* work);

// Test hook: makes the companion route, or every Laguerre run, of the root
// kernels fail.
struct RootKernelFaults {
  bool companion = false;
  bool laguerre = false;
};
extern RootKernelFaults gRootKernelFaults;

// ---- Singular values and Cholesky ----
// The power of two (its exponent) that brings the largest magnitude of the
// count values (and of the count values of also, when given) to about 1
// when it lies outside [2^-450, 2^450], where the squares the
// decompositions form would underflow or overflow; 0 otherwise, also for
// zeros and non-finite values. Scaling by it is exact; the singular values
// are scaled back by its negative.
int SafeRangeExponent(const double* values, const double* also, int64_t count);

// x := x 2^exponent for count values.
void ScaleValues(double* x, int64_t count, int exponent);

// Golub-Reinsch SVD of a real m x n A, which becomes U (m x n); w (n) the
// singular values in decreasing order; V (n x n, or null). Without V only
// the values are computed and A is left as scratch. work: 2n doubles. A value that does not
// converge in 30 sweeps is kept as it stands.
void ComputeSvdReal(double* a, int32_t m, int32_t n, double* w, double* v, double* work);
// The n singular values of a complex m x n matrix through the real 2m x 2n
// embedding [Re -Im; Im Re]. work: 4mn + 5n + 1 doubles.
void ComputeComplexSingularValues(const double* aRe, const double* aIm, int32_t m, int32_t n,
                                  double* s, double* work);
// Complex SVD with the first ncu columns of U (m rows, or null) and the
// first ncv columns of V (n rows, or null); A is destroyed. False when a
// value does not converge in 71 sweeps. work: SvdWithVectorsWork(m, n)
// doubles.
bool ComputeSvdWithVectors(double* aRe, double* aIm, int32_t m, int32_t n, double* s, double* uRe,
                           double* uIm, int32_t ncu, double* vRe, double* vIm, int32_t ncv,
                           double* work);
int64_t SvdWithVectorsWork(int32_t m, int32_t n);
// A = R^H R for a Hermitian positive definite A (upper triangle read, im
// null for a real matrix); R replaces A. False at a non-positive pivot.
bool FactorCholesky(double* re, double* im, int32_t n);

}  // namespace vke
