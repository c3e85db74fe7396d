// The ticks of one axis of a 2-D subplot as the decorations use them: the
// axis' data range under the viewport and its spacing limits, the tick
// choice in the form its scale takes (linear, logarithmic or decibels), and
// the walks that turn the choice into device positions and label values.
#pragma once

#include <cmath>
#include <cstdint>

#include "graphics/scale.hpp"
#include "graphics/ticks.hpp"

namespace vke {

// One axis as the tick choice sees it.
struct AxisView {
  Axis axis;
  double low;           // data at the viewport's left (bottom) edge
  double high;          // data at its right (top) edge
  double factor;        // device units per data unit (per ln unit when logarithmic)
  double scale;         // label units per data unit (the axis' scale factor)
  double minSpacing;    // device units between ticks, at least
  double labelSpacing;  // device units between labels, at least: 6 cw on x, 2 |ch| on y
};
AxisView ViewOfAxis(const SubplotRecord& record, Axis axis);

enum class AxisScaleForm : int32_t { kLinear, kLog, kDb };

// A tick choice ready to walk.
struct AxisTicks {
  AxisScaleForm form;
  Axis axis;   // the device axis the positions lie on
  double low;  // data range walked
  double high;
  double scale;        // label units per data unit
  double limit;        // labels stay below it (label units; decibels on a dB axis)
  LinearTicks linear;  // linear and dB forms
  LogTicks log;        // logarithmic form
  double dbOffset;     // dB form: 20 log10(scale), the decibels of a data value of 1
  double dbFactor;     // dB form: device units per decibel
};

// The ticks of an axis in the form its scale takes; `room` device units
// below the high end are kept free of labels. False when the axis gets no
// ticks: the axis has no data, the choice failed, or a dB axis shows no
// positive value.
bool ChooseAxisTicks(const SubplotRecord& record, Axis axis, double room, bool withLabels,
                     AxisTicks* out);

// Linear ticks from 0 to `radius` in label units of `scale`, with the
// spacing limits of `spacing`; positions lie on spacing's axis.
bool ChooseRadialTicks(const AxisView& spacing, double radius, double scale, bool withLabels,
                       AxisTicks* out);

// Device coordinate of a data value on the x or y axis.
inline double AxisToDevice(const SubplotRecord& r, Axis axis, double v) {
  return axis == kAxisX ? DataXToDevice(r, v) : DataYToDevice(r, v);
}

// Calls visit(device) at each minor (or major) tick inside the range.
template <typename Visit>
void ForEachTick(const SubplotRecord& r, const AxisTicks& t, bool major, Visit&& visit) {
  const double end = t.high * t.scale;
  switch (t.form) {
    case AxisScaleForm::kLinear:
      WalkLinearSteps(major ? t.linear.firstMajor : t.linear.firstMinor,
                      major ? t.linear.majorStep : t.linear.minorStep, end,
                      [&](double v) { visit(AxisToDevice(r, t.axis, v / t.scale)); });
      break;
    case AxisScaleForm::kLog:
      WalkLogTable(major ? t.log.major : t.log.minor, t.log.decade, end, [&](double v) {
        const double d = v / t.scale;
        if (d >= t.low && d <= t.high) visit(AxisToDevice(r, t.axis, d));
      });
      break;
    case AxisScaleForm::kDb:
      WalkLinearSteps(major ? t.linear.firstMajor : t.linear.firstMinor,
                      major ? t.linear.majorStep : t.linear.minorStep, t.high,
                      [&](double v) { visit((v - t.dbOffset) * t.dbFactor + r.yOffset); });
      break;
  }
}

// Calls visit(device, value) for each label below the limit. A linear or dB
// value within 0.01 label steps of 0 (of the dB offset) is shown as that.
template <typename Visit>
void ForEachLabel(const SubplotRecord& r, const AxisTicks& t, Visit&& visit) {
  if (t.form == AxisScaleForm::kLog) {
    WalkLogTable(t.log.label, t.log.decade, t.limit, [&](double v) {
      const double d = v / t.scale;
      if (d >= t.low && d <= t.limit / t.scale) visit(AxisToDevice(r, t.axis, d), v);
    });
    return;
  }
  const bool db = t.form == AxisScaleForm::kDb;
  const double zero = db ? t.dbOffset : 0;
  WalkLinearSteps(t.linear.firstLabel, t.linear.labelStep, t.limit, [&](double v) {
    if (std::fabs(v - zero) < 0.01 * t.linear.labelStep) v = zero;
    visit(db ? (v - t.dbOffset) * t.dbFactor + r.yOffset : AxisToDevice(r, t.axis, v / t.scale), v);
  });
}

// The text of a tick label: the shorter of fixed and exponent form with at
// most `precision` fraction digits, at most 20 characters. Returns the
// length.
int32_t FormatTickLabel(double value, int32_t precision, char (&text)[24]);

}  // namespace vke
