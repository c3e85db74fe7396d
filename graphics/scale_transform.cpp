// The data-to-device transform of a subplot computed from its limits and its
// viewport, and the equalising of the x and y scales.
#include <algorithm>
#include <cmath>

#include "graphics/camera.hpp"
#include "graphics/scale_internal.hpp"

namespace vke {
namespace {

struct AxisMap {
  double factor;
  double offset;
};

// A range of one value is widened by this share of its magnitude each way,
// by at least the least half span.
constexpr double kLoneValueShare = 0.1;
constexpr double kLeastLoneHalfSpan = 1e-6;

// The map of data lo..hi onto near..far less m / 2 at each end; false when
// the axis keeps its transform (a logarithmic axis without a positive
// value). A lenient map widens a range of one value.
bool FitAxis(double lo, double hi, bool log, bool lenient, double m, double nearEdge,
             double farEdge, AxisMap* out) {
  const double extent = farEdge - nearEdge;
  const double base = m * farEdge / 2 + (1 - m / 2) * nearEdge;
  if (lenient) WidenLoneValue(log, &lo, &hi);
  if (log) {
    if (!(hi > 0)) return false;
    const double e = lenient ? 1e-6 : 1e-24;
    const double low = std::max(lo, hi * e);
    const double high = std::max(hi, low * 1.000001);
    out->factor = (1 - m) * extent / std::log(high / low);
    out->offset = base - out->factor * std::log(low);
    return true;
  }
  // The lenient span grows with the magnitude past 1e6, so that a lone point
  // far from 0 still has a span the doubles can hold.
  const double e = lenient ? std::max(1e-6, 1e-12 * std::fabs(lo)) : 1e-24;
  const double high = std::max(hi, lo + e);
  out->factor = (1 - m) * extent / (high - lo);
  if (out->factor + 1 == out->factor || std::isnan(out->factor)) {
    out->factor = 1e6;
    out->offset = 0;
    return true;
  }
  out->offset = base - out->factor * lo;
  return true;
}

}  // namespace

void WidenLoneValue(bool log, double* lo, double* hi) {
  if (!(*lo == *hi)) return;
  const double v = *lo;
  if (log) {
    if (!(v > 0)) return;
    *lo = v / (1 + kLoneValueShare);
    *hi = v * (1 + kLoneValueShare);
    return;
  }
  const double half = v == 0 ? 1 : std::max(kLoneValueShare * std::fabs(v), kLeastLoneHalfSpan);
  // Near the largest doubles the range would overflow: keep the old span.
  if (!std::isfinite(v - half) || !std::isfinite(v + half)) return;
  *lo = v - half;
  *hi = v + half;
}

void ShownLimits(const SubplotRecord& r, int32_t axis, double* lo, double* hi) {
  *lo = r.limits[axis];
  *hi = r.limits[axis + 3];
  WidenLoneValue(IsLogAxis(r, axis), lo, hi);
}

void ComputeSubplotTransform(SubplotRecord* r, bool lenient, double margin) {
  if (!AxisHasRange(*r, kAxisX)) {
    r->xFactor = r->yFactor = 1e-9;
    r->xOffset = r->yOffset = 0;
    return;
  }
  if (r->is3d && !IsAxisFixed(*r, kAxisZ)) {
    r->xOffset = (r->viewport[kTop] + r->viewport[kBottom]) / 2;
    ComputeProjection(r);
    r->transformValid = 1;
    return;
  }
  AxisMap map{};
  if (!IsAxisFixed(*r, kAxisX) &&
      FitAxis(LimitMin(*r, kAxisX), LimitMax(*r, kAxisX), IsLogX(*r), lenient, margin,
              r->viewport[kLeft], r->viewport[kRight], &map)) {
    r->xFactor = map.factor;
    r->xOffset = map.offset;
  }
  if (!IsAxisFixed(*r, kAxisY) &&
      FitAxis(LimitMin(*r, kAxisY), LimitMax(*r, kAxisY), IsLogY(*r), lenient, margin,
              r->viewport[kBottom], r->viewport[kTop], &map)) {
    r->yFactor = map.factor;
    r->yOffset = map.offset;
  }
  if (r->xFactor == 0) r->xFactor = 1e-30;
  if (r->yFactor == 0) r->yFactor = 1e-30;
  r->transformValid = 1;
  if (r->scaleKind & kScaleEqual) EqualiseScales(r);
}

void EqualiseScales(SubplotRecord* r) {
  if (IsAxisFixed(*r, kAxisX) || IsAxisFixed(*r, kAxisY)) return;
  const double* v = r->viewport;
  if (std::fabs(r->xFactor) > std::fabs(r->yFactor)) {
    const double c = (v[kLeft] + v[kRight]) / 2;
    const double factor = std::copysign(std::fabs(r->yFactor), r->xFactor);
    r->xOffset = c - (c - r->xOffset) * (factor / r->xFactor);
    r->xFactor = factor;
  } else {
    const double c = (v[kTop] + v[kBottom]) / 2;
    const double factor = std::copysign(std::fabs(r->xFactor), r->yFactor);
    r->yOffset = c - (c - r->yOffset) * (factor / r->yFactor);
    r->yFactor = factor;
  }
}

void ComputeTransformAndFix(SubplotRecord* r, uint32_t axes, bool lenient, double margin) {
  int32_t hold[3] = {0, 0, 0};
  for (int32_t axis = 0; axis < 3; ++axis) {
    if ((axes & (1u << axis)) == 0) continue;
    hold[axis] = r->scaleState[axis] & kScaleHoldBit;
    r->scaleState[axis] = kScaleReleased;
  }
  ComputeSubplotTransform(r, lenient, margin);
  for (int32_t axis = 0; axis < 3; ++axis) {
    if (axes & (1u << axis)) r->scaleState[axis] = kScaleFixed | hold[axis];
  }
}

}  // namespace vke
