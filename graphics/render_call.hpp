// Internal to the renderer: the state of one replay and the view of one
// command that the drawing routines of each command code receive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/errors/errors.hpp"
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
  // The pool once it outgrew the scratch, and the call's memory for what
  // else the scratch cannot hold (CallMemory).
  std::unique_ptr<double[]> poolStore = nullptr;
  std::unique_ptr<double[]> own = nullptr;
  size_t ownDoubles = 0;
  int64_t materialAt = -1;  // position of the material command in force
  ErrCode error = kOk;      // memory ran out: part of the figure is missing

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

// The style a command draws with: its own, or the default record that its
// style word asks for.
PlotStyle CommandStyle(const RenderCall& call, const CommandHeader& h);

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
void DrawImageCommand(RenderCall& call, const RenderCommand& c);
void DrawPcolorCommand(RenderCall& call, const RenderCommand& c);

// A 3-D subplot hands its commands of points, lines, polygons and 3-D text
// to the depth pool; 2-D text is dropped there.
void AddToDepthPool(RenderCall& call, const RenderCommand& c);
void RememberMaterial(RenderCall& call, const RenderCommand& c);
// The words a primitive carries through the pool: its command's position,
// the position of the material in force when it was added, and its point,
// segment or face index within the command.
enum PoolWord : int32_t { kPoolCommand = 0, kPoolMaterial = 1, kPoolIndex = 2 };
inline constexpr uint32_t kNoPoolMaterial = UINT32_MAX;

// Memory of the call's own for n doubles, kept for the rest of the call
// (the last request's contents are lost); null when none is to be had.
double* CallMemory(RenderCall& call, size_t n);
// Room for n doubles of a 3-D command's device points: the scratch when it
// holds them, else the call's memory; null, with the call's error set, when
// there is none.
double* DepthPointRoom(RenderCall& call, int64_t n);

// Adds a polyline of n device points: line kinds add the segments between
// finite neighbours, the blank and marker kinds the points (markers).
void Render3DAddPolyline(RenderCall& call, uint32_t at, const double* X, const double* Y,
                         const double* Z, int32_t n, const PlotStyle& style);
// Sorts the pool and draws it through the callbacks of the 3-D primitives,
// with the group's colour map and lights.
void Render3DFlush(RenderCall& call);
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
