// The native fminsearch: a local minimum of a real function of n real
// variables by a simplex search without derivatives. Each iteration
// reflects the worst vertex through the centroid of the others, expands
// a successful reflection, contracts an unsuccessful one and shrinks the
// simplex towards its best vertex when the contraction fails too. fun is
// evaluated through the call-and-resume cycle; the simplex S (n x (n+1),
// column j vertex j), its values F (1 x (n+1)), the centroid c and the
// direction d (n x 1 each) and a 1 x 12 state row lie above the arguments.
// Every point handed to fun has the shape of x0.
#include <cmath>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/native_results.hpp"
#include "numerics/optim/optim_options.hpp"

namespace vke {

namespace {

// Elements of the state row.
enum Slot : int32_t {
  kPhase,   // what the arriving value belongs to (Phase)
  kNargin,  // argument count of the first entry
  kIndex,   // the vertex evaluated (first vertices, shrink), else the worst vertex
  kKept,    // the vertex kept in a shrink
  kRows,    // shape of x0
  kCols,
  kTolX,         // tolerance on the vertices' spread
  kDisplay,      // trace when nonzero
  kMaxIter,      // largest number of iterations
  kMaxFunEvals,  // largest number of evaluations, checked once per iteration
  kIterations,   // iterations so far
  kEvaluations,  // evaluations so far
  kStateSize
};

// What the value arriving at a re-entry is.
enum Phase : int32_t {
  kFirstVertex = 1,   // a vertex of the first simplex
  kReflected = 2,     // the reflected point
  kExpanded = 3,      // the expanded point
  kContracted = 4,    // the contracted point
  kShrunkVertex = 5,  // a vertex after a shrink
};

// Working entries S, F, c, d and the state row above the arguments; fun
// is the first argument, the extra arguments begin at the fourth.
constexpr CycleLayout kLayout{5, 4};
// The largest n whose simplex size n (n + 1) an int holds.
constexpr int32_t kMaxVariables = 46340;

// Multiples of d from the centroid for the trial points.
constexpr double kReflection = -1;
constexpr double kExpansion = -2;
constexpr double kContraction = 0.5;

// The working values, read from the stack at each entry.
struct Run {
  EngineContext* ctx = nullptr;
  int32_t nargin = 0;
  int32_t nargout = 0;
  int32_t n = 0;
  double *simplex = nullptr, *values = nullptr, *centroid = nullptr, *direction = nullptr;
  double* s = nullptr;

  double& At(int32_t i, int32_t j) const { return simplex[int64_t{i} * (n + 1) + j]; }
  ErrCode Trace(const char* label, int32_t vertex) const {
    return s[kDisplay] != 0 ? WriteTraceLine(ctx, label, {vertex + 1.0}) : kOk;
  }
};

// Reads S, F, c and d under the state row s; false when they are not the
// native's.
bool ReadRun(EngineContext* ctx, double* s, int32_t nargout, Run* r) {
  const double n = s[kRows] * s[kCols];
  if (!(n >= 1 && n <= kMaxVariables)) return false;
  r->ctx = ctx;
  r->nargin = TruncateToInt(s[kNargin]);
  r->nargout = nargout;
  r->n = static_cast<int32_t>(n);
  r->s = s;
  // The real matrix at the depth when it has that shape.
  auto matrix = [&](int32_t depth, int32_t rows, int32_t cols) -> double* {
    int32_t m, k;
    double *re, *im;
    if (GetNumericArg(ctx, depth, &m, &k, &re, &im) || im || m != rows || k != cols) return nullptr;
    return re;
  };
  r->direction = matrix(1, r->n, 1);
  r->centroid = matrix(2, r->n, 1);
  r->values = matrix(3, 1, r->n + 1);
  r->simplex = matrix(4, r->n, r->n + 1);
  return r->direction && r->centroid && r->values && r->simplex;
}

// Pushes a point of x0's shape and calls fun on it; point(i) gives its
// elements in storage order.
template <typename Point>
ErrCode Evaluate(const Run& r, Phase phase, Point point) {
  r.s[kPhase] = phase;
  double* x;
  if (ErrCode e =
          PushNewMatrix(r.ctx, TruncateToInt(r.s[kRows]), TruncateToInt(r.s[kCols]), &x, nullptr))
    return e;
  for (int32_t i = 0; i < r.n; i++) x[i] = point(i);
  return CallWithPointOnTop(r.ctx, kLayout, r.nargin);
}

ErrCode EvaluateVertex(const Run& r, Phase phase, int32_t j) {
  r.s[kIndex] = j;
  return Evaluate(r, phase, [&](int32_t i) { return r.At(i, j); });
}

ErrCode EvaluateAlong(const Run& r, Phase phase, double factor) {
  return Evaluate(r, phase, [&](int32_t i) { return r.centroid[i] + factor * r.direction[i]; });
}

// Vertex h set to the point c + factor d.
void SetVertexAlong(const Run& r, int32_t h, double factor) {
  for (int32_t i = 0; i < r.n; i++) r.At(i, h) = r.centroid[i] + factor * r.direction[i];
}

// The first vertex of the largest (smallest) value.
int32_t ExtremeVertex(const Run& r, bool largest) {
  int32_t best = 0;
  for (int32_t j = 1; j <= r.n; j++)
    if (largest ? r.values[j] > r.values[best] : r.values[j] < r.values[best]) best = j;
  return best;
}

// x, fval and exitflag in place of everything above x0 and of fun, x0
// holding x. above: the entries over x0.
ErrCode Finish(EngineContext* ctx, int32_t nargout, int32_t above, double fx, bool converged) {
  // The outputs stand above the run before it goes, x copied from x0.
  const uint32_t level = ctx->descTop;
  ErrCode e = nargout >= 3 ? PushLogicalScalar(ctx, converged) : kOk;
  if (!e && nargout >= 2) e = PushRealScalar(ctx, fx);
  const int32_t pushed = static_cast<int32_t>((ctx->descTop - level) / 3);
  if (!e) e = DuplicateStackEntries(ctx, above + pushed, 1);
  if (e) return DropAboveLevel(ctx, level, e);
  return DropStackEntries(ctx, pushed + 1, above + 2);
}

// The best vertex written into x0's storage, so that x keeps x0's shape.
ErrCode FinishRun(const Run& r, bool converged) {
  const int32_t best = ExtremeVertex(r, false);
  const int32_t above = r.nargin + 3;
  int32_t rows, cols;
  double *x0, *im;
  if (GetNumericArg(r.ctx, above, &rows, &cols, &x0, &im) || int64_t{rows} * cols != r.n)
    return kErrIllegal;
  for (int32_t i = 0; i < r.n; i++) x0[i] = r.At(i, best);
  return Finish(r.ctx, r.nargout, above, r.values[best], converged);
}

// Reflects the worst vertex h through the centroid c of the others.
ErrCode StartIteration(const Run& r) {
  const int32_t h = ExtremeVertex(r, true);
  for (int32_t i = 0; i < r.n; i++) {
    double sum = 0;
    for (int32_t j = 0; j <= r.n; j++)
      if (j != h) sum += r.At(i, j);
    r.centroid[i] = sum / r.n;
    r.direction[i] = r.At(i, h) - r.centroid[i];
  }
  r.s[kIndex] = h;
  return EvaluateAlong(r, kReflected, kReflection);
}

// Converged when every vertex lies within TolX of vertex 0 in every
// coordinate; else the next iteration, or the end at a limit.
ErrCode StoppingTest(const Run& r) {
  double* s = r.s;
  bool converged = true;
  for (int32_t i = 0; i < r.n && converged; i++)
    for (int32_t j = 1; j <= r.n && converged; j++)
      converged = std::fabs(r.At(i, j) - r.At(i, 0)) <= s[kTolX];
  if (converged) return FinishRun(r, true);
  s[kIterations] += 1;
  const bool iterationsLeft = s[kIterations] <= s[kMaxIter];
  if (iterationsLeft && s[kEvaluations] <= s[kMaxFunEvals]) return StartIteration(r);
  if (s[kDisplay] != 0) {
    ErrCode e = iterationsLeft
                    ? WriteTraceLine(r.ctx, "Too many evaluations (", {s[kEvaluations]}, ")")
                    : WriteTraceLine(r.ctx, "Too many iterations (", {s[kIterations]}, ")");
    if (e) return e;
  }
  if (r.nargout < 3) return kErrNoConvergence;
  return FinishRun(r, false);
}

ErrCode Start(EngineContext* ctx, int32_t nargin, int32_t nargout) {
  int32_t rows, cols;
  double *x0, *im;
  if (GetNumericArg(ctx, nargin - 2, &rows, &cols, &x0, &im) || im) return kErrWrongTypeOverload;
  const int64_t count = int64_t{rows} * cols;
  if (count == 0) return Finish(ctx, nargout, nargin - 2, 0, true);
  if (count > kMaxVariables) return kErrObjTooLarge;
  const auto n = static_cast<int32_t>(count);

  double *simplex, *values, *s;
  if (ErrCode e = PushNewMatrix(ctx, n, n + 1, &simplex, nullptr)) return e;
  if (ErrCode e = PushNewMatrix(ctx, 1, n + 1, &values, nullptr)) return e;
  if (ErrCode e = PushZeroMatrix(ctx, n, 1, false)) return e;
  if (ErrCode e = PushZeroMatrix(ctx, n, 1, false)) return e;
  if (ErrCode e = PushStateRow(ctx, kStateSize, &s)) return e;
  OptimOptions o{kMinTolX, 200.0 * n, 200.0 * n, 0};
  if (nargin >= 3)
    if (ErrCode e = ReadOptimOptions(ctx, nargin + 2, &o)) return e;
  if (o.tolX < kMinTolX) o.tolX = kMinTolX;
  s[kNargin] = nargin;
  s[kRows] = rows;
  s[kCols] = cols;
  s[kTolX] = o.tolX;
  s[kDisplay] = o.display;
  s[kMaxIter] = o.maxIter;
  s[kMaxFunEvals] = o.maxFunEvals;

  // Vertex j > 0 is x0 stepped along coordinate j - 1 by delta, 5% of
  // it and at least 0.001; vertex 0 lies back from x0 by delta / (n + 1)
  // along every coordinate.
  GetNumericArg(ctx, nargin + 3, &rows, &cols, &x0, &im);
  for (int32_t i = 0; i < n; i++) {
    const double delta = std::fmax(0.05 * std::fabs(x0[i]), 0.001);
    for (int32_t j = 1; j <= n; j++)
      simplex[int64_t{i} * (n + 1) + j] = x0[i] + (j - 1 == i ? delta : 0);
    simplex[int64_t{i} * (n + 1)] = x0[i] - delta / (n + 1);
  }
  Run r;
  if (!ReadRun(ctx, s, nargout, &r)) return kErrIllegal;
  return EvaluateVertex(r, kFirstVertex, 0);
}

ErrCode Resume(EngineContext* ctx, int32_t nargin, int32_t nargout) {
  double y;
  if (ErrCode e = PopScalarResult(ctx, nargin, &y)) return e;
  if (std::isnan(y)) return kErrNoConvergence;
  double* s = StateRowAt(ctx, 0, kStateSize);
  Run r;
  if (!s || !ReadRun(ctx, s, nargout, &r)) return kErrIllegal;
  s[kEvaluations] += 1;
  const int32_t index = TruncateToInt(s[kIndex]);
  if (index < 0 || index > r.n) return kErrIllegal;
  switch (TruncateToInt(s[kPhase])) {
    case kFirstVertex:
      r.values[index] = y;
      if (index + 1 > r.n) return StartIteration(r);
      return EvaluateVertex(r, kFirstVertex, index + 1);
    case kReflected:
      if (r.values[index] <= y) return EvaluateAlong(r, kContracted, kContraction);
      r.values[index] = y;
      return EvaluateAlong(r, kExpanded, kExpansion);
    case kExpanded:
      // F(h) holds the reflected point's value.
      if (r.values[index] <= y) {
        SetVertexAlong(r, index, kReflection);
        if (ErrCode e = r.Trace("Reflecting vertex ", index)) return e;
      } else {
        SetVertexAlong(r, index, kExpansion);
        r.values[index] = y;
        if (ErrCode e = r.Trace("Expanding vertex ", index)) return e;
      }
      return StoppingTest(r);
    case kContracted: {
      if (y < r.values[index]) {
        // A successful contraction is no iteration of its own.
        SetVertexAlong(r, index, kContraction);
        r.values[index] = y;
        if (ErrCode e = r.Trace("Contracting vertex ", index)) return e;
        return StartIteration(r);
      }
      const int32_t kept = ExtremeVertex(r, false);
      for (int32_t j = 0; j <= r.n; j++)
        for (int32_t i = 0; j != kept && i < r.n; i++)
          r.At(i, j) = 0.5 * (r.At(i, j) + r.At(i, kept));
      s[kKept] = kept;
      if (ErrCode e = r.Trace("Shrinking around vertex ", kept)) return e;
      return EvaluateVertex(r, kShrunkVertex, kept == 0 ? 1 : 0);
    }
    case kShrunkVertex: {
      r.values[index] = y;
      int32_t next = index + 1;
      if (next == TruncateToInt(s[kKept])) next++;
      if (next > r.n) return StoppingTest(r);
      return EvaluateVertex(r, kShrunkVertex, next);
    }
    default:
      return kErrIllegal;
  }
}

}  // namespace

// [x, fval, exitflag] = fminsearch(fun, x0, options, p1, ..., pk); entered
// again with a negative nargin after each evaluation of fun.
ErrCode FminsearchNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return EnterCycle(ctx, nargin, nargout, kLayout.working, &Start, &Resume,
                    reinterpret_cast<const void*>(&FminsearchNative));
}

}  // namespace vke
