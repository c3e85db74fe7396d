// Zoom and scroll of a subplot's scales by the mouse tools: the zoom range
// that bounds zooming, zoom into a rectangle or around a click, zoom out
// around a point, and scrolling.
#include <algorithm>
#include <cmath>

#include "graphics/camera.hpp"
#include "graphics/scale_internal.hpp"

namespace vke {
namespace {

constexpr uint32_t kAxesXY = kAxisBitX | kAxisBitY;

// The device edges of an axis: left and right, or bottom and top.
void AxisEdges(const SubplotRecord& r, int32_t axis, double* low, double* high) {
  *low = r.viewport[axis == kAxisX ? kLeft : kBottom];
  *high = r.viewport[axis == kAxisX ? kRight : kTop];
}

double ToData(const SubplotRecord& r, int32_t axis, double device) {
  return axis == kAxisX ? DeviceXToData(r, device) : DeviceYToData(r, device);
}

// The span of an axis' limits, or of the data under the viewport when the
// limits coincide.
double AxisSpan(const SubplotRecord& r, int32_t axis) {
  const double span = r.limits[axis + 3] - r.limits[axis];
  if (span != 0) return span;
  double low = 0;
  double high = 0;
  AxisEdges(r, axis, &low, &high);
  return ToData(r, axis, high) - ToData(r, axis, low);
}

// Records the zoom range of the axes in `axes` that have data, the first
// time, and tells whether each recorded axis may zoom in (or out) further.
bool AxesMayZoom(SubplotRecord* r, uint32_t axes, bool zoomIn) {
  bool allowed = true;
  for (int32_t axis = kAxisX; axis <= kAxisY; ++axis) {
    if ((axes & (1u << axis)) == 0) continue;
    double& minSpan = r->zoomRange[axis];
    double& maxSpan = r->zoomRange[axis + 2];
    const double span = AxisSpan(*r, axis);
    if (!r->zoomRangeSet[axis] && r->scaleState[axis] > kScaleNone) {
      minSpan = 0.05 * span;
      maxSpan = 20 * span;
      r->zoomRangeSet[axis] = 1;
    }
    if (!r->zoomRangeSet[axis]) continue;
    if (zoomIn ? !(span * 0.99 > minSpan) : !(span * 1.01 < maxSpan)) allowed = false;
  }
  return allowed;
}

void SetAxisLimits(SubplotRecord* r, int32_t axis, double low, double high) {
  r->limits[axis] = std::min(low, high);
  r->limits[axis + 3] = std::max(low, high);
}

// Zoom into the device rectangle a0..a1 (x), b0..b1 (y) on the axes given.
void ZoomAxes(SubplotRecord* r, uint32_t axes, double x0, double x1, double y0, double y1) {
  if (!r->transformValid || !AxesMayZoom(r, axes, true)) return;
  const double* v = r->viewport;
  const bool dragged =
      std::fabs(x1 - x0) * 50 >= std::fabs(v[kRight] - v[kLeft]) &&
      ((axes & kAxisBitY) == 0 || std::fabs(y1 - y0) * 50 >= std::fabs(v[kTop] - v[kBottom]));
  if (r->is3d) {
    if (dragged) {
      ComputeTransformAndFix(r, axes, false, 0);
    } else {
      CameraZoom(r, 2);
    }
    return;
  }
  const double from[2] = {x0, y0};
  const double to[2] = {x1, y1};
  for (int32_t axis = kAxisX; axis <= kAxisY; ++axis) {
    if ((axes & (1u << axis)) == 0) continue;
    const double a = ToData(*r, axis, from[axis]);
    const double b = ToData(*r, axis, to[axis]);
    if (dragged) {
      SetAxisLimits(r, axis, a, b);
      continue;
    }
    // By 2 around the centre: halfway (geometrically on a log axis) from
    // the centre to each limit.
    const double c = ToData(*r, axis, (from[axis] + to[axis]) / 2);
    const double lo = LimitMin(*r, static_cast<Axis>(axis));
    const double hi = LimitMax(*r, static_cast<Axis>(axis));
    if (IsLogAxis(*r, axis)) {
      SetAxisLimits(r, axis, std::sqrt(c * lo), std::sqrt(c * hi));
    } else {
      SetAxisLimits(r, axis, (c + lo) / 2, (c + hi) / 2);
    }
  }
  ComputeTransformAndFix(r, axes, false, 0);
}

// Zoom out by 2 around the device point (X, Y): the data under each
// viewport edge moves twice as far from the point.
void ZoomOutAxes(SubplotRecord* r, uint32_t axes, double X, double Y) {
  if (!r->transformValid || !AxesMayZoom(r, axes, false)) return;
  if (r->is3d) {
    CameraZoom(r, 0.5);
    return;
  }
  const double point[2] = {X, Y};
  for (int32_t axis = kAxisX; axis <= kAxisY; ++axis) {
    if ((axes & (1u << axis)) == 0) continue;
    double lowEdge = 0;
    double highEdge = 0;
    AxisEdges(*r, axis, &lowEdge, &highEdge);
    const double c = ToData(*r, axis, point[axis]);
    const double l = ToData(*r, axis, lowEdge);
    const double h = ToData(*r, axis, highEdge);
    if (IsLogAxis(*r, axis)) {
      SetAxisLimits(r, axis, l * l / c, h * h / c);
    } else {
      SetAxisLimits(r, axis, 2 * l - c, 2 * h - c);
    }
  }
  ComputeTransformAndFix(r, axes, false, 0);
}

// Moves the data of one axis by d device units and fixes the axis.
void ScrollAxis(SubplotRecord* r, int32_t axis, double d) {
  double& offset = axis == kAxisX ? r->xOffset : r->yOffset;
  const double factor = axis == kAxisX ? r->xFactor : r->yFactor;
  offset += d;
  const double u = d / factor;
  for (double* limit : {&r->limits[axis], &r->limits[axis + 3]}) {
    *limit = IsLogAxis(*r, axis) ? *limit * std::exp(-u) : *limit - u;
  }
  SetAxisState(r, axis, kScaleFixed);
}

}  // namespace

bool CanZoom(SubplotRecord* r, bool zoomIn) {
  return AxesMayZoom(r, kAxesXY, zoomIn);
}

bool CanZoomX(SubplotRecord* r, bool zoomIn) {
  return AxesMayZoom(r, kAxisBitX, zoomIn);
}

void ZoomRect(SubplotRecord* r, double x0, double x1, double y0, double y1) {
  ZoomAxes(r, kAxesXY, x0, x1, y0, y1);
}

void ZoomXRect(SubplotRecord* r, double x0, double x1) {
  ZoomAxes(r, kAxisBitX, x0, x1, 0, 0);
}

void ZoomOut(SubplotRecord* r, double X, double Y) {
  ZoomOutAxes(r, kAxesXY, X, Y);
}

void ZoomXOut(SubplotRecord* r, double X) {
  ZoomOutAxes(r, kAxisBitX, X, 0);
}

void Scroll(SubplotRecord* r, double dX, double dY) {
  if (!r->transformValid) return;
  ScrollAxis(r, kAxisX, dX);
  ScrollAxis(r, kAxisY, dY);
}

void ScrollX(SubplotRecord* r, double dX) {
  if (!r->transformValid) return;
  ScrollAxis(r, kAxisX, dX);
}

}  // namespace vke
