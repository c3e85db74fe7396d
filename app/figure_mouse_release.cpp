// The release: the manipulate tool's last handlers, the zoom into the
// rectangle, the selection after a pan or a camera move, the end of a
// Select drag; and the click of the context-menu button.
#include "app/draw_cycle.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/kv_elements.hpp"
#include "app/post_event.hpp"
#include "graphics/control_hit.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

ErrCode ManipulateRelease(const FigureEvent& e, int32_t k, bool shift) {
  EventState& ev = e.event();
  ev.flags = shift ? ev.flags | kEventM : ev.flags & ~kEventM;
  int32_t h[kSubplotHandlerCount];
  e.FindHandlers(k, ev.id, h);
  // A push button released away from it is no click: no handler runs and
  // the gesture leaves no undo version; the button is drawn raised.
  const bool cancelled = e.state()->pushButton && !(ev.flags & kHitPressedUnderPointer);
  if (cancelled) e.DropUndo();
  ErrCode rc = kOk;
  if (!cancelled && (ev.flags & kEventActsOnRelease) && h[kHandlerMouseDrag] >= 0) {
    rc = e.Run(k, h[kHandlerMouseDrag], kElemMouseDrag, true);
    if (rc != kOk && !e.QuietCancel(rc)) e.DropUndo();
  }
  if (rc == kOk && !cancelled && h[kHandlerMouseUp] >= 0) {
    rc = e.Run(k, h[kHandlerMouseUp], kElemMouseUp, true);
    if (rc != kOk && !e.QuietCancel(rc)) e.DropUndo();
  }
  if (InstanceRecord* r = e.record()) {
    HoldSubplotScales(&r->figure.subplots[k], false);
    r->dragging = 0;
  }
  e.EndGesture();
  e.state()->pushButton = 0;
  const ErrCode drawn = e.Redraw();
  if (cancelled) return drawn == kOk ? kStatusRepaint : drawn;
  const ErrCode after = RunPostEventHandlers(e.slot(), e.id());
  if (rc == kStatusNoPrint) rc = kOk;
  if (rc == kOk) rc = drawn != kOk ? drawn : after;
  return rc == kOk ? kStatusRepaint : rc;
}

// The zoom of every subplot that followed the press into the rectangle
// from the press point to the last point (Shift: out around the press
// point), in each subplot's own pixels.
ErrCode ZoomRelease(const FigureEvent& e, int32_t k, int32_t tool, bool shift) {
  InteractionState& st = *e.state();
  FigureState& fig = e.figure();
  const SubplotRecord& pressed = fig.subplots[k];
  if (tool == kToolZoomX && (pressed.scaleKind & kScaleEqual)) return kStatusNothingDone;
  const uint32_t subplots = PressedAndFollowing(st);
  const int32_t n = ActiveSubplotCount(fig);
  // Both points in every subplot's pixels, before any of them zooms.
  double points[kMaxSubplots][4];
  for (int32_t j = 0; j < n; ++j) {
    double* q = points[j];
    q[0] = st.press[0], q[1] = st.press[1], q[2] = st.current[0], q[3] = st.current[1];
    MapPoint(pressed, fig.subplots[j], &q[0], &q[1]);
    MapPoint(pressed, fig.subplots[j], &q[2], &q[3]);
  }
  for (int32_t j = 0; j < n; ++j) {
    if (!((subplots >> j) & 1u)) continue;
    SubplotRecord* s = &fig.subplots[j];
    const double px = points[j][0], py = points[j][1], cx = points[j][2], cy = points[j][3];
    if (tool == kToolZoom) {
      if (shift) {
        ZoomOut(s, px, py);
      } else {
        ZoomRect(s, px, cx, py, cy);
      }
    } else if (shift) {
      ZoomXOut(s, px);
    } else {
      ZoomXRect(s, px, cx);
    }
  }
  st.rectangleDrawn = 0;
  const ErrCode drawn = e.Redraw();
  if (InstanceRecord* r = e.record()) r->figure.selection = st.followMask;
  e.SaveFigure();
  return drawn == kOk ? kStatusRepaint : drawn;
}

}  // namespace

ErrCode FigureMouseUp(KVContextBlock** slot, int32_t id, bool shift) {
  const FigureEvent e(slot, id);
  InteractionState* st = e.state();
  if (st == nullptr || st->pressedSubplot < 0) return kStatusNothingDone;
  InstanceRecord* r = e.record();
  if (r == nullptr) {
    st->pressedSubplot = -1;
    return kKvNonexistentInstance;
  }
  if (r->deferredIdle) r->idleState = kIdleOn;
  if (r->figure.editField >= 0) return kOk;
  if (st->moveDropped) {
    // The button came up where the pointer is: a last move the rate limit
    // dropped is made first (its status text is not shown).
    st->moveDropped = 0;
    char discarded[256];
    int32_t length = 0;
    const ErrCode moved = DragStep(e, st->pointer[0], st->pointer[1], shift,
                                   {discarded, sizeof discarded, &length}, kOk);
    if (st->pressedSubplot < 0) return moved;
    if ((r = e.record()) == nullptr) {
      st->pressedSubplot = -1;
      return kKvNonexistentInstance;
    }
  }
  const int32_t k = st->pressedSubplot;
  st->pressedSubplot = -1;
  if (k >= ActiveSubplotCount(r->figure)) return kStatusNothingDone;
  const SubplotRecord& s = r->figure.subplots[k];
  const int32_t mode = e.mode();
  if (!s.transformValid && (mode == kModeZoom || mode == kModeZoomX || mode == kModeDrag) &&
      e.event().id < 0) {
    return kOk;
  }
  const int32_t tool = GetEffectiveTool(mode, shift, s);
  // The release still acts on the pressed subplot.
  st->pressedSubplot = k;
  ErrCode rc = kOk;
  switch (tool) {
    case kToolManipulate:
      rc = ManipulateRelease(e, k, shift);
      break;
    case kToolZoom:
    case kToolZoomX:
      rc = ZoomRelease(e, k, tool, shift);
      break;
    case kToolSelect:
      rc = SelectRelease(e);
      break;
    case kToolDrag:
    case kToolOrbit:
    case kToolPanTilt:
    case kToolRoll:
    case kToolDollyLateral:
    case kToolDollyForward:
      if (e.block()->portFunctions != nullptr) {
        SetSubplotSelection(e.Canvas(), st->followMask, e.HasFocusRect());
      } else {
        r->figure.selection = st->followMask;
      }
      e.SaveFigure();
      rc = e.HasFocusRect() ? kOk : kStatusRepaint;
      break;
    default:
      break;
  }
  st->pressedSubplot = -1;
  return rc;
}

ErrCode FigureSelectClick(KVContextBlock** slot, int32_t id, double x, double y) {
  const uint32_t mode = (*slot)->figureMode;
  (*slot)->figureMode = kModeSelect;
  ErrCode rc = FigureMouseDown(slot, id, x, y, false);
  if (rc == kOk) rc = FigureMouseUp(slot, id, false);
  (*slot)->figureMode = mode;
  return rc;
}

}  // namespace vke
