// The hit tests of drawn shapes: vertices, infinite lines, circles, bars,
// images, pseudo-colour cells, active regions and frequency-response curves.
// Each converts its command's data to pixels in the walk's scratch memory;
// a command whose data do not fit there is skipped.
#include <algorithm>
#include <cmath>

#include "graphics/drawing_command.hpp"
#include "graphics/hit_test_internal.hpp"
#include "graphics/scale.hpp"
#include "numerics/rational.hpp"

namespace vke {
namespace {

// The values a hit reports: a point on the object, with or without its
// number.
constexpr uint32_t kPointHitFlags = kEventX0 | kEventY0 | kEventId | kEventNb | kEventIx;
constexpr uint32_t kLineHitFlags = kEventX0 | kEventY0 | kEventId | kEventNb;

// Payload positions.
constexpr uint32_t kBarKind = 0, kBarWidth = 1, kBarCount = 2, kBarData = 3;
constexpr uint32_t kBarHorizontal = 1, kBarInterval = 2;  // bits of the kind
constexpr uint32_t kImageX = 3, kImageY = 4, kImageWidth = 5, kImageHeight = 6;
constexpr uint32_t kCellsFlags = 0, kCellsRows = 1, kCellsColumns = 2, kCellsData = 3;
constexpr int32_t kCellsXVector = 1, kCellsXMatrix = 2, kCellsYVector = 4, kCellsYMatrix = 8;

// The count at payload double i; -1 when it is negative or not a number.
int32_t CountAt(const RenderCommand& c, uint32_t i) {
  return c.Holds(i + 1) ? PayloadCount(c.Get(i)) : -1;
}

bool ScratchHolds(const HitWalk& w, int64_t doubles) {
  return doubles >= 0 && doubles <= w.capacity;
}

// A region hit: nothing line-like replaces it later.
void TakeRegion(HitWalk& w, const RenderCommand& c, int32_t index, int32_t point, uint32_t flags) {
  w.Take(c, index, point, flags);
  w.best = 0;
}

}  // namespace

bool PointInPolygon(const double* X, const double* Y, int32_t n, double px, double py) {
  bool inside = false;
  for (int32_t i = 0, j = n - 1; i < n; j = i++) {
    if (Y[i] == Y[j]) continue;
    if ((Y[i] <= py && py < Y[j]) || (Y[j] <= py && py < Y[i])) {
      const double cross = X[i] + (py - Y[i]) * (X[j] - X[i]) / (Y[j] - Y[i]);
      if (cross < px) inside = !inside;
    }
  }
  return inside;
}

// Codes 1, 2 and 13: n; x[n]; y[n]; and a third row (frequency or z).
void HitPolyline(HitWalk& w, const RenderCommand& c) {
  const int32_t n = CountAt(c, 0);
  const bool third = c.header.code != kCmdPolyline;
  if (n < 1 || !c.Holds(1 + int64_t{n} * (third ? 3 : 2)) || !ScratchHolds(w, 2 * int64_t{n})) {
    return;
  }
  const double* x = c.Doubles(1);
  const double* y = x + n;
  const double* z = y + n;
  double* X = w.scratch;
  double* Y = X + n;
  DataToDevice(w.subplot, x, y, c.header.code == kCmdPolyline3 ? z : nullptr, n, X, Y, nullptr);
  for (int32_t i = 0; i < n; ++i) {
    const double d = std::fabs(w.px - X[i]) + std::fabs(w.py - Y[i]);
    if (!(d < w.tolerance) || (w.cls == kHitPoint && !(d < w.best))) continue;
    w.best = d;
    w.cls = kHitPoint;
    w.record->x0 = x[i];
    w.record->y0 = y[i];
    uint32_t flags = kPointHitFlags;
    if (c.header.code == kCmdPolyline3) {
      w.record->z0 = z[i];
      flags |= kEventZ0;
    } else if (third) {
      w.record->q[0] = z[i];
      flags |= kEventQ;
    }
    w.Take(c, c.header.index, i + 1, flags);
  }
}

// Code 4: the line a x + b y = c.
void HitInfiniteLine(HitWalk& w, const RenderCommand& c) {
  if (w.cls == kHitPoint || !c.Holds(3)) return;
  const double a = c.Get(0), b = c.Get(1), k = c.Get(2);
  double A = 0, B = 0, K = 0;
  LineToDevice(w.subplot, a, b, k, &A, &B, &K);
  const double d = std::fabs(A * w.px + B * w.py - K) / std::sqrt(A * A + B * B);
  if (!(d < w.tolerance && d < w.best)) return;
  w.best = d;
  w.cls = kHitLine;
  const double t = (a * w.x + b * w.y - k) / (a * a + b * b);
  w.record->x0 = w.x - t * a;
  w.record->y0 = w.y - t * b;
  w.Take(c, c.header.index, -1, kLineHitFlags);
}

// Code 5: n; x[n]; y[n]; r[n].
void HitCircles(HitWalk& w, const RenderCommand& c) {
  const int32_t n = CountAt(c, 0);
  if (w.cls == kHitPoint || n < 1 || !c.Holds(1 + 3 * int64_t{n}) ||
      !ScratchHolds(w, 4 * int64_t{n})) {
    return;
  }
  const double* x = c.Doubles(1);
  const double* r = x + 2 * n;
  double* X = w.scratch;
  double* Y = X + n;
  double* RX = Y + n;
  double* RY = RX + n;
  DataToDevice(w.subplot, x, x + n, nullptr, n, X, Y, nullptr);
  DataDeltaToDevice(w.subplot, r, r, nullptr, n, RX, RY, nullptr);
  for (int32_t i = 0; i < n; ++i) {
    const double u = (w.px - X[i]) / RX[i], v = (w.py - Y[i]) / RY[i];
    const double rho = std::sqrt(u * u + v * v);
    // The point of the ellipse on the ray from its centre through the pointer.
    const double ex = X[i] + (w.px - X[i]) / rho, ey = Y[i] + (w.py - Y[i]) / rho;
    const double d = std::fabs(w.px - ex) + std::fabs(w.py - ey);
    if (!(d < w.tolerance && d < w.best)) continue;
    w.best = d;
    w.cls = kHitLine;
    w.record->x0 = w.x;
    w.record->y0 = w.y;
    w.Take(c, i + 1, -1, kLineHitFlags);
  }
}

// Code 7: kind; width; n; positions[n]; ends[n] (interval bars: upper
// ends[n], lower ends[n]).
void HitBars(HitWalk& w, const RenderCommand& c) {
  const int32_t n = CountAt(c, kBarCount);
  if (n < 1 || !c.Holds(kBarData)) return;
  const auto kind = static_cast<uint32_t>(PayloadCount(c.Get(kBarKind)));
  const bool horizontal = (kind & kBarHorizontal) != 0, interval = (kind & kBarInterval) != 0;
  if (!c.Holds(kBarData + int64_t{n} * (interval ? 3 : 2)) || !ScratchHolds(w, 3 * int64_t{n})) {
    return;
  }
  const double* pos = c.Doubles(kBarData);
  const double* value = pos + n;
  const double* base = value + n;
  double* P = w.scratch;
  double* V = P + n;
  double* B = V + n;
  // Along the bars' axis the positions, across it the ends.
  double* X = horizontal ? V : P;
  double* Y = horizontal ? P : V;
  DataToDevice(w.subplot, horizontal ? value : pos, horizontal ? pos : value, nullptr, n, X, Y,
               nullptr);
  if (interval && horizontal)
    DataToDevice(w.subplot, base, nullptr, nullptr, n, B, nullptr, nullptr);
  if (interval && !horizontal)
    DataToDevice(w.subplot, nullptr, base, nullptr, n, nullptr, B, nullptr);
  const double half = c.Get(kBarWidth) / 2;
  double hx = 0, hy = 0;
  DataDeltaToDevice(w.subplot, &half, &half, nullptr, 1, &hx, &hy, nullptr);
  const double hw = std::fabs(horizontal ? hy : hx);
  const double along = horizontal ? w.py : w.px, across = horizontal ? w.px : w.py;
  for (int32_t i = 0; i < n; ++i) {
    if (!(P[i] - hw < along && along < P[i] + hw)) continue;
    const double dv = std::fabs(across - V[i]);
    const double db = interval ? std::fabs(across - B[i]) : HUGE_VAL;
    const double d = std::min(dv, db);
    if (!(d < w.tolerance && d < w.best)) continue;
    w.best = d;
    w.cls = kHitPoint;
    const double end = db <= dv ? base[i] : value[i];
    w.record->x0 = horizontal ? end : pos[i];
    w.record->y0 = horizontal ? pos[i] : end;
    w.Take(c, c.header.index, i + 1, kPointHitFlags);
  }
}

// Code 9: flags; rows; columns; x0; y0; width; height; the cells.
void HitImage(HitWalk& w, const RenderCommand& c) {
  if (w.cls != kHitNone || !c.Holds(kImageHeight + 1)) return;
  const double xs[2] = {c.Get(kImageX), c.Get(kImageX) + c.Get(kImageWidth)};
  const double ys[2] = {c.Get(kImageY), c.Get(kImageY) + c.Get(kImageHeight)};
  double X[2], Y[2];
  DataToDevice(w.subplot, xs, ys, nullptr, 2, X, Y, nullptr);
  if (!(std::min(X[0], X[1]) < w.px && w.px < std::max(X[0], X[1]) && std::min(Y[0], Y[1]) < w.py &&
        w.py < std::max(Y[0], Y[1]))) {
    return;
  }
  w.record->x0 = w.x;
  w.record->y0 = w.y;
  TakeRegion(w, c, c.header.index, -1, kLineHitFlags);
}

// Code 10: flags; m; n; x (n or m x n values, when given); y (m or m x n);
// the m x n cell values. Coordinates not given count 1, 2, ...; cell (i, j)
// lies between the points (i, j) and (i + 1, j + 1).
void HitPseudoColour(HitWalk& w, const RenderCommand& c) {
  if (w.cls != kHitNone || !c.Holds(kCellsData)) return;
  const int32_t kinds = PayloadCount(c.Get(kCellsFlags));
  const int32_t m = CountAt(c, kCellsRows), n = CountAt(c, kCellsColumns);
  if (kinds < 0 || m < 2 || n < 2) return;
  const int64_t cells = int64_t{m} * n;
  const int64_t xCount = kinds & kCellsXMatrix ? cells : kinds & kCellsXVector ? n : 0;
  const int64_t yCount = kinds & kCellsYMatrix ? cells : kinds & kCellsYVector ? m : 0;
  if (!c.Holds(kCellsData + xCount + yCount + cells) || !ScratchHolds(w, 4 * cells)) return;
  const double* xv = c.Doubles(kCellsData);
  const double* yv = xv + xCount;
  // The corner points in data units, then in pixels.
  double* x = w.scratch;
  double* y = x + cells;
  double* X = y + cells;
  double* Y = X + cells;
  for (int32_t i = 0; i < m; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      const int64_t p = int64_t{i} * n + j;
      x[p] = xCount == cells ? xv[p] : xCount > 0 ? xv[j] : j + 1;
      y[p] = yCount == cells ? yv[p] : yCount > 0 ? yv[i] : i + 1;
    }
  }
  DataToDevice(w.subplot, x, y, nullptr, static_cast<int32_t>(cells), X, Y, nullptr);
  for (int32_t i = 0; i + 1 < m; ++i) {
    for (int32_t j = 0; j + 1 < n; ++j) {
      const int64_t p = int64_t{i} * n + j;
      const double qx[4] = {X[p], X[p + 1], X[p + n + 1], X[p + n]};
      const double qy[4] = {Y[p], Y[p + 1], Y[p + n + 1], Y[p + n]};
      if (!PointInPolygon(qx, qy, 4, w.px, w.py)) continue;
      TakeRegion(w, c, -1, i * n + j + 1, kEventId | kEventIx);
      return;
    }
  }
}

// Code 12: n; x[n]; y[n], a polygon.
void HitActiveRegion(HitWalk& w, const RenderCommand& c) {
  const int32_t n = CountAt(c, 0);
  if (w.cls != kHitNone || n < 3 || !c.Holds(1 + 2 * int64_t{n}) ||
      !ScratchHolds(w, 2 * int64_t{n})) {
    return;
  }
  double* X = w.scratch;
  double* Y = X + n;
  DataToDevice(w.subplot, c.Doubles(1), c.Doubles(1 + n), nullptr, n, X, Y, nullptr);
  if (PointInPolygon(X, Y, n, w.px, w.py)) TakeRegion(w, c, -1, -1, kEventId);
}

// Codes 19, 20 (continuous) and 23, 24 (discrete, behind the sampling
// period): numerator degree, denominator degree, their coefficients. The
// magnitude (19, 23) or phase (20, 24) at the pointer's x.
void HitFrequencyResponse(HitWalk& w, const RenderCommand& c) {
  constexpr int32_t kDiscreteMagnitude = 23;
  const int32_t code = c.header.code;
  const bool discrete = code >= kDiscreteMagnitude;
  const bool magnitude = code == kCmdFirstSystem || code == kDiscreteMagnitude;
  const uint32_t at = discrete ? 1 : 0;
  const int32_t nNum = CountAt(c, at) + 1, nDen = CountAt(c, at + 1) + 1;
  if (w.cls == kHitPoint || nNum < 1 || nDen < 1 ||
      !c.Holds(int64_t{at} + 2 + int64_t{nNum} + nDen)) {
    return;
  }
  ComplexValue s{0, w.x};
  if (discrete) s = {std::cos(w.x * c.Get(0)), std::sin(w.x * c.Get(0))};
  const double* num = c.Doubles(at + 2);
  const ComplexValue h = EvalRationalAtComplex(num, nNum, num + nNum, nDen, s);
  const double value = magnitude ? std::hypot(h.re, h.im) : std::atan2(h.im, h.re);
  const double d = std::fabs(w.py - DataYToDevice(w.subplot, value));
  if (!(d < w.tolerance && d < w.best)) return;
  w.best = d;
  w.cls = kHitLine;
  w.record->x0 = w.x;
  w.record->y0 = value;
  w.Take(c, c.header.index, -1, kLineHitFlags);
}

}  // namespace vke
