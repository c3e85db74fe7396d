// The figure control panel: where a panel's columns and rows lie, and the
// widgets that draw its rows through the graphics port with 3-D bevels
// (text, sliders, push buttons, check boxes, radio buttons, pop-up menus and
// text fields). The widgets keep no state: the renderer reads their commands,
// hands them the row they sit on and writes the device rectangles they give
// back into the commands.
#pragma once

#include <cstdint>

#include "graphics/port.hpp"
#include "graphics/subplot.hpp"

namespace vke {

// Greys of the bevels and the slider knobs.
inline constexpr uint8_t kBevelLight = 250;
inline constexpr uint8_t kBevelFace = 220;
inline constexpr uint8_t kBevelFacePressed = 200;
inline constexpr uint8_t kBevelShadow = 127;
inline constexpr uint8_t kKnobLight = 250;
inline constexpr uint8_t kKnobShadow = 150;
// Filled white boxes under check boxes, radio buttons and fields, and the
// yellow of a field's selection.
inline constexpr PlotStyle kWhiteBoxStyle{0x27, 0, 0, 0, 0};
inline constexpr PlotStyle kSelectionStyle{0x26, 0, 0, 0, 0};
// Device units per column when the columns do not share the width.
inline constexpr double kPanelColumnWidth = 80;

// The columns of a panel from `left` toward `right`: `columns` columns, or
// at the cumulative widths of a measured tab table.
struct PanelColumns {
  double left;
  double right;
  int32_t columns;
  const double* tabs;  // tabCount cumulative widths, or null
  int32_t tabCount;
};

// The coordinate of column j's left edge.
double PanelColumnPosition(double left, double right, int32_t columns, const double* tabs,
                           int32_t tabCount, int32_t column);
inline double ColumnAt(const PanelColumns& c, int32_t column) {
  return PanelColumnPosition(c.left, c.right, c.columns, c.tabs, c.tabCount, column);
}

// The coordinate of the first of `rows` rows of height R: centred in the
// viewport (the axis' scale state becomes 0), or, when they do not fit,
// scrolled by the axis' transform offset (the state becomes released, the
// content's overflow goes into the axis' upper limit). Horizontal panels
// stack their rows along y, vertical panels along x.
double LayoutControlPanel(bool vertical, SubplotRecord* subplot, double rowHeight, int32_t rows);

// A horizontal panel's viewport shorter than one row of height R grows
// into the margins above and below it, each keeping a text line for the
// title and the "..." marks, so that a row can show whole.
void KeepPanelRowRoom(SubplotRecord* subplot, double rowHeight);

// The style with the fixed colour of its colour index (index 0 keeps its
// own bytes).
PlotStyle SetStyleColourFromIndex(PlotStyle style);

// A closed 5-point polyline around the rectangle.
void DrawRectangle(double x1, double x2, double y1, double y2, const PlotStyle& style,
                   const GraphicsPort& port, void* target);

// A raised or pressed 3-D box painted as image-cell strips; a white box
// outlined in the style when the port has no image cells.
void DrawBevelBox(double x1, double x2, double y1, double y2, const PlotStyle& style, bool pressed,
                  const GraphicsPort& port, void* target);

// A text row: pieces cut at tabs go to the next column, at line feeds to
// the next line (`step` further along the rows) at column 0.
void DrawPanelText(const PanelColumns& columns, double row, double step, const char* text,
                   int32_t length, const GraphicsPort& port, void* target);

// One slider as its command holds it.
struct PanelSlider {
  double minimum;
  double maximum;
  bool logarithmic;
  int32_t column;  // -1 alone on its row
  const double* values;
  const double* colours;  // 0xRRGGBB per value
  int32_t count;
  const char* label;
  int32_t labelLength;
};

// Lays out (track start and end along the row, row - h and row + h across)
// and, unless layoutOnly, draws a slider: its label, a pressed track and a
// knob for every value within its limits.
void DrawPanelSlider(const PanelColumns& columns, bool vertical, double row, double halfHeight,
                     const PanelSlider& slider, const PlotStyle& style, bool layoutOnly,
                     double track[4], const GraphicsPort& port, void* target);

// A row of push buttons ('b'), check boxes ('c') or radio buttons ('r'):
// tab-separated items after the row label; `state` the pressed or selected
// item, or the mask of the checked boxes.
void DrawPanelButton(const PanelColumns& columns, double row, double unit, char kind, int32_t state,
                     const char* text, int32_t length, const PlotStyle& style,
                     const GraphicsPort& port, void* target);

// A pop-up menu: its label, its items (NUL-terminated, one after the
// other), the selected item and, while open, the highlighted one (both
// 1-based).
struct PanelPopup {
  const char* label;
  int32_t labelLength;
  const char* items;
  int32_t itemsLength;
  int32_t count;
  int32_t selected;
  int32_t highlighted;  // negative: closed
};

// The menu's box at column 1: left, right, lower and upper coordinate.
void MeasurePanelPopupMenu(const PanelColumns& columns, double row, double unit,
                           const PanelPopup& menu, const SubplotRecord& subplot, double box[4],
                           const GraphicsPort& port, void* target);

// Draws the label and the closed menu, or, with `open`, the label and the
// menu with all items around the selected one (the renderer draws an open
// menu after every other command of the group, with no label then).
void DrawPanelPopupMenu(double left, double row, double unit, const PanelPopup& menu,
                        const double box[4], bool open, const PlotStyle& style,
                        const SubplotRecord& subplot, const GraphicsPort& port, void* target);

// The selection of the field being edited: caret or selected bytes.
struct FieldCaret {
  bool editing;
  int32_t start;
  int32_t end;
};

// Lays out (left, right, lower, upper) and, unless layoutOnly, draws a text
// field: its label, the white field with the text right-aligned and the
// edited field's selection or caret.
void DrawPanelTextField(const PanelColumns& columns, int32_t column, double row, double rowHeight,
                        const char* label, int32_t labelLength, const char* text,
                        int32_t textLength, const FieldCaret& caret, const PlotStyle& style,
                        bool layoutOnly, double field[4], const GraphicsPort& port, void* target);

}  // namespace vke
