// The figure of one instance: its layout fields, 25 subplot records and 25
// spring records. FigureState is the figure part of the instance record
// (22,520 bytes, 8-byte aligned, no pointers), embedded there by the
// application model at an 8-byte aligned offset; its first word is the
// instance's layout word (the options of the kElemUiOptions element). The operations
// that need the application (its element list, undo versions, handlers)
// reach it through FigureHost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/errors/errors.hpp"
#include "graphics/style.hpp"
#include "graphics/subplot.hpp"

namespace vke {

inline constexpr int32_t kMaxSubplots = 25;

// Bit of the figure's flag word that forbids every change of the layout.
inline constexpr uint32_t kFigureLayoutLocked = 0x2;
// Bit of the figure's flag word that forbids moving and resizing subplots
// with the mouse.
inline constexpr uint32_t kFigureMouseLayoutLocked = 0x4;

// GetSubplotPlotId's answers besides plot ids: no such subplot, and no
// instance (distinct from every plot id, kPlotDefault included).
inline constexpr int32_t kNoSubplot = -1;
inline constexpr int32_t kPlotIdNoInstance = INT32_MIN;

// Stiffness, from 0 to 1, of the three segments of each axis: the near
// margin, the size and the far margin (x: left, width, right; y: top,
// height, bottom).
enum SpringIndex : int { kSpringNear = 0, kSpringSize = 1, kSpringFar = 2, kSpringY = 3 };

struct SpringRecord {
  double stiffness[6];
};
static_assert(sizeof(SpringRecord) == 48);

// The six style records of the figure.
enum FigureStyleIndex : int {
  kFigureStyleData = 0,
  kFigureStyleBox,
  kFigureStyleGrid,
  kFigureStyleAxes,
  kFigureStyleLabel,
  kFigureStyleLabelHighlight,
  kFigureStyleCount,
};

struct FigureState {
  uint32_t flags;  // bits withhold figure commands; kFigureLayoutLocked
  PlotStyle styles[kFigureStyleCount];
  int32_t maxSubplots;  // subplot records the instance may use (at most 25)
  int32_t rows;         // grid rows; in free layout the number of subplots
  int32_t columns;      // grid columns; 1 in free layout
  uint32_t selection;   // bit k: subplot k is selected
  uint8_t freeLayout;   // nonzero in free layout
  double rect[4];       // left, right, top, bottom (device units)
  int32_t editField;    // text field being edited, -1 none
  int32_t editCommand;  // position of its command
  int32_t caretStart;
  int32_t caretEnd;
  SubplotRecord subplots[kMaxSubplots];
  SpringRecord springs[kMaxSubplots];
};
static_assert(sizeof(FigureState) == 22520);
static_assert(alignof(FigureState) == 8);
static_assert(offsetof(FigureState, styles) == 4);
static_assert(offsetof(FigureState, maxSubplots) == 52);
static_assert(offsetof(FigureState, rows) == 56);
static_assert(offsetof(FigureState, selection) == 64);
static_assert(offsetof(FigureState, freeLayout) == 68);
static_assert(offsetof(FigureState, rect) == 72);
static_assert(offsetof(FigureState, editField) == 104);
static_assert(offsetof(FigureState, subplots) == 120);
static_assert(offsetof(FigureState, springs) == 21320);

// The handler descriptors of a plot for a target id (FigureHost::
// FindPlotHandlers).
struct PlotHandlers {
  int32_t descriptors[kSubplotHandlerCount];  // kNoHandler when absent
  uint8_t mouseOverTargeted;                  // the mouseover handler found has a target id
};

// What the figure operations need of the application model: its plots
// (named by plot ids, the subplots' plotId), their handlers, undo versions
// and the handler runs.
class FigureHost {
 public:
  virtual ~FigureHost() = default;
  // The instance's data were initialised.
  virtual bool Initialised() = 0;
  // The name of the plot; false for an id that names no plot.
  virtual bool PlotName(int32_t plotId, std::string_view* name) = 0;
  // The handler descriptors of the plot for objects of id `target` (the
  // handlers meant for every object or for that one); every handler's
  // function is looked up, the first failure returned, and the descriptors
  // filled in any case. No handlers for a negative plot id; kErrUndefElement for an id
  // that names no plot.
  virtual ErrCode FindPlotHandlers(int32_t plotId, int32_t target, PlotHandlers* out) = 0;
  // Whether the plot has a handler of a mouse press, drag, release, double
  // click or scroll.
  virtual bool PlotHasMouseHandlers(int32_t plotId) = 0;
  // The plot after (step > 0) or before plotId in the application's order,
  // wrapping; the first (step > 0) or last plot for an id that names none;
  // kNoSubplot when there are no plots.
  virtual int32_t NextPlot(int32_t plotId, int32_t step) = 0;
  // Sets the subplot's entry of the plot properties to the empty value.
  virtual ErrCode ClearPlotProperties(int32_t subplot) = 0;
  // Starts a new undo version of the instance's variables.
  virtual ErrCode PushUndoVersion() = 0;
  // Runs the instance's draw handlers; may move the memory block.
  virtual ErrCode RunDrawHandlers() = 0;
  // Stores the layout and the 3-D views in the instance's variables.
  virtual ErrCode SaveFigureState() = 0;
  // Runs the figure-rectangle handlers in turn; may move the memory block.
  virtual ErrCode RunResizeHandlers() = 0;
};

// Subplots in use: rows x columns, at most the maximum.
int32_t ActiveSubplotCount(const FigureState& fig);

// Index of the only selected subplot (0 in a 1 x 1 grid), kNoSubplot when
// none or several are selected.
int32_t SingleSelectedSubplot(const FigureState& fig);

// Index of subplot (row, column), or of the only selected one when row or
// column is negative; kNoSubplot when there is no such subplot.
int32_t SubplotAt(const FigureState& fig, int32_t row, int32_t column);

// Plot id of subplot (row, column), or of the only selected one when row or
// column is negative; kNoSubplot when there is no such subplot,
// kPlotIdNoInstance for a null figure.
int32_t GetSubplotPlotId(const FigureState* fig, int32_t row, int32_t column);

// Sets the grid to rows x columns (reduced to the maximum subplots, the
// longer side first). Subplots keep their row and column; a smaller grid
// with a selection, or a free layout, packs the selected (or, in free
// layout, all) subplots into the first cells instead and leaves free layout.
// New cells are empty; the selection is cleared; the viewports recomputed.
// kErrOutOfRangeArg for rows or columns below 1.
ErrCode SetSubplotLayout(FigureState* fig, int32_t rows, int32_t columns);
// A new undo version, SetSubplotLayout, then the draw handlers.
ErrCode ApplySubplotLayout(FigureState* fig, FigureHost& host, int32_t rows, int32_t columns);
// Every subplot's position and viewport: grid cells of the figure
// rectangle, or the stored positions in free layout.
void ComputeSubplotViewports(FigureState* fig);
// Every subplot record of the instance back to no plot and no draw handler.
void ClearSubplots(FigureState* fig);
// Marks the subplots to be laid out anew at the next drawing.
void ResetInstanceSubplots(FigureState* fig);
// min x, max x, min y, max y of the subplots' positions, min and max taken
// along the direction of each axis of the figure rectangle.
void GetLayoutExtent(const FigureState& fig, double extent[4]);

// Free layout: one column of subplots placed by position, each following the
// figure rectangle with its springs (0.5 everywhere when proportional; 1, 1,
// 0 on each axis when anchored). Starts with a new undo version and ends by
// saving the figure state.
ErrCode MakeLayoutFree(FigureState* fig, FigureHost& host, bool anchored);
// False when not free; else whether every subplot is anchored, respectively
// proportional.
bool QueryFreeLayout(const FigureState& fig, bool* anchored, bool* proportional);
// Moves the selected subplots behind the others, keeping their order, so
// they are drawn last; `tracked` follows the subplot it names.
void MoveSelectedSubplotsLast(FigureState* fig, int32_t* tracked);
// Drops the selected subplots; when all are selected the last one stays,
// emptied.
void DeleteSelectedSubplots(FigureState* fig);
// Moves free-layout subplots with their springs after the figure rectangle
// changed from the old width and height (bottom - top) to its current ones.
void ResizeFreeLayout(FigureState* fig, double oldWidth, double oldHeight);
// A new figure rectangle: free-layout subplots follow their springs, the
// viewports are recomputed and, once the instance is initialised, its
// figure-rectangle handlers run.
ErrCode SetFigureRect(FigureState* fig, FigureHost& host, double left, double right, double top,
                      double bottom);

// The shares of a change of the figure extent that a subplot's near and far
// edge follow on one axis: near edge at a, far edge at b from the figure's
// near side, figure extent e0, stiffnesses s[near, size, far].
struct SpringShares {
  double nearEdge;
  double farEdge;
};
SpringShares ComputeSpringShares(double a, double b, double e0, const double* s);

// The name of the plot that subplot (row, column) shows (the only selected
// one for a negative row or column); false when it has no draw handler.
bool GetPlotName(const FigureState& fig, FigureHost& host, int32_t row, int32_t column,
                 std::string_view* name);
// Makes subplot (row, column), or the selected ones (subplot 0 in a 1 x 1
// grid), show plot `plotId`: those showing another plot, or all with force,
// are reset with their handlers, title and plot properties.
ErrCode ResetSubplots(FigureState* fig, FigureHost& host, int32_t row, int32_t column,
                      int32_t plotId, bool force);

}  // namespace vke
