// The 3-D box: outline, back edges, back-face grid, ticks and labels.
#include "graphics/box3d.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/camera.hpp"
#include "graphics/decoration_draw.hpp"
#include "graphics/scale.hpp"
#include "graphics/ticks.hpp"

namespace vke {
namespace {

// Option bits of axis a: ticks, grid and labels of x, shifted by 4 a.
constexpr uint32_t kBoxTicks = 0x2;
constexpr uint32_t kBoxGrid = 0x4;
constexpr uint32_t kBoxLabels = 0x8;
uint32_t AxisBit(uint32_t xBit, int axis) {
  return xBit << (4 * axis);
}

constexpr int32_t kLabelPrecision = 3;
// The step along an axis over which its device scale is measured, as a
// fraction of the box's side.
constexpr double kScaleProbe = 1e-6;

struct Device {
  double x, y;
};

Device Project(const SubplotRecord& s, const double* p) {
  double X = 0;
  double Y = 0;
  double w = 0;
  ProjectPoint(s, p[0], p[1], p[2], true, &X, &Y, &w);
  return {X, Y};
}

// A point with coordinate vi on axis i, vj on j and vk on k.
struct AxisFrame {
  int i, j, k;
  void Point(double vi, double vj, double vk, double* p) const {
    p[i] = vi;
    p[j] = vj;
    p[k] = vk;
  }
};

AxisFrame FrameOf(int i) {
  return {i, (i + 1) % 3, (i + 2) % 3};
}

// Device units per data unit along each axis, measured at the back corner;
// NaN for a flat axis or one behind the camera.
void AxisScales(const SubplotRecord& s, const Box3D& box, double scale[3]) {
  const Device b = Project(s, box.back);
  for (int a = 0; a < 3; ++a) {
    double p[3] = {box.back[0], box.back[1], box.back[2]};
    const double step = kScaleProbe * (box.front[a] - box.back[a]);
    p[a] += step;
    const Device m = Project(s, p);
    scale[a] = std::hypot(m.x - b.x, m.y - b.y) / std::fabs(step);
  }
}

class BoxPainter {
 public:
  BoxPainter(const SubplotRecord& s, const GraphicsPort& port, void* target)
      : s_(s), port_(port), target_(target) {
    Compute3DBoxOutline(s, &box_);
    AxisScales(s, box_, scale_);
  }

  void Outline(const PlotStyle* style) const {
    port_.drawPolyline(box_.outlineX, box_.outlineY, 7, style, target_);
  }

  void Segment(const double* a, const double* b, const PlotStyle* style) const {
    const Device p = Project(s_, a);
    const Device q = Project(s_, b);
    if (std::isnan(p.x) || std::isnan(q.x)) return;
    DrawSegment(port_, target_, style, p.x, p.y, q.x, q.y);
  }

  void BackEdges(const PlotStyle* style) const {
    for (int a = 0; a < 3; ++a) {
      double from[3] = {box_.back[0], box_.back[1], box_.back[2]};
      double to[3] = {box_.back[0], box_.back[1], box_.back[2]};
      from[a] = box_.minimum[a];
      to[a] = box_.maximum[a];
      Segment(from, to, style);
    }
  }

  // Grid lines and ticks of axis i.
  void GridAndTicks(int i, const PlotStyle* tick, const PlotStyle* axes) const {
    const uint32_t options = s_.optionWord;
    const bool ticks = options & AxisBit(kBoxTicks, i);
    const bool grid = options & AxisBit(kBoxGrid, i);
    if ((!ticks && !grid) || std::isnan(scale_[i])) return;
    // An edge shorter than the tick spacing holds no ticks.
    if (!(EdgeLength(i) >= s_.tickParams[0])) return;
    const double f = s_.scaleFactors[i];
    const double hi = box_.maximum[i] * f;
    LinearTicks t{};
    if (!ChooseLinearTicks(box_.minimum[i] * f, hi, hi, s_.tickParams[0] / scale_[i] * f,
                           6 * s_.marginUnit[0] / scale_[i] * f, false, &t)) {
      return;
    }
    const AxisFrame a = FrameOf(i);
    const double* back = box_.back;
    const double* front = box_.front;
    if (grid) {
      WalkLinearSteps(t.firstMajor, t.majorStep, hi, [&](double v) {
        double p[3];
        double q[3];
        a.Point(v / f, front[a.j], back[a.k], p);
        a.Point(v / f, back[a.j], back[a.k], q);
        Segment(p, q, axes);
        a.Point(v / f, back[a.j], front[a.k], p);
        Segment(p, q, axes);
      });
    }
    if (!ticks) return;
    const auto draw = [&](double first, double step, double length) {
      const double dj = TickDepth(a.j, length);
      const double dk = TickDepth(a.k, length);
      WalkLinearSteps(first, step, hi, [&](double v) {
        double p[3];
        double q[3];
        a.Point(v / f, front[a.j], back[a.k], p);
        a.Point(v / f, front[a.j] + dj, back[a.k], q);
        Segment(p, q, tick);
        a.Point(v / f, back[a.j], front[a.k], p);
        a.Point(v / f, back[a.j], front[a.k] + dk, q);
        Segment(p, q, tick);
      });
    };
    draw(t.firstMinor, t.minorStep, s_.tickParams[2]);
    draw(t.firstMajor, t.majorStep, s_.tickParams[1]);
  }

  // Tick labels and the axis label of axis i along its front edge.
  void Labels(int i) const {
    if (!(s_.optionWord & AxisBit(kBoxLabels, i)) || std::isnan(scale_[i])) return;
    const double cw = s_.marginUnit[0];
    const double ch = s_.marginUnit[1];
    const AxisLabel axisLabel = GetAxisLabel(s_, i);
    const int32_t length = axisLabel.length;
    const char* label = axisLabel.text;
    double w = length * cw;
    double h = std::fabs(ch);
    if (port_.textExtent != nullptr) port_.textExtent(label, length, &w, &h, target_);
    // The edge along i counts as horizontal when it runs more across than
    // up the device; one shorter than the label spacing holds no labels.
    const Device edge = Edge(i);
    const bool horizontal = std::fabs(edge.y) <= std::fabs(edge.x);
    const double room = horizontal ? w : 1.5 * std::fabs(h);
    const double spacing = horizontal ? 6 * cw : 2 * std::fabs(ch);
    if (!(std::hypot(edge.x, edge.y) >= spacing)) return;
    const double limit = box_.maximum[i] - room / scale_[i];
    const double f = s_.scaleFactors[i];
    LinearTicks t{};
    if (!ChooseLinearTicks(box_.minimum[i] * f, box_.maximum[i] * f, limit * f,
                           s_.tickParams[0] / scale_[i] * f, spacing / scale_[i] * f, true, &t)) {
      return;
    }
    const AxisFrame a = FrameOf(i);
    const double offset = cw / scale_[a.j] * (box_.front[a.j] <= box_.back[a.j] ? -1 : 1);
    const double along = box_.front[a.j] + offset;
    const double k = box_.back[a.k];
    double p[3];
    a.Point(t.firstLabel / f, along, k, p);
    const Device p0 = Project(s_, p);
    a.Point(t.firstLabel / f, box_.front[a.j], k, p);
    const Device p1 = Project(s_, p);
    a.Point((t.firstLabel + t.labelStep) / f, box_.front[a.j], k, p);
    const Device p2 = Project(s_, p);
    const int32_t align = LabelAlignment(p0, p1, p2, ch);
    WalkLinearSteps(t.firstLabel, t.labelStep, limit * f, [&](double v) {
      if (std::fabs(v / t.labelStep) < 0.01) v = 0;
      a.Point(v / f, along, k, p);
      const Device d = Project(s_, p);
      DrawNumberAt(port_, target_, d.x, d.y, v, kLabelPrecision, align);
    });
    if (length == 0) return;
    a.Point(box_.maximum[i], along, k, p);
    const Device d = Project(s_, p);
    DrawTextAt(port_, target_, d.x, d.y, label, length, align);
  }

 private:
  // The edge along axis a from the back corner, on the device.
  Device Edge(int a) const {
    double end[3] = {box_.back[0], box_.back[1], box_.back[2]};
    end[a] = box_.front[a];
    const Device b = Project(s_, box_.back);
    const Device e = Project(s_, end);
    return {e.x - b.x, e.y - b.y};
  }
  double EdgeLength(int a) const {
    const Device e = Edge(a);
    return std::hypot(e.x, e.y);
  }

  // A tick's extent along axis m in data units, pointing toward the back;
  // never longer than the box's side, which a tick of a box a few units
  // wide (or one seen along m) would pass far beyond.
  double TickDepth(int m, double length) const {
    const double d = std::min(length / scale_[m], std::fabs(box_.front[m] - box_.back[m]));
    return box_.back[m] < box_.front[m] ? -d : d;
  }

  // The side of the labels: that of the offset point p0, away from the
  // edge p1-p2.
  static int32_t LabelAlignment(Device p0, Device p1, Device p2, double ch) {
    const double ex = p2.x - p1.x;
    const double ey = p2.y - p1.y;
    const bool t = ex * p1.y - ey * p1.x < ex * p0.y - ey * p0.x;
    if (std::fabs(ey) <= std::fabs(ex)) {
      return (((ch > 0) != t) != (ex > 0)) ? kTextBelow : kTextAbove;
    }
    return -ey <= 0 ? kTextRight + t : kTextLeft - t;
  }

  const SubplotRecord& s_;
  const GraphicsPort& port_;
  void* target_;
  Box3D box_{};
  double scale_[3]{};
};

}  // namespace

void Compute3DBoxOutline(const SubplotRecord& s, Box3D* out) {
  for (int a = 0; a < 3; ++a) {
    ShownLimits(s, a, &out->minimum[a], &out->maximum[a]);
    const bool backAtMax =
        s.orthographic ? s.cameraPosition[a] < 0 : s.cameraPosition[a] < s.cameraTarget[a];
    out->back[a] = backAtMax ? out->maximum[a] : out->minimum[a];
    out->front[a] = backAtMax ? out->minimum[a] : out->maximum[a];
  }
  const double* B = out->back;
  const double* F = out->front;
  const double corners[7][3] = {
      {F[0], B[1], B[2]}, {F[0], F[1], B[2]}, {B[0], F[1], B[2]}, {B[0], F[1], F[2]},
      {B[0], B[1], F[2]}, {F[0], B[1], F[2]}, {F[0], B[1], B[2]},
  };
  Device d[7];
  for (int c = 0; c < 7; ++c) {
    d[c] = Project(s, corners[c]);
  }
  // A corner behind the camera takes the drawable one before it; the first
  // takes the last drawable one going round, or with none (the whole box
  // behind the camera) the origin, where the outline shrinks to a point.
  for (int c = 5; c > 0 && std::isnan(d[0].x); --c) d[0] = d[c];
  if (std::isnan(d[0].x)) d[0] = Device{0, 0};
  for (int c = 0; c < 7; ++c) {
    if (c > 0 && std::isnan(d[c].x)) d[c] = d[c - 1];
    out->outlineX[c] = d[c].x;
    out->outlineY[c] = d[c].y;
  }
}

void Draw3DBox(const SubplotRecord& s, const PlotStyle* tick, const PlotStyle* axes,
               const PlotStyle* box, const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr || !PlaneHasRange(s)) return;
  const BoxPainter painter(s, port, target);
  painter.Outline(box);
  painter.BackEdges(axes);
  for (int i = 0; i < 3; ++i) painter.GridAndTicks(i, tick, axes);
}

void Draw3DOutlineAndLabels(const SubplotRecord& s, const PlotStyle* label,
                            const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr || !PlaneHasRange(s)) return;
  const BoxPainter painter(s, port, target);
  painter.Outline(label);
  if (port.drawText == nullptr) return;
  for (int i = 0; i < 3; ++i) painter.Labels(i);
}

}  // namespace vke
