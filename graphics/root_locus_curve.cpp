// The curve routine of rlocus: the window and tolerance from the subplot's
// axes, or under automatic scales from the locus's own landmarks, the
// traced branches as one curve-list command, and the automatic limits
// widened by the poles, the zeros and every part of the locus drawn inside
// the window.
#include <algorithm>
#include <cmath>
#include <utility>

#include "control/frequency_response.hpp"
#include "graphics/response_curves.hpp"
#include "graphics/root_locus.hpp"
#include "graphics/scale.hpp"
#include "numerics/kernels/dense_kernels.hpp"

namespace vke {

namespace {

constexpr double kAutoEdge = 2;          // of the window on an axis without a scale
constexpr double kWindowMargin = 0.05;   // of the viewport, on each side
constexpr double kToleranceScale = 0.2;  // of the tolerance terms
constexpr double kToleranceUnits = 10;   // device units in a tolerance term
constexpr int64_t kPointsPerDegree = 500;
// A meeting point of branches is on the locus where the gain there is real
// and positive: its imaginary part at most this fraction of it.
constexpr double kRealGain = 1e-6;
// Leading coefficients of the meeting-point polynomial this small relative
// to its largest are rounding left over from cancelling terms.
constexpr double kCancelled = 1e-12;

bool AxisIsAutomatic(const SubplotRecord* sp, Axis axis) {
  return (sp->scaleState[axis] & ~kScaleHoldBit) < kScaleReleased;
}

// The window of one axis from the viewport and its tolerance term (0
// without a scale).
void AxisWindow(const SubplotRecord* sp, Axis axis, double* lo, double* hi, double* term) {
  *lo = -kAutoEdge;
  *hi = kAutoEdge;
  *term = 0;
  if (sp == nullptr || (sp->scaleState[axis] & ~kScaleHoldBit) == kScaleNone) return;
  if (axis == kAxisX) {
    GetViewportXRange(*sp, lo, hi);
  } else {
    GetViewportYRange(*sp, lo, hi);
  }
  const double margin = (*hi - *lo) * kWindowMargin;
  *lo -= margin;
  *hi += margin;
  *term = kToleranceUnits / std::fabs(axis == kAxisX ? sp->xFactor : sp->yFactor);
}

// A bounding box, with the points that reach each of its sides.
struct Box {
  double xlo = HUGE_VAL, xhi = -HUGE_VAL, ylo = HUGE_VAL, yhi = -HUGE_VAL;
  double yAtXlo = 0, yAtXhi = 0, xAtYlo = 0, xAtYhi = 0;
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (x < xlo) xlo = x, yAtXlo = y;
    if (x > xhi) xhi = x, yAtXhi = y;
    if (y < ylo) ylo = y, xAtYlo = x;
    if (y > yhi) yhi = y, xAtYhi = x;
  }
  bool Empty() const { return !(xlo <= xhi); }
};

// Adds the roots of p (degree n) to the box; scratch: 3n + 1 doubles.
void AddRoots(const double* p, int32_t n, double* scratch, Box* box) {
  if (n < 1) return;
  double* re = scratch;
  double* im = re + n;
  if (!FindRealPolynomialRootsOnCopy(p, n, re, im, im + n)) return;
  for (int32_t i = 0; i < n; i++) box->Add(re[i], im[i]);
}

// The polynomial num' den - num den' (degree numDegree + denDegree - 1 at
// most, leading terms that cancel stripped); its roots on the locus are the
// points where branches meet. Returns its degree (-1 when it vanishes).
int32_t MeetingPolynomial(const double* num, int32_t m, const double* den, int32_t n, double* out) {
  const int32_t degree = m + n - 1;
  if (degree < 0) return -1;
  std::fill(out, out + degree + 1, 0.0);
  // Coefficient i of a polynomial of degree d multiplies s^(d - i).
  for (int32_t i = 0; i < m; i++) {
    for (int32_t j = 0; j <= n; j++) out[i + j] += (m - i) * num[i] * den[j];
  }
  for (int32_t i = 0; i <= m; i++) {
    for (int32_t j = 0; j < n; j++) out[i + j] -= (n - j) * num[i] * den[j];
  }
  double largest = 0;
  for (int32_t i = 0; i <= degree; i++) largest = std::max(largest, std::fabs(out[i]));
  int32_t lead = 0;
  while (lead <= degree && !(std::fabs(out[lead]) > kCancelled * largest)) lead++;
  if (lead > degree) return -1;
  std::copy(out + lead, out + degree + 1, out);
  return degree - lead;
}

// The landmarks of the locus: its poles and zeros, the points where its
// branches meet and, with two or more branches running to infinity, the
// centre their asymptotes leave from. scratch: 5(n + m) + 4 doubles.
Box Landmarks(const LtiSystemRecord& s, double* scratch) {
  const double *num = s.num, *den = s.den;
  const int32_t m = s.numDegree, n = s.denDegree;
  Box box;
  AddRoots(den, n, scratch, &box);
  AddRoots(num, m, scratch, &box);
  double* meet = scratch;
  const int32_t degree = MeetingPolynomial(num, m, den, n, meet);
  if (degree >= 1) {
    double* re = meet + degree + 1;
    double* im = re + degree;
    if (FindRealPolynomialRootsOnCopy(meet, degree, re, im, im + degree)) {
      for (int32_t i = 0; i < degree; i++) {
        // den + K num = 0 there: K = -den / num.
        double kRe, kIm;
        EvalRationalAtComplex(den, n, num, m, re[i], im[i], &kRe, &kIm);
        if (std::isfinite(kRe) && -kRe > 0 && std::fabs(kIm) <= kRealGain * -kRe) {
          box.Add(re[i], im[i]);
        }
      }
    }
  }
  const int32_t infinite = std::abs(n - m);
  if (infinite >= 2) {
    // The sum of the roots of a polynomial is -c[1] / c[0].
    const double poles = n >= 1 ? -den[1] / den[0] : 0, zeros = m >= 1 ? -num[1] / num[0] : 0;
    box.Add((n > m ? poles - zeros : zeros - poles) / infinite, 0);
  }
  return box;
}

// The tracing window under automatic scales: the landmarks, symmetric
// about the real axis, with their spread again on each side (the distance
// from the origin when they coincide, 1 at the origin).
Box AutomaticWindow(const Box& landmarks) {
  Box w;
  if (landmarks.Empty()) {
    w.Add(-kAutoEdge, -kAutoEdge);
    w.Add(kAutoEdge, kAutoEdge);
    return w;
  }
  const double height = std::max(std::fabs(landmarks.ylo), std::fabs(landmarks.yhi));
  double spread = std::max(landmarks.xhi - landmarks.xlo, 2 * height);
  if (!(spread > 0)) spread = std::max(std::fabs(landmarks.xlo), std::fabs(landmarks.xhi));
  if (!(spread > 0)) spread = 1;
  w.Add(landmarks.xlo - spread, -height - spread);
  w.Add(landmarks.xhi + spread, height + spread);
  return w;
}

void AddInside(const LocusWindow& w, double x, double y, Box* box) {
  if (x >= w.xlo && x <= w.xhi && y >= w.ylo && y <= w.yhi) box->Add(x, y);
}

// Widens the box by the part of the segment a-b inside the window: its ends
// that lie inside and the points where it crosses an edge.
void AddClipped(double ax, double ay, double bx, double by, const LocusWindow& w, Box* box) {
  AddInside(w, ax, ay, box);
  AddInside(w, bx, by, box);
  const double edges[4] = {w.xlo, w.xhi, w.ylo, w.yhi};
  for (int32_t e = 0; e < 4; e++) {
    const bool upright = e < 2;  // an edge of constant x
    const double from = upright ? ax : ay, to = upright ? bx : by;
    if (!((from < edges[e] && to > edges[e]) || (from > edges[e] && to < edges[e]))) continue;
    const double u = (edges[e] - from) / (to - from);
    if (upright) {
      AddInside(w, edges[e], ay + u * (by - ay), box);
    } else {
      AddInside(w, ax + u * (bx - ax), edges[e], box);
    }
  }
}

// The extent of the traced branches ({c, x[c], y[c]} ..., -1) inside the
// window.
Box DrawnExtent(const double* data, int64_t length, const LocusWindow& w) {
  Box box;
  int64_t at = 0;
  while (at < length && data[at] >= 0) {
    const auto c = int64_t(data[at]);
    const double* x = data + at + 1;
    const double* y = x + c;
    if (c == 1) AddClipped(x[0], y[0], x[0], y[0], w, &box);
    for (int64_t i = 0; i + 1 < c; i++) AddClipped(x[i], y[i], x[i + 1], y[i + 1], w, &box);
    at += 1 + 2 * c;
  }
  return box;
}

// The four points that reach the box's sides widen the automatic limits
// (points of the locus, so that an axis with given limits filters them as
// it filters any data).
void WidenLimits(SubplotRecord* sp, const Box& box) {
  if (box.Empty()) return;
  const double x[4] = {box.xlo, box.xhi, box.xAtYlo, box.xAtYhi};
  const double y[4] = {box.yAtXlo, box.yAtXhi, box.ylo, box.yhi};
  UpdateAutoLimits(sp, x, y, nullptr, 4);
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
  const bool automatic =
      sp != nullptr && (AxisIsAutomatic(sp, kAxisX) || AxisIsAutomatic(sp, kAxisY));
  LocusWindow w{};
  double xTerm, yTerm;
  AxisWindow(sp, kAxisX, &w.xlo, &w.xhi, &xTerm);
  AxisWindow(sp, kAxisY, &w.ylo, &w.yhi, &yTerm);
  if (automatic) {
    // The poles and zeros always show.
    double* re = area.at;
    for (const auto& [poly, degree] : {std::pair{s.den, dd}, std::pair{s.num, nd}}) {
      if (degree < 1) continue;
      double* im = re + degree;
      if (FindRealPolynomialRootsOnCopy(poly, degree, re, im, im + degree)) {
        UpdateAutoLimits(sp, re, im, nullptr, degree);
      }
    }
    // An automatic axis has no viewport to trace in yet: the window comes
    // from the locus's landmarks, its tolerance term from the viewport's
    // size as if the window filled it.
    if (area.doubles > 5 * (uint64_t(dd) + uint64_t(nd)) + 4) {
      const Box window = AutomaticWindow(Landmarks(s, area.at));
      const double width = std::fabs(sp->viewport[kRight] - sp->viewport[kLeft]);
      const double height = std::fabs(sp->viewport[kBottom] - sp->viewport[kTop]);
      if (AxisIsAutomatic(sp, kAxisX)) {
        w.xlo = window.xlo;
        w.xhi = window.xhi;
        xTerm = kToleranceUnits * (w.xhi - w.xlo) / std::max(width, 1.0);
      }
      if (AxisIsAutomatic(sp, kAxisY)) {
        w.ylo = window.ylo;
        w.yhi = window.yhi;
        yTerm = kToleranceUnits * (w.yhi - w.ylo) / std::max(height, 1.0);
      }
    }
  }
  w.tolerance = kToleranceScale * (0.1 + xTerm + yTerm);
  const int64_t free = int64_t(area.doubles) - kCommandHeaderDoubles;
  const int64_t budget =
      free < 1000 * int64_t{dd} ? free / 2 : kPointsPerDegree * std::max<int64_t>(dd, nd);
  double* data = area.at + kCommandHeaderDoubles;
  const int64_t length = TraceCurveAdaptive(s.den, dd, s.num, nd, w, data, free, budget);
  if (automatic) WidenLimits(sp, DrawnExtent(data, length, w));
  CommitCurveCommand(target, kCmdCurveList, c.styles[0], c.id, c.series, int32_t(length));
  return kOk;
}

}  // namespace vke
