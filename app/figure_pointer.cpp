// The figure mode, the hit test of an instance's subplot, and the cursor
// code of the tool under the pointer.
#include "app/figure_pointer.hpp"

#include "app/draw_cycle.hpp"
#include "app/element_list.hpp"
#include "app/errors.hpp"
#include "app/instances.hpp"
#include "graphics/scale.hpp"

namespace vke {

int32_t GetFigureMode(const KVContextBlock* block) {
  return static_cast<int32_t>(block->figureMode);
}

void SetInteractiveHighlight(KVContextBlock* block, uint8_t flag) {
  block->interactiveHighlight = flag;
}

bool HitTestInstanceObjects(KVContextBlock* block, int32_t id, const HitTestRequest& request,
                            EventState* record, const GraphicsPort* port, void* target) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr) return false;
  HitTestEffects effects;
  const bool found =
      HitTestSubplotObjects(InstanceCanvas(block, r, port, target), request, record, &effects);
  if (effects.popupOpened && r->idleState == kIdleOn) {
    // Idle steps wait while the user chooses from the menu.
    r->idleState = kIdleDuringReset;
    r->deferredIdle = 1;
  }
  return found;
}

int32_t HitTestForCursor(KVContextBlock* block, int32_t id, double x, double y, bool shift) {
  InstanceRecord* r = FindInstance(block, id);
  if (r == nullptr) return kKvNonexistentInstance;
  FigureState& fig = r->figure;
  const int32_t mode = GetFigureMode(block);
  const int32_t k = FindSubplotAt(fig, x, y, mode == kModeSelect);
  if (k == kNoSubplot) return kCursorNone;
  SubplotRecord* s = &fig.subplots[k];
  const bool wide = HasInstanceWideCode(block, id);
  if (s->handlers[kHandlerDraw] < 0 && !wide && mode != kModeSelect) return kCursorNone;
  const int32_t tool = GetEffectiveTool(mode, shift, *s);
  if (tool != kToolManipulate) return ToolCursor(tool, shift, s);
  EventState scratch{};
  const HitTestRequest request{k, s, x, y, kHitTolerance, shift, false};
  if (wide) {
    if (!HitTestInstanceObjects(block, id, request, &scratch, block->portFunctions,
                                block->portTarget)) {
      return kCursorNoObject;
    }
    return scratch.id >= 0 || (scratch.flags & kEventLegend) ? kCursorManipulate : kCursorNone;
  }
  const int32_t* h = s->handlers;
  if (h[kHandlerMouseDown] < 0 && h[kHandlerMouseDrag] < 0 && h[kHandlerSecondDrag] < 0 &&
      h[kHandlerMouseUp] < 0) {
    return kCursorNone;
  }
  if (!s->transformValid) {
    if (!HitTestInstanceObjects(block, id, request, &scratch, block->portFunctions,
                                block->portTarget)) {
      return kCursorNoObject;
    }
    if (scratch.id < 0 && !(scratch.flags & kEventLegend)) {
      return s->scaleState[kAxisY] != 0 ? kCursorDrag : kCursorNone;
    }
    block->cursor = 1;
  }
  if (block->cursor != 0) return kCursorManipulate;
  return k == block->eventSubplot ? kCursorNone : kCursorManipulate;
}

}  // namespace vke
