// The Nyquist and Nichols curves of a transfer function: at the frequencies
// given, or traced over the visible window; drawn as one polyline that keeps
// its frequencies, or pushed as columns.
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "control/frequency_response.hpp"
#include "graphics/frequency_trace.hpp"
#include "graphics/response_curves.hpp"
#include "graphics/response_options.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kAutoTolerance = 0.05;
constexpr double kNyquistWindow = 50;
constexpr double kNicholsWindow = 1e18;
// Points per denominator degree a traced curve may take.
constexpr int64_t kNyquistPointsPerDegree = 400;
constexpr int64_t kNicholsPointsPerDegree = 100;
// The polyline of points with frequencies.
constexpr int32_t kCmdFrequencyPolyline = 2;

enum class PlaneKind { kNyquist, kNichols };

struct Options {
  double delay = 0;
  uint8_t negative = 0;
  double range[2] = {0, 0};
};

// G at the frequency v (rad/s; a discrete system at e^(j Ts v)), with the
// continuous delay factor e^(-j v delay).
std::complex<double> ResponseAt(const ResponseCurveCall& c, double v, double delay) {
  const LtiSystemRecord& s = *c.system;
  double re, im;
  if (c.discrete) {
    EvalRationalAtComplex(s.num, s.numDegree, s.den, s.denDegree, std::cos(c.ts * v),
                          std::sin(c.ts * v), &re, &im);
    return {re, im};
  }
  EvalRationalAtComplex(s.num, s.numDegree, s.den, s.denDegree, 0, v, &re, &im);
  const std::complex<double> g{re, im};
  return delay == 0 ? g : g * std::polar(1.0, -v * delay);
}

// The points at the given frequencies: {n, x[n], y[n], w[n] with keep}.
int64_t AtGivenFrequencies(const ResponseCurveCall& c, PlaneKind kind, double delay, bool keep,
                           double* out) {
  const int32_t n = c.vectorCount;
  out[0] = n;
  double *x = out + 1, *y = x + n, *w = y + n;
  for (int32_t i = 0; i < n; i++) {
    const double v = c.vector[i];
    const std::complex<double> g = ResponseAt(c, v, c.discrete ? 0 : delay);
    if (kind == PlaneKind::kNyquist) {
      x[i] = g.real();
      y[i] = g.imag();
    } else {
      y[i] = std::abs(g);
      x[i] = UnwrapPhase(std::atan2(g.imag(), g.real()), i > 0 ? x[i - 1] : -kPi / 2);
    }
    if (keep) w[i] = v;
  }
  return (keep ? 3 : 2) * int64_t{n} + 1;
}

// The window and tolerances of the trace from the subplot's axes.
void WindowOf(const SubplotRecord* sp, PlaneKind kind, TraceSpec* t) {
  const double edge = kind == PlaneKind::kNyquist ? kNyquistWindow : kNicholsWindow;
  t->xlo = t->ylo = -edge;
  t->xhi = t->yhi = edge;
  t->xTolerance = t->yTolerance = kAutoTolerance;
  if (AxisFollowsViewport(sp, kAxisX)) {
    GetViewportXRange(*sp, &t->xlo, &t->xhi);
    t->xTolerance = kind == PlaneKind::kNyquist
                        ? std::fabs(LimitMax(*sp, kAxisX) - LimitMin(*sp, kAxisX)) * 0.002
                        : 2 / std::fabs(sp->xFactor);
  }
  if (AxisFollowsViewport(sp, kAxisY)) {
    GetViewportYRange(*sp, &t->ylo, &t->yhi);
    if (kind == PlaneKind::kNichols) t->yTolerance = 2 / std::fabs(sp->yFactor);
  }
  t->logY = kind == PlaneKind::kNichols && sp != nullptr && IsLogY(*sp);
}

ErrCode TraceCurve(const ResponseCurveCall& c, PlaneKind kind, const Options& o, bool keep,
                   const CurveArea& area, int64_t* length) {
  const LtiSystemRecord& s = *c.system;
  const uint64_t free =
      area.doubles > kCommandHeaderDoubles ? area.doubles - kCommandHeaderDoubles : 0;
  if (kind == PlaneKind::kNyquist && free < 800 * uint64_t(s.denDegree) + 10) {
    return kErrPlotOverflow;
  }
  TraceSpec t{};
  t.den = s.den;
  t.denDegree = s.denDegree;
  t.num = s.num;
  t.numDegree = s.numDegree;
  t.keep = keep;
  t.negative = o.negative != 0;
  t.delay = c.discrete ? 0 : o.delay;
  t.budget = (kind == PlaneKind::kNyquist ? kNyquistPointsPerDegree : kNicholsPointsPerDegree) *
             s.denDegree;
  WindowOf(c.target->subplot, kind, &t);
  const bool set = RangeIsSet(o.range);
  double* out = area.at + kCommandHeaderDoubles;
  if (free == 0) return kErrPlotOverflow;
  if (c.discrete) {
    t.lo = set ? o.range[0] : 0;
    t.hi = set ? o.range[1] : kPi;
    *length = kind == PlaneKind::kNyquist ? TraceFrequencyCurve(t, out, int64_t(free))
                                          : TraceNicholsWorker(t, out, int64_t(free));
  } else {
    t.lo = set ? o.range[0] : 0;
    t.hi = set ? o.range[1] : 0;
    *length = kind == PlaneKind::kNyquist ? TraceNyquistCurveMapped(t, out, int64_t(free))
                                          : TraceNicholsCurveMapped(t, out, int64_t(free));
  }
  return kOk;
}

// A continuous denominator with a zero constant term, or a discrete one
// with a pole at z = 1.
bool HasIntegrator(const ResponseCurveCall& c) {
  const LtiSystemRecord& s = *c.system;
  if (!c.discrete) return s.den[s.denDegree] == 0;
  double sum = 0;
  for (int32_t k = 0; k <= s.denDegree; k++) sum += s.den[k];
  return std::fabs(sum) < 1e-9;
}

ErrCode PlaneCurve(EngineContext* ctx, const ResponseCurveCall& c, PlaneKind kind) {
  Options o;
  if (ErrCode e = ParseResponseOptions(ctx, c.optionsDepth, c.discrete, &o.delay, &o.negative,
                                       nullptr, o.range)) {
    return e;
  }
  const bool keep = c.nargout != 2;
  const CurveArea area = FreeCurveArea(*c.target);
  int64_t length = 0;
  if (c.vector != nullptr) {
    const uint64_t n = c.vectorCount;
    if (area.doubles <= kCommandHeaderDoubles + (keep ? 3 : 2) * n + 1) return kErrPlotOverflow;
    length = AtGivenFrequencies(c, kind, o.delay, keep, area.at + kCommandHeaderDoubles);
  } else if (ErrCode e = TraceCurve(c, kind, o, keep, area, &length)) {
    return e;
  }
  double* data = area.at + kCommandHeaderDoubles;
  const int32_t n = static_cast<int32_t>(data[0]);
  double *x = data + 1, *y = x + n, *w = y + n;
  if (c.nargout >= 1) {
    if (c.nargout != 2) {
      // Traced discrete frequencies are per sample: per second outside.
      if (c.vector == nullptr && c.discrete && c.ts != 1) {
        for (int32_t i = 0; i < n; i++) w[i] /= c.ts;
      }
      if (ErrCode e = PushColumns(ctx, n, 1, w, 0)) return e;
    }
    if (c.nargout >= 2) {
      // Nyquist: [re, im]; Nichols: [magnitude, phase].
      const double* second = kind == PlaneKind::kNyquist ? y : x;
      const double* first = kind == PlaneKind::kNyquist ? x : y;
      if (ErrCode e = PushColumns(ctx, n, 1, second, 0)) return e;
      if (ErrCode e = PushColumns(ctx, n, 1, first, 0)) return e;
    }
    return kOk;
  }
  SubplotRecord* sp = c.target->subplot;
  if (sp != nullptr) {
    if (kind == PlaneKind::kNyquist) {
      const double corners[2] = {-5, 5};
      UpdateAutoLimits(sp, corners, corners, nullptr, 2);
    } else if (HasIntegrator(c)) {
      double phaseLow, phaseHigh, magLow, magHigh;
      NumberRange(x, n, &phaseLow, &phaseHigh);
      NumberRange(y, n, &magLow, &magHigh);
      if (phaseLow <= phaseHigh) {
        const double px[2] = {phaseLow, phaseHigh}, py[2] = {magLow, 5.0};
        UpdateAutoLimits(sp, px, py, nullptr, 2);
      }
    } else {
      UpdateAutoLimits(sp, x, y, nullptr, n);
    }
  }
  CommitCurveCommand(*c.target, kCmdFrequencyPolyline, c.styles[0], c.id, c.series,
                     static_cast<int32_t>(length));
  return kOk;
}

}  // namespace

ErrCode NyquistCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return PlaneCurve(ctx, call, PlaneKind::kNyquist);
}

ErrCode NicholsCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return PlaneCurve(ctx, call, PlaneKind::kNichols);
}

}  // namespace vke
