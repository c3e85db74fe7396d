// The prototypes of the LAPACK and BLAS routines the "!lapack" natives call,
// and of the f2c run-time's complex helpers, in one place. Reference calling conventions of the
// LP64 builds: every argument by pointer, INTEGER as 32 bits, arrays in column order, a complex
// array as interleaved (real, imaginary) pairs of doubles, and after the
// ordinary arguments one hidden length (size_t) for every CHARACTER
// argument, in order; calls pass 1 for each.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

using LapackInt = int32_t;
// The selection function of the sorting Schur routines; null here, as no
// eigenvalues are sorted.
using LapackSelect = LapackInt (*)(...);

}  // namespace vke

extern "C" {

// ---- LU factorisation, solves and condition ----
void dgetrf_(const vke::LapackInt* m, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* ipiv, vke::LapackInt* info);
void zgetrf_(const vke::LapackInt* m, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* ipiv, vke::LapackInt* info);
void dgesv_(const vke::LapackInt* n, const vke::LapackInt* nrhs, double* a,
            const vke::LapackInt* lda, vke::LapackInt* ipiv, double* b, const vke::LapackInt* ldb,
            vke::LapackInt* info);
void zgesv_(const vke::LapackInt* n, const vke::LapackInt* nrhs, double* a,
            const vke::LapackInt* lda, vke::LapackInt* ipiv, double* b, const vke::LapackInt* ldb,
            vke::LapackInt* info);
double dlange_(const char* norm, const vke::LapackInt* m, const vke::LapackInt* n, const double* a,
               const vke::LapackInt* lda, double* work, size_t normLength);
double zlange_(const char* norm, const vke::LapackInt* m, const vke::LapackInt* n, const double* a,
               const vke::LapackInt* lda, double* work, size_t normLength);
void dgecon_(const char* norm, const vke::LapackInt* n, const double* a, const vke::LapackInt* lda,
             const double* anorm, double* rcond, double* work, vke::LapackInt* iwork,
             vke::LapackInt* info, size_t normLength);
void zgecon_(const char* norm, const vke::LapackInt* n, const double* a, const vke::LapackInt* lda,
             const double* anorm, double* rcond, double* work, double* rwork, vke::LapackInt* info,
             size_t normLength);

// ---- Minimum-norm least squares ----
void dgelss_(const vke::LapackInt* m, const vke::LapackInt* n, const vke::LapackInt* nrhs,
             double* a, const vke::LapackInt* lda, double* b, const vke::LapackInt* ldb, double* s,
             const double* rcond, vke::LapackInt* rank, double* work, const vke::LapackInt* lwork,
             vke::LapackInt* info);
void zgelss_(const vke::LapackInt* m, const vke::LapackInt* n, const vke::LapackInt* nrhs,
             double* a, const vke::LapackInt* lda, double* b, const vke::LapackInt* ldb, double* s,
             const double* rcond, vke::LapackInt* rank, double* work, const vke::LapackInt* lwork,
             double* rwork, vke::LapackInt* info);

// ---- Singular values ----
void dgesvd_(const char* jobu, const char* jobvt, const vke::LapackInt* m, const vke::LapackInt* n,
             double* a, const vke::LapackInt* lda, double* s, double* u, const vke::LapackInt* ldu,
             double* vt, const vke::LapackInt* ldvt, double* work, const vke::LapackInt* lwork,
             vke::LapackInt* info, size_t jobuLength, size_t jobvtLength);
void zgesvd_(const char* jobu, const char* jobvt, const vke::LapackInt* m, const vke::LapackInt* n,
             double* a, const vke::LapackInt* lda, double* s, double* u, const vke::LapackInt* ldu,
             double* vt, const vke::LapackInt* ldvt, double* work, const vke::LapackInt* lwork,
             double* rwork, vke::LapackInt* info, size_t jobuLength, size_t jobvtLength);

// ---- Eigenvalues and Schur forms ----
void dgeev_(const char* jobvl, const char* jobvr, const vke::LapackInt* n, double* a,
            const vke::LapackInt* lda, double* wr, double* wi, double* vl,
            const vke::LapackInt* ldvl, double* vr, const vke::LapackInt* ldvr, double* work,
            const vke::LapackInt* lwork, vke::LapackInt* info, size_t jobvlLength,
            size_t jobvrLength);
void zgeev_(const char* jobvl, const char* jobvr, const vke::LapackInt* n, double* a,
            const vke::LapackInt* lda, double* w, double* vl, const vke::LapackInt* ldvl,
            double* vr, const vke::LapackInt* ldvr, double* work, const vke::LapackInt* lwork,
            double* rwork, vke::LapackInt* info, size_t jobvlLength, size_t jobvrLength);
void dgees_(const char* jobvs, const char* sort, vke::LapackSelect select, const vke::LapackInt* n,
            double* a, const vke::LapackInt* lda, vke::LapackInt* sdim, double* wr, double* wi,
            double* vs, const vke::LapackInt* ldvs, double* work, const vke::LapackInt* lwork,
            vke::LapackInt* bwork, vke::LapackInt* info, size_t jobvsLength, size_t sortLength);
void zgees_(const char* jobvs, const char* sort, vke::LapackSelect select, const vke::LapackInt* n,
            double* a, const vke::LapackInt* lda, vke::LapackInt* sdim, double* w, double* vs,
            const vke::LapackInt* ldvs, double* work, const vke::LapackInt* lwork, double* rwork,
            vke::LapackInt* bwork, vke::LapackInt* info, size_t jobvsLength, size_t sortLength);
void dgges_(const char* jobvsl, const char* jobvsr, const char* sort, vke::LapackSelect selctg,
            const vke::LapackInt* n, double* a, const vke::LapackInt* lda, double* b,
            const vke::LapackInt* ldb, vke::LapackInt* sdim, double* alphar, double* alphai,
            double* beta, double* vsl, const vke::LapackInt* ldvsl, double* vsr,
            const vke::LapackInt* ldvsr, double* work, const vke::LapackInt* lwork,
            vke::LapackInt* bwork, vke::LapackInt* info, size_t jobvslLength, size_t jobvsrLength,
            size_t sortLength);
void zgges_(const char* jobvsl, const char* jobvsr, const char* sort, vke::LapackSelect selctg,
            const vke::LapackInt* n, double* a, const vke::LapackInt* lda, double* b,
            const vke::LapackInt* ldb, vke::LapackInt* sdim, double* alpha, double* beta,
            double* vsl, const vke::LapackInt* ldvsl, double* vsr, const vke::LapackInt* ldvsr,
            double* work, const vke::LapackInt* lwork, double* rwork, vke::LapackInt* bwork,
            vke::LapackInt* info, size_t jobvslLength, size_t jobvsrLength, size_t sortLength);
// Deprecated in LAPACK: called through lapack_deprecated.hpp only.
void dgegv_(const char* jobvl, const char* jobvr, const vke::LapackInt* n, double* a,
            const vke::LapackInt* lda, double* b, const vke::LapackInt* ldb, double* alphar,
            double* alphai, double* beta, double* vl, const vke::LapackInt* ldvl, double* vr,
            const vke::LapackInt* ldvr, double* work, const vke::LapackInt* lwork,
            vke::LapackInt* info, size_t jobvlLength, size_t jobvrLength);
void zgegv_(const char* jobvl, const char* jobvr, const vke::LapackInt* n, double* a,
            const vke::LapackInt* lda, double* b, const vke::LapackInt* ldb, double* alpha,
            double* beta, double* vl, const vke::LapackInt* ldvl, double* vr,
            const vke::LapackInt* ldvr, double* work, const vke::LapackInt* lwork, double* rwork,
            vke::LapackInt* info, size_t jobvlLength, size_t jobvrLength);

// ---- QR, Cholesky, Hessenberg and balancing ----
void dgeqrf_(const vke::LapackInt* m, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             double* tau, double* work, const vke::LapackInt* lwork, vke::LapackInt* info);
void zgeqrf_(const vke::LapackInt* m, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             double* tau, double* work, const vke::LapackInt* lwork, vke::LapackInt* info);
// Deprecated in LAPACK: called through lapack_deprecated.hpp only.
void dgeqpf_(const vke::LapackInt* m, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* jpvt, double* tau, double* work, vke::LapackInt* info);
void zgeqpf_(const vke::LapackInt* m, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* jpvt, double* tau, double* work, double* rwork, vke::LapackInt* info);
void dorgqr_(const vke::LapackInt* m, const vke::LapackInt* n, const vke::LapackInt* k, double* a,
             const vke::LapackInt* lda, const double* tau, double* work,
             const vke::LapackInt* lwork, vke::LapackInt* info);
void zung2r_(const vke::LapackInt* m, const vke::LapackInt* n, const vke::LapackInt* k, double* a,
             const vke::LapackInt* lda, const double* tau, double* work, vke::LapackInt* info);
void dpotrf_(const char* uplo, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* info, size_t uploLength);
void zpotrf_(const char* uplo, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* info, size_t uploLength);
void dgehrd_(const vke::LapackInt* n, const vke::LapackInt* ilo, const vke::LapackInt* ihi,
             double* a, const vke::LapackInt* lda, double* tau, double* work,
             const vke::LapackInt* lwork, vke::LapackInt* info);
void zgehrd_(const vke::LapackInt* n, const vke::LapackInt* ilo, const vke::LapackInt* ihi,
             double* a, const vke::LapackInt* lda, double* tau, double* work,
             const vke::LapackInt* lwork, vke::LapackInt* info);
void dorghr_(const vke::LapackInt* n, const vke::LapackInt* ilo, const vke::LapackInt* ihi,
             double* a, const vke::LapackInt* lda, const double* tau, double* work,
             const vke::LapackInt* lwork, vke::LapackInt* info);
void zunghr_(const vke::LapackInt* n, const vke::LapackInt* ilo, const vke::LapackInt* ihi,
             double* a, const vke::LapackInt* lda, const double* tau, double* work,
             const vke::LapackInt* lwork, vke::LapackInt* info);
void dgebal_(const char* job, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* ilo, vke::LapackInt* ihi, double* scale, vke::LapackInt* info,
             size_t jobLength);
void zgebal_(const char* job, const vke::LapackInt* n, double* a, const vke::LapackInt* lda,
             vke::LapackInt* ilo, vke::LapackInt* ihi, double* scale, vke::LapackInt* info,
             size_t jobLength);

// ---- BLAS ----
void zgemm_(const char* transa, const char* transb, const vke::LapackInt* m,
            const vke::LapackInt* n, const vke::LapackInt* k, const double* alpha, const double* a,
            const vke::LapackInt* lda, const double* b, const vke::LapackInt* ldb,
            const double* beta, double* c, const vke::LapackInt* ldc, size_t transaLength,
            size_t transbLength);

// ---- The f2c run-time library's double complex helpers ----
// A complex number as f2c lays it out: real part, imaginary part.
struct F2cDoubleComplex {
  double r;
  double i;
};
void z_sqrt(F2cDoubleComplex* result, F2cDoubleComplex* z);
void z_log(F2cDoubleComplex* result, F2cDoubleComplex* z);
// Aborts the process on a zero divisor: call it with a non-zero b only.
void z_div(F2cDoubleComplex* result, F2cDoubleComplex* a, F2cDoubleComplex* b);

}  // extern "C"
