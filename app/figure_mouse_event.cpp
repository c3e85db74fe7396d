// The shared part of the mouse operations: one call's view of the block,
// running mouse handlers, the rate limit and the drag values.
#include <algorithm>

#include "app/draw_cycle.hpp"
#include "app/element_list.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/figure_pointer.hpp"
#include "app/figure_variables.hpp"
#include "app/handler_runner.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "app/undo_buffer.hpp"
#include "graphics/control_hit.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/hit_test.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// Outputs from _xdata to the nameless code 42 change no variable.
constexpr int32_t kFirstStatusOutput = 36;
constexpr int32_t kLastStatusOutput = 42;

// The clock of the rate limit: the third of the application's time records.
constexpr uint32_t kMoveClockRecord = 2;

}  // namespace

void SetInteractionState(KVContextBlock* block, InteractionState* state) {
  block->interaction = state;
}

void TextBuffer::Clear() const {
  if (length != nullptr) {
    *length = 0;
  } else if (text != nullptr && size >= 1) {
    text[0] = 0;
  }
}

InstanceRecord* FigureEvent::record() const {
  return FindInstance(block(), id_);
}

bool FigureEvent::Wide() const {
  return HasInstanceWideCode(block(), id_);
}

FigureCanvas FigureEvent::Canvas() const {
  return InstanceCanvas(block(), record(), block()->portFunctions, block()->portTarget);
}

bool FigureEvent::HasFocusRect() const {
  return block()->portFunctions != nullptr && block()->portFunctions->drawFocusRect != nullptr;
}

void FigureEvent::DrawFocusRect(double left, double top, double right, double bottom,
                                bool draw) const {
  if (HasFocusRect()) {
    block()->portFunctions->drawFocusRect(left, top, right, bottom, draw ? 1 : 0,
                                          block()->portTarget);
  }
}

void FigureEvent::FindHandlers(int32_t k, int32_t objectId, int32_t* descriptors) const {
  InstanceFigureHost host(slot_, id_);
  PlotHandlers found;
  // A handler whose function is missing fails when it runs.
  host.FindPlotHandlers(subplot(k).plotId, objectId, &found);
  std::copy_n(found.descriptors, kSubplotHandlerCount, descriptors);
}

ErrCode FigureEvent::Run(int32_t k, int32_t descriptor, uint32_t kind, bool first,
                         const TextBuffer* text) const {
  return RunHandler(slot_, Request(k, descriptor, kind, first, text));
}

HandlerRequest FigureEvent::Request(int32_t k, int32_t descriptor, uint32_t kind, bool first,
                                    const TextBuffer* text) const {
  HandlerRequest request;
  request.instance = id_;
  request.descriptor = descriptor;
  request.previous = first;
  request.objectId = k;
  request.kind = kind;
  request.event = true;
  if (text != nullptr) {
    request.message = text->text;
    request.messageCapacity = text->size;
    request.messageLength = text->length;
  }
  return request;
}

bool FigureEvent::QuietCancel(ErrCode code) const {
  // The handler runner reports such an end as success, its outputs unstored.
  return (code == kOk || IsHandlerBusyCode(block(), code)) &&
         (block()->nativeCall.flags & kCallFlagQuietCancel) != 0;
}

bool FigureEvent::ChangesVariables(int32_t descriptor) const {
  uint32_t start = 0;
  DescriptorCodes codes;
  if (FindInstanceStart(block(), id_, &start) != kOk || !codes.Read(block(), start, descriptor)) {
    return false;
  }
  for (uint32_t i = 0; i < codes.Outputs(); ++i) {
    const int32_t code = codes.Output(i);
    if (code < kFirstStatusOutput || code > kLastStatusOutput) return true;
  }
  return false;
}

ErrCode FigureEvent::PushUndo() const {
  return PushUndoVersion(block()->UndoArea(), id_);
}

void FigureEvent::DropUndo() const {
  DropNewestUndoVersion(block()->UndoArea(), id_);
}

void FigureEvent::EndGesture() const {
  InteractionState* st = state();
  if (st == nullptr || st->foldVersion < 0) return;
  if (UndoSetCurrentVersion(block()->UndoArea(), id_) == st->foldVersion)
    FoldNewestUndoVersion(block()->UndoArea(), id_);
  st->foldVersion = -1;
}

ErrCode FigureEvent::Redraw() const {
  return RunDrawHandlers(slot_, id_);
}

ErrCode FigureEvent::RedrawStep() const {
  const ErrCode rc = Redraw();
  if (rc == kOk) return kStatusRepaint;
  if (state() != nullptr) state()->pressedSubplot = -1;
  EndGesture();
  return rc;
}

ErrCode FigureEvent::SaveFigure() const {
  return SaveFigureStateWithGrowth(slot_, id_);
}

bool FigureEvent::HitTest(int32_t k, double x, double y, bool shift, bool forMove) const {
  const HitTestRequest request{k, &subplot(k), x, y, kHitTolerance, shift, forMove};
  return HitTestInstanceObjects(block(), id_, request, &event(), block()->portFunctions,
                                block()->portTarget);
}

bool MoveDropped(KVContextBlock* block, InteractionState* state) {
  if (block->timeFunction == nullptr || block->timeRecords == nullptr) return false;
  uint8_t* clock = block->timeRecords + kMoveClockRecord * block->timeRecordStride;
  if (block->timeFunction(clock, 0, 0) < state->minMoveInterval) return true;
  block->timeFunction(clock, 0, 1);
  state->minMoveInterval = state->intervalReload;
  return false;
}

bool UpdateDragValues(const FigureEvent& e, int32_t k, double x, double y, bool shift,
                      bool* shown) {
  SubplotRecord& s = e.subplot(k);
  EventState& ev = e.event();
  const double pointerX = x, pointerY = y;
  const bool clamped = ClampPointToViewport(s, &x, &y);
  if (s.transformValid && !(ev.flags & kEventLegend)) {
    DeviceToData(s, x, y, &ev.x, &ev.y);
    ev.x1 = ev.x;
    ev.y1 = ev.y;
    ev.flags |= kEventX | kEventY | kEventX1 | kEventY1;
    if (!s.is3d) {
      // The move since the press, in data units.
      double x0 = 0, y0 = 0;
      DeviceToData(s, e.state()->press[0], e.state()->press[1], &x0, &y0);
      ev.dx = ev.x - x0;
      ev.dy = ev.y - y0;
      ev.flags |= kEventDxDy;
    }
  }
  ev.flags = shift ? ev.flags | kEventM : ev.flags & ~kEventM;
  if (e.block()->portFunctions != nullptr) {
    // A push button is held only while the pointer itself is on it: held
    // into the viewport, a pointer beyond its edge could still find it.
    const bool button = e.state() != nullptr && e.state()->pushButton;
    UpdateControlFromDrag(e.Canvas(), k, &e.subplot(k), button ? pointerX : x,
                          button ? pointerY : y, 1, &ev, shown);
  }
  return clamped;
}

ErrCode RunDragHandlers(const FigureEvent& e, int32_t k, const int32_t* h, const TextBuffer* text,
                        bool* ran) {
  *ran = false;
  ErrCode rc = kOk;
  bool second = false;
  if (h[kHandlerMouseDrag] >= 0) {
    *ran = true;
    rc = e.Run(k, h[kHandlerMouseDrag], kElemMouseDrag, true, text);
  }
  if ((h[kHandlerMouseDrag] < 0 || rc == kStatusNoPrint) && h[kHandlerSecondDrag] >= 0) {
    *ran = second = true;
    rc = e.Run(k, h[kHandlerSecondDrag], kElemSecondDrag, false, text);
  }
  if (rc != kOk && !e.QuietCancel(rc) && !(second && rc == kStatusNoPrint)) e.DropUndo();
  return rc;
}

void MapPoint(const SubplotRecord& from, const SubplotRecord& to, double* X, double* Y) {
  if (&from == &to) return;
  double x = 0, y = 0;
  DeviceToData(from, *X, *Y, &x, &y);
  *X = DataXToDevice(to, x);
  *Y = DataYToDevice(to, y);
}

void RedrawGestureFeedback(KVContextBlock* block, int32_t id) {
  const InteractionState* st = block->interaction;
  if (st == nullptr || st->pressedSubplot < 0 || st->feedbackTarget != block->portTarget) return;
  KVContextBlock* slot = block;
  const FigureEvent e(&slot, id);
  if (e.record() == nullptr || st->pressedSubplot >= ActiveSubplotCount(e.figure())) return;
  if (st->rectangleDrawn) DrawZoomRectangles(e, st->current[0], st->current[1], true);
  if (st->outlinesDrawn) {
    DrawSelectionOutlines(block, id, st->outlineOffset[0], st->outlineOffset[1], true);
  }
}

uint32_t PressedAndFollowing(const InteractionState& state) {
  return state.followMask | (1u << state.pressedSubplot);
}

}  // namespace vke
