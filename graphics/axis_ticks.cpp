// Tick choice of one axis of a 2-D subplot in device terms: the spacing
// limits converted into label units, the label room, the dB scale, and the
// text of a label value.
#include "graphics/axis_ticks.hpp"

#include <cmath>
#include <numbers>

#include "engine/text/number_text.hpp"

namespace vke {
namespace {

constexpr double kLn10 = std::numbers::ln10;

// Linear ticks of data lo..hi with labels below `limit` (data units).
bool ChooseLinear(const AxisView& v, double lo, double hi, double limit, double scale,
                  bool withLabels, LinearTicks* out) {
  const double unit = std::fabs(v.factor);
  return ChooseLinearTicks(lo * scale, hi * scale, limit * scale, v.minSpacing / unit * scale,
                           v.labelSpacing / unit * scale, withLabels, out);
}

}  // namespace

AxisView ViewOfAxis(const SubplotRecord& r, Axis axis) {
  AxisView v{};
  v.axis = axis;
  v.minSpacing = r.tickParams[0];
  v.scale = r.scaleFactors[axis];
  if (axis == kAxisX) {
    GetViewportXRange(r, &v.low, &v.high);
    v.factor = r.xFactor;
    v.labelSpacing = 6 * r.marginUnit[0];
  } else {
    GetViewportYRange(r, &v.low, &v.high);
    v.factor = r.yFactor;
    v.labelSpacing = 2 * std::fabs(r.marginUnit[1]);
  }
  return v;
}

bool ChooseAxisTicks(const SubplotRecord& r, Axis axis, double room, bool withLabels,
                     AxisTicks* out) {
  *out = AxisTicks{};
  // Without data the transform is a placeholder: no range to tick.
  if (!AxisHasRange(r, axis)) return false;
  const AxisView v = ViewOfAxis(r, axis);
  const double unit = std::fabs(v.factor);
  out->axis = axis;
  out->low = v.low;
  out->high = v.high;
  out->scale = v.scale;
  const bool db = axis == kAxisY && (r.scaleKind & (kScaleLogY | kScaleDbY)) == kScaleDbY;
  if (db) {
    // Decibels of the data value times the scale factor.
    if (!(v.high > 0)) return false;
    out->form = AxisScaleForm::kDb;
    out->dbOffset = 20 * std::log10(v.scale);
    out->dbFactor = v.factor * kLn10 * 0.05;
    out->low = 20 * std::log10(v.low) + out->dbOffset;
    out->high = 20 * std::log10(v.high) + out->dbOffset;
    out->scale = 1;
    out->limit = out->high - 20 * std::fabs(room / v.factor) / kLn10;
    const double dbUnit = std::fabs(out->dbFactor);
    return ChooseLinearTicks(out->low, out->high, out->limit, v.minSpacing / dbUnit,
                             v.labelSpacing / dbUnit, withLabels, &out->linear);
  }
  if (IsLogAxis(r, axis)) {
    out->form = AxisScaleForm::kLog;
    out->limit = v.high * std::exp(-room / unit) * v.scale;
    return ChooseLogTicks(v.low * v.scale, v.high * v.scale, out->limit,
                          std::exp(v.minSpacing / unit), std::exp(v.labelSpacing / unit),
                          &out->log);
  }
  out->form = AxisScaleForm::kLinear;
  const double limit = v.high - std::fabs(room / v.factor);
  out->limit = limit * v.scale;
  return ChooseLinear(v, v.low, v.high, limit, v.scale, withLabels, &out->linear);
}

bool ChooseRadialTicks(const AxisView& spacing, double radius, double scale, bool withLabels,
                       AxisTicks* out) {
  *out = AxisTicks{};
  out->form = AxisScaleForm::kLinear;
  out->axis = spacing.axis;
  out->low = 0;
  out->high = radius;
  out->scale = scale;
  out->limit = radius * scale;
  return ChooseLinear(spacing, 0, radius, radius, scale, withLabels, &out->linear);
}

int32_t FormatTickLabel(double value, int32_t precision, char (&text)[24]) {
  constexpr int32_t kMaxLabelChars = 20;
  int32_t length = 0;
  FormatDouble(text, &length, value, precision, 'K', 0, true, false, false, false, false, false,
               kMaxLabelChars);
  return length;
}

}  // namespace vke
