// The core routines of the special functions on single doubles: the error
// function and its inverse, gamma and its logarithm, the regularised
// incomplete gamma and beta functions, and beta. Plain functions of doubles
// with no engine context; the element-wise natives, betainc and the
// probability distributions share them.
#pragma once

namespace vke {

// erf(x), or erfc(x) when complement is set.
double ComputeErfOrErfc(double x, bool complement);
// The x with erf(x) = y; NaN outside [-1, 1].
double InvertErf(double y);
// Gamma(x), or x! when factorial is set (NaN for a negative or fractional x).
double ComputeGamma(double x, bool factorial);
// ln Gamma(x) for x >= 0 (+Inf at 0); the caller keeps x in range.
double ComputeLogGamma(double x);
// The regularised lower incomplete gamma P(a, x): true with the value
// written, or false when the iteration does not converge (result untouched).
bool ComputeIncompleteGamma(double a, double x, double* result);
// B(a, b); NaN for a negative argument.
double ComputeBeta(double a, double b);
// The regularised incomplete beta I_x(a, b): true with the value written
// (NaN for x outside [0, 1]), or false when the iteration does not converge.
bool ComputeIncompleteBeta(double x, double a, double b, double* result);

}  // namespace vke
