// Internal to the renderer: the state of one replay and the view of one
// command that the drawing routines of each command code receive.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/depth_sort.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/renderer.hpp"

namespace vke {

struct RenderCall {
  std::byte* list;
  uint32_t end;
  double* scratch;
  uint32_t capacity;  // scratch doubles
  SubplotRecord* subplot;
  RenderStyles styles;  // none null
  const TextFieldEdit* edit;
  bool layoutOnly;
  bool decorated;  // transform valid and frame on
  bool is3d;
  const GraphicsPort& port;
  void* target;

  // Found by the pre-pass over the group.
  int32_t colormapCount = 0;
  const std::byte* colormap = nullptr;  // reds, greens, blues, count each
  int64_t lightAt = -1;                 // position of the last light command
  int32_t panelRows = 0;
  int32_t panelColumns = 1;
  bool vertical = false;  // the control panel stands in one column

  DepthSortPool* pool = nullptr;  // of a 3-D subplot's primitives

  double rowHeight = 0;   // of control-panel rows
  double arrowUnit = 0;   // arrowheads and slider arrows
  double clampLimit = 0;  // device coordinates of polylines stay within it

  // The control panel, laid out at its first row.
  bool panelLaidOut = false;
  double panelRow = 0;               // coordinate of the next row
  const double* tabStops = nullptr;  // measured by the last tab-stop command
  int32_t tabCount = 0;
  int64_t openPopupAt = -1;  // an open pop-up menu, drawn after the group
  double openPopupRow = 0;
  PlotStyle openPopupStyle{};
};

// One command of the group: its header, data and the style it draws with.
struct RenderCommand {
  CommandHeader header;
  uint32_t at;      // position of the header in the list
  std::byte* data;  // header.length doubles
  PlotStyle style;

  double Get(uint32_t i) const { return PayloadDouble(data, i); }
  const double* Doubles(uint32_t i) const {
    return reinterpret_cast<const double*>(data + size_t{i} * 8);
  }
  // Bytes of a text packed eight to a double from data double i.
  const char* Text(uint32_t i) const { return reinterpret_cast<const char*>(data + size_t{i} * 8); }
  // The data hold at least n doubles.
  bool Holds(int64_t n) const { return n >= 0 && n <= header.length; }
};

// A count stored in a payload double, truncated; -1 for anything negative.
inline int32_t PayloadCount(double v) {
  const int32_t n = TruncToInt32(v);
  return n < 0 ? -1 : n;
}

// Doubles of the text of `bytes` bytes packed eight to a double.
inline int64_t PackedDoubles(int64_t bytes) {
  return (bytes + 7) / 8;
}

// A text {length, bytes} that starts at data double i, when it fits.
inline bool PanelText(const RenderCommand& c, uint32_t i, const char** text, int32_t* length) {
  if (!c.Holds(i + 1)) return false;
  *length = PayloadCount(c.Get(i));
  *text = c.Text(i + 1);
  return *length >= 0 && c.Holds(i + 1 + PackedDoubles(*length));
}

// The drawing of each command kind; the renderer dispatches by code.
void DrawPolylineCommand(RenderCall& call, const RenderCommand& c);
void DrawInfiniteLine(RenderCall& call, const RenderCommand& c);
void DrawInfiniteLine3(RenderCall& call, const RenderCommand& c);
void DrawBars(RenderCall& call, const RenderCommand& c);
void DrawCurveList(RenderCall& call, const RenderCommand& c);
void DrawCircles(RenderCall& call, const RenderCommand& c);
void DrawEllipses(RenderCall& call, const RenderCommand& c);
void DrawTextCommand(RenderCall& call, const RenderCommand& c);
void DrawLegendCommand(RenderCall& call, const RenderCommand& c);
void MeasureTabStops(RenderCall& call, const RenderCommand& c);
void SelectCommandFont(RenderCall& call, const RenderCommand& c);
void SelectDefaultFont(RenderCall& call, const RenderCommand& c);
void DrawPanelTextRow(RenderCall& call, const RenderCommand& c);
void DrawPanelSliderRow(RenderCall& call, const RenderCommand& c);
void DrawPanelButtonRow(RenderCall& call, const RenderCommand& c);
void DrawPanelPopupRow(RenderCall& call, const RenderCommand& c);
void DrawPanelTextFieldRow(RenderCall& call, const RenderCommand& c);
// The control-design commands: the error-locus region, the whole grids and
// the single grid curves.
void DrawErrorLocusCommand(RenderCall& call, const RenderCommand& c);
void DrawDesignGridCommand(RenderCall& call, const RenderCommand& c);
void DrawGridCurveCommand(RenderCall& call, const RenderCommand& c);

// The open pop-up menu of the group, over everything else.
void DrawDeferredPopupMenu(RenderCall& call);
// The "..." marks of a scrolled panel, where more rows lie.
void DrawPanelScrollMarks(const RenderCall& call);

}  // namespace vke
