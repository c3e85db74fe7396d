// Frequency-response numerics of linear systems: a rational function at a
// complex point, the frequency range and time horizon a curve is drawn over
// (chosen from the poles), and the response of a state-space system at one
// complex frequency.
//
// Polynomials are coefficients, highest power first; matrices are row by
// row. Every routine works in the workspace its caller gives it, allocates
// nothing and never fails: a root or eigenvalue iteration that does not
// converge falls back to the values of a system without poles.
#pragma once

#include <cstdint>

namespace vke {

// num(s) / den(s) at s = x + i y by Horner's scheme and Smith's division.
// A zero den(s) gives 0/0 in both parts when Im num(s) is not 0, else
// Re num(s) / 0 and an imaginary part 0.
void EvalRationalAtComplex(const double* num, int32_t numDegree, const double* den,
                           int32_t denDegree, double x, double y, double* re, double* im);

// The frequencies [lower, upper] a response curve covers, from the roots of
// the polynomial p of degree n (or the eigenvalues of the n x n A): a decade
// beyond the outermost roots. With logScale the range spans at most four
// decades; without it, a range wider than one decade starts at 0.
// work: 3n + 1 doubles (state space: 3n + n^2).
void FrequencyRangeTf(const double* p, int32_t n, uint8_t logScale, double* work, double* lower,
                      double* upper);
void FrequencyRangeSs(const double* a, int32_t n, uint8_t logScale, double* work, double* lower,
                      double* upper);

// The time a response curve covers: the sum of 10 / |s| over the roots s
// away from the origin, at most kMaxTimeHorizon; 10 without such roots. The
// discrete forms take each root z to s = ln(z) / ts. work as for the
// frequency range.
inline constexpr double kMaxTimeHorizon = 1e6;
void TimeHorizonTf(const double* p, int32_t n, double* work, double* horizon);
void TimeHorizonTfDiscrete(const double* p, int32_t n, double ts, double* work, double* horizon);
void TimeHorizonSs(const double* a, int32_t n, double* work, double* horizon);
void TimeHorizonSsDiscrete(const double* a, int32_t n, double ts, double* work, double* horizon);

// The p values of C (sI - A)^-1 b + D at s = x + i y, for one input column b
// (n values) and D's column for it (p values, or null for 0).
// work: SsResponseWork(n, p) doubles.
void SsResponseSingleInput(const double* a, const double* b, const double* c, const double* d,
                           int32_t n, int32_t p, double x, double y, double* re, double* im,
                           double* work);
int64_t SsResponseWork(int32_t n, int32_t p);

// The m singular values of the p x m matrix C (sI - A)^-1 B + D at
// s = x + i y (D null for 0), decreasing. work: SsSingularValuesWork(n, m, p)
// doubles.
void SsSingularValues(const double* a, const double* c, const double* b, const double* d, int32_t n,
                      int32_t m, int32_t p, double x, double y, double* sv, double* work);
int64_t SsSingularValuesWork(int32_t n, int32_t m, int32_t p);

}  // namespace vke
