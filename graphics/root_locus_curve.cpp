// The curve routine of rlocus: the automatic limits widened by the poles and
// zeros, the window and tolerance from the subplot's axes, and the traced
// branches as one curve-list command.
#include <algorithm>
#include <cmath>

#include "graphics/response_curves.hpp"
#include "graphics/root_locus.hpp"
#include "graphics/scale.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

constexpr double kAutoEdge = 2;          // of the window on an axis without a scale
constexpr double kWindowMargin = 0.05;   // of the viewport, on each side
constexpr double kToleranceScale = 0.2;  // of the tolerance terms
constexpr int64_t kPointsPerDegree = 500;

// The window of one axis and its tolerance term (0 without a scale).
void AxisWindow(const SubplotRecord* sp, Axis axis, double* lo, double* hi, double* term) {
  *lo = -kAutoEdge;
  *hi = kAutoEdge;
  *term = 0;
  if (sp == nullptr || (sp->scaleState[axis] & ~0x40) == kScaleNone) return;
  if (axis == kAxisX) {
    GetViewportXRange(*sp, lo, hi);
  } else {
    GetViewportYRange(*sp, lo, hi);
  }
  const double margin = (*hi - *lo) * kWindowMargin;
  *lo -= margin;
  *hi += margin;
  *term = 10 / std::fabs(axis == kAxisX ? sp->xFactor : sp->yFactor);
}

}  // namespace

ErrCode RootLocusCurve(EngineContext*, const ResponseCurveCall& c) {
  const LtiSystemRecord& s = *c.system;
  PlotTarget& target = *c.target;
  const CurveArea area = FreeCurveArea(target);
  const int32_t dd = s.denDegree, nd = s.numDegree;
  if (area.doubles <= 9 + 4 * uint64_t(dd) ||
      area.doubles <= kCommandHeaderDoubles + 3 * uint64_t(std::max(dd, nd)) + 2) {
    return kErrPlotOverflow;
  }
  SubplotRecord* sp = target.subplot;
  const bool automatic = sp == nullptr || (sp->scaleState[kAxisX] & ~0x40) < kScaleReleased ||
                         (sp->scaleState[kAxisY] & ~0x40) < kScaleReleased;
  if (automatic && sp != nullptr) {
    // The poles and zeros always show.
    double* re = area.at;
    for (const auto& [poly, degree] : {std::pair{s.den, dd}, std::pair{s.num, nd}}) {
      if (degree < 1) continue;
      double* im = re + degree;
      if (FindRealPolynomialRootsOnCopy(poly, degree, re, im, im + degree)) {
        UpdateAutoLimits(sp, re, im, nullptr, degree);
      }
    }
  }
  LocusWindow w{};
  double xTerm, yTerm;
  AxisWindow(sp, kAxisX, &w.xlo, &w.xhi, &xTerm);
  AxisWindow(sp, kAxisY, &w.ylo, &w.yhi, &yTerm);
  w.tolerance = kToleranceScale * (0.1 + xTerm + yTerm);
  const int64_t free = int64_t(area.doubles) - kCommandHeaderDoubles;
  const int64_t budget =
      free < 1000 * int64_t{dd} ? free / 2 : kPointsPerDegree * std::max<int64_t>(dd, nd);
  const int64_t length =
      TraceCurveAdaptive(s.den, dd, s.num, nd, w, area.at + kCommandHeaderDoubles, free, budget);
  CommitCurveCommand(target, kCmdCurveList, c.styles[0], c.id, c.series, int32_t(length));
  return kOk;
}

}  // namespace vke
