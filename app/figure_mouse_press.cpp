// The press: the subplot under the pointer, its tool, the subplots that
// follow it, and what each tool does at the start of a gesture; the
// manipulate tool runs the handlers of the object under the pointer.
#include "app/draw_cycle.hpp"
#include "app/figure_event_route.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/figure_queries.hpp"
#include "app/kv_elements.hpp"
#include "app/undo_buffer.hpp"
#include "graphics/camera.hpp"
#include "graphics/camera_drag.hpp"
#include "graphics/control_hit.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// The selected subplots that map like the pressed one, when at least two
// do; the selection is cleared either way.
uint32_t FollowingSubplots(const FigureEvent& e, int32_t k, int32_t tool, bool shift) {
  const FigureState& fig = e.figure();
  const bool xOnly = tool == kToolZoomX || (tool == kToolDrag && shift);
  uint32_t mask = 0;
  int32_t count = 0;
  for (int32_t j = 0; j < ActiveSubplotCount(fig) && j < 32; ++j) {
    if (((fig.selection >> j) & 1u) && SameScale(fig.subplots[k], fig.subplots[j], xOnly)) {
      mask |= 1u << j;
      ++count;
    }
  }
  ToggleSubplotSelection(e.block(), e.id(), -1, false);
  return count >= 2 ? mask : 0;
}

// A press on a push button: a control that acts on release whose pressed
// item is under the pointer (a pop-up list, the other such control, has no
// pressed item).
void NotePushButton(const FigureEvent& e) {
  constexpr uint32_t kHeld = kEventActsOnRelease | kHitPressedUnderPointer;
  e.state()->pushButton = (e.event().flags & kHeld) == kHeld;
}

// A press of the manipulate tool on subplot k.
ErrCode ManipulatePress(const FigureEvent& e, int32_t k, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  st.press[0] = st.current[0] = x;
  st.press[1] = st.current[1] = y;
  e.HitTest(k, x, y, shift, true);
  EventState& ev = e.event();
  SubplotRecord* s = &e.subplot(k);
  const bool legend = (ev.flags & kEventLegend) != 0;
  if (!s->transformValid && ev.id < 0 && !legend) {
    if ((s->scaleState[kAxisY] & ~kScaleHoldBit) == kScaleNone) {
      st.pressedSubplot = -1;
      return kOk;
    }
    // A scrolling control panel: the drag scrolls it from the offset it has.
    const bool down = s->viewport[kTop] < s->viewport[kBottom];
    ev.pixelY = down ? y + s->yOffset : y - s->yOffset;
    return kStatusRepaint;
  }
  if (legend) {
    e.SaveFigure();
    if (ErrCode pushed = e.PushUndo()) {
      st.pressedSubplot = -1;
      return pushed;
    }
    st.outlinesDrawn = 0;
    return kOk;
  }
  int32_t h[kSubplotHandlerCount];
  e.FindHandlers(k, ev.id, h);
  if (e.figure().editField >= 0) return kStatusRepaint;  // the press started a text edit
  HoldSubplotScales(s, true);
  // A "mousedown" handler gets a version of its own, taken before it
  // changes anything; the gesture's version, whose handlers read the values
  // "mousedown" left, folds into it when the gesture ends, so that one undo
  // takes back the whole gesture: press, drags and release.
  ErrCode rc = kOk;
  const bool down = h[kHandlerMouseDown] >= 0;
  if (down) {
    rc = e.PushUndo();
    bool failed = false;
    if (rc == kOk)
      rc = RunHandlerAndRedraw(e.slot(), e.Request(k, h[kHandlerMouseDown], kElemMouseDown, false),
                               &failed);
    if (failed) e.DropUndo();
  }
  const auto pushGestureVersion = [&] {
    const ErrCode pushed = e.PushUndo();
    if (pushed == kOk && down)
      st.foldVersion = UndoSetCurrentVersion(e.block()->UndoArea(), e.id());
    return pushed;
  };
  if (rc == kOk) {
    if (h[kHandlerMouseDrag] >= 0 || h[kHandlerSecondDrag] >= 0) {
      rc = pushGestureVersion();
      if (rc == kOk) {
        UpdateDragValues(e, k, x, y, shift);
        NotePushButton(e);
        if (e.event().flags & kEventActsOnRelease) {
          rc = kStatusRepaint;
        } else {
          bool ran = false;
          rc = RunDragHandlers(e, k, h, nullptr, &ran);
          const ErrCode drawn = e.Redraw();
          if (rc == kOk || e.QuietCancel(rc)) rc = drawn == kOk ? kStatusRepaint : drawn;
        }
      }
    } else if (h[kHandlerMouseUp] >= 0) {
      rc = pushGestureVersion();
      if (rc == kOk) {
        UpdateDragValues(e, k, x, y, shift);
        NotePushButton(e);
        rc = kStatusRepaint;
      }
    } else {
      rc = e.Wide() ? kStatusRepaint : kStatusNothingDone;
    }
  }
  if (rc != kStatusRepaint) {
    if (e.record() != nullptr) HoldSubplotScales(&e.subplot(k), false);
    st.pressedSubplot = -1;
    e.EndGesture();
  }
  return rc;
}

// Tools 2 to 12 at the press.
ErrCode ToolPress(const FigureEvent& e, int32_t k, int32_t tool, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  SubplotRecord* s = &e.subplot(k);
  switch (tool) {
    case kToolZoom:
    case kToolZoomX: {
      const bool allowed = tool == kToolZoom ? CanZoom(s, !shift)
                                             : !(s->scaleKind & kScaleEqual) && CanZoomX(s, !shift);
      if (!allowed) break;
      if (ErrCode e2 = e.PushUndo()) {
        st.pressedSubplot = -1;
        return e2;
      }
      st.press[0] = st.current[0] = x;
      st.press[1] = st.current[1] = y;
      st.rectangleDrawn = 0;
      return kOk;
    }
    case kToolDrag:
    case kToolOrbit:
    case kToolPanTilt:
    case kToolRoll:
    case kToolDollyLateral:
    case kToolDollyForward: {
      if (ErrCode e2 = e.PushUndo()) {
        st.pressedSubplot = -1;
        return e2;
      }
      st.press[0] = x;
      st.press[1] = y;
      if (tool == kToolDollyForward) {
        st.press[0] = CameraDistance(*s);
        st.press[1] = DistanceFromViewportCentre(*s, x, y);
      }
      return kOk;
    }
    case kToolSelect:
      return SelectPress(e, k, x, y, shift);
    default:
      break;
  }
  st.pressedSubplot = -1;
  return kStatusNothingDone;
}

}  // namespace

ErrCode FigureMouseDown(KVContextBlock** slot, int32_t id, double x, double y, bool shift) {
  const FigureEvent e(slot, id);
  InteractionState* st = e.state();
  if (st == nullptr) return kStatusNothingDone;
  st->pressedSubplot = -1;
  st->foldVersion = -1;
  st->pushButton = 0;
  st->moveDropped = 0;
  st->pointer[0] = x;
  st->pointer[1] = y;
  if (e.record() == nullptr) return kKvNonexistentInstance;
  if (!FindHandlerSlot(e.block(), id)) return kStatusNothingDone;
  e.record()->deferredIdle = 0;
  // A press ends the text edit: the number typed is handed over first, and
  // the field shows its variable again whatever became of it.
  bool committed = false;
  if (e.figure().editField >= 0) {
    const ErrCode rc = EndTextFieldEdit(slot, id);
    if (rc == kKvNonexistentInstance || e.record() == nullptr) return kKvNonexistentInstance;
    committed = true;
  }
  const auto answer = [committed](ErrCode rc) {
    return committed && (rc == kOk || rc == kStatusNothingDone) ? kStatusRepaint : rc;
  };
  st->corner = kCornerNone;
  const int32_t mode = e.mode();
  FigureState& fig = e.figure();
  int32_t k = kNoSubplot;
  if (mode != kModeSelect || !HitTestResizeCorner(fig, x, y, &k, &st->corner)) {
    k = FindSubplotAt(fig, x, y, mode == kModeSelect);
  }
  if (k == kNoSubplot) {
    if (mode == kModeSelect) ToggleSubplotSelection(e.block(), id, -1, shift);
    return answer(kStatusNothingDone);
  }
  if (fig.subplots[k].handlers[kHandlerDraw] < 0 && mode != kModeSelect && !e.Wide()) {
    return answer(kStatusNothingDone);
  }
  st->pressedSubplot = k;
  const int32_t tool = GetEffectiveTool(mode, shift, fig.subplots[k]);
  st->followMask = 0;
  if (fig.selection != 0) {
    if (tool == kToolManipulate) {
      ToggleSubplotSelection(e.block(), id, -1, false);
    } else if (tool != kToolSelect) {
      st->followMask = FollowingSubplots(e, k, tool, shift);
    }
  }
  if (tool == kToolManipulate) return answer(ManipulatePress(e, k, x, y, shift));
  return answer(ToolPress(e, k, tool, x, y, shift));
}

}  // namespace vke
