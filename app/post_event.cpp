// Post-event handlers, idle processing and the timer tick.
#include "app/post_event.hpp"

#include "app/draw_cycle.hpp"
#include "app/handler_elements.hpp"
#include "app/instances.hpp"
#include "app/undo_buffer.hpp"
#include "engine/frames/calls.hpp"
#include "graphics/figure_codes.hpp"

namespace vke {

namespace {

// Whether a post-event element runs: it lists no variable, or one of them
// has a value now.
bool PostEventDue(KVContextBlock* block, int32_t id, int32_t at) {
  ElementListView list;
  ElementRef e;
  if (!InstanceElementAt(block, id, at, &list, &e) || e.length < 3) return false;
  const uint32_t n = ElementWord(list, e, 0);
  if (n == 0) return true;
  for (uint32_t i = 0; i < n && i + 3 < e.length; i++) {
    const auto variable = static_cast<int32_t>(ElementWord(list, e, 1 + i));
    if (HasUndoValue(block->UndoArea(), id, 0, variable)) return true;
  }
  return false;
}

bool HasElementOfKind(KVContextBlock* block, int32_t id, uint32_t kind) {
  int32_t at = -1;
  return FindElement(block, id, &at, kind) == kOk;
}

}  // namespace

ErrCode RunPostEventHandlers(KVContextBlock** slot, int32_t id) {
  HandlerRequest r;
  r.kind = kElemPostEvent;
  r.fdValue = 1;
  for (int32_t at = -1;;) {
    const ErrCode found = FindElement(*slot, id, &at, kElemPostEvent);
    if (found == kKvUndefElement) return kOk;
    if (found) return found;
    if (!PostEventDue(*slot, id, at)) continue;
    if (ErrCode e = RunElementHandler(slot, id, at, r)) return e;
  }
}

bool HasIdleHandler(KVContextBlock* block, int32_t id) {
  return HasElementOfKind(block, id, kElemIdle);
}

bool IsIdleProcessingEnabled(KVContextBlock* block, int32_t id) {
  const InstanceRecord* r = FindInstance(block, id);
  return r && r->idleState != kIdleOff && HasIdleHandler(block, id);
}

void SetIdleProcessing(KVContextBlock* block, int32_t id, bool on) {
  InstanceRecord* r = FindInstance(block, id);
  if (!r) return;
  if (!on) {
    r->idleState = kIdleOff;
  } else if (r->idleState == kIdleOff) {
    r->idleState = kIdleOn;
    r->idleMode = kIdleModeNone;
  }
}

ErrCode OnTimerHandler(KVContextBlock** slot, int32_t id) {
  if ((*slot)->handlerBusy) return kOk;
  return RunIdleHandlerIfDue(slot, id, true);
}

ErrCode ResumeEngineThreads(KVContextBlock* block) {
  if (block->handlerBusy) return kOk;
  return ExecuteBytecode(block->Engine(), 0);
}

ErrCode RunPendingRedraw(KVContextBlock** slot, int32_t id) {
  InstanceRecord* r = FindInstance(*slot, id);
  if (!r || !r->redrawPending) return kOk;
  const ErrCode e = RunDrawHandlers(slot, id);
  if (e == kOk) return kStatusRepaint;
  // The failure is the caller's to report, once: the next tick does not run
  // the failing handlers again (a painted figure clears the request too).
  if (InstanceRecord* after = FindInstance(*slot, id)) after->redrawPending = 0;
  return e;
}

ErrCode RunTimerTick(KVContextBlock** slot, int32_t id) {
  if ((*slot)->handlerBusy) return kOk;
  // A thread's failure has been reported where it happened, as the
  // runtime's tick leaves it.
  ResumeEngineThreads(*slot);
  const ErrCode redraw = RunPendingRedraw(slot, id);
  const ErrCode idle = OnTimerHandler(slot, id);
  if (redraw != kOk && redraw != kStatusRepaint) return redraw;
  return idle != kOk ? idle : redraw;
}

}  // namespace vke
