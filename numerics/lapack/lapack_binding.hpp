// The prototypes of the LAPACK and BLAS routines the "!lapack" natives call,
// in one place. Reference calling conventions of the LP64 builds: every
// argument by pointer, INTEGER as 32 bits, arrays in column order, a complex
// array as interleaved (real, imaginary) pairs of doubles, and after the
// ordinary arguments one hidden length (size_t) for every CHARACTER
// argument, in order; calls pass 1 for each.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

using LapackInt = int32_t;

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

}  // extern "C"
