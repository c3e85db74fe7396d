// The control-design grids: their curves in data coordinates, converted to
// the device and drawn through the port in pieces of at most 16 points.
#include "graphics/design_grids.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/axes2d.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * kPi;
constexpr int32_t kPiecePoints = 16;
// Steps of the damping spiral: 0.05 rad each.
constexpr double kSpiralTurn = 0.05;
// Grid values are stepped while below this (damping ratios) ...
constexpr double kLastDamping = 0.9999;
// ... and Nichols copies are drawn at most this many times per half.
constexpr int32_t kNicholsCopies = 5;

// Draws up to 16 data points as one polyline, with y negated for the
// mirror image about the real axis.
void DrawDataPolyline(const SubplotRecord& s, const double* x, const double* y, int32_t n,
                      bool mirror, const PlotStyle* style, const GraphicsPort& port, void* target) {
  double yy[kPiecePoints], X[kPiecePoints], Y[kPiecePoints];
  n = std::min(n, kPiecePoints);
  for (int32_t i = 0; i < n; i++) yy[i] = mirror ? -y[i] : y[i];
  DataToDevice(s, x, yy, nullptr, n, X, Y, nullptr);
  port.drawPolyline(X, Y, n, style, target);
}

// A curve and its mirror image about the real axis.
void DrawMirrored(const SubplotRecord& s, const double* x, const double* y, int32_t n,
                  const PlotStyle* style, const GraphicsPort& port, void* target) {
  DrawDataPolyline(s, x, y, n, false, style, port, target);
  DrawDataPolyline(s, x, y, n, true, style, port, target);
}

// The values step, 2 step ... while below the last damping ratio.
template <typename Draw>
void ForDampingRatios(int32_t nz, Draw draw) {
  if (nz <= 0) return;
  const double step = 1.0 / nz;
  for (double zeta = step; zeta < kLastDamping; zeta += step) draw(zeta);
}

// Draws a Nichols curve of 16 points at every 2 pi of phase from copy k0
// to copy k1 (device x shifted by P per copy).
void DrawNicholsCopies(const SubplotRecord& s, const double* phase, const double* magnitude,
                       double k0, double copies, double period, const PlotStyle* style,
                       const GraphicsPort& port, void* target) {
  double X[kPiecePoints], Y[kPiecePoints];
  DataToDevice(s, phase, magnitude, nullptr, kPiecePoints, X, Y, nullptr);
  for (double& x : X) x -= k0 * period;
  for (int32_t m = 0; m < copies; m++) {
    port.drawPolyline(X, Y, kPiecePoints, style, target);
    for (double& x : X) x -= period;
  }
}

}  // namespace

void DrawUnitCircle(const SubplotRecord& s, const PlotStyle* style, const GraphicsPort& port,
                    void* target) {
  if (port.drawCircle == nullptr || IsLogX(s) || IsLogY(s)) return;
  DrawDataCircle(s, 0, 0, 1, style, port, target);
}

void DrawZGridFrequencyCurve(const SubplotRecord& s, double w, const PlotStyle* style,
                             const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr) return;
  double x[kPiecePoints], y[kPiecePoints];
  x[0] = std::cos(w);
  y[0] = std::sin(w);
  for (int32_t n = 1; n < kPiecePoints - 1; n++) {
    const double a = n * kPi / 30;  // 6 degrees a step
    const double r = std::exp(-w * std::sin(a));
    x[n] = std::cos(w * std::cos(a)) * r;
    y[n] = std::sin(w * std::cos(a)) * r;
  }
  x[kPiecePoints - 1] = std::exp(-w);
  y[kPiecePoints - 1] = 0;
  DrawMirrored(s, x, y, kPiecePoints, style, port, target);
}

void DrawZGridDampingCurve(const SubplotRecord& s, double zeta, const PlotStyle* style,
                           const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr || !(zeta >= 0 && zeta <= 1)) return;
  if (zeta == 1) {
    const double x[2] = {0, 1}, y[2] = {0, 0};
    DrawDataPolyline(s, x, y, 2, false, style, port, target);
    return;
  }
  // Each step turns by 0.05 rad and shrinks by q; the spiral runs through
  // the upper half-plane to the negative real axis.
  const double q = std::exp(-kSpiralTurn * zeta / std::sqrt(1 - zeta * zeta));
  const double c = std::cos(kSpiralTurn), sn = std::sin(kSpiralTurn);
  double x[kPiecePoints] = {1}, y[kPiecePoints] = {0};
  int32_t n = 1;
  // pi / 0.05 steps reach the axis; the bound only guards the loop.
  for (int32_t step = 0; step < 1000; step++) {
    const double px = x[n - 1], py = y[n - 1];
    if (py <= 0 && px <= 0) break;
    double nx = q * (c * px - sn * py), ny = q * (sn * px + c * py);
    if (ny < 0) {
      nx = (py * nx - ny * px) / (py - ny);
      ny = 0;
    }
    x[n] = nx;
    y[n] = ny;
    if (n == kPiecePoints - 1 || ny == 0) {
      DrawMirrored(s, x, y, n + 1, style, port, target);
      x[0] = nx;
      y[0] = ny;
      n = 0;
    }
    n++;
  }
}

void DrawSGridFrequencyCircle(const SubplotRecord& s, double w, const PlotStyle* style,
                              const GraphicsPort& port, void* target) {
  DrawDataCircle(s, 0, 0, w, style, port, target);
}

void DrawSGridDampingRays(const SubplotRecord& s, double zeta, const PlotStyle* style,
                          const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr || !(zeta >= 0 && zeta <= 1)) return;
  if (zeta == 0) {
    DrawVerticalLine(s, 0, style, port, target);
    return;
  }
  double left = 0, right = 0;
  GetViewportXRange(s, &left, &right);
  const double t = std::sqrt(1 - zeta * zeta) / zeta * left;
  const double x[3] = {left, 0, left}, y[3] = {-t, 0, t};
  DrawDataPolyline(s, x, y, 3, false, style, port, target);
}

void DrawZGrid(const SubplotRecord& s, int32_t nz, int32_t nw, const PlotStyle* style, bool full,
               const GraphicsPort& port, void* target) {
  DrawUnitCircle(s, style, port, target);
  if (!full) return;
  ForDampingRatios(nz, [&](double zeta) { DrawZGridDampingCurve(s, zeta, style, port, target); });
  if (nw <= 0) return;
  const double step = kPi / nw;
  for (double w = step; w <= kPi; w += step) DrawZGridFrequencyCurve(s, w, style, port, target);
}

void DrawSGrid(const SubplotRecord& s, int32_t nz, int32_t nw, const PlotStyle* style, bool full,
               const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr) return;
  DrawVerticalLine(s, 0, style, port, target);
  if (!full) return;
  ForDampingRatios(nz, [&](double zeta) { DrawSGridDampingRays(s, zeta, style, port, target); });
  double left = 0, right = 0;
  GetViewportXRange(s, &left, &right);
  const double r = std::fabs(left);
  if (!(r > 0 && std::isfinite(r)) || nw <= 0) return;
  // The circles step by pi times a power of ten, the first such step not
  // below the distance of the left edge.
  double p = kPi;
  if (r < kPi) {
    while (p > r) p *= 0.1;
  }
  while (p < r) p *= 10;
  for (int32_t i = 1; i <= nw; i++) DrawSGridFrequencyCircle(s, i * p / nw, style, port, target);
}

void DrawHGrid(const SubplotRecord& s, const PlotStyle* style, bool full, const GraphicsPort& port,
               void* target) {
  DrawUnitCircle(s, style, port, target);
  if (port.drawPolyline == nullptr) return;
  DrawHorizontalLine(s, 0, style, port, target);
  if (!full) return;
  // Circles are drawn only when they are neither dots nor nearly lines.
  const double d = 0.1 * ((LimitMax(s, kAxisX) - LimitMin(s, kAxisX)) +
                          (LimitMax(s, kAxisY) - LimitMin(s, kAxisY)));
  const auto circle = [&](double cx, double cy, double radius) {
    if (d < radius && radius < 25 * d) DrawDataCircle(s, cx, cy, radius, style, port, target);
  };
  // Closed-loop magnitude 1.
  DrawVerticalLine(s, -0.5, style, port, target);
  // Magnitudes M and 1 / M share a radius.
  for (double m : {0.2, 5.0, 0.5, 2.0, 0.8, 1.25}) {
    const double m2 = m * m;
    circle(-m2 / (m2 - 1), 0, std::fabs(m / (m2 - 1)));
  }
  // Closed-loop phase 90 degrees, then the others.
  DrawDataCircle(s, -0.5, 0, 0.5, style, port, target);
  for (double degrees : {75.0, 60.0, 45.0, 30.0, 20.0, 10.0}) {
    const double phi = degrees * kPi / 180;
    const double radius = 0.5 / std::sin(phi), offset = 0.5 / std::tan(phi);
    circle(-0.5, offset, radius);
    circle(-0.5, -offset, radius);
  }
}

void DrawNGrid(const SubplotRecord& s, const PlotStyle* style, bool full, const GraphicsPort& port,
               void* target) {
  if (port.drawPolyline == nullptr) return;
  for (int32_t k = 0; k <= 4; k++) DrawVerticalLine(s, -kPi - kTwoPi * k, style, port, target);
  DrawHorizontalLine(s, 1, style, port, target);
  if (!full) return;
  // +12, +6, +3, 0, -3, -6 and -12 dB.
  for (double m : {4.0, 2.0, std::sqrt(2.0), 1.0, std::sqrt(0.5), 0.5, 0.25}) {
    DrawNicholsMagnitudeCurve(s, m, style, port, target);
  }
}

void DrawNicholsMagnitudeCurve(const SubplotRecord& s, double m, const PlotStyle* style,
                               const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr) return;
  double left = 0, right = 0, bottom = 0, top = 0;
  GetViewportXRange(s, &left, &right);
  GetViewportYRange(s, &bottom, &top);
  if (!(top > 0 && left < right && bottom < top)) return;
  const double k0 = right <= 0 ? std::floor(-right / kTwoPi) : 0;
  const double k1 = std::min(std::ceil(-left / kTwoPi), k0 + kNicholsCopies - 1);
  const double copies = k1 - k0 + 1;
  double period = 0;
  DataDeltaToDevice(s, &kTwoPi, nullptr, nullptr, 1, &period, nullptr, nullptr);
  // Each curve half, then its mirror image about the phase -pi.
  const auto draw = [&](double* phase, const double* magnitude) {
    DrawNicholsCopies(s, phase, magnitude, k0, copies, period, style, port, target);
    for (int32_t n = 0; n < kPiecePoints; n++) phase[n] = -kTwoPi - phase[n];
    DrawNicholsCopies(s, phase, magnitude, k0, copies, period, style, port, target);
  };
  double phase[kPiecePoints], magnitude[kPiecePoints];
  if (m == 1) {
    if (top < 0.5) return;
    const double a = std::sqrt(top * top - 0.25);
    for (int32_t n = 0; n < kPiecePoints; n++) {
      const double t = a > 10 && n <= 14 ? n * n / 22.5 : n * n * a / 225;
      phase[n] = std::atan2(t, -0.5) - kTwoPi;
      magnitude[n] = std::sqrt(t * t + 0.25);
    }
    draw(phase, magnitude);
    return;
  }
  // The closed-loop magnitude m is the circle of signed radius c around e.
  const double c = m / (1 - m * m), e = c * m;
  const double shift = m >= 1 ? 0 : kTwoPi;
  for (int32_t half = 0; half < 2; half++) {
    const double sign = half == 0 ? 1 : -1;
    phase[0] = half == 0 && m <= 1 ? -kTwoPi : -kPi;
    magnitude[0] = std::fabs(e + sign * c);
    for (int32_t n = 1; n < kPiecePoints; n++) {
      const double a = n * kPi / 30;
      const double re = e + sign * c * std::cos(a), im = c * std::sin(a);
      phase[n] = std::atan2(im, re) - shift;
      magnitude[n] = std::hypot(re, im);
    }
    draw(phase, magnitude);
  }
}

}  // namespace vke
