// Replay of pseudo-colour cells: each grid cell filled with the mean of its
// corner values through the group's colour map (grey without one), then
// the grid lines or node markers in the command's style; and the colour-map
// lookup that surfaces and images share.
#include <algorithm>
#include <cmath>

#include "graphics/render_call.hpp"
#include "graphics/renderer.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// Payload flags: where the node coordinates come from.
constexpr int32_t kXVector = 1;  // x given, one per column
constexpr int32_t kXMatrix = 2;  // x given, one per node
constexpr int32_t kYVector = 4;  // y given, one per row
constexpr int32_t kYMatrix = 8;  // y given, one per node

uint8_t ColourByte(double v) {
  const double b = std::floor(v * 255.9999);
  return static_cast<uint8_t>(b > 0 ? std::min(b, 255.0) : 0.0);
}

// The nodes' coordinates along one axis: one per node (matrix), or one per
// column of x or row of y (vector).
struct NodeAxis {
  bool matrix;
  int32_t count;
};

// Scales `count` values (or 1..count when null) of axis x or y into out.
void ScaleNodes(const SubplotRecord& s, bool isX, const double* values, int32_t count,
                double* out) {
  if (values == nullptr) {
    for (int32_t i = 0; i < count; ++i) out[i] = i + 1;
    values = out;
  }
  DataToDevice(s, isX ? values : nullptr, isX ? nullptr : values, nullptr, count,
               isX ? out : nullptr, isX ? nullptr : out, nullptr);
}

}  // namespace

void ColormapLookup(const std::byte* colormap, int32_t count, double t, uint8_t rgb[3]) {
  if (count <= 0 || colormap == nullptr) {
    const uint8_t grey = !(t > 0) ? 0 : t >= 1 ? 255 : ColourByte(t);
    rgb[0] = rgb[1] = rgb[2] = grey;
    return;
  }
  int32_t i = 0;
  if (t >= 1) {
    i = count - 1;
  } else if (t > 0) {
    i = std::min(static_cast<int32_t>(std::floor(count * t)), count - 1);
  }
  for (int32_t c = 0; c < 3; ++c) {
    rgb[c] = ColourByte(PayloadDouble(colormap, static_cast<uint32_t>(c * count + i)));
  }
}

void DrawPcolorCommand(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawPolyline == nullptr || !c.Holds(3)) return;
  const int32_t flags = TruncToInt32(c.Get(0));
  const int32_t m = PayloadCount(c.Get(1));
  const int32_t n = PayloadCount(c.Get(2));
  if (m <= 0 || n <= 0) return;
  const int64_t nodes = int64_t{m} * n;
  const bool xGiven = flags & (kXVector | kXMatrix);
  const bool yGiven = flags & (kYVector | kYMatrix);
  const NodeAxis xs{(flags & kXMatrix) != 0, static_cast<int32_t>(flags & kXMatrix ? nodes : n)};
  const NodeAxis ys{(flags & kYMatrix) != 0, static_cast<int32_t>(flags & kYMatrix ? nodes : m)};
  const int64_t xData = xGiven ? xs.count : 0;
  const int64_t yData = yGiven ? ys.count : 0;
  if (!c.Holds(3 + xData + yData + nodes) || int64_t{xs.count} + ys.count > call.capacity) return;
  const SubplotRecord& s = *call.subplot;
  double* X = call.scratch;
  double* Y = X + xs.count;
  ScaleNodes(s, true, xGiven ? c.Doubles(3) : nullptr, xs.count, X);
  ScaleNodes(s, false, yGiven ? c.Doubles(static_cast<uint32_t>(3 + xData)) : nullptr, ys.count, Y);
  const double* V = c.Doubles(static_cast<uint32_t>(3 + xData + yData));
  const auto nodeX = [&](int32_t i, int32_t j) { return xs.matrix ? X[int64_t{i} * n + j] : X[j]; };
  const auto nodeY = [&](int32_t i, int32_t j) { return ys.matrix ? Y[int64_t{i} * n + j] : Y[i]; };

  PlotStyle cell{kStyleFilled, 0, 0, 0, 0};
  for (int32_t i = 1; i < m; ++i) {
    for (int32_t j = 1; j < n; ++j) {
      const int32_t ri[4] = {i - 1, i - 1, i, i};
      const int32_t cj[4] = {j - 1, j, j, j - 1};
      double px[4];
      double py[4];
      double sum = 0;
      bool finite = true;
      for (int k = 0; k < 4; ++k) {
        px[k] = nodeX(ri[k], cj[k]);
        py[k] = nodeY(ri[k], cj[k]);
        sum += V[int64_t{ri[k]} * n + cj[k]];
        finite = finite && std::isfinite(px[k]) && std::isfinite(py[k]);
      }
      const double v = sum / 4;
      if (!finite || std::isnan(v)) continue;
      uint8_t rgb[3];
      if (call.colormapCount > 0) {
        ColormapLookup(call.colormap, call.colormapCount, v, rgb);
      } else {
        rgb[0] = rgb[1] = rgb[2] =
            static_cast<uint8_t>(std::trunc(std::clamp(v, 0.0, 1.0) * 255.49));
      }
      cell.red = rgb[0];
      cell.green = rgb[1];
      cell.blue = rgb[2];
      call.port.drawPolyline(px, py, 4, &cell, call.target);
    }
  }

  // Grid lines or node markers.
  const uint32_t kind = c.style.flags & kStyleKindMask;
  if (kind == kKindNone) return;
  if (kind > kKindNone) {
    for (int32_t i = 0; i < m; ++i) {
      for (int32_t j = 0; j < n; ++j) {
        const double x = nodeX(i, j);
        const double y = nodeY(i, j);
        call.port.drawPolyline(&x, &y, 1, &c.style, call.target);
      }
    }
    return;
  }
  const int32_t longest = std::max(m, n);
  if (int64_t{xs.count} + ys.count + 2 * int64_t{longest} > call.capacity) return;
  double* lx = Y + ys.count;
  double* ly = lx + longest;
  if (!xs.matrix && !ys.matrix) {
    // Straight lines across the whole grid.
    const auto [xLow, xHigh] = std::minmax_element(X, X + n);
    const auto [yLow, yHigh] = std::minmax_element(Y, Y + m);
    for (int32_t i = 0; i < m; ++i) {
      const double x[2] = {*xLow, *xHigh};
      const double y[2] = {Y[i], Y[i]};
      call.port.drawPolyline(x, y, 2, &c.style, call.target);
    }
    for (int32_t j = 0; j < n; ++j) {
      const double x[2] = {X[j], X[j]};
      const double y[2] = {*yLow, *yHigh};
      call.port.drawPolyline(x, y, 2, &c.style, call.target);
    }
    return;
  }
  for (int32_t i = 0; i < m; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      lx[j] = nodeX(i, j);
      ly[j] = nodeY(i, j);
    }
    call.port.drawPolyline(lx, ly, n, &c.style, call.target);
  }
  for (int32_t j = 0; j < n; ++j) {
    for (int32_t i = 0; i < m; ++i) {
      lx[i] = nodeX(i, j);
      ly[i] = nodeY(i, j);
    }
    call.port.drawPolyline(lx, ly, m, &c.style, call.target);
  }
}

}  // namespace vke
