// The room the tick labels and axis labels of a 2-D subplot take beside its
// viewport: the decorations are drawn through a port that only measures
// their texts, and the viewport's sides move in from the margins until every
// text lies whole within the subplot's position and off the frame.
#include <algorithm>
#include <cmath>
#include <limits>

#include "graphics/axes2d.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// The viewport keeps at least this share of the position's width, however
// wide the labels.
constexpr double kLeastViewportShare = 1.0 / 3;
// Laying out anew changes the ticks and so the labels: a few rounds settle.
constexpr int kFitRounds = 4;
// Insets closer than this to the wanted ones are left as they are.
constexpr double kInsetTolerance = 0.5;

// How far the texts drawn through the probe reach left and right.
struct TextReach {
  const GraphicsPort* port;
  void* target;
  double left;
  double right;
};

void MeasureThroughProbe(const char* text, int32_t n, double* width, double* height, void* target) {
  const auto* reach = static_cast<TextReach*>(target);
  reach->port->textExtent(text, n, width, height, reach->target);
}

void ReachOfText(double x, double y, const char* text, int32_t n, int32_t flags, const uint8_t*,
                 void* target) {
  auto* reach = static_cast<TextReach*>(target);
  double width = 0;
  double height = 0;
  reach->port->textExtent(text, n, &width, &height, reach->target);
  const TextCell cell = AlignedTextCell(x, y, width, height, flags);
  reach->left = std::min(reach->left, cell.left);
  reach->right = std::max(reach->right, cell.left + width);
}

void DrawNoLine(const double*, const double*, int32_t, const PlotStyle*, void*) {}

// How far the labels reach out of the viewport on its left and its right.
void LabelReach(const SubplotRecord& s, const GraphicsPort& port, void* target, double* left,
                double* right) {
  // Measured where the labels stand when there is room for them: an axis
  // label too wide for its margin would otherwise be moved inside the
  // position and hide the room it lacks.
  SubplotRecord roomy = s;
  roomy.position[kLeft] = -std::numeric_limits<double>::infinity();
  TextReach reach{&port, target, s.viewport[kLeft], s.viewport[kRight]};
  GraphicsPort probe{};
  probe.drawPolyline = &DrawNoLine;
  probe.drawText = &ReachOfText;
  probe.textExtent = &MeasureThroughProbe;
  probe.metrics = port.metrics;
  DrawAxesTicksAndLabels(roomy, nullptr, probe, &reach);
  *left = s.viewport[kLeft] - reach.left;
  *right = reach.right - s.viewport[kRight];
}

}  // namespace

void FitViewportToLabels(SubplotRecord* s, const GraphicsPort& port, void* target) {
  if (port.textExtent == nullptr || port.drawText == nullptr || !(s->optionWord & kOptMargin)) {
    return;
  }
  const double* p = s->position;
  const double unit = s->marginUnit[0];
  const double baseLeft = s->margins[kLeft] * unit;
  const double baseRight = s->margins[kRight] * unit;
  const double most =
      std::max(baseLeft + baseRight, (1 - kLeastViewportShare) * (p[kRight] - p[kLeft]));
  for (int round = 0; round < kFitRounds; ++round) {
    const double nowLeft = s->viewport[kLeft] - p[kLeft];
    const double nowRight = p[kRight] - s->viewport[kRight];
    double reachLeft = 0;
    double reachRight = 0;
    LabelReach(*s, port, target, &reachLeft, &reachRight);
    double left = std::max(baseLeft, std::ceil(reachLeft + kLabelEdgeClearance));
    double right = std::max(baseRight, std::ceil(reachRight + kLabelEdgeClearance));
    // The first round may give back room the labels no longer take; later
    // ones only grow, so that the rounds settle.
    if (round > 0) {
      left = std::max(left, nowLeft);
      right = std::max(right, nowRight);
    }
    const double extra = left - baseLeft + right - baseRight;
    if (left + right > most && extra > 0) {
      const double k = (most - baseLeft - baseRight) / extra;
      left = baseLeft + (left - baseLeft) * k;
      right = baseRight + (right - baseRight) * k;
    }
    if (std::fabs(left - nowLeft) < kInsetTolerance &&
        std::fabs(right - nowRight) < kInsetTolerance) {
      return;
    }
    SetViewportSideInsets(s, left, right);
  }
}

}  // namespace vke
