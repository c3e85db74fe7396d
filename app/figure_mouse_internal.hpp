// What the mouse operations share: one call's view of the block (the
// instance, its figure, the gesture record and the port), the handlers of
// the object under the pointer, running a mouse handler, the gesture's undo
// version, the rate limit of moves, and the drag values of the event record.
#pragma once

#include "app/block.hpp"
#include "app/figure_mouse.hpp"
#include "app/handler_runner.hpp"
#include "app/instance_record.hpp"
#include "app/interaction_state.hpp"
#include "graphics/figure_draw.hpp"

namespace vke {

// The caller's status-text buffer.
struct TextBuffer {
  char* text;
  int32_t size;
  int32_t* length;
  // Length 0, or an empty text.
  void Clear() const;
};

// One call on instance `id` of the block in the slot. Records and subplots
// are looked up afresh on every use: running a handler may move the block.
class FigureEvent {
 public:
  FigureEvent(KVContextBlock** slot, int32_t id) : slot_(slot), id_(id) {}

  KVContextBlock* block() const { return *slot_; }
  KVContextBlock** slot() const { return slot_; }
  int32_t id() const { return id_; }
  // Null without an interaction record or without the instance.
  InteractionState* state() const { return block()->interaction; }
  InstanceRecord* record() const;
  // Both need the instance.
  FigureState& figure() const { return record()->figure; }
  SubplotRecord& subplot(int32_t k) const { return figure().subplots[k]; }
  EventState& event() const { return block()->event; }
  int32_t mode() const { return static_cast<int32_t>(block()->figureMode); }
  // The instance is drawn by its instance-wide code.
  bool Wide() const;

  FigureCanvas Canvas() const;
  // The port can draw feedback by inversion.
  bool HasFocusRect() const;
  void DrawFocusRect(double left, double top, double right, double bottom, bool draw) const;

  // The handler descriptors of subplot k's plot for an object id.
  void FindHandlers(int32_t k, int32_t objectId, int32_t* descriptors) const;
  // Runs a mouse handler of subplot k with the event values; `first` reads
  // the inputs from the version before the gesture's.
  ErrCode Run(int32_t k, int32_t descriptor, uint32_t kind, bool first,
              const TextBuffer* text = nullptr) const;
  // The request Run hands to the handler runner.
  HandlerRequest Request(int32_t k, int32_t descriptor, uint32_t kind, bool first,
                         const TextBuffer* text = nullptr) const;
  // The handler ended with cancel(false): no failure, nothing stored and
  // nothing to redraw.
  bool QuietCancel(ErrCode code) const;
  // The handler stores an output other than the status outputs (_xdata to
  // code 42), so the figure may have changed.
  bool ChangesVariables(int32_t descriptor) const;

  ErrCode PushUndo() const;
  void DropUndo() const;
  // The gesture ends: its version folds into the press's own when it is
  // still the current one.
  void EndGesture() const;
  ErrCode Redraw() const;
  // The draw handlers after a step of a drag: kStatusRepaint, or their failure,
  // which ends the press.
  ErrCode RedrawStep() const;
  ErrCode SaveFigure() const;

  // Hit-tests subplot k at (x, y) into the block's event record.
  bool HitTest(int32_t k, double x, double y, bool shift, bool forMove) const;

 private:
  KVContextBlock** slot_;
  int32_t id_;
};

// A mouse move that comes within the minimum interval of the one before is
// dropped; one that passes restarts the interval.
bool MoveDropped(KVContextBlock* block, InteractionState* state);

// The event values of a drag to (x, y) on subplot k: the pointer, held
// inside the viewport, in data units (with the move since the press as
// _dx, _dy) and the values of the control or sensor dragged. True when the
// pointer had to be moved into the viewport. `shown` as UpdateControlFromDrag's.
bool UpdateDragValues(const FigureEvent& e, int32_t k, double x, double y, bool shift,
                      bool* shown = nullptr);

// A mouse-handler step of a drag: "mousedrag" (first flag), or the second
// drag kind when that is missing or busy. `ran` tells whether one ran.
ErrCode RunDragHandlers(const FigureEvent& e, int32_t k, const int32_t* handlers,
                        const TextBuffer* text, bool* ran);

// One step of the pressed subplot's tool to (x, y), whatever the rate
// limit; `idle` is what the idle handler answered first.
ErrCode DragStep(const FigureEvent& e, double x, double y, bool shift, const TextBuffer& text,
                 ErrCode idle);

// The tools other than manipulate, by file: zoom and pan
// (figure_mouse_drag.cpp), the camera (figure_mouse_camera.cpp), Select
// (subplot_select.cpp).
ErrCode ZoomDrag(const FigureEvent& e, int32_t k, int32_t tool, double x, double y, bool shift);
ErrCode PanDrag(const FigureEvent& e, int32_t k, double x, double y, bool shift);
// The zoom rectangle from the press point to (x, y) in every subplot that
// follows the press, drawn or erased by inversion.
void DrawZoomRectangles(const FigureEvent& e, double x, double y, bool draw);
ErrCode CameraDrag(const FigureEvent& e, int32_t k, int32_t tool, double x, double y, bool shift);
// 3-D subplot j following a pan from (x0, y0) to (x, y).
void TurnCameraWithPan(SubplotRecord* subplot, double x0, double y0, double x, double y,
                       bool shift);
ErrCode SelectPress(const FigureEvent& e, int32_t k, double x, double y, bool shift);
ErrCode SelectDrag(const FigureEvent& e, int32_t k, double x, double y, bool shift);
ErrCode SelectRelease(const FigureEvent& e);

// A pixel point of one subplot moved to where the same data lie in another.
void MapPoint(const SubplotRecord& from, const SubplotRecord& to, double* X, double* Y);

// The subplots a press acts on: the pressed one and those that follow it.
uint32_t PressedAndFollowing(const InteractionState& state);

}  // namespace vke
