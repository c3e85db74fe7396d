// Data to device units and back: points, lengths, lines, the data range
// under the viewport, and the comparison of two subplots' scales.
#include <cmath>

#include "graphics/camera.hpp"
#include "graphics/scale_internal.hpp"

namespace vke {
namespace {

double ToAxisUnits(double v, bool log) {
  return log ? std::log(v) : v;
}

double FromAxisUnits(double u, bool log) {
  return log ? std::exp(u) : u;
}

// n values of one axis; on a logarithmic axis a value that is not positive
// takes the device value before it.
void ConvertAxis(const double* in, double* out, int32_t n, bool log, double factor, double offset) {
  if (in == nullptr || out == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    if (log && i > 0 && in[i] <= 0) {
      out[i] = out[i - 1];
      continue;
    }
    out[i] = factor * ToAxisUnits(in[i], log) + offset;
  }
}

void Project(const SubplotRecord& r, const double* x, const double* y, const double* z, int32_t n,
             bool withOffsets, double* X, double* Y, double* Z) {
  const ProjectionFrame frame = MakeProjectionFrame(r);
  for (int32_t i = 0; i < n; ++i) {
    double px = 0;
    double py = 0;
    double w = 0;
    ProjectPoint(r, frame, x != nullptr ? x[i] : 0, y != nullptr ? y[i] : 0,
                 z != nullptr ? z[i] : 0, withOffsets, &px, &py, &w);
    if (X != nullptr) X[i] = px;
    if (Y != nullptr) Y[i] = py;
    if (Z != nullptr) Z[i] = w;
  }
}

// The data values at two device edges of one axis, or the limits when the
// factor is too large for the edges to mean anything.
void EdgeRange(const SubplotRecord& r, Axis axis, double lowEdge, double highEdge, double* low,
               double* high) {
  const bool isX = axis == kAxisX;
  const double factor = isX ? r.xFactor : r.yFactor;
  *low = isX ? DeviceXToData(r, lowEdge) : DeviceYToData(r, lowEdge);
  *high = isX ? DeviceXToData(r, highEdge) : DeviceYToData(r, highEdge);
  if (std::fabs(factor) > 1e9 || std::isnan(*low) || std::isnan(*high)) {
    *low = LimitMin(r, axis);
    *high = LimitMax(r, axis);
  }
}

bool SameAxisMap(double factorA, double offsetA, double edgeA, double factorB, double offsetB,
                 double edgeB) {
  return std::fabs(factorA / factorB - 1) <= 0.001 &&
         std::fabs((offsetA - edgeA) - (offsetB - edgeB)) <= 0.1;
}

}  // namespace

double DataXToDevice(const SubplotRecord& r, double x) {
  return r.xFactor * ToAxisUnits(x, IsLogX(r)) + r.xOffset;
}

double DataYToDevice(const SubplotRecord& r, double y) {
  return r.yFactor * ToAxisUnits(y, IsLogY(r)) + r.yOffset;
}

double DeviceXToData(const SubplotRecord& r, double X) {
  return FromAxisUnits((X - r.xOffset) / r.xFactor, IsLogX(r));
}

double DeviceYToData(const SubplotRecord& r, double Y) {
  return FromAxisUnits((Y - r.yOffset) / r.yFactor, IsLogY(r));
}

void DataToDevice(const SubplotRecord& r, const double* x, const double* y, const double* z,
                  int32_t n, double* X, double* Y, double* Z) {
  if (r.is3d) {
    Project(r, x, y, z, n, true, X, Y, Z);
    return;
  }
  ConvertAxis(x, X, n, IsLogX(r), r.xFactor, r.xOffset);
  ConvertAxis(y, Y, n, IsLogY(r), r.yFactor, r.yOffset);
  for (int32_t i = 0; Z != nullptr && i < n; ++i) Z[i] = 0;
}

void DataDeltaToDevice(const SubplotRecord& r, const double* dx, const double* dy, const double* dz,
                       int32_t n, double* dX, double* dY, double* dZ) {
  if (r.is3d) {
    Project(r, dx, dy, dz, n, false, dX, dY, dZ);
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (dx != nullptr && dX != nullptr) dX[i] = r.xFactor * ToAxisUnits(dx[i], IsLogX(r));
    if (dy != nullptr && dY != nullptr) dY[i] = r.yFactor * ToAxisUnits(dy[i], IsLogY(r));
    if (dZ != nullptr) dZ[i] = 0;
  }
}

void DeviceToData(const SubplotRecord& r, double X, double Y, double* x, double* y) {
  if (x != nullptr) *x = DeviceXToData(r, X);
  if (y != nullptr) *y = DeviceYToData(r, Y);
}

void DeviceDeltaToData(const SubplotRecord& r, double dX, double dY, double* dx, double* dy) {
  const double ux = dX / r.xFactor;
  const double uy = dY / r.yFactor;
  if (dx != nullptr) *dx = IsLogX(r) ? std::exp(-ux) : ux;
  if (dy != nullptr) *dy = IsLogY(r) ? std::exp(-uy) : uy;
}

void LineToDevice(const SubplotRecord& r, double a, double b, double c, double* p, double* q,
                  double* rr) {
  if (a == 0) {
    *p = 0;
    *q = 1;
    *rr = r.yFactor * ToAxisUnits(c / b, IsLogY(r)) + r.yOffset;
  } else if (b == 0) {
    *p = 1;
    *q = 0;
    *rr = r.xFactor * ToAxisUnits(c / a, IsLogX(r)) + r.xOffset;
  } else {
    *p = a / r.xFactor;
    *q = b / r.yFactor;
    *rr = *q * r.yOffset + *p * r.xOffset + c;
  }
}

void GetViewportXRange(const SubplotRecord& r, double* low, double* high) {
  EdgeRange(r, kAxisX, r.viewport[kLeft], r.viewport[kRight], low, high);
}

void GetViewportYRange(const SubplotRecord& r, double* low, double* high) {
  EdgeRange(r, kAxisY, r.viewport[kBottom], r.viewport[kTop], low, high);
}

void GetFixedViewportLimits(const SubplotRecord& r, double* x0, double* x1, double* y0,
                            double* y1) {
  *x0 = *x1 = *y0 = *y1 = 0;
  if (r.scaleState[kAxisX] == kScaleFixed) GetViewportXRange(r, x0, x1);
  if (r.scaleState[kAxisY] == kScaleFixed) GetViewportYRange(r, y0, y1);
}

bool SameScale(const SubplotRecord& a, const SubplotRecord& b, bool xOnly) {
  if ((a.scaleKind ^ b.scaleKind) & (kScaleXLogMask | kScaleEqual)) return false;
  if (!SameAxisMap(a.xFactor, a.xOffset, a.viewport[kLeft], b.xFactor, b.xOffset,
                   b.viewport[kLeft])) {
    return false;
  }
  if (xOnly) return true;
  if ((a.scaleKind ^ b.scaleKind) & kScaleYLogMask) return false;
  return SameAxisMap(a.yFactor, a.yOffset, a.viewport[kTop], b.yFactor, b.yOffset,
                     b.viewport[kTop]);
}

}  // namespace vke
