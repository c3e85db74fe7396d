// The graphics port: the one table of drawing functions through which all
// figure drawing goes, its device metrics, the screen and printer tables, the
// pen a style word selects and the drawing state the ports share.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>

#include "graphics/style.hpp"

namespace vke {

// Every slot takes coordinates in device units and truncates them toward
// zero; the drawing target is the last argument.
using PortClipRectFn = void (*)(double left, double right, double top, double bottom, void* target);
using PortRestoreClipFn = void (*)(void* target);
using PortDrawPolylineFn = void (*)(const double* x, const double* y, int32_t n,
                                    const PlotStyle* style, void* target);
using PortDrawCircleFn = void (*)(double cx, double cy, double rx, double ry,
                                  const PlotStyle* style, void* target);
// Alignment flags of text (either of a pair, or neither: centred).
enum TextAlign : int32_t {
  kTextRight = 1,  // text starts at x
  kTextLeft = 2,   // text ends left of x
  kTextBelow = 4,  // text top one unit below y
  kTextAbove = 8,  // text bottom one unit above y
};
// The units the port leaves between the point and text placed beside it:
// text drawn with kTextLeft ends this far left of x, text below (above) y
// starts (ends) this far from it.
inline constexpr int32_t kTextGap = 1;

// The cell a port fills with a text of w by h units drawn at (x, y) with
// the alignment flags, the point truncated as every slot truncates it:
// left and top edges, device y growing downward.
struct TextCell {
  double left;
  double top;
};
inline TextCell AlignedTextCell(double x, double y, double w, double h, int32_t flags) {
  const double px = std::trunc(x);
  const double py = std::trunc(y);
  const double bottom = (flags & kTextBelow)   ? py + h + kTextGap
                        : (flags & kTextAbove) ? py - kTextGap
                                               : py + std::floor(h / 2);
  const double left = (flags & kTextRight)  ? px
                      : (flags & kTextLeft) ? px - w - kTextGap
                                            : px - std::floor(w / 2);
  return {left, bottom - h};
}
// Style bits of a font selection; outline is not drawn.
enum FontBits : int32_t { kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontOutline = 128 };

// rgb (may be null) overrides the command font's colour.
using PortDrawTextFn = void (*)(double x, double y, const char* utf8, int32_t nbytes, int32_t flags,
                                const uint8_t* rgb, void* target);
using PortTextExtentFn = void (*)(const char* utf8, int32_t nbytes, double* width, double* height,
                                  void* target);
// Style bits from FontBits. A null name selects the figure font; an all-zero
// colour leaves later text in the target's colour.
using PortSetFontFn = void (*)(const char* name, double size, int32_t bits, const uint8_t* rgb,
                               void* target);
using PortDrawFocusRectFn = void (*)(double left, double top, double right, double bottom,
                                     int32_t flag, void* target);
// plane1 is red (or grey when plane2 or plane3 is null); each holds
// columns * rows bytes, row by row.
using PortDrawImageCellsFn = void (*)(double x, double y, int32_t columns, int32_t rows,
                                      int32_t cellWidth, int32_t cellHeight, const uint8_t* plane1,
                                      const uint8_t* plane2, const uint8_t* plane3, void* target);
using PortPixelScaleFn = void (*)(double* sx, double* sy);
// whiteFlag 1 fills white, anything else the background colour.
using PortFillBackgroundFn = void (*)(double left, double top, double right, double bottom,
                                      int32_t whiteFlag, void* target);
using PortEmptyFn = void (*)();

// Slot numbers, from the slot table.
enum class PortSlot : int32_t {
#define VKE_PORT_SLOT(index, member, type, name) member = index,
#include "graphics/port_slots.def"
#undef VKE_PORT_SLOT
};
// The rows of port_slots.def, counted.
inline constexpr int32_t kPortSlotCount = 0
#define VKE_PORT_SLOT(index, member, type, name) +1
#include "graphics/port_slots.def"
#undef VKE_PORT_SLOT
    ;

// Meaning of the eight metric doubles. The renderer's layout reads the
// margins in margin units (the width and height of "0"), free-layout
// snapping the grid step, subplot positions the unit size; the legend takes
// its two units.
enum PortMetric : int32_t {
  kMetricMarginLeft = 0,
  kMetricMarginRight = 1,
  kMetricMarginTop = 2,
  kMetricMarginBottom = 3,
  kMetricGridStep = 4,
  kMetricUnitSize = 5,
  kMetricLegendUnit1 = 6,
  kMetricLegendUnit2 = 7,
};
using PortMetrics = std::array<double, 8>;
inline constexpr PortMetrics kScreenStartMetrics{5.0, 0.5, 1.5, 1.5, 1.0, 1.0, 8.0, 8.0};
inline constexpr PortMetrics kScreenViewMetrics{5.0, 0.5, 2.0, 2.0, 1.0, 1.0, 8.0, 8.0};
inline constexpr PortMetrics kPrinterMetrics{5.0, 0.5, 1.5, 1.5, 1.0, 1.0, 24.0, 24.0};

// A drawing-function table. Callers skip what needs an empty slot.
struct GraphicsPort {
#define VKE_PORT_SLOT(index, member, type, name) type member;
#include "graphics/port_slots.def"
#undef VKE_PORT_SLOT
  PortMetrics metrics;
};
static_assert(sizeof(GraphicsPort) == kPortSlotCount * sizeof(void*) + 8 * sizeof(double));

// The log name of a slot ("clip", "polyline" ...).
const char* PortSlotName(PortSlot slot);

// The two tables of the run; both draw on a CairoTarget. The screen table
// serves the view and the clipboard copy, the printer table printing.
GraphicsPort& ScreenPort();
GraphicsPort& PrinterPort();
// Gives the screen table the metrics it has while a view exists.
void InitScreenPortMetrics();

// Port colour of an index 1..7 as 0xRRGGBB; index 0 (and anything outside
// 1..7) takes the style's own bytes.
uint32_t PortStyleColour(const PlotStyle& style);

// The direction a polygon of n >= 3 points turns at every corner: 1 or -1;
// 0 when it is not strictly convex (a straight or reversed corner, a
// repeated point, NaN). Smooth fills of convex triangles and quadrilaterals
// grow their outline into one shape.
int32_t ConvexTurn(const double* x, const double* y, int32_t n);

// The pen and brush a style word selects.
enum class PenDash : int32_t { kSolid, kDash, kDot, kDashDot };
struct PenBrush {
  int32_t width;  // device units
  PenDash dash;   // only for width 1
  uint32_t rgb;   // 0xRRGGBB, pen and brush alike
  bool fill;      // brush selected
};
PenBrush SelectPenBrush(const PlotStyle& style);

// Drawing state shared by both tables.
// The figure background until one is set, the window's own default.
inline constexpr uint32_t kDefaultBackgroundColor = 0xE5E5E5;  // 0x00BBGGRR
void SetBackgroundColor(uint32_t colorref);                    // 0x00BBGGRR
uint32_t GetBackgroundColor();
// The colour dialog of the figure background: the dialog is given the
// current colour and answers true with the user's choice in it, false when
// cancelled. True, and the choice stored, when the user accepted.
using ColorDialogFn = std::function<bool(uint32_t* colorref)>;
bool ChooseBackgroundColor(const ColorDialogFn& dialog);
void SetDrawingOption(bool thickLines);
// The figure font that a font selection without a name returns to; size in
// device units (em height), bits as in PortSetFontFn.
void SetPortFont(const char* name, double size, int32_t bits);
// The figure font until one is set, the window's own default: a figure
// drawn without a window looks as the window shows it.
inline constexpr const char* kDefaultFigureFontName = "Arial";
inline constexpr int32_t kDefaultFigureFontSize = 11;
// Fonts asked for larger are drawn at this size (em height).
inline constexpr int32_t kLargestFontSize = 4096;

}  // namespace vke
