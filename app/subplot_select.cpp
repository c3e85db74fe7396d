// Select mode: the subplot selection of an instance, and moving subplots
// with the mouse, in a grid by whole cells (their plots move, and those they
// displace fill the cells left), in a free layout by dragging a subplot or
// one of its corners onto the port's grid.
#include <algorithm>

#include "app/draw_cycle.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/figure_variables.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/name_buffer.hpp"
#include "app/plot_properties.hpp"
#include "engine/frames/frames.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/port.hpp"
#include "graphics/saved_figure.hpp"
#include "graphics/scale.hpp"
#include "graphics/subplot_drag.hpp"

namespace vke {
namespace {

constexpr int32_t kMaxLayoutValues = kLayoutHeader + kMaxSubplots * kFreeEntry;
constexpr int32_t kMaxViewValues = kMaxSubplots * kViewRow;

bool Selected(uint32_t mask, int32_t k) {
  return k >= 0 && k < 32 && ((mask >> k) & 1u) != 0;
}

// The figure as _pl and _3d held it at the press.
struct PressedFigure {
  double layout[kMaxLayoutValues];
  int32_t entry;  // doubles per subplot
  double views[kMaxViewValues];
  int32_t viewRows;
};

// *found false when _pl and _3d do not hold a layout of the figure's grid;
// the engine's code when a read found no room.
ErrCode ReadPressedFigure(KVContextBlock* block, int32_t id, PressedFigure* out, bool* found) {
  *found = false;
  const FigureState& fig = FindInstance(block, id)->figure;
  const int32_t n = fig.rows * fig.columns;
  int32_t rows = 0, count = 0;
  if (ErrCode e = ReadMatrixVariable(block, id, 0, kVarPl, 0, out->layout, kMaxLayoutValues, &rows,
                                     &count)) {
    return IsMemoryCode(e) ? e : kOk;
  }
  if (count < kLayoutHeader || n <= 0) return kOk;
  out->entry = (count - kLayoutHeader) / n == kFreeEntry ? kFreeEntry : kGridEntry;
  if (count != kLayoutHeader + n * out->entry || out->layout[0] != fig.rows ||
      out->layout[1] != fig.columns) {
    return kOk;
  }
  int32_t viewCount = 0;
  if (ErrCode e = ReadMatrixVariable(block, id, 0, kVar3d, kViewRow, out->views, kMaxViewValues,
                                     &out->viewRows, &viewCount)) {
    return IsMemoryCode(e) ? e : kOk;
  }
  *found = true;
  return kOk;
}

// Pushes each cell's source's plot properties one version back. A failure
// leaves the stack as it was: *found false, or the engine's code when a
// read found no room.
ErrCode PushSourceProperties(KVContextBlock* block, int32_t id, const int32_t* source, int32_t n,
                             bool* found) {
  EngineContext* ctx = block->Engine();
  const int32_t before = GetFrameEntryCount(ctx);
  *found = true;
  for (int32_t cell = 0; cell < n; ++cell) {
    if (ErrCode e = GetPlotListEntry(block, id, source[cell], 1)) {
      DropStackEntries(ctx, 0, GetFrameEntryCount(ctx) - before);
      *found = false;
      return IsMemoryCode(e) ? e : kOk;
    }
  }
  return kOk;
}

void EraseOutlines(const FigureEvent& e, InteractionState& st) {
  if (st.outlinesDrawn) {
    DrawSelectionOutlines(e.block(), e.id(), st.outlineOffset[0], st.outlineOffset[1], false);
  }
  st.outlinesDrawn = 0;
  e.block()->subplotDrag.pending = 0;
}

// Fixed layout: the selection moves to the cell under the pointer; within
// one cell its outlines follow the pointer.
ErrCode GridSelectDrag(const FigureEvent& e, int32_t k, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  FigureState& fig = e.figure();
  int32_t target = FindSubplotAt(fig, x, y, true);
  if (target == kNoSubplot) target = k;
  if (target == st.targetCell) {
    st.current[0] = x;
    st.current[1] = y;
    if (x != st.press[0] || y != st.press[1]) {
      const double dx = x - st.press[0], dy = y - st.press[1];
      DrawSelectionOutlines(e.block(), e.id(), dx, dy, true);
      st.outlinesDrawn = 1;
      st.feedbackTarget = e.block()->portTarget;
      st.outlineOffset[0] = dx;
      st.outlineOffset[1] = dy;
      if (!e.HasFocusRect()) {
        // Drawn with the figure instead.
        e.block()->subplotDrag = SubplotDragState{1, 0, st.followMask, dx, dy};
      }
    }
    return e.HasFocusRect() ? kOk : kStatusRepaint;
  }
  const int32_t columns = fig.columns;
  int32_t dc = target % columns - k % columns;
  int32_t dr = target / columns - k / columns;
  ClampSelectionShift(st.followMask, fig.rows, columns, &dc, &dr);
  fig.selection = ShiftCellMask(st.followMask, fig.rows, columns, dc, dr);
  if (ErrCode rc = MoveSelectedSubplots(e.slot(), e.id(), st.followMask, dc, dr, shift)) {
    st.pressedSubplot = -1;
    return rc;
  }
  ComputeSubplotViewports(&e.figure());
  st.targetCell = k + dr * columns + dc;
  st.current[0] = st.press[0];
  st.current[1] = st.press[1];
  st.outlinesDrawn = 0;
  if (ErrCode rc = RunDrawHandlersNoInit(e.slot(), e.id())) {
    st.pressedSubplot = -1;
    return rc;
  }
  return kStatusRepaint;
}

// Free layout: the subplots that follow the press move, or their pressed
// corner does, by the pointer's move, onto the port's grid.
ErrCode FreeSelectDrag(const FigureEvent& e, double x, double y) {
  InteractionState& st = *e.state();
  FigureState& fig = e.figure();
  const GraphicsPort* port = e.block()->portFunctions;
  const double step = port != nullptr ? port->metrics[kMetricGridStep] : 0;
  const double dx = x - st.current[0], dy = y - st.current[1];
  for (int32_t j = 0; j < ActiveSubplotCount(fig); ++j) {
    if (!Selected(st.followMask, j)) continue;
    SubplotRecord* s = &fig.subplots[j];
    double width = 0, height = 0, moved[4];
    GetMarginSizes(*s, &width, &height);
    DragSubplotPosition(s->position, st.corner, dx, dy, step, width, height, IsYAxisDown(*s),
                        moved);
    SetSubplotViewport(s, moved[kLeft], moved[kRight], moved[kTop], moved[kBottom]);
  }
  st.current[0] = x;
  st.current[1] = y;
  return st.corner != kCornerNone ? e.RedrawStep() : kStatusRepaint;
}

}  // namespace

void ToggleSubplotSelection(KVContextBlock* block, int32_t id, int32_t k, bool shift) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr || k >= ActiveSubplotCount(r->figure) || k >= 32) return;
  const uint32_t selection = r->figure.selection;
  if (k >= 0 && Selected(selection, k) && !shift) return;
  uint32_t next = 0;
  if (k >= 0) next = shift ? selection ^ (1u << k) : 1u << k;
  const GraphicsPort* port = block->portFunctions;
  if (port == nullptr) {
    r->figure.selection = next;
    return;
  }
  SetSubplotSelection(InstanceCanvas(block, r, port, block->portTarget), next,
                      port->drawFocusRect != nullptr);
}

ErrCode MoveSelectedSubplots(KVContextBlock** slot, int32_t id, uint32_t mask, int32_t dc,
                             int32_t dr, bool shift) {
  const InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kOk;
  const int32_t rows = r->figure.rows, columns = r->figure.columns, n = rows * columns;
  if (r->figure.freeLayout || n > kMaxSubplots) return kOk;
  static_assert(sizeof(PressedFigure) < 16384, "kept on the stack");
  PressedFigure pressed;
  int32_t source[kMaxSubplots];
  MoveSourceCells(mask, rows, columns, dc, dr, shift, source);
  // Read before anything changes: without room the block grows and they
  // are read again.
  bool found = false;
  if (ErrCode e = RunWithGrowth(slot, [&](KVContextBlock* block) {
        const ErrCode read = ReadPressedFigure(block, id, &pressed, &found);
        return read || !found ? read : PushSourceProperties(block, id, source, n, &found);
      })) {
    return e;
  }
  if (!found) return kOk;
  KVContextBlock* block = *slot;
  FigureState& fig = FindInstance(block, id)->figure;
  InstanceFigureHost host(block, id);
  for (int32_t cell = 0; cell < n; ++cell) {
    const double* entry = pressed.layout + kLayoutHeader + source[cell] * pressed.entry;
    ResetSubplots(&fig, host, cell / columns, cell % columns, static_cast<int32_t>(entry[0]),
                  false);
    SubplotRecord* s = &fig.subplots[cell];
    ApplySubplotEntry(s, static_cast<uint32_t>(entry[1]), entry + 2);
    if (pressed.entry == kFreeEntry) SetSubplotViewport(s, entry[6], entry[7], entry[8], entry[9]);
    for (int32_t v = 0; v < pressed.viewRows; ++v) {
      double view[kViewRow];
      std::copy_n(pressed.views + v * kViewRow, kViewRow, view);
      if (view[0] != source[cell]) continue;
      view[0] = cell;
      ApplyView(&fig, view);
    }
  }
  // The properties lie on the stack with the last cell's on top. A store
  // without room leaves its value there, to be stored once the block has
  // grown; the cells stored before it are not stored again.
  for (int32_t cell = n - 1; cell >= 0; --cell) {
    if (ErrCode e = RunWithGrowth(
            slot, [&](KVContextBlock* grown) { return GetPlotProperties(grown, id, cell); })) {
      DropStackEntries((*slot)->Engine(), 0, cell + 1);
      return e;
    }
  }
  return kOk;
}

void DrawSelectionOutlines(KVContextBlock* block, int32_t id, double dx, double dy, bool draw) {
  const InteractionState* st = block->interaction;
  const InstanceRecord* r = FindInstance(block, id);
  const GraphicsPort* port = block->portFunctions;
  if (st == nullptr || r == nullptr || port == nullptr || port->drawFocusRect == nullptr) return;
  for (int32_t j = 0; j < ActiveSubplotCount(r->figure); ++j) {
    if (!Selected(st->followMask, j)) continue;
    const double* p = r->figure.subplots[j].position;
    port->drawFocusRect(p[kLeft] + dx, p[kTop] + dy, p[kRight] + dx, p[kBottom] + dy, draw ? 1 : 0,
                        block->portTarget);
  }
}

ErrCode SelectPress(const FigureEvent& e, int32_t k, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  ToggleSubplotSelection(e.block(), e.id(), k, shift);
  st.followMask = e.figure().selection;
  st.targetCell = -1;
  st.outlinesDrawn = 0;
  st.press[0] = st.current[0] = x;
  st.press[1] = st.current[1] = y;
  e.SaveFigure();
  ErrCode rc = e.PushUndo();
  if (rc == kOk && e.figure().freeLayout) {
    MoveSelectedSubplotsLast(&e.figure(), &st.pressedSubplot);
    st.followMask = e.figure().selection;
    e.SaveFigure();
    rc = e.Redraw();
    if (rc == kOk) rc = kStatusRepaint;
  }
  if (shift || e.Wide()) {
    // The press only selected: in a grid nothing moved, so no version is due.
    if (rc == kOk && !e.figure().freeLayout) e.DropUndo();
    rc = kStatusNothingDone;
  }
  if (rc != kOk && rc != kStatusRepaint) st.pressedSubplot = -1;
  return rc;
}

ErrCode SelectDrag(const FigureEvent& e, int32_t k, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  if (e.figure().flags & kFigureMouseLayoutLocked) return kOk;
  if (x != st.current[0] || y != st.current[1]) EraseOutlines(e, st);
  if (e.figure().freeLayout) return FreeSelectDrag(e, x, y);
  return GridSelectDrag(e, k, x, y, shift);
}

ErrCode SelectRelease(const FigureEvent& e) {
  InteractionState& st = *e.state();
  EraseOutlines(e, st);
  if (!e.figure().freeLayout && st.targetCell < 0) {
    e.DropUndo();
  } else {
    e.SaveFigure();
  }
  return e.HasFocusRect() ? kOk : kStatusRepaint;
}

}  // namespace vke
