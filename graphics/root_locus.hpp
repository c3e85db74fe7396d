// The root locus: the paths of the roots of den(s) + K num(s) as K runs
// from 0 to infinity, traced over a bounded parameter q in adaptive steps,
// each new set of roots matched to the branches by the cheapest assignment,
// and only the points that matter inside the window kept.
#pragma once

#include <cstdint>

namespace vke {

// R_q = (1 - q) P + (q / |Q(0)|) Q with Q (degree m <= n) aligned at the
// constant term; Q(0) is Q's leading coefficient. out: n + 1 doubles.
void FormLocusPolynomial(const double* p, int32_t n, const double* q, int32_t m, double t,
                         double* out);

// Assigns k new roots (rx, ry) to n branches ending at (bx, by):
// assignment[r] is the branch of root r. Starts from the greedy assignment
// (the nearest pair first, never pairing imaginary parts of opposite sign)
// and searches depth first, pruned by the running cost, for a cheaper one
// within 10000 steps, rejecting those that split a conjugate pair across
// branches that are not partners. Returns the total L1 distance (NaN when a
// root is NaN: the identity assignment) and in *largest the largest single
// distance among the pairs off the real axis. work: 4n + 4k doubles.
double MatchRootsToBranches(const double* bx, const double* by, int32_t n, const double* rx,
                            const double* ry, int32_t k, int32_t* assignment, double* largest,
                            double* work);

struct LocusWindow {
  double xlo, xhi, ylo, yhi;
  double tolerance;
};

// Traces the locus of num/den into area ({c, x[c], y[c]} per branch, then
// -1) and returns the doubles written; with too little room only -1.
int64_t TraceCurveAdaptive(const double* den, int32_t denDegree, const double* num,
                           int32_t numDegree, const LocusWindow& window, double* area, int64_t size,
                           int64_t budget);

}  // namespace vke
