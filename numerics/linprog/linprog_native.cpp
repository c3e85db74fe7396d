// The native linprog: minimises c . x subject to A x <= b and the optional
// bounds lb <= x <= ub. Infeasible problems, and costs or constraints
// holding a NaN, give NaN in every component, unbounded ones +Inf; only a
// spent pivot budget and a break are errors.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/linalg/linalg_support.hpp"
#include "numerics/linprog/simplex.hpp"

namespace vke {

namespace {

// A bound argument: a column of at most n entries.
bool FitsBound(const MatrixOperand& bound, int32_t n) {
  return bound.rows <= n && bound.cols <= 1;
}

bool HasNaN(const MatrixOperand& x) {
  const int64_t count = int64_t(x.rows) * x.cols;
  return std::any_of(x.re, x.re + count, [](double v) { return std::isnan(v); });
}

bool AskBreak(void* ctx) {
  return PollAbortRequest(static_cast<EngineContext*>(ctx));
}

}  // namespace

// x = linprog(c, A, b, lb, ub).
ErrCode LinprogNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  MatrixOperand arg[5];
  for (int32_t k = 0; k < nargin; k++) {
    if (!GetMatrixArg(ctx, nargin - 1 - k, &arg[k])) return kErrWrongTypeOverload;
  }
  const MatrixOperand &c = arg[0], &a = arg[1], &b = arg[2];
  const int32_t m = a.rows, n = m == 0 ? c.cols : a.cols;
  if ((c.rows != 1 && n != 0) || c.cols != n) return kErrIncompSize;
  if (b.rows != m || b.cols > 1) return kErrIncompSize;
  if (nargin > 3 && !FitsBound(arg[3], n)) return kErrIncompSize;
  if (nargin > 4 && !FitsBound(arg[4], n)) return kErrIncompSize;

  const int64_t words = LinearProgramWorkspace(m, n);
  StackPlan plan;
  plan.Scratch(words);
  if (ErrCode e = plan.Check(ctx)) return e;
  double* work = TakeScratch(ctx, words);

  LinearProgram lp;
  lp.a = a.re;
  lp.b = b.re;
  lp.m = m;
  lp.n = n;
  if (nargin > 3) {
    lp.lb = arg[3].re;
    lp.nlb = arg[3].rows * arg[3].cols;
  }
  if (nargin > 4) {
    lp.ub = arg[4].re;
    lp.nub = arg[4].rows * arg[4].cols;
  }
  lp.poll = BreakPoll{&AskBreak, ctx};
  if (HasNaN(c) || HasNaN(a) || HasNaN(b)) {
    // A NaN in the costs or the constraints leaves the problem undefined:
    // NaN in every component, as for constraints that cannot be met.
    std::fill(c.re, c.re + n, std::numeric_limits<double>::quiet_NaN());
  } else {
    // The solver maximises; x is written over c, which it leaves alone
    // when it fails.
    for (int32_t j = 0; j < n; j++) c.re[j] = -c.re[j];
    const SimplexOutcome outcome = SolveLinearProgram(lp, c.re, c.re, work);
    if (outcome == SimplexOutcome::kBudgetSpent || outcome == SimplexOutcome::kHalted) {
      for (int32_t j = 0; j < n; j++) c.re[j] = -c.re[j];
      return outcome == SimplexOutcome::kHalted ? kErrHalted : kErrNoConvergence;
    }
  }

  // x is pushed over c's data, where the solver left it: the arguments are
  // dropped and the next push takes the place of the first, in their room.
  const RoomRequestsPaused replaced;
  Drop(ctx, nargin);
  if (n == 0) return PushResultMatrix(ctx, 0, 1, false, nullptr, nullptr);
  double* x;
  return PushNewMatrix(ctx, n, 1, &x, nullptr);
}

}  // namespace vke
