// Running the draw handlers into the instance's object, drawing it at paint
// time, and copying one subplot or the figure.
#include "app/draw_cycle.hpp"

#include "app/element_list.hpp"
#include "app/error_place.hpp"
#include "app/errors.hpp"
#include "app/figure_mouse.hpp"
#include "app/figure_variables.hpp"
#include "app/handler_runner.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/reset_data.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

ObjectList Store(KVContextBlock* block) {
  return ObjectList(block->DataArea());
}

// Opens a new object for the instance and appends subplot k's command 70;
// false, with the object closed, when it does not fit.
bool OpenSubplotGroup(KVContextBlock* block, int32_t id, int32_t k, bool open) {
  ObjectWriterState& w = block->capture;
  if (open) BeginObjectListCapture(Store(block), &w, id, true);
  w.currentObject = k;
  if (AppendObjectBeginCommand(Store(block).At(w.start), w.capacity, &w.used, k)) return true;
  w.currentObject = -1;
  EndObjectListCapture(Store(block), &w);
  return false;
}

void CloseObject(KVContextBlock* block) {
  block->capture.currentObject = -1;
  EndObjectListCapture(Store(block), &block->capture);
}

// Runs subplot k's draw handler, when it has one.
ErrCode RunSubplotDrawHandler(KVContextBlock** slot, int32_t id, int32_t k, bool event) {
  const InstanceRecord* r = FindInstance(*slot, id);
  const int32_t descriptor = r != nullptr ? r->figure.subplots[k].handlers[kHandlerDraw] : -1;
  if (descriptor < 0) return kOk;
  HandlerRequest request;
  request.instance = id;
  request.descriptor = descriptor;
  request.objectId = k;
  request.kind = kElemDraw;
  request.event = event;
  return RunHandler(slot, request);
}

// The user's break stops the drawing; any other failure of a subplot's
// handler leaves the subplots after it to be drawn.
bool StopsDrawing(ErrCode code) {
  return code == kStatusSuspended || code == kStatusHalted;
}

// One group per subplot, each filled by its draw handler; a failing handler
// leaves its subplot undrawn and the first failure is the result. A full
// store ends the loop (quietly). `drawing` marks the subplots drawn and
// gives the handlers the event values.
ErrCode FillSubplotGroups(KVContextBlock** slot, int32_t id, bool drawing) {
  const FirstFailureSpan span;
  ErrCode first = kOk;
  for (int32_t k = 0;; ++k) {
    InstanceRecord* r = FindInstance(*slot, id);
    if (r == nullptr || k >= ActiveSubplotCount(r->figure)) break;
    if (!OpenSubplotGroup(*slot, id, k, k == 0)) return first;
    SubplotScaleDefaults(&r->figure.subplots[k]);
    const ErrCode rc = RunSubplotDrawHandler(slot, id, k, drawing);
    if (rc != kOk) {
      if (first == kOk) first = rc;
      if (StopsDrawing(rc)) break;
      continue;
    }
    if (drawing) FindInstance(*slot, id)->figure.subplots[k].drawn = 1;
  }
  CloseObject(*slot);
  return first;
}

bool HasFigureElement(KVContextBlock* block, int32_t id) {
  int32_t at = -1;
  return FindElement(block, id, &at, kElemFigure) == kOk;
}

// The instance-wide step of an instance whose code is one element.
ErrCode RunInstanceWideStep(KVContextBlock** slot, int32_t id) {
  InstanceRecord* r = FindInstance(*slot, id);
  for (int32_t k = 0; k < ActiveSubplotCount(r->figure); ++k) {
    SubplotScaleDefaults(&r->figure.subplots[k]);
  }
  BeginObjectListCapture(Store(*slot), &(*slot)->capture, id, true);
  const ErrCode rc = RunInitHandler(slot, id);
  CloseObject(*slot);
  if (InstanceRecord* after = FindInstance(*slot, id)) after->firstRun = after->dragRedraw = 0;
  return rc;
}

// Subplot k drawn anew on its own and replayed into the block's target.
ErrCode CopySubplot(KVContextBlock** slot, int32_t id, int32_t k) {
  DeleteFigureObject(*slot, id);
  if (!OpenSubplotGroup(*slot, id, k, true)) return kKvExhaustedRsrc;
  SubplotScaleDefaults(&FindInstance(*slot, id)->figure.subplots[k]);
  const ErrCode rc = RunSubplotDrawHandler(slot, id, k, true);
  KVContextBlock* block = *slot;
  CloseObject(block);
  InstanceRecord* r = FindInstance(block, id);
  if (rc == kOk && r != nullptr && block->portFunctions != nullptr) {
    uint32_t offset = 0;
    DrawSubplotGroup(InstanceCanvas(block, r, block->portFunctions, block->portTarget), &offset,
                     false);
  }
  return kOk;
}

// The subplots whose labels stand out: with the interactive highlight on,
// those whose plot has mouse handlers.
uint32_t HighlightedSubplots(KVContextBlock* block, const InstanceRecord& record) {
  if (block->interactiveHighlight == 0) return 0;
  InstanceFigureHost host(block, static_cast<int32_t>(record.id));
  uint32_t highlighted = 0;
  for (int32_t k = 0; k < kMaxSubplots; ++k) {
    if (host.PlotHasMouseHandlers(record.figure.subplots[k].plotId)) highlighted |= 1u << k;
  }
  return highlighted;
}

}  // namespace

ErrCode RunDrawHandlers(KVContextBlock** slot, int32_t id) {
  const bool wide = HasInstanceWideCode(*slot, id);
  InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  r->figure.editField = -1;
  if (!wide && !HasFigureElement(*slot, id)) {
    return r->initialised ? kOk : ResetInstanceData(slot, id);
  }
  DeleteFigureObject(*slot, id);
  if (wide) return RunInstanceWideStep(slot, id);
  if (!r->initialised) {
    if (ErrCode e = ResetInstanceData(slot, id)) return e;
  }
  const ErrCode rc = FillSubplotGroups(slot, id, true);
  const ErrCode saved = SaveFigureStateWithGrowth(slot, id);
  return rc != kOk ? rc : saved;
}

ErrCode RunDrawHandlersNoInit(KVContextBlock** slot, int32_t id) {
  DeleteFigureObject(*slot, id);
  if (FindInstance(*slot, id) == nullptr) return kKvNonexistentInstance;
  return FillSubplotGroups(slot, id, false);
}

void DeleteFigureObject(KVContextBlock* block, int32_t id) {
  ObjectListDelete(Store(block), id);
}

FigureCanvas InstanceCanvas(KVContextBlock* block, InstanceRecord* record, const GraphicsPort* port,
                            void* target) {
  const auto id = static_cast<int32_t>(record->id);
  return FigureCanvas{Store(block),
                      &block->capture,
                      id,
                      &record->figure,
                      HighlightedSubplots(block, *record),
                      &block->subplotDrag,
                      port,
                      target};
}

ErrCode DrawInstanceSubplots(KVContextBlock* block, int32_t id) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr || block->portFunctions == nullptr) return kOk;
  const ErrCode drawn =
      DrawFigure(InstanceCanvas(block, r, block->portFunctions, block->portTarget));
  RedrawGestureFeedback(block, id);
  block->subplotDrag.pending = 0;
  r->redrawPending = 0;
  return drawn;
}

ErrCode CopyFigure(KVContextBlock** slot, int32_t id, double left, double right, double top,
                   double bottom) {
  BeginTopLevelAction((*slot)->Engine());
  InstanceRecord* r = FindInstance(*slot, id);
  if (r == nullptr) return kKvNonexistentInstance;
  const int32_t k = SingleSelectedSubplot(r->figure);
  if (k < 0 || r->figure.subplots[k].handlers[kHandlerDraw] < 0) {
    DrawInstanceSubplots(*slot, id);
    return kOk;
  }
  SetSubplotViewport(&r->figure.subplots[k], left, right, top, bottom);
  const ErrCode rc = CopySubplot(slot, id, k);
  // The figure is laid out and drawn again whatever the copy did.
  if (InstanceRecord* after = FindInstance(*slot, id)) ComputeSubplotViewports(&after->figure);
  RunDrawHandlers(slot, id);
  return rc;
}

}  // namespace vke
