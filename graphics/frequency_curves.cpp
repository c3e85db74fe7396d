// The Bode magnitude, Bode phase and singular-value curves: the frequencies
// chosen for the visible window (or a range option, a given vector, or up
// to the Nyquist frequency of a discrete system), the system evaluated at
// each, one polyline per output or input, or the values as outputs.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "control/frequency_response.hpp"
#include "graphics/response_curves.hpp"
#include "graphics/response_options.hpp"
#include "graphics/scale.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

enum class FrequencyKind { kMagnitude, kPhase, kSingular };

constexpr int32_t kDefaultPoints = 200;
constexpr double kPi = std::numbers::pi;
// Sampled above this many decades below the upper limit on a log axis
// whose lower limit is not positive.
constexpr double kLogSpanFloor = 1e-4;

// A frequency argument whose sine and cosine no longer tell it apart from
// 2 pi - w (very large, infinite or NaN) is evaluated at 0 instead.
double ResolvableArgument(double w) {
  const long double v = w, twoPi = 2 * std::numbers::pi_v<long double>;
  const long double miss =
      std::fabs(std::sin(v) + std::sin(twoPi - v)) + std::fabs(std::cos(v) - std::cos(twoPi - v));
  return miss > 1e-7L ? 0.0 : w;
}

struct Grid {
  bool log = false;  // geometric spacing
  bool tested = false;
  double f1 = 0, f2 = 0;
};

// The frequency limits of a call without a vector; 10001 when the range
// routine's workspace does not fit.
ErrCode ChooseLimits(const ResponseCurveCall& c, const double* range, const CurveArea& area,
                     Grid* g) {
  const SubplotRecord* sp = c.target->subplot;
  const LtiSystemRecord& s = *c.system;
  g->log = sp != nullptr && IsLogX(*sp);
  if (RangeIsSet(range)) {
    g->f1 = range[0];
    g->f2 = range[1];
  } else if (AxisFollowsViewport(sp, kAxisX)) {
    GetViewportXRange(*sp, &g->f1, &g->f2);
    if (g->f1 < 0 && 0 < g->f2 && -10 * g->f1 < g->f2) g->f1 = 0;
  } else if (c.discrete) {
    g->f1 = g->log ? kPi / (1000 * c.ts) : 0;
    g->f2 = kPi / c.ts;
  } else if (s.form == LtiForm::kTransferFunction) {
    if (area.doubles <= 3 * uint64_t(s.denDegree) + 1) return kErrPlotOverflow;
    FrequencyRangeTf(s.den, s.denDegree, g->log, area.at, &g->f1, &g->f2);
  } else {
    const uint64_t n = s.states;
    if (area.doubles <= (n + 3) * n) return kErrPlotOverflow;
    FrequencyRangeSs(s.a, s.states, g->log, area.at, &g->f1, &g->f2);
  }
  if (g->log && g->f1 <= 0) g->f1 = g->f2 * kLogSpanFloor;
  g->tested = !g->log;
  return kOk;
}

void FillGrid(const Grid& g, int32_t n, double* x) {
  if (n <= 0) return;
  if (g.log) {
    const double q = std::pow(g.f2 / g.f1, 1.0 / (n - 1));
    x[0] = g.f1;
    for (int32_t i = 1; i < n - 1; i++) x[i] = x[i - 1] * q;
  } else {
    const double d = (g.f2 - g.f1) / (n - 1);
    x[0] = g.f1;
    for (int32_t i = 1; i < n - 1; i++) x[i] = x[i - 1] + d;
  }
  x[n - 1] = g.f2;
}

// The state-space system copied into the workspace and balanced there
// (A' = S^-1 A S, B' = S^-1 B, C' = C S): the arguments may be a variable's
// own storage.
struct BalancedSystem {
  double *a, *b, *c;
};
BalancedSystem BalanceCopy(const LtiSystemRecord& s, double* work) {
  const int64_t n = s.states, m = s.inputs, p = s.outputs;
  BalancedSystem out{work, work + n * n, work + n * n + n * m};
  double* scale = out.c + p * n;
  std::copy(s.a, s.a + n * n, out.a);
  std::copy(s.b, s.b + n * m, out.b);
  std::copy(s.c, s.c + p * n, out.c);
  if (n == 0) return out;
  BalanceMatrix(out.a, nullptr, s.states, scale);
  for (int64_t i = 0; i < n; i++) {
    for (int64_t j = 0; j < m; j++) out.b[i * m + j] /= scale[i];
    for (int64_t k = 0; k < p; k++) out.c[k * n + i] *= scale[i];
  }
  return out;
}
int64_t BalanceCopyWork(const LtiSystemRecord& s) {
  const int64_t n = s.states;
  return n * n + n * s.inputs + int64_t{s.outputs} * n + n;
}

ErrCode ComputeFrequencyResponse(EngineContext* ctx, const ResponseCurveCall& c,
                                 FrequencyKind kind) {
  double delay = 0, range[2];
  if (ErrCode e =
          ParseResponseOptions(ctx, c.optionsDepth, c.discrete, &delay, nullptr, nullptr, range)) {
    return e;
  }
  const LtiSystemRecord& s = *c.system;
  const bool ss = s.form == LtiForm::kStateSpace;
  const CurveArea area = FreeCurveArea(*c.target);
  Grid grid;
  if (c.vector == nullptr) {
    if (ErrCode e = ChooseLimits(c, range, area, &grid)) return e;
  } else {
    grid.tested = ss;
  }
  const int32_t n = c.vector != nullptr ? c.vectorCount : kDefaultPoints;
  const int32_t q = !ss ? 1 : kind == FrequencyKind::kSingular ? s.inputs : s.outputs;
  const uint64_t perCurve = 2 * uint64_t(n) + 1 + kCommandHeaderDoubles;
  const uint64_t curves = perCurve * q;
  // Per point: the response of every output, or the singular values.
  uint64_t work = 0;
  if (ss) {
    const int64_t eval = kind == FrequencyKind::kSingular
                             ? s.inputs + SsSingularValuesWork(s.states, s.inputs, s.outputs)
                             : 2 * int64_t{s.outputs} + SsResponseWork(s.states, s.outputs);
    work = BalanceCopyWork(s) + eval;
  }
  if (area.doubles <= curves + work) return kErrPlotOverflow;

  double* x = area.at + kCommandHeaderDoubles + 1;
  if (c.vector != nullptr) {
    std::copy(c.vector, c.vector + n, x);
  } else {
    FillGrid(grid, n, x);
  }
  const auto y = [&](int32_t j) { return area.at + j * perCurve + kCommandHeaderDoubles + 1 + n; };
  double* scratch = area.at + curves;
  BalancedSystem b{};
  if (ss) b = BalanceCopy(s, scratch);
  double* eval = scratch + (ss ? BalanceCopyWork(s) : 0);
  for (int32_t i = 0; i < n; i++) {
    const double w = grid.tested ? ResolvableArgument(c.discrete ? c.ts * x[i] : x[i])
                                 : (c.discrete ? c.ts * x[i] : x[i]);
    const double zr = c.discrete ? std::cos(w) : 0, zi = c.discrete ? std::sin(w) : w;
    if (!ss) {
      double re, im;
      EvalRationalAtComplex(s.num, s.numDegree, s.den, s.denDegree, zr, zi, &re, &im);
      eval[0] = re;
      eval[1] = im;
    } else if (kind == FrequencyKind::kSingular) {
      double* sv = eval;
      SsSingularValues(b.a, b.c, b.b, s.d, s.states, s.inputs, s.outputs, zr, zi, sv,
                       eval + s.inputs);
      // Beyond the rank of a wide G the values of the square-padded matrix.
      for (int32_t j = std::min(s.inputs, s.outputs); j < s.inputs; j++) sv[j] = 0;
    } else {
      SsResponseSingleInput(b.a, b.b, b.c, s.d, s.states, s.outputs, zr, zi, eval, eval + s.outputs,
                            eval + 2 * s.outputs);
    }
    for (int32_t j = 0; j < q; j++) {
      double v;
      if (kind == FrequencyKind::kSingular) {
        v = eval[j];
      } else {
        const double re = ss ? eval[j] : eval[0], im = ss ? eval[s.outputs + j] : eval[1];
        if (kind == FrequencyKind::kMagnitude) {
          v = std::sqrt(re * re + im * im);
        } else {
          double phi = std::atan2(im, re);
          if (!c.discrete) phi -= w * delay;
          // The last phase that is a number, or -pi/2 before the first.
          double reference = -kPi / 2;
          for (int32_t k = i - 1; k >= 0; k--) {
            if (!std::isnan(y(j)[k])) {
              reference = y(j)[k];
              break;
            }
          }
          v = UnwrapPhase(phi, reference);
        }
      }
      y(j)[i] = v;
    }
  }

  if (c.nargout >= 1) {
    if (c.nargout == 2) {
      if (ErrCode e = PushColumns(ctx, n, 1, x, 0)) return e;
    }
    return PushColumns(ctx, n, q, y(0), perCurve);
  }
  for (int32_t j = 0; j < q; j++) {
    double* data = area.at + j * perCurve + kCommandHeaderDoubles;
    data[0] = n;
    if (j > 0) std::copy(x, x + n, data + 1);
    if (c.target->subplot != nullptr)
      UpdateAutoLimits(c.target->subplot, data + 1, y(j), nullptr, n);
    CommitCurveCommand(*c.target, 1, c.styles[j], c.id, c.series, 2 * n + 1);
  }
  return kOk;
}

}  // namespace

ErrCode BodeMagnitudeCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return ComputeFrequencyResponse(ctx, call, FrequencyKind::kMagnitude);
}

ErrCode BodePhaseCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return ComputeFrequencyResponse(ctx, call, FrequencyKind::kPhase);
}

ErrCode SigmaCurve(EngineContext* ctx, const ResponseCurveCall& call) {
  return ComputeFrequencyResponse(ctx, call, FrequencyKind::kSingular);
}

}  // namespace vke
