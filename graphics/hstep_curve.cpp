// The step response of a discrete controller of period T in series with a
// continuous plant: the plant discretised exactly on a fine grid of S steps
// per controller period, the controller spread over that grid as a
// polynomial in z^S, and the product run as a difference equation.
#include <algorithm>
#include <cmath>

#include "control/conversion_kernels.hpp"
#include "control/frequency_response.hpp"
#include "graphics/response_curves.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

constexpr int32_t kFineSteps = 200;     // over the visible periods
constexpr int32_t kLeastPerPeriod = 6;  // fine steps per period at least
constexpr double kMostFineSteps = 100000;

// c = a * b (degrees da and db).
void Multiply(const double* a, int64_t da, const double* b, int64_t db, double* c) {
  std::fill(c, c + da + db + 1, 0.0);
  for (int64_t i = 0; i <= da; i++) {
    if (a[i] == 0) continue;
    for (int64_t j = 0; j <= db; j++) c[i + j] += a[i] * b[j];
  }
}

}  // namespace

ErrCode HstepCurve(EngineContext*, const HstepCurveCall& c) {
  PlotTarget& target = *c.target;
  const CurveArea area = FreeCurveArea(target);
  const SubplotRecord* sp = target.subplot;
  const double period = c.t;
  double t1 = 0, t2 = 0;
  if (AxisFollowsViewport(sp, kAxisX)) {
    GetViewportXRange(*sp, &t1, &t2);
  } else {
    const uint64_t most = 3 * uint64_t(std::max(c.den1Degree, c.den2Degree)) + 1;
    if (area.doubles <= most) return kErrPlotOverflow;
    double controller = 0, plant = 0;
    TimeHorizonTfDiscrete(c.den1, c.den1Degree, period, area.at, &controller);
    TimeHorizonTf(c.den2, c.den2Degree, area.at, &plant);
    t2 = controller + plant;
  }
  // The controller periods in view give the fine step; none gives an empty
  // curve.
  const double periods = std::ceil(t2 / period) - std::floor(t1 / period);
  const int64_t lead = t1 <= 0 ? 2 : 0;
  double* data = area.at + kCommandHeaderDoubles;
  if (!(periods >= 1) || !std::isfinite(periods)) {
    if (area.doubles <= kCommandHeaderDoubles + 1) return kErrPlotOverflow;
    data[0] = 0;
    CommitCurveCommand(target, 1, c.style, c.id, c.series, 1);
    return kOk;
  }
  const int64_t s =
      std::max<int64_t>(kFineSteps / std::min(periods, double(kFineSteps)), kLeastPerPeriod);
  const double h = period / s;
  if (std::fabs(s * t2 / period) > kMostFineSteps) return kErrObjTooLarge;
  const int64_t k0 = std::max<int64_t>(int64_t(std::floor(s * t1 / period)), 0);
  const int64_t kend = std::max<int64_t>(int64_t(std::ceil(s * t2 / period)), 0);
  const int64_t points = lead + std::max<int64_t>(kend - k0 + 1, 0);
  const int32_t dp = c.den2Degree, np = c.num2Degree;
  const int64_t dc = int64_t{c.den1Degree} * s, nc = int64_t{c.num1Degree} * s;
  const int64_t degree = dc + dp;
  const uint64_t need = kCommandHeaderDoubles + 1 + 2 * uint64_t(points) + uint64_t(kend + 1) +
                        2 * uint64_t(dp + 1) + uint64_t(DiscretizeTfByExpmWork(dp)) +
                        2 * uint64_t(degree + 1) + uint64_t(dc + 1) + uint64_t(nc + 1) + 1;
  if (area.doubles <= need) return kErrPlotOverflow;
  double* t = data + 1;
  double* y = t + points;
  double* samples = y + points;
  double* plantNum = samples + kend + 1;
  double* plantDen = plantNum + dp + 1;
  double* num = plantDen + dp + 1;
  double* den = num + degree + 1;
  double* spread = den + degree + 1;
  double* work = spread + std::max(dc, nc) + 1;
  // The plant on the fine grid: a numerator of lower degree comes back one
  // shorter.
  std::fill(plantNum, plantNum + dp + 1, 0.0);
  DiscretizeTfByExpm(c.num2, np, c.den2, dp, h, plantNum + (np == dp ? 0 : 1), plantDen, work);
  // The controller in z^S times the plant; the numerator padded in front.
  const auto spreadOut = [&](const double* p, int32_t d) {
    std::fill(spread, spread + int64_t{d} * s + 1, 0.0);
    for (int32_t i = 0; i <= d; i++) spread[int64_t{i} * s] = p[i];
  };
  spreadOut(c.den1, c.den1Degree);
  Multiply(spread, dc, plantDen, dp, den);
  spreadOut(c.num1, c.num1Degree);
  const int64_t numDegree = nc + dp;
  std::fill(num, num + degree + 1, 0.0);
  Multiply(spread, nc, plantNum, dp, num + (degree - numDegree));
  // The step response by the difference equation.
  double stepSum = 0;
  for (int64_t k = 0; k <= kend; k++) {
    if (k <= degree) stepSum += num[k];
    double v = stepSum;
    for (int64_t j = 1; j <= std::min(k, degree); j++) v -= den[j] * samples[k - j];
    samples[k] = v / den[0];
  }
  int64_t at = 0;
  if (lead > 0) {
    t[at] = t1;
    y[at++] = 0;
    t[at] = 0;
    y[at++] = 0;
  }
  for (int64_t k = k0; k <= kend; k++, at++) {
    t[at] = double(k) * period / s;
    y[at] = samples[k];
  }
  data[0] = double(points);
  if (sp != nullptr) UpdateAutoLimits(target.subplot, t, y, nullptr, int32_t(points));
  CommitCurveCommand(target, 1, c.style, c.id, c.series, int32_t(2 * points + 1));
  return kOk;
}

}  // namespace vke
