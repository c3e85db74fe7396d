// Conversions between the engine's matrix layout and LAPACK's, and the
// builders and extractors of the special matrices the "!lapack" natives need.
//
// Engine array: rows x cols doubles, element (i, j) at i * cols + j; a complex
// value is a second block of the same shape (imaginary parts), or none.
// LAPACK array: element (i, j) at i + j * ld (ld the row count unless given);
// a complex one holds 16-byte elements, real part first.
//
// A transposing copy keeps element (i, j) at (i, j). A straight copy keeps
// the order of the values in memory, so that read column-major it is the
// transpose: with a leading dimension, engine row i becomes LAPACK column i.
// A conjugating copy is a straight complex copy with the imaginary parts
// negated: the conjugate transpose. Copies are single passes; source and
// destination never overlap; zero rows or columns write nothing. A missing
// imaginary part reads as zeros.
#pragma once

#include <cstdint>

namespace vke {

// ---- Engine to LAPACK ----
void CopyRealToColumnMajor(const double* src, double* dst, int32_t rows, int32_t cols);
void CopyRealToColumnMajorLd(const double* src, double* dst, int32_t ld, int32_t rows,
                             int32_t cols);
void CopyComplexToColumnMajor(const double* re, const double* im, double* dst, int32_t rows,
                              int32_t cols);
void CopyComplexToColumnMajorLd(const double* re, const double* im, double* dst, int32_t ld,
                                int32_t rows, int32_t cols);
void CopyRealStraight(const double* src, double* dst, int32_t rows, int32_t cols);
void CopyRealStraightLd(const double* src, double* dst, int32_t ld, int32_t rows, int32_t cols);
void CopyComplexStraight(const double* re, const double* im, double* dst, int32_t rows,
                         int32_t cols);
void CopyConjugateStraight(const double* re, const double* im, double* dst, int32_t rows,
                           int32_t cols);
void CopyConjugateStraightLd(const double* re, const double* im, double* dst, int32_t ld,
                             int32_t rows, int32_t cols);

// ---- LAPACK to engine ----
// The Ld forms read the first rows entries of each LAPACK column.
void CopyRealFromColumnMajor(const double* src, double* dst, int32_t rows, int32_t cols);
void CopyRealFromColumnMajorLd(const double* src, int32_t ld, double* dst, int32_t rows,
                               int32_t cols);
// Without an imaginary block only the real parts are taken.
void CopyComplexFromColumnMajor(const double* src, double* re, double* im, int32_t rows,
                                int32_t cols);
void CopyComplexFromColumnMajorLd(const double* src, int32_t ld, double* re, double* im,
                                  int32_t rows, int32_t cols);
void CopyRealStraightBack(const double* src, double* dst, int32_t rows, int32_t cols);
// The result has r rows and c columns: its row b is the first c entries of
// LAPACK column b.
void CopyRealStraightBackLd(const double* src, int32_t ld, double* dst, int32_t c, int32_t r);
void CopyComplexStraightBack(const double* src, double* re, double* im, int32_t rows, int32_t cols);
void CopyConjugateStraightBack(const double* src, double* re, double* im, int32_t rows,
                               int32_t cols);
void CopyConjugateStraightBackLd(const double* src, int32_t ld, double* re, double* im, int32_t c,
                                 int32_t r);

// ---- Builders and extractors ----
// LAPACK n x n identities, real and complex.
void SetRealIdentity(double* dst, int32_t n);
void SetComplexIdentity(double* dst, int32_t n);
// Engine rows x cols zeros with v[i] at (i, i) for i < min(rows, cols); the
// complex form reads an interleaved vector.
void MakeDiagonalMatrix(const double* v, double* dst, int32_t rows, int32_t cols);
void MakeComplexDiagonalMatrix(const double* v, double* re, double* im, int32_t rows, int32_t cols);
// From an n x n LAPACK factor: engine row i holds entries (i, 0..i), zeros to
// its right up to cols. The permuted forms write row i to row perm[i].
void ExtractLowerTriangle(const double* factor, double* dst, int32_t n, int32_t cols);
void ExtractComplexLowerTriangle(const double* factor, double* re, double* im, int32_t n,
                                 int32_t cols);
void ExtractPermutedLowerTriangle(const double* factor, double* dst, int32_t n, int32_t cols,
                                  const int32_t* perm);
void ExtractComplexPermutedLowerTriangle(const double* factor, double* re, double* im, int32_t n,
                                         int32_t cols, const int32_t* perm);
// Engine row i holds zeros in columns 0..i-1 and entries (i, i..cols-1) of a
// LAPACK factor (ld = rows unless given).
void ExtractUpperTriangle(const double* factor, double* dst, int32_t rows, int32_t cols);
void ExtractUpperTriangleLd(const double* factor, int32_t ld, double* dst, int32_t rows,
                            int32_t cols);
void ExtractComplexUpperTriangle(const double* factor, double* re, double* im, int32_t rows,
                                 int32_t cols);
void ExtractComplexUpperTriangleLd(const double* factor, int32_t ld, double* re, double* im,
                                   int32_t rows, int32_t cols);
// Every element +Inf: the result of an exactly singular system.
void FillWithInfinity(double* dst, int32_t rows, int32_t cols);
// The real eigenvector array VR (n x n LAPACK) of the real eigenvalue
// routines as the engine's complex eigenvector matrix: a nonzero wi[j] marks
// a conjugate pair in columns j and j + 1 (VR(:, j) +- i VR(:, j + 1)).
void UnpackRealEigenvectors(const double* vr, const double* wi, double* re, double* im, int32_t n);

}  // namespace vke
