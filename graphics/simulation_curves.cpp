// The response to an arbitrary input (lsim, dlsim): the system (a transfer
// function in its companion form) run as a difference equation on a uniform
// grid, from its initial state at time 0; a continuous system discretised
// with a first-order hold of the input resampled onto the grid, a discrete
// one on its own samples. The grid has 201 points over the window; a
// transfer function's input of 200 samples or more keeps its own interval,
// a state-space system's grid is refined to its input's shortest interval.
// The delay shifts the curve; results may be taken at the given times only.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "control/conversion_kernels.hpp"
#include "graphics/response_curves.hpp"
#include "graphics/response_options.hpp"
#include "graphics/scale.hpp"
#include "graphics/style.hpp"

namespace vke {

namespace {

constexpr double kStepFraction = 0.005;  // of the window: 201 points
constexpr double kFinestSteps = 999;     // a window of at most 1000 points
constexpr int64_t kFinestPoints = 1000;
// A transfer function's input of this many samples sets the grid itself.
constexpr int32_t kGivenGridSamples = 200;

// The input of column `column` (of m) at time tau: 0 before the first and
// after the last sample, linear in between; zero-length intervals pass on
// to the later sample. `at` carries the interval found for the previous
// (smaller) tau.
double InputAt(const double* t, const double* u, int32_t count, int32_t m, int32_t column,
               double tau, int32_t* at) {
  if (count == 0 || tau < t[0] || tau > t[count - 1]) return 0;
  int32_t j = *at;
  while (j + 1 < count - 1 && !(tau <= t[j + 1] && t[j + 1] > t[j])) j++;
  *at = j;
  if (count == 1 || t[j + 1] == t[j]) return u[int64_t{count - 1} * m + column];
  const double a = u[int64_t{j} * m + column], b = u[int64_t{j + 1} * m + column];
  return ((tau - t[j]) * b + (t[j + 1] - tau) * a) / (t[j + 1] - t[j]);
}

struct Layout {
  double* at;
  int32_t q;
  int64_t n;  // points of a curve
  uint64_t PerCurve() const { return kCommandHeaderDoubles + 1 + 2 * uint64_t(n); }
  double* T(int32_t j) const { return at + j * PerCurve() + kCommandHeaderDoubles + 1; }
  double* Y(int32_t j) const { return T(j) + n; }
  double* End() const { return at + q * PerCurve(); }
};

}  // namespace

ErrCode LsimCurve(EngineContext* ctx, const LsimCurveCall& c) {
  double delay = 0, range[2];
  uint8_t tOnly = 0;
  if (ErrCode e =
          ParseResponseOptions(ctx, c.optionsDepth, c.discrete, &delay, nullptr, &tOnly, range)) {
    return e;
  }
  if (c.discrete) delay = 0;
  const LtiSystemRecord& s = *c.system;
  const bool ss = s.form == LtiForm::kStateSpace;
  const int32_t n = ss ? s.states : s.denDegree, m = ss ? s.inputs : 1, p = ss ? s.outputs : 1;
  const int32_t samples = c.samples;
  const CurveArea area = FreeCurveArea(*c.target);
  const SubplotRecord* sp = c.target->subplot;

  double t1, t2;
  if (RangeIsSet(range)) {
    t1 = range[0];
    t2 = range[1];
  } else if (AxisFollowsViewport(sp, kAxisX)) {
    GetViewportXRange(*sp, &t1, &t2);
  } else if (c.discrete) {
    t1 = 0;
    t2 = (samples - 1) * c.ts;
  } else {
    t1 = samples > 0 ? c.t[0] : 0;
    t2 = samples > 0 ? c.t[samples - 1] : 0;
  }
  if (c.x0 != nullptr) t1 = std::max(t1, 0.0);
  double h;
  if (c.discrete) {
    h = c.ts;
  } else if (!ss && samples >= kGivenGridSamples && c.t[samples - 1] > c.t[0]) {
    // A long input on its own grid; the mean interval, which is the grid's
    // step where the samples are equally spaced.
    h = (c.t[samples - 1] - c.t[0]) / (samples - 1);
  } else if (t2 <= t1) {
    h = 1;
  } else {
    h = (t2 - t1) * kStepFraction;
    // State space: finer where the input's own samples are, down to their
    // smallest interval, at most 1000 points over the window.
    double hmin = HUGE_VAL;
    for (int32_t i = 1; i < samples && ss; i++) {
      if (c.t[i] > c.t[i - 1]) hmin = std::min(hmin, c.t[i] - c.t[i - 1]);
    }
    if (hmin < h) h = (t2 - t1) / hmin + 1 >= kFinestPoints ? (t2 - t1) / kFinestSteps : hmin;
  }
  // The grid in the system's own time (the delay taken off): from t0 on,
  // samples k = round(tau / h) from time 0.
  const double t0 = std::floor((t1 - delay) / h) * h;
  const double pointsD = std::floor((std::max(t2, t1) - delay - t0) / h + 0.5) + 1;
  const double lastK = std::floor((std::max(t2, t1) - delay) / h + 0.5);
  const bool stairs = c.discrete && (c.styles[0].flags & 0xf800) == kStyleStairs;
  const double perPoint = stairs ? 2 : 1;
  // Everything in doubles before it is known to fit the room.
  const double need = p * (kCommandHeaderDoubles + 1 + 2 * perPoint * pointsD) +
                      (std::max(lastK, 0.0) + 1) * m + double(n) * n + double(n) * m +
                      double(p) * n + double(p) * m + 3.0 * n + double(n) * n + 2.0 * n + 1 +
                      double(p) * m + double(n) * m + double(DiscretizeSsByExpmWork(n, m, p)) +
                      (tOnly ? p * (kCommandHeaderDoubles + 1 + 2.0 * samples) : 0) + 16;
  if (!(pointsD >= 1) || !(need < double(area.doubles))) return kErrPlotOverflow;
  const int64_t points = int64_t(pointsD), kLast = int64_t(std::max(lastK, 0.0));
  const Layout out{area.at, p, stairs ? 2 * points : points};
  double* a = out.End();
  double* b = a + int64_t{n} * n;
  double* cm = b + int64_t{n} * m;
  double* d = cm + int64_t{p} * n;
  double* x = d + int64_t{p} * m;
  double* next = x + n;
  double* ramp = next + n;  // n x m
  double* uu = ramp + int64_t{n} * m;
  double* work = uu + (kLast + 1) * m;
  // The system as A, B, C, D (a transfer function in companion form).
  const double *sa = s.a, *sb = s.b, *sc = s.c, *sd = s.d;
  if (!ss) {
    double* ta = work;
    double* tb = ta + int64_t{n} * n;
    double* tc = tb + n;
    double* td = tc + n;
    TfToStateSpace(s.num, s.numDegree, s.den, n, ta, tb, tc, td);
    sa = ta;
    sb = tb;
    sc = tc;
    sd = td;
    work = td + 1;
  }
  if (c.discrete) {
    std::copy(sa, sa + int64_t{n} * n, a);
    std::copy(sb, sb + int64_t{n} * m, b);
    std::copy(sc, sc + int64_t{p} * n, cm);
    for (int64_t i = 0; i < int64_t{p} * m; i++) d[i] = sd != nullptr ? sd[i] : 0;
    for (int64_t k = 0; k <= kLast; k++) {
      for (int32_t i = 0; i < m; i++) uu[k * m + i] = k < samples ? c.u[k * m + i] : 0;
    }
  } else {
    double* zeroD = work;
    for (int64_t i = 0; i < int64_t{p} * m; i++) zeroD[i] = sd != nullptr ? sd[i] : 0;
    DiscretizeSsByExpm(sa, sb, sc, zeroD, n, m, p, h, a, b, cm, d, zeroD + int64_t{p} * m, ramp);
    for (int32_t i = 0; i < m; i++) {
      int32_t at = 0;
      for (int64_t k = 0; k <= kLast; k++) {
        uu[k * m + i] = InputAt(c.t, c.u, samples, m, i, double(k) * h, &at);
      }
    }
  }
  std::fill(x, x + n, 0.0);
  if (c.x0 != nullptr) std::copy(c.x0, c.x0 + n, x);
  if (!c.discrete) {
    // The held system's state is x - G u: starting it at x(0) itself would
    // add the first input's ramp response at time 0, half a step early.
    for (int32_t r = 0; r < n; r++) {
      for (int32_t i = 0; i < m; i++) x[r] -= ramp[int64_t{r} * m + i] * uu[i];
    }
  }
  // Advance x by sample k (y of output j at y[j * stride] unless null).
  const auto advance = [&](int64_t k, double* y, int64_t stride) {
    const double* uk = uu + k * m;
    for (int32_t j = 0; j < p && y != nullptr; j++) {
      double v = 0;
      for (int32_t i = 0; i < n; i++) v += cm[int64_t{j} * n + i] * x[i];
      for (int32_t i = 0; i < m; i++) v += d[int64_t{j} * m + i] * uk[i];
      y[j * stride] = v;
    }
    for (int32_t r = 0; r < n; r++) {
      double v = 0;
      for (int32_t i = 0; i < n; i++) v += a[int64_t{r} * n + i] * x[i];
      for (int32_t i = 0; i < m; i++) v += b[int64_t{r} * m + i] * uk[i];
      next[r] = v;
    }
    std::copy(next, next + n, x);
  };
  const int64_t kFirst = int64_t(std::floor(t0 / h + 0.5));
  for (int64_t k = 0; k < kFirst && k <= kLast; k++) advance(k, nullptr, 0);
  const int64_t stride = out.PerCurve();
  for (int64_t i = 0; i < points; i++) {
    const int64_t k = kFirst + i;
    const double tau = double(k) * h;
    double* y = out.Y(0) + (stairs ? 2 * i : i);
    if (k < 0) {
      // Before time 0: leading zeros.
      for (int32_t j = 0; j < p; j++) y[j * stride] = 0;
    } else {
      advance(std::min(k, kLast), y, stride);
    }
    double* t = out.T(0) + (stairs ? 2 * i : i);
    t[0] = tau + delay;
    if (stairs) {
      t[1] = tau + h + delay;
      for (int32_t j = 0; j < p; j++) y[j * stride + 1] = y[j * stride];
    }
  }
  for (int32_t j = 1; j < p; j++) std::copy(out.T(0), out.T(0) + out.n, out.T(j));

  Layout result = out;
  if (tOnly && !c.discrete && samples > 0) {
    // The values at the given times, laid out as curves of their own in the
    // workspace (the discretisation is done with it), then moved down: each
    // run moves to a lower address, so moving them in order keeps the rest.
    const Layout given{work, p, samples};
    for (int32_t j = 0; j < p; j++) {
      const double *st = out.T(j), *sy = out.Y(j);
      double *gt = given.T(j), *gy = given.Y(j);
      int64_t at = 0;
      for (int32_t i = 0; i < samples; i++) {
        const double tau = c.t[i];
        gt[i] = tau;
        if (out.n == 0 || tau < st[0]) {
          gy[i] = 0;
          continue;
        }
        while (at + 1 < out.n && st[at + 1] < tau) at++;
        if (at + 1 >= out.n || tau >= st[out.n - 1]) {
          gy[i] = sy[out.n - 1];
        } else if (st[at + 1] == st[at]) {
          gy[i] = sy[at + 1];
        } else {
          gy[i] =
              ((tau - st[at]) * sy[at + 1] + (st[at + 1] - tau) * sy[at]) / (st[at + 1] - st[at]);
        }
      }
    }
    result = Layout{area.at, p, samples};
    for (int32_t j = 0; j < p; j++) {
      std::memmove(result.T(j), given.T(j), sizeof(double) * samples);
      std::memmove(result.Y(j), given.Y(j), sizeof(double) * samples);
    }
  }

  if (c.nargout >= 1) {
    if (c.nargout >= 2) {
      if (ErrCode e = PushColumns(ctx, int32_t(result.n), 1, result.T(0), 0)) return e;
    }
    return PushColumns(ctx, int32_t(result.n), p, result.Y(0), result.PerCurve());
  }
  for (int32_t j = 0; j < p; j++) {
    result.T(j)[-1] = double(result.n);
    if (c.target->subplot != nullptr) {
      UpdateAutoLimits(c.target->subplot, result.T(j), result.Y(j), nullptr, int32_t(result.n));
    }
    CommitCurveCommand(*c.target, 1, c.styles[j], c.id, ss ? j + 1 : c.series,
                       int32_t(2 * result.n + 1));
  }
  return kOk;
}

}  // namespace vke
