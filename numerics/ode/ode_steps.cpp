// The steps of the ODE integrator: reading a run from the stack, calling
// fun for each stage through the call-and-resume cycle, the error of a
// step and the next step size, the dense output and the accumulator's
// growth by whole rows.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/errors/raise.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/values/values.hpp"
#include "numerics/call_cycle.hpp"
#include "numerics/ode/ode_run.hpp"

namespace vke {

namespace {

constexpr double kEps = 2.220446049250313e-16;

// The complex matrix at the depth when it has that shape.
bool ComplexMatrixAt(EngineContext* ctx, int32_t depth, int32_t rows, int32_t cols, double** re,
                     double** im) {
  int32_t m, k;
  return !GetNumericArg(ctx, depth, &m, &k, re, im) && *im && m == rows && k == cols;
}

// The method values of an event run: N, K, p and Refine as scalars, then c,
// b, e, the a matrix (row j holding a(2..N+1, j)) and P.
bool ReadMethodValues(EngineContext* ctx, int32_t depth, OdeMethod* m) {
  double head[4];
  for (int32_t i = 0; i < 4; i++)
    if (GetScalarArg(ctx, depth - i, &head[i])) return false;
  if (!(head[0] >= 1 && head[0] <= kMaxOdeNodes && head[1] >= 1 && head[1] <= kMaxOdeDegree))
    return false;
  m->nodes = static_cast<int32_t>(head[0]);
  m->degree = static_cast<int32_t>(head[1]);
  m->exponent = head[2];
  m->refine = head[3];
  const int32_t n = m->nodes;
  const struct {
    const double** data;
    int32_t rows, cols;
  } parts[] = {{&m->c, 1, n},
               {&m->b, 1, n + 1},
               {&m->e, 1, n + 2},
               {&m->a, n, n},
               {&m->p, n + 2, m->degree}};
  for (int32_t i = 0; i < 5; i++) {
    int32_t rows, cols;
    double *re, *im;
    if (GetNumericArg(ctx, depth - 4 - i, &rows, &cols, &re, &im) || im || rows != parts[i].rows ||
        cols != parts[i].cols)
      return false;
    *parts[i].data = re;
  }
  return true;
}

}  // namespace

bool ReadOdeRun(EngineContext* ctx, int32_t above, int32_t nargout, const double* table,
                OdeRun* r) {
  r->ctx = ctx;
  r->nargout = nargout;
  if (static_cast<uint32_t>(above + 2) * 3 > ctx->descTop) return false;
  r->s = StateRowAt(ctx, above + 1, kOdePlainStateSize);
  r->events = false;
  if (!r->s) {
    r->s = StateRowAt(ctx, above + 1, EventStateSize());
    r->events = true;
  }
  if (!r->s) return false;
  r->nargin = TruncateToInt(r->s[kOdeNargin]);
  const int32_t below = above + r->Working();
  if (r->nargin < 3 || static_cast<uint64_t>(below + r->nargin) * 3 > ctx->descTop) return false;
  if (r->events ? !ReadMethodValues(ctx, below + r->nargin - 1, &r->method)
                : !ReadOdeMethod(table, &r->method))
    return false;
  int32_t m, cols;
  double* unused;
  if (GetNumericArg(ctx, below - 1, &m, &cols, &unused, &unused)) return false;
  r->n = m;
  if (!ComplexMatrixAt(ctx, below - 1, r->n, 1, &r->yRe, &r->yIm) ||
      !ComplexMatrixAt(ctx, below - 2, r->n, 1, &r->newRe, &r->newIm) ||
      !ComplexMatrixAt(ctx, below - 3, r->n, r->method.Stages(), &r->kRe, &r->kIm))
    return false;
  if (GetNumericArg(ctx, above, &r->rows, &cols, &r->accRe, &r->accIm) || !r->accIm ||
      cols != r->n + 1)
    return false;
  return true;
}

ErrCode CallFunAt(OdeRun& r, double t, const double* w, bool fromNew) {
  EngineContext* ctx = r.ctx;
  // The slot: fun itself is the first argument.
  if (ErrCode e = PushEmptyMatrix(ctx)) return e;
  if (ErrCode e = PushRealScalar(ctx, t)) return e;
  int32_t pushed = 2;
  if (r.s[kOdePreArgs] > 0) {
    const int32_t options = r.ArgDepth(r.FunPosition() + 3, pushed);
    if (ErrCode e = GetOptionsArg(ctx, options, "PreArg", kOdesetTable)) return e;
    int32_t count = 0;
    if (ErrCode e = PushListItems(ctx, &count)) return e;
    pushed += count;
  }
  // The state, real unless the run is complex.
  double *re, *im = nullptr;
  if (ErrCode e = PushNewMatrix(ctx, r.n, 1, &re, r.IsComplex() ? &im : nullptr)) return e;
  pushed++;
  const double* baseRe = fromNew ? r.newRe : r.yRe;
  const double* baseIm = fromNew ? r.newIm : r.yIm;
  const int32_t stages = r.method.Stages();
  const double h = r.s[kOdeStep];
  for (int32_t i = 0; i < r.n; i++) {
    double sumRe = 0, sumIm = 0;
    for (int32_t st = 1; w && st <= stages; st++) {
      if (w[st - 1] == 0) continue;
      sumRe += w[st - 1] * r.K(i, st);
      sumIm += w[st - 1] * r.KIm(i, st);
    }
    re[i] = baseRe[i] + h * sumRe;
    if (im) im[i] = baseIm[i] + h * sumIm;
  }
  if (r.events)
    if (ErrCode e = PushPastArguments(r, &pushed)) return e;
  // The extra arguments, the last ones of the call.
  const int32_t extra = r.ExtraArgs();
  if (extra > 0)
    if (ErrCode e = DuplicateStackEntries(ctx, r.ArgDepth(r.nargin, pushed), extra)) return e;
  return CallFunctionValue(ctx, r.ArgDepth(r.FunPosition(), pushed + extra), pushed - 1 + extra, 1,
                           1);
}

ErrCode TakeDerivative(OdeRun& r, int32_t stage) {
  EngineContext* ctx = r.ctx;
  // In an event run each refusal is an error of its own.
  auto refuse = [&](ErrCode code, const char* id, const char* message) {
    return r.events ? RaiseErrorById(ctx, id, -1, message, -1) : code;
  };
  int32_t rows, cols;
  double *re, *im;
  if (GetNumericArg(ctx, 0, &rows, &cols, &re, &im))
    return refuse(kErrWrongType, "VKE:wrongType", "ODE state derivative is not numeric");
  if (cols != 1)
    return refuse(kErrBadSize, "VKE:badSize", "ODE state derivative is not a column vector");
  if (stage == 1 && r.s[kOdePhase] == 0) r.s[kOdeLength] = rows;
  if (rows != r.s[kOdeLength] || rows != r.n)
    return refuse(kErrBadSize, "VKE:incompSize",
                  "ODE state derivative has not always the same length");
  if (im) r.s[kOdeComplex] = 1;
  for (int32_t i = 0; i < r.n; i++) {
    r.K(i, stage) = re[i];
    r.KIm(i, stage) = im ? im[i] : 0;
  }
  r.s[kOdeEvaluations] += 1;
  // The value and its slot.
  return Drop(ctx, 2);
}

ErrCode AdvanceStage(OdeRun& r, int32_t phase, bool* complete) {
  *complete = false;
  const OdeMethod& m = r.method;
  const double t = r.s[kOdeTime], h = r.s[kOdeStep];
  double w[kMaxOdeNodes + 2] = {};
  if (phase < m.nodes) {
    // Stage phase + 2 from the stages before it.
    const int32_t next = phase + 1;
    for (int32_t j = 1; j <= next; j++) w[j - 1] = m.A(next + 1, j);
    r.s[kOdePhase] = next;
    return CallFunAt(r, t + m.C(next + 1) * h, w, false);
  }
  if (phase == m.nodes) {
    // The propagated solution; its derivative is the last stage.
    for (int32_t j = 1; j <= m.nodes + 1; j++) w[j - 1] = m.b[j - 1];
    for (int32_t i = 0; i < r.n; i++) {
      double sumRe = 0, sumIm = 0;
      for (int32_t j = 1; j <= m.nodes + 1; j++) {
        sumRe += w[j - 1] * r.K(i, j);
        sumIm += w[j - 1] * r.KIm(i, j);
      }
      r.newRe[i] = r.yRe[i] + h * sumRe;
      r.newIm[i] = r.yIm[i] + h * sumIm;
    }
    r.s[kOdePhase] = m.nodes + 1;
    return CallFunAt(r, t + h, nullptr, true);
  }
  *complete = true;
  return kOk;
}

ErrCode StartStep(OdeRun& r) {
  double w[kMaxOdeNodes + 2] = {};
  w[0] = r.method.A(2, 1);
  r.s[kOdePhase] = 1;
  return CallFunAt(r, r.s[kOdeTime] + r.method.C(2) * r.s[kOdeStep], w, false);
}

double StepError(const OdeRun& r) {
  const OdeMethod& m = r.method;
  const double h = r.s[kOdeStep], floor = r.s[kOdeTolRatio];
  double worst = 0, sumD = 0, sumY = 0;
  for (int32_t i = 0; i < r.n; i++) {
    double dRe = 0, dIm = 0;
    for (int32_t st = 1; st <= m.Stages(); st++) {
      dRe += m.e[st - 1] * r.K(i, st);
      dIm += m.e[st - 1] * r.KIm(i, st);
    }
    const double d = std::hypot(dRe, dIm), y = std::hypot(r.newRe[i], r.newIm[i]);
    if (r.s[kOdeNormControl] != 0) {
      sumD += d * d;
      sumY += y * y;
    } else {
      const double err = h * d / std::max(y, floor);
      // A NaN error stays NaN: the step is then refused.
      if (!(err <= worst)) worst = err;
    }
  }
  if (r.s[kOdeNormControl] != 0) return h * std::sqrt(sumD) / std::max(std::sqrt(sumY), floor);
  return worst;
}

void ChooseNextStep(OdeRun& r, double err) {
  double factor = err == 0 ? 1.6 : 0.8 * std::pow(r.s[kOdeRelTol] / err, r.method.exponent);
  // A NaN factor (an error that is not a number) shrinks the step.
  if (!(factor >= 0.5)) factor = 0.5;
  if (factor > 1.6) factor = 1.6;
  double h = r.s[kOdeStep] * factor;
  // The floor keeps t + h apart from t, at either sign of t.
  const double floor = (std::fabs(r.s[kOdeTime]) + 1) * 16 * kEps;
  if (h > r.s[kOdeMaxStep])
    h = r.s[kOdeMaxStep];
  else if (h < floor)
    h = floor;
  r.s[kOdeStep] = h;
}

void DenseState(const OdeRun& r, double theta, double* re, double* im) {
  const OdeMethod& m = r.method;
  double w[kMaxOdeNodes + 2];
  for (int32_t st = 1; st <= m.Stages(); st++) {
    double sum = 0, power = 1;
    for (int32_t j = 1; j <= m.degree; j++) {
      power *= theta;
      sum += m.P(st, j) * power;
    }
    w[st - 1] = sum;
  }
  const double h = r.s[kOdeStep];
  for (int32_t i = 0; i < r.n; i++) {
    double sumRe = 0, sumIm = 0;
    for (int32_t st = 1; st <= m.Stages(); st++) {
      sumRe += w[st - 1] * r.K(i, st);
      sumIm += w[st - 1] * r.KIm(i, st);
    }
    re[i] = r.yRe[i] + h * sumRe;
    im[i] = r.yIm[i] + h * sumIm;
  }
}

namespace {

// Grows the accumulator by `count` rows: taken off the stack and pushed
// again at the same place, its real block stays and only the imaginary
// block moves up. Gives the first new row's two halves.
ErrCode GrowAccumulator(OdeRun& r, int32_t count, double** rowRe, double** rowIm) {
  EngineContext* ctx = r.ctx;
  const int32_t cols = r.n + 1;
  const int64_t before = int64_t{r.rows} * cols;
  const int64_t after = (int64_t{r.rows} + count) * cols;
  if (after > INT32_MAX / 2) return kErrObjTooLarge;
  // The room is checked before the accumulator leaves the stack: the check
  // is the request, and the push behind it takes the room it found.
  uint32_t freeBytes;
  void* unused;
  GetDataStackFree(ctx, &freeBytes, &unused);
  if (2 * (after - before) * 8 >= int64_t{freeBytes} || RoomRefused(StackRoom(ctx)))
    return kErrDataOverflow;
  const RoomRequestsPaused checked;
  const double* oldRe = r.accRe;
  if (ErrCode e = Drop(ctx)) return e;
  double *re, *im;
  if (ErrCode e = PushNewMatrix(ctx, r.rows + count, cols, &re, &im)) return e;
  if (re != oldRe) return kErrIllegal;
  std::memmove(im, re + before, static_cast<size_t>(before) * sizeof(double));
  r.rows += count;
  r.accRe = re;
  r.accIm = im;
  *rowRe = re + before;
  *rowIm = im + before;
  return kOk;
}

}  // namespace

ErrCode AppendStepRows(OdeRun& r, int32_t refine, double end) {
  int32_t count = 1;
  while (count < refine && double(count) / refine < end) count++;
  double *rowRe, *rowIm;
  if (ErrCode e = GrowAccumulator(r, count, &rowRe, &rowIm)) return e;
  const double t = r.s[kOdeTime], h = r.s[kOdeStep];
  const int32_t cols = r.n + 1;
  for (int32_t k = 1; k <= count; k++, rowRe += cols, rowIm += cols) {
    rowIm[0] = 0;
    if (k == count && end == 1) {
      rowRe[0] = t + h;
      std::memcpy(rowRe + 1, r.newRe, sizeof(double) * r.n);
      std::memcpy(rowIm + 1, r.newIm, sizeof(double) * r.n);
    } else {
      const double theta = k == count ? end : double(k) / refine;
      rowRe[0] = t + theta * h;
      DenseState(r, theta, rowRe + 1, rowIm + 1);
    }
  }
  return kOk;
}

ErrCode AppendRow(OdeRun& r, double t, const double* re, const double* im) {
  double *rowRe, *rowIm;
  if (ErrCode e = GrowAccumulator(r, 1, &rowRe, &rowIm)) return e;
  rowRe[0] = t;
  rowIm[0] = 0;
  std::memcpy(rowRe + 1, re, sizeof(double) * r.n);
  std::memcpy(rowIm + 1, im, sizeof(double) * r.n);
  return kOk;
}

void TakeStep(OdeRun& r) {
  r.s[kOdeTime] += r.s[kOdeStep];
  std::memcpy(r.yRe, r.newRe, sizeof(double) * r.n);
  std::memcpy(r.yIm, r.newIm, sizeof(double) * r.n);
  const int32_t last = r.method.Stages();
  for (int32_t i = 0; i < r.n; i++) {
    r.K(i, 1) = r.K(i, last);
    r.KIm(i, 1) = r.KIm(i, last);
  }
}

bool RunEnds(OdeRun& r) {
  const double t = r.s[kOdeTime], tf = r.s[kOdeEndTime];
  if (r.s[kOdeStep] < r.s[kOdeMinStep] || t >= tf - 10 * kEps * std::fabs(tf)) return true;
  if (t + r.s[kOdeStep] > tf) r.s[kOdeStep] = tf - t;
  return false;
}

}  // namespace vke
