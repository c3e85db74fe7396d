// Kernels that convert linear systems between continuous and discrete time
// and between transfer-function and state-space form.
//
// Transfer functions are one numerator and one denominator row, highest
// power first, numerator degree at most the denominator's, leading
// denominator coefficient non-zero; state space is A (n x n), B (n x m),
// C (p x n), D (p x m) row by row. The kernels allocate nothing: each takes
// a workspace of the size its ...Work function gives.
#pragma once

#include <cstdint>

namespace vke {

// num(s) and den(s) under s = (a z + b) / (c z + d), both multiplied by
// (c z + d)^denDegree: denDegree + 1 coefficients each (outputs may be null).
// normalise divides both by the leading denominator coefficient.
void ApplyBilinearMap(const double* num, int32_t numDegree, const double* den, int32_t denDegree,
                      double a, double b, double c, double d, uint8_t normalise, double* numOut,
                      double* denOut, double* work);
int64_t BilinearMapWork(int32_t denDegree);

// Zero-order hold of num/den (den of degree n) through the exponential of a
// companion matrix: a monic denominator of degree n and a numerator of n + 1
// coefficients when numDegree = n, else n (numOut may be null). False when
// the characteristic polynomial does not converge (outputs then NaN).
bool DiscretizeTfByExpm(const double* num, int32_t numDegree, const double* den, int32_t n,
                        double ts, double* numOut, double* denOut, double* work);
int64_t DiscretizeTfByExpmWork(int32_t n);

// Zero-order hold of (A, B): Ad = e^(A ts), Bd = the integral of e^(A t) B
// over one period.
void ZohStateSpace(const double* a, const double* b, int32_t n, int32_t m, double ts, double* ad,
                   double* bd, double* work);
int64_t ZohStateSpaceWork(int32_t n, int32_t m);

// First-order hold equivalent (Ad, Bd, Cd, Dd) of (A, B, C, D). Its state
// is x - G u, with G (n x m, written to rampOut unless null) the response
// over one period to the input's ramp: a run from the state x(0) starts at
// x(0) - G u(0).
void DiscretizeSsByExpm(const double* a, const double* b, const double* c, const double* d,
                        int32_t n, int32_t m, int32_t p, double ts, double* ad, double* bd,
                        double* cd, double* dd, double* work, double* rampOut = nullptr);
int64_t DiscretizeSsByExpmWork(int32_t n, int32_t m, int32_t p);

// The controllable companion form of one numerator row over den (degree n):
// A (n x n), B (n x 1), the numerator's C row (n) and D (1).
void TfToStateSpace(const double* num, int32_t numDegree, const double* den, int32_t n, double* a,
                    double* b, double* c, double* d);

// Transfer functions from input iu (from 0) to the p outputs: numerators
// p rows of n + 1 (or null), the common denominator n + 1 (the
// characteristic polynomial of A). False when an eigenvalue iteration fails
// (outputs then NaN).
bool StateSpaceToTf(const double* a, const double* b, const double* c, const double* d, int32_t iu,
                    int32_t n, int32_t m, int32_t p, double* work, double* numOut, double* denOut);
int64_t StateSpaceToTfWork(int32_t n);

// First-order hold of num/den through state space: TfToStateSpace,
// DiscretizeSsByExpm, StateSpaceToTf; numerator and denominator n + 1 each.
bool DiscretizeTfViaSs(const double* num, int32_t numDegree, const double* den, int32_t n,
                       double ts, double* numOut, double* denOut, double* work);
int64_t DiscretizeTfViaSsWork(int32_t n);

// The monic polynomial (degree + extraRoots + 1 coefficients) whose roots
// are e^(r ts) of the roots r of p and extraRoots roots at -1. False when
// the roots do not pair into real values and conjugate pairs, or are not
// found; the output is then NaN.
bool MapRootsToDiscrete(const double* p, int32_t degree, int32_t extraRoots, double ts, double* out,
                        double* work);
// Matched poles and zeros: denominator n + 1 coefficients, numerator
// max(numDegree, n - 1) + 1. The gain is matched at s = 0 and z = 1, or
// where that gain is 0 or not finite (a zero or pole at the origin), at
// s = i / ts and z = e^i. False when a pairing fails.
bool MatchPolesZeros(const double* num, int32_t numDegree, const double* den, int32_t n, double ts,
                     double* numOut, double* denOut, double* work);
int64_t MatchPolesZerosWork(int32_t numDegree, int32_t n);

}  // namespace vke
