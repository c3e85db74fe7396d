// Frame lines, ticks, tick labels and axis labels of a 2-D subplot.
#include "graphics/axes2d.hpp"

#include <cmath>
#include <optional>

#include "graphics/axis_ticks.hpp"
#include "graphics/decoration_draw.hpp"

namespace vke {
namespace {

constexpr int32_t kXPrecision = 3;  // x labels and logarithmic y labels
constexpr int32_t kYPrecision = 1;  // linear and dB y labels
constexpr int32_t kAxisLabelAlign = kTextLeft | kTextBelow;

class AxesPainter {
 public:
  AxesPainter(const SubplotRecord& r, const PlotStyle* style, const GraphicsPort& port,
              void* target)
      : r_(r),
        style_(style),
        port_(port),
        target_(target),
        left_(r.viewport[kLeft]),
        right_(r.viewport[kRight]),
        top_(r.viewport[kTop]),
        bottom_(r.viewport[kBottom]),
        cw_(r.marginUnit[0]),
        ch_(r.marginUnit[1]) {}

  void FrameLines() const {
    if (r_.optionWord & kOptXAxisLine) {
      Segment(left_, bottom_, right_, bottom_);
      Segment(left_, top_, right_, top_);
    }
    if (r_.optionWord & kOptYAxisLine) {
      Segment(left_, top_, left_, bottom_);
      Segment(right_, top_, right_, bottom_);
    }
  }

  void XAxis() const {
    const AxisLabel axisLabel = GetAxisLabel(r_, kAxisX);
    const int32_t n = axisLabel.length;
    const char* label = axisLabel.text;
    double room = 0;
    if (n > 0) {
      room = (port_.textExtent != nullptr ? Measure(label, n).width : left_ - r_.position[kLeft]) +
             cw_;
    }
    const bool labels = LabelsOn(kOptXLabels);
    const double labelY = bottom_ + 0.15 * ch_;
    AxisTicks t;
    if (ChooseAxisTicks(r_, kAxisX, room, labels, &t)) {
      Ticks(t, [this](double x, double length) { XTick(x, length); });
      if (labels) {
        // A label is centred on its value: with an axis label at the right
        // end, the right edge of its text must stay clear of that label;
        // in a viewport too low for the y axis label, which then reaches
        // down to them, no label may touch that one either.
        const double clear = right_ - room;
        const std::optional<Box> yLabel = YLabelBox();
        ForEachLabel(r_, t, [&](double x, double v) {
          char text[24];
          const int32_t length = FormatTickLabel(v, kXPrecision, text);
          const bool measured = n > 0 && port_.textExtent != nullptr;
          if (measured && x + Measure(text, length).width / 2 > clear) return;
          if (yLabel && Touch(TextBox(x, labelY, text, length, kTextBelow), *yLabel)) return;
          DrawTextAt(port_, target_, x, labelY, text, length, kTextBelow);
        });
      }
    }
    if (labels && n > 0) DrawTextAt(port_, target_, right_, labelY, label, n, kAxisLabelAlign);
  }

  void YAxis() const {
    const AxisLabel axisLabel = GetAxisLabel(r_, kAxisY);
    const int32_t n = axisLabel.length;
    const char* label = axisLabel.text;
    const bool db = (r_.scaleKind & kScaleYLogMask) == kScaleDbY;
    if (db && !DbRangeShown()) return;
    // Room kept free below the top for the axis label (and "[dB]"): on
    // upward-y targets as on the screen.
    double room = 0;
    if (n > 0 || db) {
      const double lines = n > 0 && db ? 2 : 1;
      const double halfUnit = 0.5 * std::fabs(ch_);
      room = port_.textExtent != nullptr ? lines * Measure(label, n).height + halfUnit
                                         : halfUnit + std::fabs(top_ - r_.position[kTop]) * lines;
    }
    const bool labels = LabelsOn(kOptYLabels);
    const double labelX = YLabelX();
    const double kept = db && n > 0 ? 2 * room : room;
    AxisTicks t;
    if (ChooseAxisTicks(r_, kAxisY, kept, labels, &t)) {
      Ticks(t, [this](double y, double length) { YTick(y, length); });
      const int32_t precision = t.form == AxisScaleForm::kLog ? kXPrecision : kYPrecision;
      if (labels) {
        // A label is centred on its value: with an axis label at the top,
        // the top of its text must stay clear of that label's room.
        const double down = bottom_ >= top_ ? 1 : -1;
        const bool measured = kept > 0 && port_.textExtent != nullptr;
        ForEachLabel(r_, t, [&](double y, double v) {
          char text[24];
          const int32_t length = FormatTickLabel(v, precision, text);
          if (measured && (y - top_) * down - Measure(text, length).height / 2 < kept) return;
          DrawTextAt(port_, target_, labelX, y, text, length, kTextLeft);
        });
      }
    }
    if (!labels) return;
    if (n > 0) LeftLabel(labelX, top_, label, n);
    if (db) {
      const double y = n > 0 ? 2 * top_ - r_.position[kTop] : top_;
      LeftLabel(labelX, y, "[dB]", 4);
    }
  }

 private:
  struct Extent {
    double width;
    double height;
  };

  Extent Measure(const char* text, int32_t n) const {
    Extent e{0, 0};
    port_.textExtent(text, n, &e.width, &e.height, target_);
    return e;
  }

  // Where a text drawn through the port lies: its cell's left and top
  // edges and its size.
  struct Box {
    double left;
    double top;
    double width;
    double height;
  };

  Box TextBox(double x, double y, const char* text, int32_t n, int32_t align) const {
    const Extent e = Measure(text, n);
    const TextCell cell = AlignedTextCell(x, y, e.width, e.height, align);
    return {cell.left, cell.top, e.width, e.height};
  }

  // Whether two texts overlap or stand closer than the port's gap side by
  // side.
  static bool Touch(const Box& a, const Box& b) {
    return a.left < b.left + b.width + kTextGap && b.left < a.left + a.width + kTextGap &&
           a.top < b.top + b.height && b.top < a.top + a.height;
  }

  // A dB axis shows its ticks and labels only while its top value is
  // above 0.
  bool DbRangeShown() const {
    double bottomValue = 0;
    double topValue = 0;
    GetViewportYRange(r_, &bottomValue, &topValue);
    return topValue > 0;
  }

  // A label that ends at x, below y; one wider than the room left of x (a
  // cell too narrow to give it, see FitViewportToLabels) starts at the
  // subplot's outer left edge (its clearance kept) instead, so that it
  // shows whole within the subplot.
  struct Placed {
    double x;
    int32_t align;
  };
  Placed PlaceLeftLabel(double x, const char* text, int32_t n) const {
    const double width = port_.textExtent != nullptr ? Measure(text, n).width : n * cw_;
    const double outer = r_.position[kLeft] + kLabelEdgeClearance - kTextGap;
    if (x - width < outer) return {outer, kTextRight | kTextBelow};
    return {x, kAxisLabelAlign};
  }

  void LeftLabel(double x, double y, const char* text, int32_t n) const {
    const Placed placed = PlaceLeftLabel(x, text, n);
    DrawTextAt(port_, target_, placed.x, y, text, n, placed.align);
  }

  // Where the y tick labels and the y axis label end: half a unit left of
  // the viewport.
  double YLabelX() const { return left_ - 0.5 * cw_; }

  // The y axis label's text where YAxis draws it, when it does and the
  // port measures it.
  std::optional<Box> YLabelBox() const {
    if (!(r_.optionWord & kOptYTicks) || !LabelsOn(kOptYLabels) || port_.textExtent == nullptr)
      return std::nullopt;
    if ((r_.scaleKind & kScaleYLogMask) == kScaleDbY && !DbRangeShown()) return std::nullopt;
    const AxisLabel label = GetAxisLabel(r_, kAxisY);
    if (label.length == 0) return std::nullopt;
    const Placed placed = PlaceLeftLabel(YLabelX(), label.text, label.length);
    return TextBox(placed.x, top_, label.text, label.length, placed.align);
  }

  bool LabelsOn(uint32_t labelBit) const {
    return (r_.optionWord & labelBit) && (r_.optionWord & kOptMargin) && port_.drawText != nullptr;
  }

  void Segment(double x0, double y0, double x1, double y1) const {
    DrawSegment(port_, target_, style_, x0, y0, x1, y1);
  }

  // Minor ticks, then major ticks.
  template <typename Tick>
  void Ticks(const AxisTicks& t, Tick&& tick) const {
    ForEachTick(r_, t, false, [&](double at) { tick(at, r_.tickParams[2]); });
    ForEachTick(r_, t, true, [&](double at) { tick(at, r_.tickParams[1]); });
  }

  // On the bottom edge pointing up and on the top edge pointing down.
  void XTick(double x, double length) const {
    const double up = top_ > bottom_ ? length : -length;
    Segment(x, bottom_, x, bottom_ + up);
    Segment(x, top_, x, top_ - up);
  }

  // On the left edge pointing right and on the right edge pointing left.
  void YTick(double y, double length) const {
    Segment(left_, y, left_ + length, y);
    Segment(right_, y, right_ - length, y);
  }

  const SubplotRecord& r_;
  const PlotStyle* style_;
  const GraphicsPort& port_;
  void* target_;
  double left_;
  double right_;
  double top_;
  double bottom_;
  double cw_;
  double ch_;
};

}  // namespace

void DrawAxesTicksAndLabels(const SubplotRecord& subplot, const PlotStyle* style,
                            const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr) return;
  const AxesPainter painter(subplot, style, port, target);
  painter.FrameLines();
  if (subplot.plotFlag) {
    DrawPolarLabels(subplot, port, target);
    return;
  }
  if (subplot.optionWord & kOptXTicks) painter.XAxis();
  if (subplot.optionWord & kOptYTicks) painter.YAxis();
}

}  // namespace vke
