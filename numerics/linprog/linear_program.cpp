// The bounds of a linear program substituted away before the simplex runs:
// a lower bound shifts its variable (x = lb + x'), a variable with only an
// upper bound is mirrored (x = ub - x'), both bounds add the row x' <= ub -
// lb, and a variable with neither is free.
#include <algorithm>
#include <cmath>
#include <limits>

#include "numerics/linprog/simplex.hpp"

namespace vke {

namespace {

bool HasLower(const LinearProgram& lp, int32_t j) {
  return j < lp.nlb && lp.lb[j] != -std::numeric_limits<double>::infinity() &&
         !std::isnan(lp.lb[j]);
}

bool HasUpper(const LinearProgram& lp, int32_t j) {
  return j < lp.nub && lp.ub[j] != std::numeric_limits<double>::infinity() && !std::isnan(lp.ub[j]);
}

int32_t ConstraintRows(const LinearProgram& lp) {
  int32_t rows = lp.m;
  for (int32_t j = 0; j < lp.n; j++) rows += HasLower(lp, j) && HasUpper(lp, j);
  return rows;
}

// The right-hand side after the substitution: b - A shift for the rows of
// A, ub - lb for the rows of doubly bounded variables.
void SubstitutedRightHandSide(const void* source, double* r) {
  const auto& lp = *static_cast<const LinearProgram*>(source);
  for (int32_t i = 0; i < lp.m; i++) r[i] = lp.b[i];
  int32_t row = lp.m;
  for (int32_t j = 0; j < lp.n; j++) {
    const bool lower = HasLower(lp, j), upper = HasUpper(lp, j);
    if (!lower && !upper) continue;
    const double shift = lower ? lp.lb[j] : lp.ub[j];
    for (int32_t i = 0; i < lp.m; i++) r[i] -= lp.a[int64_t(i) * lp.n + j] * shift;
    if (lower && upper) r[row++] = lp.ub[j] - lp.lb[j];
  }
}

}  // namespace

int64_t LinearProgramWorkspace(int32_t m, int32_t n) {
  const int64_t rows = int64_t(m) + n, cols = n;
  return (5 * rows + cols) / 2 + (2 * cols + m + 1) * rows + 2 * cols / 8 + m + 3 * cols + 2;
}

SimplexOutcome SolveLinearProgram(const LinearProgram& lp, const double* cost, double* x,
                                  double* work) {
  const int32_t m = lp.m, n = lp.n, rows = ConstraintRows(lp);
  // T, r, the costs, the shifts, the simplex's workspace, then the flags.
  double* t = work;
  double* r = t + int64_t(rows) * n;
  double* costs = r + rows;
  double* shift = costs + n;
  double* simplexWork = shift + n;
  auto* negated = reinterpret_cast<uint8_t*>(simplexWork + SimplexWorkspace(rows, n));
  uint8_t* isFree = negated + n;

  std::fill(t, t + int64_t(rows) * n, 0.0);
  std::copy(lp.a, lp.a + int64_t(m) * n, t);
  int32_t row = m;
  for (int32_t j = 0; j < n; j++) {
    const bool lower = HasLower(lp, j), upper = HasUpper(lp, j);
    costs[j] = cost[j];
    shift[j] = lower ? lp.lb[j] : upper ? lp.ub[j] : 0.0;
    negated[j] = !lower && upper;
    isFree[j] = !lower && !upper;
    if (lower && upper) t[int64_t(row++) * n + j] = 1;
    if (negated[j]) {
      for (int32_t i = 0; i < m; i++) t[int64_t(i) * n + j] = -t[int64_t(i) * n + j];
      costs[j] = -costs[j];
    }
  }
  SubstitutedRightHandSide(&lp, r);

  const SimplexTableau tab{t, r, costs, isFree, rows, n, lp.poll};
  const SimplexOutcome outcome =
      RunSimplexPivots(tab, x, simplexWork, SubstitutedRightHandSide, &lp);
  // Infeasible and unbounded problems leave NaN or +Inf in every
  // component, whatever the substitution.
  if (outcome == SimplexOutcome::kOptimal) {
    for (int32_t j = 0; j < n; j++) x[j] = (negated[j] ? -x[j] : x[j]) + shift[j];
  }
  return outcome;
}

}  // namespace vke
