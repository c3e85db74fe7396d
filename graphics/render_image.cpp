// Replay of images: the cells of one grey plane (through the colour map
// when the group has one) or of three colour planes, resampled by nearest
// neighbour, linear or cubic interpolation into the device pixels of the
// image's rectangle and handed to the port row by row, only where the
// rectangle meets the viewport.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/render_call.hpp"
#include "graphics/renderer.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// Payload flags.
constexpr int32_t kImageColour = 1;  // three planes, else one grey plane
constexpr int32_t kImageFit = 2;     // whole device pixels per source cell
constexpr int32_t kImageModeShift = 2;
// Resampling modes (bits 2-3); 2 draws as nearest.
constexpr int32_t kModeLinear = 1;
constexpr int32_t kModeCubic = 3;

// Bytes of the colour-map table of grey images: 256 entries of red, green
// and blue.
constexpr int32_t kTableBytes = 3 * 256;

// Where the output pixels come from: output column u (0 at the image's
// column 0) and row v of an output of w x h pixels.
struct Sampler {
  const uint8_t* plane;  // rows x cols bytes, row by row
  int32_t rows;
  int32_t cols;
  double w;
  double h;

  uint8_t P(int64_t i, int64_t j) const { return plane[i * cols + j]; }

  int32_t NearestRow(double v) const {
    return std::min(static_cast<int32_t>(std::floor(v * rows / h)), rows - 1);
  }
  int32_t NearestColumn(double u) const {
    return std::min(static_cast<int32_t>(std::floor(u * cols / w)), cols - 1);
  }

  // Position of output pixel k of `out` pixels among n source cells: its
  // cell and the fraction toward the next. One output pixel sits on the
  // first cell; one source cell has fraction 0.
  static void Position(double k, double out, int32_t n, int32_t* i, double* f) {
    const double at = out > 1 ? (n - 1) / (out - 1) * k : 0;
    if (n < 2) {
      *i = 0;
      *f = 0;
      return;
    }
    if (at >= n - 1) {
      *i = n - 2;
      *f = 1;
      return;
    }
    *i = static_cast<int32_t>(std::floor(at));
    *f = at - *i;
  }

  // The cell of output row v (or column u) and the fraction toward the
  // next one, for linear and cubic sampling.
  struct At {
    int32_t i;
    double f;
  };
  At Row(double v) const {
    At a;
    Position(v, h, rows, &a.i, &a.f);
    return a;
  }
  At Column(double u) const {
    At a;
    Position(u, w, cols, &a.i, &a.f);
    return a;
  }

  uint8_t Linear(At r, At c) const {
    const int32_t i1 = std::min(r.i + 1, rows - 1);
    const int32_t j1 = std::min(c.i + 1, cols - 1);
    const double top = P(r.i, c.i) + c.f * (P(r.i, j1) - P(r.i, c.i));
    const double bottom = P(i1, c.i) + c.f * (P(i1, j1) - P(i1, c.i));
    return static_cast<uint8_t>(top + r.f * (bottom - top));
  }

  static void CubicWeights(double t, double w[4]) {
    w[0] = ((1 - t / 2) * t - 0.5) * t;
    w[1] = (1.5 * t - 2.5) * t * t + 1;
    w[2] = ((2 - 1.5 * t) * t + 0.5) * t;
    w[3] = (0.5 * t - 0.5) * t * t;
  }

  uint8_t Cubic(At r, At c) const {
    double wy[4];
    double wx[4];
    CubicWeights(r.f, wy);
    CubicWeights(c.f, wx);
    double sum = 0;
    for (int32_t a = 0; a < 4; ++a) {
      const int32_t row = std::clamp(r.i - 1 + a, 0, rows - 1);
      double part = 0;
      for (int32_t b = 0; b < 4; ++b) part += wx[b] * P(row, std::clamp(c.i - 1 + b, 0, cols - 1));
      sum += wy[a] * part;
    }
    return static_cast<uint8_t>(std::floor(std::clamp(sum, 0.0, 255.0) + 0.5));
  }
};

// The part of the output that the viewport shows, in output pixels.
struct Visible {
  double left;  // device x of output column 0
  double top;   // device y of output row 0 (the screen's upper edge)
  double w;     // output pixels across and down
  double h;
  double sx;  // output pixels per device unit
  double sy;
  int32_t c0, c1;  // visible columns c0 .. c1 - 1
  int32_t q0, q1;  // visible rows
};

// Where the image lands: false when it misses the viewport or has no
// pixels. Sets the mirror flags: column 0 at the right, row 0 at the
// screen's bottom.
bool PlaceImage(const RenderCall& call, const double* box, int32_t rows, int32_t cols, bool fit,
                Visible* out, bool* mirrorX, bool* mirrorY) {
  const SubplotRecord& s = *call.subplot;
  const double xs[2] = {box[0], box[0] + box[2]};
  const double ys[2] = {box[1], box[1] + box[3]};
  double X[2];
  double Y[2];
  DataToDevice(s, xs, ys, nullptr, 2, X, Y, nullptr);
  if (!std::all_of(X, X + 2, [](double v) { return std::isfinite(v); }) ||
      !std::all_of(Y, Y + 2, [](double v) { return std::isfinite(v); })) {
    return false;
  }
  // Row 0 lies at the data edge y0 + height.
  *mirrorX = X[1] < X[0];
  *mirrorY = Y[1] > Y[0];
  const double* v = s.viewport;
  const double vl = std::min(v[kLeft], v[kRight]);
  const double vr = std::max(v[kLeft], v[kRight]);
  const double vt = std::min(v[kTop], v[kBottom]);
  const double vb = std::max(v[kTop], v[kBottom]);
  double left = std::min(X[0], X[1]);
  double top = std::min(Y[0], Y[1]);
  const double right = std::max(X[0], X[1]);
  const double bottom = std::max(Y[0], Y[1]);
  if (right <= vl || left >= vr || bottom <= vt || top >= vb) return false;
  double sx = 1;
  double sy = 1;
  if (call.port.pixelScale != nullptr) call.port.pixelScale(&sx, &sy);
  if (!(sx > 0) || !std::isfinite(sx)) sx = 1;
  if (!(sy > 0) || !std::isfinite(sy)) sy = 1;
  double w = std::trunc((right - left) * sx);
  double h = std::trunc((bottom - top) * sy);
  if (!(w >= 1) || !(h >= 1)) return false;
  if (fit && cols < w) {
    const double whole = std::floor(w / cols) * cols;
    left += (w - whole) / 2 / sx;
    w = whole;
  }
  if (fit && rows < h) {
    const double whole = std::floor(h / rows) * rows;
    top += (h - whole) / 2 / sy;
    h = whole;
  }
  // Rows start on a whole pixel, clear of rounding just below one.
  const double fraction = (top - 1e-6) - std::floor(top - 1e-6);
  if (fraction > 0.999998) top += 2e-6;
  if (sy == std::floor(sy)) top = std::round(top);
  const auto span = [](double from, double to, double scale, double n, int32_t* first,
                       int32_t* end) {
    const double a = std::clamp(std::floor(from * scale), 0.0, n);
    const double b = std::clamp(std::ceil(to * scale), 0.0, n);
    *first = static_cast<int32_t>(std::min(a, 2147483647.0));
    *end = static_cast<int32_t>(std::min(b, 2147483647.0));
  };
  int32_t c0, c1, q0, q1;
  span(vl - left, vr - left, sx, w, &c0, &c1);
  span(vt - top, vb - top, sy, h, &q0, &q1);
  if (c1 <= c0 || q1 <= q0) return false;
  // Pixel positions stay exact only while they fit a double's integers.
  if (w > 1e15 || h > 1e15) return false;
  *out = Visible{left, top, w, h, sx, sy, c0, c1, q0, q1};
  return true;
}

}  // namespace

void DrawImageCommand(RenderCall& call, const RenderCommand& c) {
  if (call.port.drawImageCells == nullptr || !c.Holds(7)) return;
  const int32_t flags = TruncToInt32(c.Get(0));
  const int32_t rows = PayloadCount(c.Get(1));
  const int32_t cols = PayloadCount(c.Get(2));
  if (rows <= 0 || cols <= 0 || flags < 0) return;
  const int64_t cells = int64_t{rows} * cols;
  const bool colour = flags & kImageColour;
  const int32_t planes = colour ? 3 : 1;
  if (!c.Holds(7 + PackedDoubles(planes * cells))) return;
  const double box[4] = {c.Get(3), c.Get(4), c.Get(5), c.Get(6)};
  Visible vis;
  bool mirrorX = false;
  bool mirrorY = false;
  if (!PlaceImage(call, box, rows, cols, flags & kImageFit, &vis, &mirrorX, &mirrorY)) return;

  const int32_t width = vis.c1 - vis.c0;
  const bool mapped = !colour && call.colormapCount > 0;
  const int32_t outPlanes = colour || mapped ? 3 : 1;
  const int64_t bytes = int64_t{outPlanes} * width + (mapped ? kTableBytes : 0);
  if ((bytes + 7) / 8 >= call.capacity) return;
  auto* out = reinterpret_cast<uint8_t*>(call.scratch);
  uint8_t* table = out + int64_t{outPlanes} * width;
  if (mapped) {
    for (int32_t i = 0; i < 256; ++i)
      ColormapLookup(call.colormap, call.colormapCount, i / 255.0, table + 3 * i);
  }
  const auto* source = reinterpret_cast<const uint8_t*>(c.Doubles(7));
  const int32_t mode = (flags >> kImageModeShift) & 3;
  Sampler sample[3];
  for (int32_t k = 0; k < planes; ++k) {
    sample[k] = Sampler{source + k * cells, rows, cols, vis.w, vis.h};
  }
  const auto imageColumn = [&](int32_t col) {
    return mirrorX ? vis.w - 1 - col : static_cast<double>(col);
  };
  const auto imageRow = [&](int32_t q) { return mirrorY ? vis.h - 1 - q : static_cast<double>(q); };

  for (int32_t q = vis.q0; q < vis.q1;) {
    // Rows that show the same source row draw as one band when sampling by
    // nearest neighbour.
    int32_t band = 1;
    const double v = imageRow(q);
    const int32_t nearestRow = sample[0].NearestRow(v);
    if (mode != kModeLinear && mode != kModeCubic) {
      while (q + band < vis.q1 && sample[0].NearestRow(imageRow(q + band)) == nearestRow) ++band;
    }
    // Each column's source position once for all planes.
    const Sampler::At row = sample[0].Row(v);
    for (int32_t i = 0; i < width; ++i) {
      const double u = imageColumn(vis.c0 + i);
      if (mode == kModeLinear || mode == kModeCubic) {
        const Sampler::At column = sample[0].Column(u);
        for (int32_t k = 0; k < planes; ++k) {
          out[int64_t{k} * width + i] =
              mode == kModeLinear ? sample[k].Linear(row, column) : sample[k].Cubic(row, column);
        }
      } else {
        const int32_t column = sample[0].NearestColumn(u);
        for (int32_t k = 0; k < planes; ++k) {
          out[int64_t{k} * width + i] = sample[k].P(nearestRow, column);
        }
      }
    }
    if (mapped) {
      // Grey levels through the table, the last plane first so that the
      // grey bytes in the first plane are read before they are replaced.
      for (int32_t p = 2; p >= 0; --p) {
        for (int32_t i = 0; i < width; ++i) out[int64_t{p} * width + i] = table[3 * out[i] + p];
      }
    }
    const uint8_t* second = outPlanes == 3 ? out + width : nullptr;
    const uint8_t* third = outPlanes == 3 ? out + 2 * int64_t{width} : nullptr;
    call.port.drawImageCells(vis.left + vis.c0 / vis.sx, vis.top + q / vis.sy, width, 1, 1, band,
                             out, second, third, call.target);
    q += band;
  }
}

}  // namespace vke
