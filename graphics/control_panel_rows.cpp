// Replay of the control-panel rows: the panel is laid out at its first row,
// each row command is read, drawn at the current row coordinate (or only
// laid out) and writes its device rectangle back into its own payload; an
// open pop-up menu waits for the end of the group, and a scrolled panel
// shows "..." where more rows lie.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/control_panel.hpp"
#include "graphics/render_call.hpp"
#include "graphics/scale.hpp"
#include "graphics/text_field_edit.hpp"

namespace vke {
namespace {

// The columns of the panel: across the viewport's width, or down its
// height in a vertical panel.
PanelColumns Columns(const RenderCall& call) {
  const double* v = call.subplot->viewport;
  return call.vertical
             ? PanelColumns{v[kTop], v[kBottom], call.panelColumns, call.tabStops, call.tabCount}
             : PanelColumns{v[kLeft], v[kRight], call.panelColumns, call.tabStops, call.tabCount};
}

// One row further: down the viewport (up on a device whose y grows upward),
// or to the right in a vertical panel.
double RowStep(const RenderCall& call) {
  const double* v = call.subplot->viewport;
  return !call.vertical && v[kTop] > v[kBottom] ? -call.rowHeight : call.rowHeight;
}

// The coordinate of the next row; the first row lays the panel out.
double& PanelRow(RenderCall& call) {
  if (!call.panelLaidOut) {
    call.panelRow = LayoutControlPanel(call.vertical, call.subplot, call.rowHeight, call.panelRows);
    call.panelLaidOut = true;
  }
  return call.panelRow;
}

// A column field: -1 for anything below 0.
int32_t ColumnField(double v) {
  return v >= 0 ? TruncToInt32(std::min(v, 1e6)) : -1;
}

void WriteSlots(const RenderCommand& c, uint32_t first, const double* values, int32_t n) {
  for (int32_t i = 0; i < n; ++i) SetPayloadDouble(c.data, first + i, values[i]);
}

// The pop-up menu of a command 64 whose data hold it.
bool ReadPopup(const RenderCommand& c, PanelPopup* m) {
  if (!c.Holds(9)) return false;
  m->selected = TruncToInt32(c.Get(0));
  m->highlighted = c.Get(1) >= 0 ? TruncToInt32(std::min(c.Get(1), 1e6)) : -1;
  m->count = PayloadCount(c.Get(2));
  m->labelLength = PayloadCount(c.Get(3));
  m->itemsLength = PayloadCount(c.Get(4));
  if (m->count < 0 || m->labelLength < 0 || m->itemsLength < 0 ||
      !c.Holds(9 + PackedDoubles(int64_t{m->labelLength} + m->itemsLength)))
    return false;
  m->label = c.Text(9);
  m->items = m->label + m->labelLength;
  return true;
}

}  // namespace

void DrawPanelTextRow(RenderCall& call, const RenderCommand& c) {
  const char* text;
  int32_t length;
  if (!PanelText(c, 0, &text, &length)) return;
  double& row = PanelRow(call);
  const double step = RowStep(call);
  if (!call.layoutOnly)
    DrawPanelText(Columns(call), row, step, text, length, call.port, call.target);
  row += step * CountTextLines(text, length);
}

void DrawPanelSliderRow(RenderCall& call, const RenderCommand& c) {
  if (!c.Holds(8)) return;
  const int32_t k = PayloadCount(c.Get(7));
  if (k < 0 || !c.Holds(9 + 2 * int64_t{k})) return;
  const char* label;
  int32_t labelLength;
  if (!PanelText(c, 8 + 2 * k, &label, &labelLength)) return;
  const SubplotRecord& s = *call.subplot;
  PanelSlider slider{c.Get(0),
                     c.Get(1),
                     c.header.code == kCmdLastSlider,
                     ColumnField(c.Get(2)),
                     c.Doubles(8),
                     c.Doubles(8 + k),
                     k,
                     label,
                     labelLength};
  // While the slider is dragged, its limits are those of the drag.
  const int32_t axis = call.vertical ? kAxisX : kAxisY;
  if ((s.scaleState[axis] & kScaleHoldBit) && s.dragId == c.header.id &&
      s.dragIndex == c.header.index) {
    slider.minimum = s.dragValue[0];
    slider.maximum = s.dragValue[1];
  }
  double& row = PanelRow(call);
  const double step = RowStep(call);
  if (slider.column >= 1) row -= step;
  const double R = std::fabs(call.rowHeight);
  const double h = R < 12 ? R / 2 - 1 : call.arrowUnit;
  double track[4];
  DrawPanelSlider(Columns(call), call.vertical, row, h, slider, c.style, call.layoutOnly, track,
                  call.port, call.target);
  WriteSlots(c, 3, track, 4);
  row += step;
}

void DrawPanelButtonRow(RenderCall& call, const RenderCommand& c) {
  const char* text;
  int32_t length;
  if (!PanelText(c, 4, &text, &length)) return;
  double& row = PanelRow(call);
  const double u = call.arrowUnit;
  const double slots[3] = {double(call.panelColumns), row - u, row + u};
  WriteSlots(c, 1, slots, 3);
  if (!call.layoutOnly) {
    const char kind =
        c.header.code == kCmdCheckBox ? 'c' : (c.header.code == kCmdRadioButton ? 'r' : 'b');
    DrawPanelButton(Columns(call), row, u, kind, TruncToInt32(c.Get(0)), text, length, c.style,
                    call.port, call.target);
  }
  row += RowStep(call);
}

void DrawPanelPopupRow(RenderCall& call, const RenderCommand& c) {
  PanelPopup menu;
  if (!ReadPopup(c, &menu)) return;
  double& row = PanelRow(call);
  const PanelColumns columns = Columns(call);
  double box[4];
  MeasurePanelPopupMenu(columns, row, call.arrowUnit, menu, *call.subplot, box, call.port,
                        call.target);
  WriteSlots(c, 5, box, 4);
  if (menu.highlighted >= 0) {
    call.openPopupAt = c.at;
    call.openPopupRow = row;
    call.openPopupStyle = c.style;
    // Its label stays in place; the menu comes after the group.
    if (!call.layoutOnly && call.port.drawText != nullptr && menu.labelLength > 0) {
      call.port.drawText(columns.left, row, menu.label, menu.labelLength, kTextRight, nullptr,
                         call.target);
    }
  } else if (!call.layoutOnly) {
    DrawPanelPopupMenu(columns.left, row, call.arrowUnit, menu, box, false, c.style, *call.subplot,
                       call.port, call.target);
  }
  row += RowStep(call);
}

void DrawPanelTextFieldRow(RenderCall& call, const RenderCommand& c) {
  FieldText f;
  if (!FindFieldText(c.data, c.header.length, &f)) return;
  const int32_t column = ColumnField(c.Get(4));
  double& row = PanelRow(call);
  const double step = RowStep(call);
  if (column >= 1) row -= step;
  const TextFieldEdit& edit = *call.edit;
  const FieldCaret caret{edit.field >= 0 && edit.command == static_cast<int64_t>(c.at),
                         edit.caretStart, edit.caretEnd};
  double field[4];
  DrawPanelTextField(Columns(call), column, row, call.rowHeight, f.label, f.labelLength, f.text,
                     f.length, caret, c.style, call.layoutOnly, field, call.port, call.target);
  WriteSlots(c, 0, field, 4);
  row += step;
}

void DrawDeferredPopupMenu(RenderCall& call) {
  if (call.openPopupAt < 0) return;
  const uint32_t at = static_cast<uint32_t>(call.openPopupAt);
  CommandHeader h;
  if (!ReadCommandAt(call.list, call.end, at, &h)) return;
  const RenderCommand c{h, at, call.list + size_t{at + kCommandHeaderDoubles} * 8,
                        call.openPopupStyle};
  PanelPopup menu;
  if (!ReadPopup(c, &menu)) return;
  double box[4];
  for (int32_t i = 0; i < 4; ++i) box[i] = c.Get(5 + i);
  menu.labelLength = 0;
  DrawPanelPopupMenu(Columns(call).left, call.openPopupRow, call.arrowUnit, menu, box, true,
                     c.style, *call.subplot, call.port, call.target);
}

void DrawPanelScrollMarks(const RenderCall& call) {
  const SubplotRecord& s = *call.subplot;
  if (call.panelRows == 0 || s.transformValid || (s.scaleState[kAxisY] & ~kScaleHoldBit) == 0 ||
      call.port.drawText == nullptr)
    return;
  const double* v = s.viewport;
  if (s.yOffset > 0) {
    call.port.drawText(v[kRight], (s.position[kTop] + v[kTop]) / 2, "...", 3, kTextLeft, nullptr,
                       call.target);
  }
  if (s.yOffset < s.limits[3 + kAxisY]) {
    call.port.drawText(v[kRight], v[kBottom], "...", 3, kTextLeft | kTextBelow, nullptr,
                       call.target);
  }
}

}  // namespace vke
