// The control panel's layout arithmetic and its widgets: bevels painted as
// image-cell strips, slider tracks and knobs, button rows, pop-up menus and
// text fields.
#include "graphics/control_panel.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "graphics/scale.hpp"
#include "graphics/text_fit.hpp"

namespace vke {
namespace {

constexpr int32_t kStripCells = 64;  // cells per image-cell call of a bevel
constexpr uint8_t kWhiteRgb[3] = {255, 255, 255};
// The room between a text field's text and its right border, in row
// heights: where the caret after the last character stands.
constexpr double kFieldTextInset = 0.2;
// Room between a label and the control after it, in row heights; a label
// wider than its column moves the control's start by at most this share of
// the control's length.
constexpr double kLabelClearance = 0.4;
constexpr double kMostLabelShift = 0.5;
// A control that ends with the panel keeps its right border inside it.
constexpr double kPanelEndInset = 1;

// Cells of one grey: n one-unit-wide cells of the given height from (x, y),
// in strips of at most kStripCells.
void GreyStrip(double x, double y, int64_t n, int64_t height, uint8_t grey,
               const GraphicsPort& port, void* target) {
  uint8_t row[kStripCells];
  std::fill(row, row + kStripCells, grey);
  for (int64_t at = 0; at < n; at += kStripCells) {
    const int32_t cells = static_cast<int32_t>(std::min<int64_t>(kStripCells, n - at));
    port.drawImageCells(x + static_cast<double>(at), y, cells, 1, 1, static_cast<int32_t>(height),
                        row, nullptr, nullptr, target);
  }
}

// One cell of one grey, w by h.
void GreyCell(double x, double y, int64_t w, int64_t h, uint8_t grey, const GraphicsPort& port,
              void* target) {
  port.drawImageCells(x, y, 1, 1, static_cast<int32_t>(w), static_cast<int32_t>(h), &grey, nullptr,
                      nullptr, target);
}

// A knob at p along the track: a light cap, a body whose columns are light,
// the value's colour twice and shadow, and a shadow foot.
void DrawKnob(bool vertical, double p, double lower, double upper, double halfHeight,
              uint32_t colour, const GraphicsPort& port, void* target) {
  const uint8_t c[3] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                        static_cast<uint8_t>(colour)};
  uint8_t planes[3][4];
  for (int32_t i = 0; i < 3; ++i) {
    planes[i][0] = kKnobLight;
    planes[i][1] = planes[i][2] = c[i];
    planes[i][3] = kKnobShadow;
  }
  const double along = std::trunc(p - 1);
  const double across = std::trunc(std::min(lower, upper)) - 1;
  const int32_t length =
      static_cast<int32_t>(std::clamp(std::trunc(2 * halfHeight + 3), 1.0, 4096.0));
  if (!vertical) {
    port.drawImageCells(along, across, 4, 1, 1, length, planes[0], planes[1], planes[2], target);
    GreyCell(along, across - 1, 3, 1, kKnobLight, port, target);
    GreyCell(along + 1, across + length, 3, 1, kKnobShadow, port, target);
  } else {
    port.drawImageCells(across, along, 1, 4, length, 1, planes[0], planes[1], planes[2], target);
    GreyCell(across - 1, along, 1, 3, kKnobLight, port, target);
    GreyCell(across + length, along + 1, 1, 3, kKnobShadow, port, target);
  }
}

// Where value v lies on a track from start to end; false when the slider's
// limits leave no place for it (empty or non-finite range, a logarithmic
// range not above 0, v outside the limits).
bool KnobPosition(const PanelSlider& s, double v, double start, double end, double* p) {
  const double lo = s.minimum;
  const double hi = s.maximum;
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo) || !(v >= lo && v <= hi)) return false;
  double t;
  if (s.logarithmic) {
    if (!(lo > 0)) return false;
    t = std::log(v / lo) / std::log(hi / lo);
  } else {
    t = (v - lo) / (hi - lo);
  }
  *p = start + (end - start) * t - 0.5;
  return std::isfinite(*p);
}

double TextWidth(const char* text, int32_t length, double perByte, const GraphicsPort& port,
                 void* target) {
  double w = perByte * length;
  if (port.textExtent != nullptr) port.textExtent(text, length, &w, nullptr, target);
  return w;
}

// The NUL-terminated item i of a pop-up menu's items.
const char* PopupItem(const PanelPopup& m, int32_t i, int32_t* length) {
  const char* at = m.items;
  const char* end = m.items + m.itemsLength;
  for (int32_t k = 0; at < end; ++k) {
    const void* nul = std::memchr(at, 0, static_cast<size_t>(end - at));
    const char* stop = nul != nullptr ? static_cast<const char*>(nul) : end;
    if (k == i) {
      *length = static_cast<int32_t>(stop - at);
      return at;
    }
    at = stop + 1;
  }
  *length = 0;
  return "";
}

// Where a control from `start` to `end` may start when its label, drawn from
// `labelAt`, reaches further: past the label and a clearance, moving at most
// kMostLabelShift of the control's length. Left-to-right panels only.
double StartPastLabel(const PanelColumns& columns, double start, double end, double labelAt,
                      double rowHeight, const char* label, int32_t labelLength,
                      const GraphicsPort& port, void* target) {
  if (labelLength <= 0 || port.textExtent == nullptr || columns.left > columns.right) return start;
  const double labelEnd = labelAt + kTextGap + TextWidth(label, labelLength, 0, port, target) +
                          kLabelClearance * rowHeight;
  return std::clamp(labelEnd, start, start + kMostLabelShift * std::max(end - start, 0.0));
}

// Draws a control's label from `labelAt`; in a left-to-right panel a label
// that would reach the control starting at `start` (the clearance kept), or
// the panel's end where the control's column starts past it, is shortened
// with "..." to end before them.
void DrawLabelBefore(const PanelColumns& columns, double labelAt, double row, double start,
                     double rowHeight, const char* label, int32_t labelLength,
                     const GraphicsPort& port, void* target) {
  if (port.drawText == nullptr || labelLength <= 0) return;
  std::string shown(label, static_cast<size_t>(labelLength));
  if (columns.left <= columns.right) {
    const double limit = std::min(start - kLabelClearance * rowHeight, columns.right);
    shown = TextFittingRoom(label, labelLength, limit - kTextGap - labelAt, port, target);
  }
  if (shown.empty()) return;
  port.drawText(labelAt, row, shown.data(), static_cast<int32_t>(shown.size()), kTextRight, nullptr,
                target);
}

}  // namespace

double PanelColumnPosition(double left, double right, int32_t columns, const double* tabs,
                           int32_t tabCount, int32_t column) {
  const double d = left < right ? 1 : -1;
  const double width = right - left;
  if (tabs == nullptr || tabCount < 1) {
    if (columns * kPanelColumnWidth < std::fabs(width)) return left + column * width / columns;
    return left + d * kPanelColumnWidth * column;
  }
  if (column <= 0) return left;
  if (tabCount == 1) return left + d * column * tabs[0];
  if (column <= tabCount) return left + d * tabs[column - 1];
  const double last = tabs[tabCount - 1];
  return left + d * (last + (column - tabCount) * (last - tabs[tabCount - 2]));
}

double LayoutControlPanel(bool vertical, SubplotRecord* s, double rowHeight, int32_t rows) {
  const int32_t axis = vertical ? kAxisX : kAxisY;
  const double start = vertical ? s->viewport[kLeft] : s->viewport[kTop];
  const double end = vertical ? s->viewport[kRight] : s->viewport[kBottom];
  const double d = !vertical && start > end ? -1 : 1;
  const double R = rowHeight;
  double& offset = vertical ? s->xOffset : s->yOffset;
  int32_t& state = s->scaleState[axis];
  const double c = start + ((end - start) - (rows - 1) * d * R) / 2;
  if ((c - (start + d * R / 2)) * d >= 0) {
    state &= kScaleHoldBit;
    return c;
  }
  // A panel that starts to scroll does so from its first row; the automatic
  // state a draw handler leaves counts as not scrolled yet.
  if ((state & ~kScaleHoldBit) < kScaleReleased) {
    state = kScaleReleased | (state & kScaleHoldBit);
    offset = 0;
  }
  const double extent = 2 * std::fabs(start - c) + R;
  s->limits[3 + axis] = extent;
  offset = std::min(offset, extent);
  return start + d * (R / 2 - offset);
}

void KeepPanelRowRoom(SubplotRecord* s, double rowHeight) {
  double& start = s->viewport[kTop];
  double& end = s->viewport[kBottom];
  const double d = end >= start ? 1 : -1;
  const double need = rowHeight - (end - start) * d;
  if (!(need > 0)) return;
  const double line = std::fabs(s->marginUnit[1]);
  const double before = std::max(0.0, (start - s->position[kTop]) * d - line);
  const double after = std::max(0.0, (s->position[kBottom] - end) * d - line);
  const double fromBefore = std::min(before, std::max(need / 2, need - after));
  const double fromAfter = std::min(after, need - fromBefore);
  start -= d * fromBefore;
  end += d * fromAfter;
}

PlotStyle SetStyleColourFromIndex(PlotStyle style) {
  const uint32_t rgb = PortStyleColour(style);
  style.red = static_cast<uint8_t>(rgb >> 16);
  style.green = static_cast<uint8_t>(rgb >> 8);
  style.blue = static_cast<uint8_t>(rgb);
  return style;
}

void DrawRectangle(double x1, double x2, double y1, double y2, const PlotStyle& style,
                   const GraphicsPort& port, void* target) {
  if (port.drawPolyline == nullptr) return;
  const double xs[5] = {x1, x2, x2, x1, x1};
  const double ys[5] = {y1, y1, y2, y2, y1};
  port.drawPolyline(xs, ys, 5, &style, target);
}

void DrawBevelBox(double x1, double x2, double y1, double y2, const PlotStyle& style, bool pressed,
                  const GraphicsPort& port, void* target) {
  if (port.drawImageCells == nullptr) {
    DrawRectangle(x1, x2, y1, y2, kWhiteBoxStyle, port, target);
    DrawRectangle(x1, x2, y1, y2, style, port, target);
    return;
  }
  constexpr double kFar = 1e9;  // boxes beyond it are not painted
  const double left = std::trunc(std::clamp(std::min(x1, x2), -kFar, kFar));
  const double right = std::trunc(std::clamp(std::max(x1, x2), -kFar, kFar));
  const double top = std::trunc(std::clamp(std::min(y1, y2), -kFar, kFar));
  const double bottom = std::trunc(std::clamp(std::max(y1, y2), -kFar, kFar)) + (pressed ? 0 : 1);
  const int64_t w = static_cast<int64_t>(right - left);
  const int64_t h = static_cast<int64_t>(bottom - top);
  if (w < 2 || h < 2) return;
  const uint8_t light = pressed ? kBevelShadow : kBevelLight;
  const uint8_t face = pressed ? kBevelFacePressed : kBevelFace;
  const uint8_t shadow = pressed ? kBevelLight : kBevelShadow;
  GreyStrip(left, top, w, 1, light, port, target);
  GreyStrip(left, bottom - 1, w, 1, shadow, port, target);
  if (h > 2) {
    if (w > 2) GreyStrip(left + 1, top + 1, w - 2, h - 2, face, port, target);
    GreyCell(left, top + 1, 1, h - 2, light, port, target);
    GreyCell(right - 1, top + 1, 1, h - 2, shadow, port, target);
  }
}

void DrawPanelText(const PanelColumns& columns, double row, double step, const char* text,
                   int32_t length, const GraphicsPort& port, void* target) {
  if (port.drawText == nullptr) return;
  int32_t column = 0;
  int32_t line = 0;
  int32_t start = 0;
  for (int32_t i = 0; i <= length; ++i) {
    if (i < length && text[i] != '\t' && text[i] != '\n') continue;
    if (i > start) {
      port.drawText(ColumnAt(columns, column), row + line * step, text + start, i - start,
                    kTextRight, nullptr, target);
    }
    if (i < length && text[i] == '\t') {
      ++column;
    } else {
      column = 0;
      ++line;
    }
    start = i + 1;
  }
}

void DrawPanelSlider(const PanelColumns& columns, bool vertical, double row, double halfHeight,
                     const PanelSlider& s, const PlotStyle& style, bool layoutOnly, double track[4],
                     const GraphicsPort& port, void* target) {
  const double h = halfHeight;
  const double end = s.column < 0 ? columns.right : ColumnAt(columns, s.column + 2);
  const double at = s.column < 1 ? columns.left : ColumnAt(columns, s.column);
  double start = ColumnAt(columns, s.column < 1 ? 1 : s.column + 1);
  if (!vertical)
    start = StartPastLabel(columns, start, end, at, 2 * h, s.label, s.labelLength, port, target);
  track[0] = start;
  track[1] = end;
  track[2] = row - h;
  track[3] = row + h;
  if (layoutOnly) return;
  if (port.drawText != nullptr && s.labelLength > 0) {
    if (vertical) {
      port.drawText(row, at, s.label, s.labelLength, kTextAbove, nullptr, target);
    } else {
      DrawLabelBefore(columns, at, row, start, 2 * h, s.label, s.labelLength, port, target);
    }
  }
  if (vertical) {
    DrawBevelBox(row - h, row + h, start, end, style, true, port, target);
  } else {
    DrawBevelBox(start, end, row - h, row + h, style, true, port, target);
  }
  for (int32_t i = 0; i < s.count; ++i) {
    double p;
    if (!KnobPosition(s, s.values[i], start, end, &p)) continue;
    if (port.drawImageCells != nullptr) {
      const double colour = s.colours[i];
      const uint32_t rgb = colour >= 0 && colour <= 0xFFFFFF ? static_cast<uint32_t>(colour) : 0;
      DrawKnob(vertical, p, row - h, row + h, h, rgb, port, target);
    } else if (vertical) {
      DrawRectangle(row - h, row + h, p, p + 1, style, port, target);
    } else {
      DrawRectangle(p, p + 1, row - h, row + h, style, port, target);
    }
  }
}

void DrawPanelButton(const PanelColumns& columns, double row, double unit, char kind, int32_t state,
                     const char* text, int32_t length, const PlotStyle& style,
                     const GraphicsPort& port, void* target) {
  const double u = unit;
  const PlotStyle coloured = SetStyleColourFromIndex(style);
  const uint8_t rgb[3] = {coloured.red, coloured.green, coloured.blue};
  int32_t item = 0;
  int32_t start = 0;
  for (int32_t i = 0; i <= length; ++i) {
    if (i < length && text[i] != '\t') continue;
    const char* piece = text + start;
    const int32_t n = i - start;
    start = i + 1;
    const int32_t j = item++;
    if (j == 0) {
      if (port.drawText != nullptr && n > 0)
        port.drawText(columns.left, row, piece, n, kTextRight, nullptr, target);
      continue;
    }
    const double x = ColumnAt(columns, j);
    if (kind == 'b') {
      const double w = TextWidth(piece, n, 10, port, target);
      const bool pressed = state == j;
      DrawBevelBox(x - 1, x + 2 * u + w, row - u, row + u, style, pressed, port, target);
      const double shift = pressed ? 1 : 0;
      if (port.drawText != nullptr) {
        port.drawText(x + u + w / 2 + shift, row + shift, piece, n, 0, rgb, target);
      }
      continue;
    }
    if (kind == 'c') {
      DrawRectangle(x, x + 2 * u, row - u, row + u, kWhiteBoxStyle, port, target);
      DrawRectangle(x, x + 2 * u, row - u, row + u, style, port, target);
      if (j <= 32 && (static_cast<uint32_t>(state) >> (j - 1) & 1) && port.drawPolyline) {
        const double xs[2][2] = {{x, x + 2 * u}, {x, x + 2 * u}};
        const double ys[2][2] = {{row - u, row + u}, {row + u, row - u}};
        for (int32_t k = 0; k < 2; ++k) port.drawPolyline(xs[k], ys[k], 2, &style, target);
      }
    } else if (port.drawCircle != nullptr) {
      port.drawCircle(x + u, row, u, u, &kWhiteBoxStyle, target);
      port.drawCircle(x + u, row, u, u, &style, target);
      if (state == j) {
        PlotStyle dot = style;
        dot.flags |= kStyleFilled;
        port.drawCircle(x + u, row, u - 2, u - 2, &dot, target);
      }
    }
    if (port.drawText != nullptr && n > 0)
      port.drawText(x + 3 * u, row, piece, n, kTextRight, nullptr, target);
  }
}

void MeasurePanelPopupMenu(const PanelColumns& columns, double row, double unit,
                           const PanelPopup& m, const SubplotRecord& subplot, double box[4],
                           const GraphicsPort& port, void* target) {
  double widest = 0;
  double height = std::fabs(subplot.marginUnit[1]);
  for (int32_t i = 0; i < m.count; ++i) {
    int32_t n;
    const char* item = PopupItem(m, i, &n);
    double w = n * subplot.marginUnit[0];
    if (port.textExtent != nullptr) {
      double h = 0;
      port.textExtent(item, n, &w, &h, target);
      height = std::fabs(h);
    }
    widest = std::max(widest, w);
  }
  const double x = ColumnAt(columns, 1);
  box[0] = x;
  box[1] = x + widest + 2 * unit;
  box[2] = row - height / 2;
  box[3] = row + height / 2;
}

void DrawPanelPopupMenu(double left, double row, double unit, const PanelPopup& m,
                        const double box[4], bool open, const PlotStyle& style,
                        const SubplotRecord& subplot, const GraphicsPort& port, void* target) {
  if (port.drawText != nullptr && m.labelLength > 0)
    port.drawText(left, row, m.label, m.labelLength, kTextRight, nullptr, target);
  int32_t n;
  const int32_t selected = std::clamp(m.selected - 1, 0, std::max(m.count - 1, 0));
  if (!open) {
    DrawBevelBox(box[0], box[1], box[2], box[3], style, false, port, target);
    const char* item = PopupItem(m, selected, &n);
    if (port.drawText != nullptr)
      port.drawText(box[0] + unit, row, item, n, kTextRight, nullptr, target);
    return;
  }
  // Items in order along the y axis's direction, the selected one on its row.
  const double h = box[3] - box[2];
  const double dy = subplot.viewport[kTop] <= subplot.viewport[kBottom] ? h : -h;
  const double first = row - selected * dy;
  const double last = row + (m.count - 1 - selected) * dy;
  DrawBevelBox(box[0], box[1], std::min(first, last) - h / 2, std::max(first, last) + h / 2, style,
               false, port, target);
  PlotStyle mark = style;
  mark.flags |= kStyleFilled;
  for (int32_t i = 0; i < m.count; ++i) {
    const char* item = PopupItem(m, i, &n);
    const double y = first + i * dy;
    const bool lit = i + 1 == m.highlighted;
    if (lit) DrawRectangle(box[0] + 1, box[1] - 1, y - h / 2, y + h / 2, mark, port, target);
    if (port.drawText != nullptr)
      port.drawText(box[0] + unit, y, item, n, kTextRight, lit ? kWhiteRgb : nullptr, target);
  }
}

void DrawPanelTextField(const PanelColumns& columns, int32_t column, double row, double rowHeight,
                        const char* label, int32_t labelLength, const char* text,
                        int32_t textLength, const FieldCaret& caret, const PlotStyle& style,
                        bool layoutOnly, double field[4], const GraphicsPort& port, void* target) {
  const int32_t at = std::max(column, 0);
  // Columns of a fixed width may run past the panel: the field ends with
  // it, its right border inside, so that its text, set against the field's
  // right end, shows.
  const double panelEnd =
      columns.left < columns.right ? columns.right - kPanelEndInset : columns.right;
  const double right =
      std::max(ColumnAt(columns, at + 1), std::min(ColumnAt(columns, at + 2), panelEnd));
  const double left =
      StartPastLabel(columns, ColumnAt(columns, at + 1), right, ColumnAt(columns, at), rowHeight,
                     label, labelLength, port, target);
  const double lower = row - 0.4 * rowHeight;
  const double upper = row + 0.4 * rowHeight;
  field[0] = left;
  field[1] = right;
  field[2] = lower;
  field[3] = upper;
  if (layoutOnly) return;
  DrawLabelBefore(columns, ColumnAt(columns, at), row, left, rowHeight, label, labelLength, port,
                  target);
  const PlotStyle coloured = SetStyleColourFromIndex(style);
  DrawRectangle(left, right, lower, upper, kWhiteBoxStyle, port, target);
  DrawRectangle(left, right, lower, upper, style, port, target);
  // The text stands off the right border, so that a caret after its last
  // character lies inside the field; positions are measured back from
  // where the port ends the text.
  const double textPoint = right - kFieldTextInset * rowHeight;
  const auto x = [&](int32_t p) {
    return textPoint - kTextGap - TextWidth(text + p, textLength - p, 0, port, target);
  };
  const int32_t end = std::min(caret.end, textLength);
  const int32_t start = std::min(caret.start, end);
  if (caret.editing && start >= 0 && start < end) {
    PlotStyle selection = kSelectionStyle;
    DrawRectangle(x(start), x(end), lower, upper, selection, port, target);
  }
  if (port.drawText != nullptr) {
    const uint8_t rgb[3] = {coloured.red, coloured.green, coloured.blue};
    // A text wider than the field shows its end, cut at the field's left.
    const bool cut = port.clipRect != nullptr && port.restoreClip != nullptr && x(0) < left;
    if (cut) port.clipRect(left, right, lower, upper, target);
    port.drawText(textPoint, row, text, textLength, kTextLeft, rgb, target);
    if (cut) port.restoreClip(target);
  }
  if (caret.editing && start == end && start >= 0 && port.drawPolyline != nullptr &&
      port.textExtent != nullptr) {
    const double xs[2] = {x(start), x(start)};
    const double ys[2] = {lower, upper};
    port.drawPolyline(xs, ys, 2, &style, target);
  }
}

}  // namespace vke
