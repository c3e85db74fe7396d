// The step, impulse and initial-state responses: the time window chosen
// from the range option, the visible window or the horizon of the poles;
// discrete systems run as difference equations over their samples (drawn as
// stairs, lines or markers), continuous ones discretised exactly for a step
// on 201 points of the window and run the same way.
#include <algorithm>
#include <cmath>

#include "control/conversion_kernels.hpp"
#include "control/frequency_response.hpp"
#include "graphics/response_curves.hpp"
#include "graphics/response_options.hpp"
#include "graphics/scale.hpp"
#include "graphics/style.hpp"

namespace vke {

namespace {

constexpr double kMostSamples = 1e6;       // of a discrete response
constexpr int32_t kContinuousSteps = 200;  // of a continuous window
constexpr double kStepFraction = 0.005;    // of the window
// A denominator's constant term below this is an integrator's zero.
constexpr double kIntegratorTerm = 1e-8;

enum class DiscreteForm { kStairs, kLines, kMarkers };

DiscreteForm FormOf(const PlotStyle& style) {
  if ((style.flags & 0xf800) == kStyleStairs) return DiscreteForm::kStairs;
  return (style.flags & kStyleKindMask) >= kKindNone ? DiscreteForm::kMarkers
                                                     : DiscreteForm::kLines;
}

// The curves of a call laid out in the free area: q curves of n points,
// {header, n, t[n], y[n]} each, and the workspace behind them.
struct Curves {
  double* at;
  int32_t q, n;
  uint64_t Size() const { return uint64_t(q) * (kCommandHeaderDoubles + 1 + 2 * uint64_t(n)); }
  double* T(int32_t j) const { return at + j * (Size() / q) + kCommandHeaderDoubles + 1; }
  double* Y(int32_t j) const { return T(j) + n; }
  double* Work() const { return at + Size(); }
};

// Draws the curves (header, limits, count) or pushes [y, t].
ErrCode FinishCurves(EngineContext* ctx, const ResponseCurveCall& c, const Curves& k) {
  if (c.nargout >= 1) {
    if (c.nargout >= 2) {
      if (ErrCode e = PushColumns(ctx, k.n, 1, k.T(0), 0)) return e;
    }
    return PushColumns(ctx, k.n, k.q, k.Y(0), k.Size() / k.q);
  }
  for (int32_t j = 0; j < k.q; j++) {
    k.T(j)[-1] = k.n;
    if (j > 0) std::copy(k.T(0), k.T(0) + k.n, k.T(j));
    if (c.target->subplot != nullptr)
      UpdateAutoLimits(c.target->subplot, k.T(j), k.Y(j), nullptr, k.n);
    CommitCurveCommand(*c.target, 1, c.styles[j], c.id, c.series, 2 * k.n + 1);
  }
  return kOk;
}

// The samples y(0..count-1) of b/a (both of degree d, b padded in front)
// for a unit step or a unit impulse, by the difference equation.
void TransferSamples(const double* b, const double* a, int32_t d, bool impulse, int64_t count,
                     double* y) {
  double stepSum = 0;
  for (int64_t k = 0; k < count; k++) {
    double v;
    if (impulse) {
      v = k <= d ? b[k] : 0;
    } else {
      if (k <= d) stepSum += b[k];
      v = stepSum;
    }
    for (int64_t j = 1; j <= std::min<int64_t>(k, d); j++) v -= a[j] * y[k - j];
    y[k] = v / a[0];
  }
}

// One sample of every output of a state-space system run as x' = A x + B u:
// y = C x + D u, then x advanced (work: n doubles).
class StateRun {
 public:
  StateRun(const double* a, const double* b, const double* c, const double* d, int32_t n, int32_t p,
           double* x, double* work)
      : a_(a), b_(b), c_(c), d_(d), n_(n), p_(p), x_(x), next_(work) {}
  // y[j * stride] for output j.
  void Step(double u, double* y, int64_t stride) {
    for (int32_t j = 0; j < p_; j++) {
      double v = d_ != nullptr ? d_[j] * u : 0;
      for (int32_t i = 0; i < n_; i++) v += c_[int64_t{j} * n_ + i] * x_[i];
      if (y != nullptr) y[j * stride] = v;
    }
    for (int32_t i = 0; i < n_; i++) {
      double v = b_ != nullptr ? b_[i] * u : 0;
      for (int32_t l = 0; l < n_; l++) v += a_[int64_t{i} * n_ + l] * x_[l];
      next_[i] = v;
    }
    std::copy(next_, next_ + n_, x_);
  }

 private:
  const double *a_, *b_, *c_, *d_;
  int32_t n_, p_;
  double *x_, *next_;
};

ErrCode DiscreteResponse(EngineContext* ctx, const ResponseCurveCall& c, bool impulse, double t1,
                         double t2, const CurveArea& area) {
  const LtiSystemRecord& s = *c.system;
  const bool ss = s.form == LtiForm::kStateSpace;
  const double ts = c.ts;
  const double kd = std::ceil(t2 / ts);
  if (!(kd <= kMostSamples)) return kErrObjTooLarge;
  // A window wholly before time 0 has no samples, only leading zeros.
  const int64_t samples = kd < 0 ? 0 : int64_t(kd) + 1;
  const DiscreteForm form = FormOf(c.styles[0]);
  int64_t lead = 0, points = 0, k0 = 0;
  switch (form) {
    case DiscreteForm::kStairs:
      lead = t1 <= 0 ? 2 : 0;
      points = lead + (samples > 0 ? 2 * samples - 1 : 0);
      break;
    case DiscreteForm::kLines:
      lead = (t1 <= 0 ? 1 : 0) + (t1 < -ts ? 1 : 0);
      points = lead + samples;
      break;
    case DiscreteForm::kMarkers:
      k0 = t1 <= 0 ? int64_t(std::max(std::floor(t1 / ts), -kMostSamples)) : 0;
      points = std::max<int64_t>(0, int64_t(std::max(kd, double(k0) - 1)) - k0 + 1);
      break;
  }
  const int32_t q = ss ? s.outputs : 1, n = ss ? s.states : 0;
  const Curves k{area.at, q, static_cast<int32_t>(points)};
  const uint64_t need =
      k.Size() + uint64_t(samples) * q + 2 * uint64_t(n) + uint64_t(ss ? 0 : s.denDegree) + 2;
  if (area.doubles <= need) return kErrPlotOverflow;
  double* y = k.Work();  // samples, one run per output
  if (!ss) {
    // The numerator padded in front to the denominator's degree.
    const int32_t d = s.denDegree;
    double* b = y + samples;
    std::fill(b, b + d + 1, 0.0);
    std::copy(s.num, s.num + s.numDegree + 1, b + (d - s.numDegree));
    TransferSamples(b, s.den, d, impulse, samples, y);
  } else {
    double* x = y + samples * q;
    const bool initial = s.d == nullptr;
    std::fill(x, x + n, 0.0);
    if (initial) std::copy(s.b, s.b + n, x);
    StateRun run(s.a, initial ? nullptr : s.b, s.c, initial ? nullptr : s.d, n, q, x, x + n);
    for (int64_t i = 0; i < samples; i++) {
      run.Step(initial ? 0 : impulse ? (i == 0 ? 1 : 0) : 1, y + i, samples);
    }
  }
  for (int32_t j = 0; j < q; j++) {
    double *t = k.T(j), *v = k.Y(j);
    const double* yj = y + j * samples;
    int64_t at = 0;
    const auto put = [&](double time, double value) {
      t[at] = time;
      v[at++] = value;
    };
    switch (form) {
      case DiscreteForm::kStairs:
        if (lead > 0) {
          put(t1, 0);
          put(0, 0);
        }
        for (int64_t i = 0; i < samples; i++) {
          if (i > 0) put(i * ts, yj[i - 1]);
          put(i * ts, yj[i]);
        }
        break;
      case DiscreteForm::kLines:
        if (t1 <= 0) put(t1, 0);
        if (t1 < -ts) put(-ts, 0);
        for (int64_t i = 0; i < samples; i++) put(i * ts, yj[i]);
        break;
      case DiscreteForm::kMarkers:
        for (int64_t i = k0; i < k0 + points; i++) put(i * ts, i < 0 ? 0 : yj[i]);
        break;
    }
  }
  return FinishCurves(ctx, c, k);
}

ErrCode ContinuousResponse(EngineContext* ctx, const ResponseCurveCall& c, bool impulse,
                           double delay, double t1, double t2, const CurveArea& area) {
  const LtiSystemRecord& s = *c.system;
  const bool ss = s.form == LtiForm::kStateSpace;
  const int32_t q = ss ? s.outputs : 1, n = ss ? s.states : 0;
  t1 -= delay;
  t2 -= delay;
  double h = (t2 - t1) * kStepFraction;
  if (!(h > 0) || !std::isfinite(h)) {
    const Curves empty{area.at, q, 0};
    if (area.doubles <= empty.Size()) return kErrPlotOverflow;
    return FinishCurves(ctx, c, empty);
  }
  // The window's first grid index, in double until it is known to fit the
  // room the samples up to it take.
  double k0d = std::trunc(t1 / h);
  if (k0d <= 0) {
    k0d = 0;
  } else {
    h = t1 / k0d;
  }
  const double kendD = k0d + kContinuousSteps;
  if (!(kendD < double(area.doubles))) return kErrPlotOverflow;
  const int64_t k0 = int64_t(k0d), kend = int64_t(kendD);
  const bool lead = t1 <= 0;
  const Curves k{area.at, q, kContinuousSteps + 1 + (lead ? 2 : 0)};
  double* work = k.Work();
  if (!ss) {
    // The impulse response is the step response of s G: the integrator of
    // the denominator dropped, or the numerator times s.
    int32_t d = s.denDegree, m = s.numDegree;
    if (impulse) {
      if (d > 0 && std::fabs(s.den[d]) < kIntegratorTerm) {
        d--;
      } else {
        m++;
      }
    }
    const uint64_t need = k.Size() + uint64_t(kend + 1) + 3 * uint64_t(d + 1) + uint64_t(m + 1) +
                          uint64_t(DiscretizeTfByExpmWork(d)) + 1;
    if (area.doubles <= need) return kErrPlotOverflow;
    double* y = work;
    double* numd = y + kend + 1;
    double* dend = numd + d + 1;
    double* num = dend + d + 1;  // s.num with a trailing 0 for s G
    double* den = num + m + 1;   // s.den without its integrator
    std::fill(num, num + m + 1, 0.0);
    std::copy(s.num, s.num + s.numDegree + 1, num);
    std::copy(s.den, s.den + d + 1, den);
    std::fill(numd, numd + d + 1, 0.0);
    // A numerator of lower degree comes back one shorter: padded in front.
    DiscretizeTfByExpm(num, m, den, d, h, numd + (m == d ? 0 : 1), dend, den + d + 1);
    TransferSamples(numd, dend, d, false, kend + 1, y);
    std::copy(y + k0, y + kend + 1, k.Y(0) + (lead ? 2 : 0));
  } else {
    const int64_t nn = int64_t{n} * n;
    const uint64_t need = k.Size() + nn + 3 * uint64_t(n) + 2 * uint64_t(q) * (n + 1) +
                          uint64_t(ZohStateSpaceWork(n, 1)) + 1;
    if (area.doubles <= need) return kErrPlotOverflow;
    double* ad = work;
    double* bd = ad + nn;
    double* cp = bd + n;
    double* dp = cp + int64_t{q} * n;
    double* x = dp + q;
    double* next = x + n;
    double* zohWork = next + n;
    const bool initial = s.d == nullptr;
    ZohStateSpace(s.a, s.b, n, 1, h, ad, bd, zohWork);
    if (impulse || initial) {
      // C A and C B: the derivative of the step response.
      for (int32_t j = 0; j < q; j++) {
        double cb = 0;
        for (int32_t i = 0; i < n; i++) {
          double ca = 0;
          for (int32_t l = 0; l < n; l++) ca += s.c[int64_t{j} * n + l] * s.a[int64_t{l} * n + i];
          cp[int64_t{j} * n + i] = ca;
          cb += s.c[int64_t{j} * n + i] * s.b[i];
        }
        dp[j] = cb;
      }
    } else {
      std::copy(s.c, s.c + int64_t{q} * n, cp);
      for (int32_t j = 0; j < q; j++) dp[j] = s.d != nullptr ? s.d[j] : 0;
    }
    std::fill(x, x + n, 0.0);
    StateRun run(ad, bd, cp, dp, n, q, x, next);
    const int64_t stride = k.Size() / q;
    for (int64_t i = 0; i <= kend; i++) {
      run.Step(1, i >= k0 ? k.Y(0) + (lead ? 2 : 0) + (i - k0) : nullptr, stride);
    }
  }
  double* t = k.T(0);
  int32_t at = 0;
  if (lead) {
    for (int32_t j = 0; j < q; j++) k.Y(j)[0] = k.Y(j)[1] = 0;
    t[at++] = t1 + delay;
    t[at++] = delay;
  }
  for (int64_t i = k0; i <= kend; i++) t[at++] = double(i) * h + delay;
  return FinishCurves(ctx, c, k);
}

ErrCode ComputeTimeResponse(EngineContext* ctx, const ResponseCurveCall& c, bool impulse) {
  double delay = 0, range[2];
  if (ErrCode e =
          ParseResponseOptions(ctx, c.optionsDepth, c.discrete, &delay, nullptr, nullptr, range)) {
    return e;
  }
  const LtiSystemRecord& s = *c.system;
  const bool ss = s.form == LtiForm::kStateSpace;
  const CurveArea area = FreeCurveArea(*c.target);
  const SubplotRecord* sp = c.target->subplot;
  double t1 = 0, t2 = 0;
  if (RangeIsSet(range)) {
    t1 = range[0];
    t2 = range[1];
  } else if (AxisFollowsViewport(sp, kAxisX)) {
    GetViewportXRange(*sp, &t1, &t2);
  } else {
    const uint64_t degree = ss ? s.states : s.denDegree;
    const uint64_t need = ss ? (degree + 3) * degree : 3 * degree + 1;
    if (area.doubles <= need) return kErrPlotOverflow;
    const double ts = c.discrete ? c.ts : 0;
    if (ss) {
      TimeHorizonSsDiscrete(s.a, s.states, ts, area.at, &t2);
    } else {
      TimeHorizonTfDiscrete(s.den, s.denDegree, ts, area.at, &t2);
    }
  }
  return c.discrete ? DiscreteResponse(ctx, c, impulse, t1, t2, area)
                    : ContinuousResponse(ctx, c, impulse, delay, t1, t2, area);
}

}  // namespace

ErrCode StepResponseCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return ComputeTimeResponse(ctx, call, false);
}

ErrCode ImpulseResponseCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return ComputeTimeResponse(ctx, call, true);
}

}  // namespace vke
