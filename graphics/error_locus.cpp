// The error-locus measure and the drawing of its region: one evaluation per
// cell, cell rows laid out from the real axis so that each row above it has
// an exact mirror row below.
#include "graphics/error_locus.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"

namespace vke {

namespace {

// A payload holds at most this degree (M has degree^2 entries).
constexpr int32_t kMaxDegree = 1 << 12;
// The real axis further away than this (device units) mirrors nothing.
constexpr double kFarAxis = 1e9;

struct Rgb {
  uint8_t r, g, b;
};
constexpr Rgb kWhite{255, 255, 255};
// The search for the region's extent around a root: the first step (of the
// root's magnitude, at least 1), its doublings and the halvings after.
constexpr double kExtentStart = 1e-4;
constexpr int32_t kExtentDoublings = 40;
constexpr int32_t kExtentHalvings = 20;

// The bands shown without gain marks: the measure's upper bound and colour.
struct Band {
  double upTo;
  Rgb colour;
};
constexpr Band kBands[] = {
    {0.01, {0, 0, 0}},       // black: about where the roots lie
    {0.25, {0, 0, 255}},     // blue
    {1.0, {102, 102, 255}},  // light blue
    {4.0, {204, 204, 204}},  // grey
};

struct Locus {
  const double* p;
  const double* m;
  int32_t n;
  int32_t marks;
  const double* thresholds;
  const uint8_t* colours;  // red, green, blue of each mark

  Rgb ColourOf(double value) const {
    if (marks > 0) {
      for (int32_t i = 0; i < marks; i++) {
        if (thresholds[i] > value) return {colours[3 * i], colours[3 * i + 1], colours[3 * i + 2]};
      }
      return kWhite;
    }
    for (const Band& band : kBands) {
      if (value <= band.upTo) return band.colour;
    }
    return kWhite;
  }
};

// The payload's parts, when they fit its length.
bool ReadLocus(const double* payload, int64_t length, Locus* out) {
  if (length < 1) return false;
  const int32_t n = PayloadCount(payload[0]);
  if (n < 0 || n > kMaxDegree) return false;
  const int64_t marksAt = 1 + (n + 1) + int64_t{n} * n;
  if (length < marksAt + 1) return false;
  const int32_t marks = PayloadCount(payload[marksAt]);
  if (marks < 0 || marks > length) return false;
  if (length < marksAt + 1 + marks + PackedDoubles(3 * int64_t{marks})) return false;
  *out = Locus{payload + 1,
               payload + 2 + n,
               n,
               marks,
               payload + marksAt + 1,
               reinterpret_cast<const uint8_t*>(payload + marksAt + 1 + marks)};
  return true;
}

}  // namespace

double ErrorLocusValue(const double* p, const double* m, int32_t n, double sr, double si,
                       double* work) {
  double* u = work;
  double* v = work + n;
  if (si == 0) {
    double a = p[0];
    for (int32_t k = 1; k <= n; k++) a = a * sr + p[k];
    double power = 1;
    for (int32_t i = n - 1; i >= 0; i--) {
      u[i] = power;
      power *= sr;
    }
    double q = 0;
    for (int32_t i = 0; i < n; i++) {
      double mu = 0;
      for (int32_t j = 0; j < n; j++) mu += m[int64_t{i} * n + j] * u[j];
      q += u[i] * mu;
    }
    return a * a / q;
  }
  // P(s) = a + i b by Horner's rule; u + i v the powers s^(n-1) .. 1.
  double a = p[0], b = 0;
  for (int32_t k = 1; k <= n; k++) {
    const double re = a * sr - b * si + p[k];
    b = a * si + b * sr;
    a = re;
  }
  double ur = 1, ui = 0;
  for (int32_t i = n - 1; i >= 0; i--) {
    u[i] = ur;
    v[i] = ui;
    const double next = ur * sr - ui * si;
    ui = ur * si + ui * sr;
    ur = next;
  }
  double q1 = 0, q2 = 0, q3 = 0;
  for (int32_t i = 0; i < n; i++) {
    double mu = 0, mv = 0;
    for (int32_t j = 0; j < n; j++) {
      const double mij = m[int64_t{i} * n + j];
      mu += mij * u[j];
      mv += mij * v[j];
    }
    q1 += u[i] * mu;
    q2 += v[i] * mv;
    q3 += u[i] * mv;
  }
  return (b * b * q1 + a * a * q2 - 2 * a * b * q3) / (q1 * q2 - q3 * q3);
}

double ErrorLocusBound(const double* squaredGains, int32_t marks) {
  if (marks <= 0) return std::end(kBands)[-1].upTo;
  double bound = 0;
  for (int32_t i = 0; i < marks; i++) bound = std::max(bound, squaredGains[i]);
  return bound;
}

void ErrorLocusExtent(const double* p, const double* m, int32_t n, const double* re,
                      const double* im, int32_t count, double bound, double* xs, double* ys,
                      double* work) {
  constexpr double kDirections[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  for (int32_t r = 0; r < count; r++) {
    const double x = re[r], y = im[r];
    const auto inside = [&](const double* dir, double d) {
      return !(ErrorLocusValue(p, m, n, x + d * dir[0], y + d * dir[1], work) > bound);
    };
    for (int32_t k = 0; k < 4; k++) {
      const double* dir = kDirections[k];
      // Doubling from a step below the root's own scale, then halving the
      // last interval: where the region ends, or the root alone when it
      // does not end within reach.
      double lo = 0, hi = kExtentStart * std::max(1.0, std::hypot(x, y));
      int32_t step = 0;
      while (step < kExtentDoublings && inside(dir, hi)) {
        lo = hi;
        hi *= 2;
        step++;
      }
      double d = 0;
      if (step < kExtentDoublings) {
        for (int32_t i = 0; i < kExtentHalvings; i++) {
          const double mid = 0.5 * (lo + hi);
          (inside(dir, mid) ? lo : hi) = mid;
        }
        d = hi;
      }
      xs[4 * r + k] = x + d * dir[0];
      ys[4 * r + k] = y + d * dir[1];
    }
  }
}

void DrawErrorLocus(const double* payload, int64_t length, const SubplotRecord& s,
                    const GraphicsPort& port, double* scratch, uint32_t capacity, void* target) {
  Locus locus;
  if (port.drawImageCells == nullptr || !ReadLocus(payload, length, &locus)) return;
  double sx = 1, sy = 1;
  if (port.pixelScale != nullptr) port.pixelScale(&sx, &sy);
  const auto cell = [](double scale) {
    return std::isfinite(scale) ? static_cast<int32_t>(std::clamp(std::round(scale), 1.0, 1e4)) : 1;
  };
  const int32_t cw = cell(sx), ch = cell(sy);
  const double* v = s.viewport;
  const double left = std::min(v[kLeft], v[kRight]), right = std::max(v[kLeft], v[kRight]);
  const double top = std::min(v[kTop], v[kBottom]), bottom = std::max(v[kTop], v[kBottom]);
  const double columnsWide = std::ceil((right - left) / cw);
  if (!(columnsWide >= 1 && columnsWide <= 1e6) || !(bottom > top)) return;
  const auto columns = static_cast<int32_t>(columnsWide);
  // Scratch: the work vectors, the data x of each column, then a row of
  // red, green and blue bytes.
  const int64_t workDoubles = 2 * int64_t{locus.n};
  if (workDoubles + columns + PackedDoubles(3 * int64_t{columns}) > capacity) return;
  double* work = scratch;
  double* xs = work + workDoubles;
  for (int32_t c = 0; c < columns; c++) xs[c] = DeviceXToData(s, left + (c + 0.5) * cw);
  auto* red = reinterpret_cast<uint8_t*>(xs + columns);
  uint8_t* green = red + columns;
  uint8_t* blue = green + columns;

  // Rows are laid out from the real axis: row k lies k cells from it, row 0
  // holds the axis and is evaluated on it. Rows on the side of negative
  // imaginary parts repeat their mirror rows when those are in view.
  const double axis = DataYToDevice(s, 0);
  const bool mirror = !IsLogY(s) && std::fabs(axis) < kFarAxis && s.yFactor != 0;
  const double origin = mirror ? std::round(axis) : top;
  const int32_t half = mirror ? ch / 2 : 0;
  const auto rowTop = [&](int64_t k) { return origin + double(k) * ch - half; };
  const auto firstRow = static_cast<int64_t>(std::floor((top - origin + half) / ch));
  const auto lastRow = static_cast<int64_t>(std::ceil((bottom - origin + half) / ch)) - 1;
  // The side of k whose rows show negative imaginary parts.
  const int64_t negativeSide = s.yFactor > 0 ? -1 : 1;
  const auto inView = [&](int64_t k) { return k >= firstRow && k <= lastRow; };
  for (int64_t k = firstRow; k <= lastRow; k++) {
    const bool mirrored = mirror && k != 0 && inView(-k);
    if (mirrored && (k > 0 ? 1 : -1) == negativeSide) continue;
    const double y = !mirror  ? DeviceYToData(s, rowTop(k) + 0.5 * ch)
                     : k == 0 ? 0.0
                              : DeviceYToData(s, axis + double(k) * ch);
    for (int32_t c = 0; c < columns; c++) {
      const Rgb colour = locus.ColourOf(ErrorLocusValue(locus.p, locus.m, locus.n, xs[c], y, work));
      red[c] = colour.r;
      green[c] = colour.g;
      blue[c] = colour.b;
    }
    port.drawImageCells(left, rowTop(k), columns, 1, cw, ch, red, green, blue, target);
    if (mirrored) {
      port.drawImageCells(left, rowTop(-k), columns, 1, cw, ch, red, green, blue, target);
    }
  }
}

}  // namespace vke
