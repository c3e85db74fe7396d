// The mouse without a button: the status text of the tool under the
// pointer, or in Manipulate mode the "mouseover" and "mouseout" handlers of
// the subplot and object under it; the wheel; and the figure mode, whose
// change away from Manipulate ends every hover.
#include <algorithm>

#include "app/draw_cycle.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/instances.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/kv_elements.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// Figure modes that other modes stand for.
constexpr int32_t kFirstCameraMode = 8;
constexpr int32_t kLastCameraMode = 12;
constexpr int32_t kZoomCameraMode = 6;
constexpr int32_t kMoveCloserMode = 7;

// The draw handlers after a handler that may have changed the variables:
// 10201 or their failure; 0 when it cannot have.
ErrCode RedrawAfter(const FigureEvent& e, int32_t descriptor) {
  if (!e.ChangesVariables(descriptor)) return kOk;
  const ErrCode rc = e.Redraw();
  return rc == kOk ? kStatusRepaint : rc;
}

ErrCode ManipulateHover(const FigureEvent& e, int32_t k, double x, double y, bool shift,
                        const TextBuffer& text) {
  InstanceRecord* r = e.record();
  if (k == kNoSubplot || r->figure.subplots[k].handlers[kHandlerDraw] < 0) {
    return LeaveHoveredSubplot(e.slot(), e.id(), true, nullptr);
  }
  e.state()->pressedSubplot = k;  // the handlers' event values are the subplot's
  bool redrawLeft = false;
  if (r->hoveredSubplot >= 0 && r->hoveredSubplot != k) {
    if (ErrCode rc = LeaveHoveredSubplot(e.slot(), e.id(), false, &redrawLeft)) return rc;
  }
  e.HitTest(k, x, y, shift, false);
  int32_t h[kSubplotHandlerCount];
  e.FindHandlers(k, e.event().id, h);
  KVContextBlock* block = e.block();
  ErrCode rc = kOk;
  if (e.event().flags & kEventLegend) {
    block->cursor = 1;
  } else if (h[kHandlerMouseOver] >= 0) {
    e.block()->cursor = 1;
    rc = e.Run(k, h[kHandlerMouseOver], kElemMouseOver, false, &text);
    if (e.QuietCancel(rc)) {
      rc = kOk;  // cancel(false): hovered, and the figure stays as it is
      e.record()->hoveredSubplot = k;
    } else if (rc == kOk) {
      e.record()->hoveredSubplot = k;
      rc = RedrawAfter(e, h[kHandlerMouseOver]);
      if (rc == kStatusRepaint) redrawLeft = false;
    }
  } else {
    block->cursor = 0;
  }
  if (redrawLeft && rc == kOk) {
    rc = e.Redraw();
    if (rc == kOk) rc = kStatusRepaint;
  }
  if (rc == kOk || rc == kStatusRepaint) e.record()->hoveredSubplot = k;
  return rc;
}

}  // namespace

void SetFigureMode(KVContextBlock** slot, int32_t mode) {
  if ((*slot)->figureMode == kModeManipulate && mode != kModeManipulate) {
    for (int32_t i = 0; i < (*slot)->instanceCount; ++i) {
      if (const InstanceRecord* r = InstanceRecordAt(*slot, i)) {
        LeaveHoveredSubplot(slot, static_cast<int32_t>(r->id), true, nullptr);
      }
    }
  }
  if (mode == kZoomCameraMode || mode == kMoveCloserMode) {
    mode = kModeZoom;
  } else if (mode >= kFirstCameraMode && mode <= kLastCameraMode) {
    mode = kModeDrag;
  }
  (*slot)->figureMode = static_cast<uint32_t>(mode);
}

ErrCode LeaveHoveredSubplot(KVContextBlock** slot, int32_t id, bool redraw, bool* redrawNeeded) {
  const FigureEvent e(slot, id);
  InstanceRecord* r = e.record();
  if (r == nullptr) return kKvNonexistentInstance;
  const int32_t k = r->hoveredSubplot;
  r->hoveredSubplot = -1;
  if (k < 0 || k >= ActiveSubplotCount(r->figure)) return kOk;
  const int32_t descriptor = r->figure.subplots[k].handlers[kHandlerMouseOut];
  if (descriptor < 0) return kOk;
  EventState& ev = e.event();
  ev.flags = 0;
  ev.id = ev.nb = ev.ix = -1;
  ErrCode rc = e.Run(k, descriptor, kElemMouseOut, false);
  if (e.QuietCancel(rc)) return kOk;
  if (rc != kOk) return rc;
  if (!redraw) {
    if (redrawNeeded != nullptr) *redrawNeeded = true;
    return kOk;
  }
  rc = e.Redraw();
  return rc == kOk ? kStatusRepaint : rc;
}

ErrCode FigureMouseHover(KVContextBlock** slot, int32_t id, double x, double y, bool shift,
                         char* buffer, int32_t size, int32_t* length) {
  const FigureEvent e(slot, id);
  InteractionState* st = e.state();
  const TextBuffer text{buffer, size, length};
  text.Clear();
  if (st == nullptr) return kStatusNothingDone;
  if (MoveDropped(e.block(), st)) return kStatusMoveDropped;
  if (e.record() == nullptr) return kKvNonexistentInstance;
  if (e.figure().editField >= 0) return kOk;
  st->pressedSubplot = -1;
  const int32_t k = FindSubplotAt(e.figure(), x, y, false);
  if (e.mode() != kModeManipulate) {
    if (const char* status = FigureStatusText(&e.figure(), e.mode(), x, y, shift)) {
      CopyStatusText(status, buffer, size, length);
    }
    return kOk;
  }
  return ManipulateHover(e, k, x, y, shift, text);
}

ErrCode FigureMouseScroll(KVContextBlock** slot, int32_t id, double x, double y, double wheelX,
                          double wheelY, bool shift, char* buffer, int32_t size, int32_t* length) {
  const FigureEvent e(slot, id);
  const TextBuffer text{buffer, size, length};
  text.Clear();
  if (e.state() == nullptr) return kStatusNothingDone;
  if (e.record() == nullptr) return kKvNonexistentInstance;
  const ErrCode idle = RunIdleHandlerIfDue(slot, id, true);
  if (idle != kOk && idle != kStatusRepaint) return idle;
  const int32_t k = FindSubplotAt(e.figure(), x, y, false);
  if (k == kNoSubplot) return idle;
  SubplotRecord* s = &e.subplot(k);
  if (!s->transformValid && (s->scaleState[kAxisY] & ~kScaleHoldBit) != kScaleNone) {
    // A scrolling control panel.
    s->yOffset = std::clamp(s->yOffset + wheelY * s->marginUnit[1], 0.0,
                            std::max(s->limits[3 + kAxisY], 0.0));
    return kStatusRepaint;
  }
  const int32_t tool = GetEffectiveTool(e.mode(), shift, *s);
  if (tool == kToolDrag) {
    Scroll(s, -std::abs(s->marginUnit[0]) * wheelX, -std::abs(s->marginUnit[1]) * wheelY);
    const ErrCode rc = e.Redraw();
    return rc == kOk ? kStatusRepaint : rc;
  }
  if (tool != kToolManipulate) return idle;
  int32_t h[kSubplotHandlerCount];
  e.FindHandlers(k, e.event().id, h);
  if (h[kHandlerMouseScroll] < 0) return idle;
  e.HitTest(k, x, y, shift, false);
  EventState& ev = e.event();
  ev.dx = wheelX;
  ev.dy = wheelY;
  ev.flags |= kEventDxDy;
  // A failing handler raises nothing: a wheel turns in many small steps.
  if (e.Run(k, h[kHandlerMouseScroll], kElemMouseScroll, false, &text) != kOk) {
    return kStatusRepaint;
  }
  e.record()->hoveredSubplot = k;
  const ErrCode rc = RedrawAfter(e, h[kHandlerMouseScroll]);
  return rc == kOk ? kStatusRepaint : rc;
}

}  // namespace vke
