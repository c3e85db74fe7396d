// Subplots and recorded port calls for the tests of the scales and the
// decorations.
#pragma once

#include <string>
#include <vector>

#include "graphics/port_recording.hpp"
#include "graphics/scale.hpp"

namespace vke::test {

// A subplot whose viewport is left..right, top..bottom after margins of 5,
// 0.5, 1.5 and 1.5 margin units of cw by ch, with automatic limits from the
// points given (none: no data).
inline SubplotRecord MakeSubplot(double left, double right, double top, double bottom,
                                 double cw = 10, double ch = 12) {
  SubplotRecord r;
  SubplotRecordClear(&r);
  SetRect(r.viewport, left, right, top, bottom);
  SetMarginUnits(&r, cw, ch);
  const double down = top <= bottom ? 1 : -1;
  SetRect(r.position, left - 5 * cw, right + 0.5 * cw, top - 1.5 * ch * down,
          bottom + 1.5 * ch * down);
  SetMargins(&r, 5, 0.5, 1.5, 1.5);
  SubplotScaleDefaults(&r);
  return r;
}

// A 3-D subplot showing a surface's box (x and y from -3 to 3, z from -6.5
// to 8.1) in a cell of width x height at (left, top), laid out as the view
// lays it out: margins of 5, 0.5, 2 and 2 units of 7 by 14.
inline SubplotRecord SurfaceInCell(double left, double top, double width, double height) {
  SubplotRecord r;
  SubplotRecordClear(&r);
  SetMarginUnits(&r, 7, 14);
  SetRect(r.position, left, left + width, top, top + height);
  SetMargins(&r, 5, 0.5, 2, 2);
  SubplotScaleDefaults(&r);
  r.is3d = 1;
  const double x[2] = {-3, 3}, y[2] = {-3, 3}, z[2] = {-6.5, 8.1};
  UpdateAutoLimits(&r, x, y, z, 2);
  return r;
}

inline void AddPoints(SubplotRecord* r, const std::vector<double>& x,
                      const std::vector<double>& y) {
  UpdateAutoLimits(r, x.data(), y.data(), nullptr, static_cast<int32_t>(x.size()));
}

// A text call of the log.
struct TextCall {
  double x;
  double y;
  int32_t align;
  std::string text;
};

inline std::vector<TextCall> Texts(const RecordingPort& rec) {
  std::vector<TextCall> out;
  for (const PortCall& c : rec.calls()) {
    if (c.slot != PortSlot::drawText) continue;
    out.push_back({c.values[0], c.values[1], static_cast<int32_t>(c.values[3]), c.text});
  }
  return out;
}

inline std::vector<std::string> TextStrings(const RecordingPort& rec) {
  std::vector<std::string> out;
  for (const TextCall& t : Texts(rec)) out.push_back(t.text);
  return out;
}

inline std::vector<PortCall> CallsOf(const RecordingPort& rec, PortSlot slot) {
  std::vector<PortCall> out;
  for (const PortCall& c : rec.calls()) {
    if (c.slot == slot) out.push_back(c);
  }
  return out;
}

// The points of each polyline call: x0, y0, x1, y1 ...
inline std::vector<std::vector<double>> Polylines(const RecordingPort& rec) {
  std::vector<std::vector<double>> out;
  for (const PortCall& c : CallsOf(rec, PortSlot::drawPolyline)) {
    out.emplace_back(c.values.begin() + 5, c.values.end());
  }
  return out;
}

inline size_t CountCalls(const RecordingPort& rec, PortSlot slot) {
  return CallsOf(rec, slot).size();
}

}  // namespace vke::test
