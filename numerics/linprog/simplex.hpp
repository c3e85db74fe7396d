// Linear programs: maximise cost . x subject to A x <= b and optional
// element-wise bounds, by a two-phase revised simplex method that keeps an
// explicit inverse of the basis, prices by the largest reduced cost, breaks
// cycling by a small deterministic perturbation of the right-hand side and
// limits the number of pivots. Everything lies in one workspace of doubles.
#pragma once

#include <cstdint>

namespace vke {

// Asks whether the user broke the run off; a null ask never does.
struct BreakPoll {
  bool (*ask)(void* arg) = nullptr;
  void* arg = nullptr;
  bool operator()() const { return ask && ask(arg); }
};

// The problem as the caller holds it (row by row); lb and ub give bounds for
// their first nlb and nub variables (-Inf, +Inf or NaN: none).
struct LinearProgram {
  const double* a = nullptr;  // m x n
  const double* b = nullptr;  // m
  int32_t m = 0;
  int32_t n = 0;
  const double* lb = nullptr;
  int32_t nlb = 0;
  const double* ub = nullptr;
  int32_t nub = 0;
  BreakPoll poll;  // asked at every pivot
};

// The workspace of SolveLinearProgram in doubles.
int64_t LinearProgramWorkspace(int32_t m, int32_t n);

enum class SimplexOutcome : uint8_t {
  kOptimal,      // x holds the optimum
  kInfeasible,   // x all NaN
  kUnbounded,    // x all +Inf
  kBudgetSpent,  // x not written
  kHalted        // the poll asked for a break; x not written
};

// Maximises cost . x (n values) into x (which may be cost's storage): the
// optimum, all NaN when the constraints cannot be met, all +Inf when the
// objective grows without limit; x is not written when the pivot budget
// runs out or the poll breaks the run off.
SimplexOutcome SolveLinearProgram(const LinearProgram& lp, const double* cost, double* x,
                                  double* work);

// ---- The simplex itself, on the problem after the bounds are substituted ----

// The constraints T x <= r (M x n, rows that the simplex may negate), the
// costs and the free flags of the structural variables (1: no bound).
struct SimplexTableau {
  double* t = nullptr;
  double* r = nullptr;
  const double* cost = nullptr;
  const uint8_t* isFree = nullptr;
  int32_t rows = 0;  // M
  int32_t cols = 0;  // n
  BreakPoll poll;
};

// The workspace of the simplex in doubles for M rows and n columns: the
// basis inverse, a column, the row map, the basic and non-basic lists.
int64_t SimplexWorkspace(int32_t rows, int32_t cols);

// Fills r (M values) with the right-hand side as it was before the simplex
// negated or perturbed it; the simplex computes its solution from these.
using OriginalRightHandSide = void (*)(const void* source, double* r);

// Runs both phases; an optimum is in the substituted variables.
SimplexOutcome RunSimplexPivots(const SimplexTableau& tab, double* x, double* work,
                                OriginalRightHandSide original, const void* source);

}  // namespace vke
