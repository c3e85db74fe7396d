// Replay of the line commands of a 2-D subplot: polylines split at points
// that are not finite and clamped near the device, arrowheads, curve lists,
// infinite lines of two and three dimensions (the 3-D one also for the depth
// pool of a 3-D subplot), and bars.
#include <algorithm>
#include <cmath>

#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

bool Finite(double x, double y) {
  return std::isfinite(x) && std::isfinite(y);
}

// Pulls a device point in toward the origin so that it stays within m.
void ClampPoint(double m, double* x, double* y) {
  if (std::fabs(*x) <= m) {
    if (std::fabs(*y) > m) *y = std::copysign(m, *y);
    return;
  }
  const double k = m / (std::fabs(*x) + std::fabs(*y));
  *x *= k;
  *y *= k;
}

// Whether a solid line of the style covers the same pixels when only the
// first, lowest, highest and last of the points that fall into one device
// column are drawn: the port draws each segment's pixels from one point up
// to the next, so such a column is covered from its lowest point to its
// highest either way. Not so for dashes (their pattern runs along the
// line), markers and fills.
bool MergesColumns(const PlotStyle& style) {
  const uint32_t kind = style.flags & kStyleKindMask;
  return (kind == kKindSolid || kind == kKindPlain) &&
         (style.flags & kStyleWidthMask) != kStyleFilled;
}

// Keeps, of each run of points with the same truncated x, the first, the
// lowest, the highest and the last, in their order; returns the count kept.
// A run of more than two points is put on its column's whole x, so that a
// smooth line covers the column as the pixel rule does, without the gaps
// between the fractions of four points.
int32_t MergeColumns(double* X, double* Y, int32_t n) {
  int32_t kept = 0;
  for (int32_t j = 0; j < n;) {
    const double column = std::trunc(X[j]);
    int32_t k = j;
    int32_t low = j;
    int32_t high = j;
    for (; k < n && std::trunc(X[k]) == column; ++k) {
      if (Y[k] < Y[low]) low = k;
      if (Y[k] > Y[high]) high = k;
    }
    const int32_t picks[4] = {j, std::min(low, high), std::max(low, high), k - 1};
    for (int32_t p = 0; p < 4; ++p) {
      if (p > 0 && picks[p] == picks[p - 1]) continue;
      X[kept] = k - j > 2 ? column : X[picks[p]];
      Y[kept] = Y[picks[p]];
      ++kept;
    }
    j = k;
  }
  return kept;
}

// Draws the n device points as runs of finite points, each clamped and
// drawn with one polyline call.
void DrawRuns(const RenderCall& call, double* X, double* Y, int32_t n, const PlotStyle& style) {
  const bool merge = MergesColumns(style);
  int32_t i = 0;
  while (i < n) {
    while (i < n && !Finite(X[i], Y[i])) ++i;
    const int32_t first = i;
    for (; i < n && Finite(X[i], Y[i]); ++i) ClampPoint(call.clampLimit, &X[i], &Y[i]);
    int32_t count = i - first;
    if (merge) count = MergeColumns(X + first, Y + first, count);
    if (count > 0) call.port.drawPolyline(X + first, Y + first, count, &style, call.target);
  }
}

// A head two arrow units long and wide at `tip`, pointing away from `from`.
void DrawArrowhead(const RenderCall& call, double tipX, double tipY, double fromX, double fromY,
                   const PlotStyle& style) {
  if (!Finite(tipX, tipY) || !Finite(fromX, fromY)) return;
  const double dx = tipX - fromX;
  const double dy = tipY - fromY;
  const double length = std::hypot(dx, dy);
  if (!(length > 0) || !std::isfinite(length)) return;
  const double k = call.arrowUnit / length;
  const double xs[3] = {tipX + k * (-2 * dx - dy), tipX, tipX + k * (dy - 2 * dx)};
  const double ys[3] = {tipY + k * (dx - 2 * dy), tipY, tipY + k * (-dx - 2 * dy)};
  call.port.drawPolyline(xs, ys, 3, &style, call.target);
}

// Scales n points of data arrays into the scratch buffer; false when they
// do not fit its `per` doubles per point.
bool ScalePoints(const RenderCall& call, const double* x, const double* y, const double* z,
                 int32_t n, int64_t per, double** X, double** Y) {
  if (per * n > call.capacity) return false;
  *X = call.scratch;
  *Y = call.scratch + n;
  DataToDevice(*call.subplot, x, y, z, n, *X, *Y, nullptr);
  return true;
}

// The point of one axis' data range (low or high) where the two planes meet,
// along the axis where their line changes fastest; false when the planes
// are parallel.
bool PlaneLinePoint(const SubplotRecord& s, const double* p, bool high, double out[3]) {
  const double a1 = p[0], b1 = p[1], c1 = p[2], d1 = p[3];
  const double a2 = p[4], b2 = p[5], c2 = p[6], d2 = p[7];
  const double dir[3] = {b1 * c2 - c1 * b2, c1 * a2 - a1 * c2, a1 * b2 - b1 * a2};
  // Ties go to z, then y, then x.
  int32_t axis = kAxisZ;
  if (std::fabs(dir[kAxisY]) > std::fabs(dir[axis])) axis = kAxisY;
  if (std::fabs(dir[kAxisX]) > std::fabs(dir[axis])) axis = kAxisX;
  const double det = dir[axis];
  if (det == 0 || !std::isfinite(det)) return false;
  const double t =
      high ? LimitMax(s, static_cast<Axis>(axis)) : LimitMin(s, static_cast<Axis>(axis));
  // The other two coordinates u, v solve both plane equations with the
  // axis coordinate fixed at t (Cramer's rule; det is the direction's
  // component along the axis).
  const int32_t u = (axis + 1) % 3;
  const int32_t v = (axis + 2) % 3;
  const double n1[3] = {a1, b1, c1};
  const double n2[3] = {a2, b2, c2};
  const double r1 = d1 - n1[axis] * t;
  const double r2 = d2 - n2[axis] * t;
  out[axis] = t;
  out[u] = (r1 * n2[v] - n1[v] * r2) / det;
  out[v] = (n1[u] * r2 - r1 * n2[u]) / det;
  return true;
}

}  // namespace

void DrawPolylineCommand(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawPolyline == nullptr || !c.Holds(1)) return;
  const int32_t n = PayloadCount(c.Get(0));
  const int64_t arrays = c.header.code == kCmdPolyline3 ? 3 : 2;
  if (n <= 0 || !c.Holds(1 + arrays * n)) return;
  double* X;
  double* Y;
  if (!ScalePoints(call, c.Doubles(1), c.Doubles(1 + n), nullptr, n, 3, &X, &Y)) return;
  // The first two points and the last two, before clamping.
  const double head[4] = {X[0], Y[0], n > 1 ? X[1] : NAN, n > 1 ? Y[1] : NAN};
  const double tail[4] = {X[n - 1], Y[n - 1], n > 1 ? X[n - 2] : NAN, n > 1 ? Y[n - 2] : NAN};
  DrawRuns(call, X, Y, n, c.style);
  if (c.style.flags & kStyleArrowFirst) {
    DrawArrowhead(call, head[0], head[1], head[2], head[3], c.style);
  }
  if (c.style.flags & kStyleArrowLast) {
    DrawArrowhead(call, tail[0], tail[1], tail[2], tail[3], c.style);
  }
}

void DrawCurveList(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawPolyline == nullptr) return;
  int64_t at = 0;
  while (c.Holds(at + 1)) {
    const int32_t n = PayloadCount(c.Get(static_cast<uint32_t>(at)));
    if (n < 0 || !c.Holds(at + 1 + 2 * int64_t{n})) return;
    const auto first = static_cast<uint32_t>(at + 1);
    double* X;
    double* Y;
    if (!ScalePoints(call, c.Doubles(first), c.Doubles(first + n), nullptr, n, 2, &X, &Y)) return;
    if (n > 0) call.port.drawPolyline(X, Y, n, &c.style, call.target);
    at += 1 + 2 * int64_t{n};
  }
}

void DrawInfiniteLine(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawPolyline == nullptr || !c.Holds(3)) return;
  const SubplotRecord& s = *call.subplot;
  const double a = c.Get(0), b = c.Get(1), k = c.Get(2);
  if (a == 0 && b == 0) return;
  double x[2];
  double y[2];
  const bool steep = std::fabs(b) <= std::fabs(a);
  if (steep) {
    GetViewportYRange(s, &y[0], &y[1]);
    for (int i = 0; i < 2; ++i) x[i] = (k - b * y[i]) / a;
  } else {
    GetViewportXRange(s, &x[0], &x[1]);
    for (int i = 0; i < 2; ++i) y[i] = (k - a * x[i]) / b;
  }
  if (IsLogX(s) && !(x[0] > 0 && x[1] > 0)) return;
  if (IsLogY(s) && !(y[0] > 0 && y[1] > 0)) return;
  double X[4];
  double Y[4];
  DataToDevice(s, x, y, nullptr, 2, X, Y, nullptr);
  if (!(c.style.flags & kStyleFilled)) {
    call.port.drawPolyline(X, Y, 2, &c.style, call.target);
    return;
  }
  // The side of the line toward a viewport edge is filled.
  const double* v = s.viewport;
  if (steep) {
    const double e = a > 0 ? v[kLeft] : v[kRight];
    X[2] = X[3] = e;
    Y[2] = Y[1];
    Y[3] = Y[0];
  } else {
    const double e = b > 0 ? v[kBottom] : v[kTop];
    X[2] = X[1];
    X[3] = X[0];
    Y[2] = Y[3] = e;
  }
  call.port.drawPolyline(X, Y, 4, &c.style, call.target);
}

void DrawInfiniteLine3(RenderCall& call, const RenderCommand& c) {
  if ((call.port.drawPolyline == nullptr && !call.is3d) || !c.Holds(8)) return;
  double planes[8];
  for (uint32_t i = 0; i < 8; ++i) planes[i] = c.Get(i);
  double p0[3];
  double p1[3];
  if (!PlaneLinePoint(*call.subplot, planes, false, p0) ||
      !PlaneLinePoint(*call.subplot, planes, true, p1)) {
    return;
  }
  const double x[2] = {p0[kAxisX], p1[kAxisX]};
  const double y[2] = {p0[kAxisY], p1[kAxisY]};
  const double z[2] = {p0[kAxisZ], p1[kAxisZ]};
  double X[2];
  double Y[2];
  double Z[2];
  DataToDevice(*call.subplot, x, y, z, 2, X, Y, Z);
  if (call.is3d) {
    Render3DAddPolyline(call, c.at, X, Y, Z, 2, c.style);
    return;
  }
  call.port.drawPolyline(X, Y, 2, &c.style, call.target);
}

void DrawBars(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawPolyline == nullptr || !c.Holds(3)) return;
  const int32_t flags = TruncToInt32(c.Get(0));
  const double half = c.Get(1) / 2;
  const int32_t n = PayloadCount(c.Get(2));
  const bool horizontal = flags & 1;
  const bool bases = flags & 2;
  if (n <= 0 || !c.Holds(3 + (bases ? 3 : 2) * int64_t{n})) return;
  const double* positions = c.Doubles(3);
  const double* values = c.Doubles(3 + n);
  const double* base = bases ? c.Doubles(3 + 2 * n) : nullptr;
  const double* v = call.subplot->viewport;
  const double yLow = std::min(v[kTop], v[kBottom]);
  const double yHigh = std::max(v[kTop], v[kBottom]);
  for (int32_t i = 0; i < n; ++i) {
    const double across[5] = {positions[i] - half, positions[i] - half, positions[i] + half,
                              positions[i] + half, positions[i] - half};
    const double from = base != nullptr ? base[i] : 0;
    const double along[5] = {from, values[i], values[i], from, from};
    double X[5];
    double Y[5];
    DataToDevice(*call.subplot, horizontal ? along : across, horizontal ? across : along, nullptr,
                 5, X, Y, nullptr);
    if (std::any_of(X, X + 5, [](double d) { return std::isnan(d); }) ||
        std::any_of(Y, Y + 5, [](double d) { return std::isnan(d); })) {
      continue;
    }
    // Corners beyond the viewport go to one viewport further out.
    for (int j = 0; j < 5; ++j) {
      if (X[j] < v[kLeft]) X[j] = 2 * v[kLeft] - v[kRight];
      if (X[j] > v[kRight]) X[j] = 2 * v[kRight] - v[kLeft];
      if (Y[j] < yLow) Y[j] = 2 * yLow - yHigh;
      if (Y[j] > yHigh) Y[j] = 2 * yHigh - yLow;
    }
    call.port.drawPolyline(X, Y, 5, &c.style, call.target);
  }
}

}  // namespace vke
