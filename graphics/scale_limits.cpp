// Scale states and limits of a subplot: defaults, automatic widening,
// released and fixed limits, the hold bit.
#include <algorithm>
#include <cmath>

#include "graphics/scale_internal.hpp"

namespace vke {
namespace {

// Index of an axis' min and max in the default limits.
double DefaultMin(const SubplotRecord& r, int32_t axis) {
  return r.defaultLimits[2 * axis];
}
double DefaultMax(const SubplotRecord& r, int32_t axis) {
  return r.defaultLimits[2 * axis + 1];
}

bool WithinLimits(const SubplotRecord& r, int32_t axis, double v) {
  return v >= r.limits[axis] && v <= r.limits[axis + 3];
}

// Widens the limits of `axis` with the values that can be drawn there; with
// `other` given and its axis not automatic, only points whose other
// coordinate lies within that axis' limits count.
void WidenAxis(SubplotRecord* r, int32_t axis, const double* v, int32_t otherAxis,
               const double* other, int32_t n) {
  if (v == nullptr || r->scaleState[axis] >= kScaleReleased) return;
  const bool filter = other != nullptr && r->scaleState[otherAxis] >= kScaleReleased;
  const bool log = IsLogAxis(*r, axis);
  for (int32_t i = 0; i < n; ++i) {
    if (!std::isfinite(v[i]) || (log && v[i] <= 0)) continue;
    if (filter && !WithinLimits(*r, otherAxis, other[i])) continue;
    r->limits[axis] = std::min(r->limits[axis], v[i]);
    r->limits[axis + 3] = std::max(r->limits[axis + 3], v[i]);
  }
  r->scaleState[axis] = kScaleAuto;
}

}  // namespace

void SubplotScaleDefaults(SubplotRecord* r) {
  for (int32_t axis = 0; axis < 3; ++axis) {
    if (IsAxisFixed(*r, axis)) continue;
    r->scaleState[axis] = kScaleAuto;
    r->limits[axis] = DefaultMin(*r, axis);
    r->limits[axis + 3] = DefaultMax(*r, axis);
  }
}

void UpdateAutoLimits(SubplotRecord* r, const double* x, const double* y, const double* z,
                      int32_t n) {
  WidenAxis(r, kAxisX, x, kAxisY, y, n);
  WidenAxis(r, kAxisY, y, kAxisX, x, n);
  if (r->scaleState[kAxisZ] <= kScaleAuto) {
    if (z != nullptr) {
      WidenAxis(r, kAxisZ, z, kAxisZ, nullptr, n);
    } else {
      // Without z values the z range keeps 0 inside it.
      r->limits[kAxisZ] = std::min(r->limits[kAxisZ], 0.0);
      r->limits[kAxisZ + 3] = std::max(r->limits[kAxisZ + 3], 0.0);
      r->scaleState[kAxisZ] = kScaleAuto;
    }
  }
  ComputeSubplotTransform(r, true, kAutoMargin);
}

void HoldSubplotScales(SubplotRecord* r, bool hold) {
  for (int32_t& state : r->scaleState) {
    state = hold ? (state | kScaleHoldBit) : (state & ~kScaleHoldBit);
  }
}

void SetReleasedLimits(SubplotRecord* r, double xMin, double xMax, double yMin, double yMax,
                       double zMin, double zMax) {
  const double mins[3] = {xMin, yMin, zMin};
  const double maxs[3] = {xMax, yMax, zMax};
  uint32_t kept = 0;
  for (int32_t axis = 0; axis < 3; ++axis) {
    if (IsAxisFixed(*r, axis)) continue;
    if (!(mins[axis] < maxs[axis])) {
      kept |= 1u << axis;
      continue;
    }
    r->limits[axis] = mins[axis];
    r->limits[axis + 3] = maxs[axis];
    r->scaleState[axis] = kScaleReleased;
    if (axis != kAxisZ) r->zoomRangeSet[axis] = 0;
  }
  // Axes without new limits are held while the others are computed.
  for (int32_t axis = 0; axis < 3; ++axis) {
    if (kept & (1u << axis)) r->scaleState[axis] |= kScaleHoldBit;
  }
  ComputeSubplotTransform(r, true, kAutoMargin);
  for (int32_t axis = 0; axis < 3; ++axis) {
    if (kept & (1u << axis)) r->scaleState[axis] &= ~kScaleHoldBit;
  }
}

void SetFixedLimits(SubplotRecord* r, double xMin, double xMax, double yMin, double yMax) {
  const double mins[2] = {xMin, yMin};
  const double maxs[2] = {xMax, yMax};
  uint32_t axes = 0;
  for (int32_t axis = 0; axis < 2; ++axis) {
    if (!(mins[axis] < maxs[axis])) continue;
    r->limits[axis] = mins[axis];
    r->limits[axis + 3] = maxs[axis];
    axes |= 1u << axis;
  }
  if (axes != 0) ComputeTransformAndFix(r, axes, true, 0);
}

void FixScales(SubplotRecord* r) {
  if (!r->transformValid) return;
  for (int32_t axis = 0; axis < 3; ++axis) SetAxisState(r, axis, kScaleFixed);
}

void ReleaseScales(SubplotRecord* r) {
  for (int32_t& state : r->scaleState) {
    if (state == kScaleFixed) state = kScaleReleased;
  }
  r->viewFlags |= 8;  // automatic camera zoom
}

bool IsScaleLocked(const SubplotRecord& r) {
  return r.scaleState[kAxisX] == kScaleFixed && r.scaleState[kAxisY] == kScaleFixed;
}

bool IsXFixed(const SubplotRecord& r) {
  return r.scaleState[kAxisX] == kScaleFixed;
}

void GetSubplotLimits(const SubplotRecord& r, double* xMin, double* xMax, double* yMin,
                      double* yMax, double* zMin, double* zMax) {
  CopyToOptional(r.limits, {xMin, yMin, zMin, xMax, yMax, zMax});
}

}  // namespace vke
