// Drawing a whole figure at paint time: the background, every subplot group
// of the instance's object replayed by the renderer, and the selection marks
// and drag outlines on top; also the rectangle a copy takes.
#pragma once

#include <cstdint>

#include "graphics/figure_state.hpp"
#include "graphics/object_store.hpp"
#include "graphics/port.hpp"

namespace vke {

// A drag of subplots by the mouse, as the interaction code keeps it.
struct SubplotDragState {
  uint8_t pending;  // outlines of the dragged subplots are shown at the shift
  uint8_t shifted;  // selection marks follow the shift
  uint32_t mask;    // the dragged subplots
  double dx;
  double dy;
};
static_assert(sizeof(SubplotDragState) == 24);

// Everything the drawing of one instance's figure reads. Made for one call:
// the store and the figure are views into memory that may move.
struct FigureCanvas {
  ObjectList list;
  const ObjectWriterState* writer;  // the object being written, if any
  int32_t id;                       // the instance, and its object
  FigureState* figure;
  uint32_t highlighted;  // bit k: subplot k's label stands out (its plot has mouse handlers)
  const SubplotDragState* drag;
  const GraphicsPort* port;
  void* target;
};

// Replays the group whose command 70 lies at *offset of the instance's
// object (or of the commands being written for it), leaving *offset at the
// next group. True while more groups follow. Without a focus-rectangle slot
// the subplot's selection mark and drag outline are drawn here. When memory
// ran out for part of the subplot, *error (when given) becomes
// kErrOutOfMem.
bool DrawSubplotGroup(const FigureCanvas& canvas, uint32_t* offset, bool layoutOnly,
                      ErrCode* error = nullptr);

// The background over the layout, every group in turn, then the selection
// marks. kErrOutOfMem when memory ran out for part of a subplot (the rest
// is drawn), else kOk.
ErrCode DrawFigure(const FigureCanvas& canvas);

// Clips to the rectangle, fills it with the background colour and restores
// the clip; nothing without a fill slot.
void FillPortRect(double left, double right, double top, double bottom, const GraphicsPort& port,
                  void* target);

// Draws (or, drawn again by inversion, removes) the mark of subplot k: its
// position, with corner handles in free layout.
void DrawSubplotSelection(const FigureCanvas& canvas, int32_t k, bool on);

// Redraws the marks that change (with `redraw`) and stores the new
// selection. kStatusRepaint when the port cannot remove a mark by drawing it again,
// so the caller must repaint.
ErrCode SetSubplotSelection(const FigureCanvas& canvas, uint32_t selection, bool redraw);

// The rectangle a copy of the figure takes: the one selected subplot, else
// in free layout the layout's extent, else the figure rectangle.
void GetCopyRect(const FigureState& figure, double rect[4]);

}  // namespace vke
