// Moves with the button held: the rate limit, then the pressed subplot's
// tool. Manipulate runs "mousedrag" (or scrolls a control panel, moves a
// legend, or hands the drag to another subplot); zoom draws its rectangle by
// inversion; drag pans the subplots that follow the press.
#include <cmath>

#include "app/draw_cycle.hpp"
#include "app/figure_mouse_internal.hpp"
#include "app/kv_elements.hpp"
#include "graphics/control_hit.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/mouse_tools.hpp"
#include "graphics/scale.hpp"

namespace vke {
namespace {

// The legend box centred at the pointer plus the offset taken at the
// press: its corner follows the half of the viewport the centre is in.
ErrCode LegendDrag(const FigureEvent& e, int32_t k, double x, double y) {
  SubplotRecord* s = &e.subplot(k);
  const EventState& ev = e.event();
  const double cx = x + ev.dx, cy = y + ev.dy;
  const double* v = s->viewport;
  uint32_t corner = 0;
  if (std::fabs(cx - v[kLeft]) < std::fabs(cx - v[kRight])) corner |= kOptLegendLeft;
  if (std::fabs(cy - v[kBottom]) < std::fabs(cy - v[kTop])) corner |= kOptLegendBottom;
  if ((s->optionWord & kOptLegendCorner) == corner) return kOk;
  SetOptionBits(s, corner, kOptLegendCorner);
  return kStatusRepaint;
}

// A drag that leaves the pressed subplot k for another whose plot takes the
// dragged object: "dragout" in k, then "dragin" in the other with the
// dragged object's values, which becomes the pressed subplot. Runs only
// when both handlers exist and the other subplot has objects.
ErrCode HandOver(const FigureEvent& e, int32_t k, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  const int32_t j = FindSubplotAt(e.figure(), x, y, false);
  if (j == kNoSubplot || j == k) return kOk;
  EventState saved = e.event();
  int32_t hj[kSubplotHandlerCount];
  e.FindHandlers(j, saved.id, hj);
  if (hj[kHandlerDragIn] < 0 || !e.HitTest(j, x, y, shift, false)) {
    e.event() = saved;
    return kOk;
  }
  EventState entered = e.event();
  e.event() = saved;
  int32_t h[kSubplotHandlerCount];
  e.FindHandlers(k, saved.id, h);
  e.DropUndo();
  ErrCode rc = e.Run(k, h[kHandlerDragOut], kElemDragOut, false);
  if (rc != kOk && !e.QuietCancel(rc)) {
    e.Redraw();
    return rc;
  }
  if (e.QuietCancel(rc)) return e.PushUndo();
  // "dragin" sees the dragged object, and the pointer in its own units.
  constexpr uint32_t kCarried =
      kEventX | kEventY | kEventX0 | kEventY0 | kEventId | kEventNb | kEventIx;
  entered.x = saved.x;
  entered.y = saved.y;
  entered.x0 = saved.x0;
  entered.y0 = saved.y0;
  entered.id = saved.id;
  entered.nb = saved.nb;
  entered.ix = saved.ix;
  entered.flags = (entered.flags & ~kCarried) | (saved.flags & kCarried);
  e.event() = entered;
  rc = e.Run(j, hj[kHandlerDragIn], kElemDragIn, false);
  if (ErrCode pushed = e.PushUndo()) return pushed;
  if (rc == kOk || e.QuietCancel(rc)) {
    st.pressedSubplot = j;
  } else {
    e.event() = saved;
  }
  return kOk;
}

ErrCode ManipulateDrag(const FigureEvent& e, int32_t k, double x, double y, bool shift,
                       const TextBuffer& text, ErrCode idle) {
  InteractionState& st = *e.state();
  SubplotRecord* s = &e.subplot(k);
  EventState& ev = e.event();
  if (ev.flags & kEventLegend) return LegendDrag(e, k, x, y);
  if (!s->transformValid && ev.id < 0) {
    // A scrolling control panel follows the pointer from where it was taken.
    const double start = ev.pixelY;
    const double offset = s->viewport[kTop] < s->viewport[kBottom] ? start - y : y - start;
    s->yOffset = std::fmin(std::fmax(offset, 0.0), s->limits[3 + kAxisY]);
    return kStatusRepaint;
  }
  if (e.Wide()) {
    UpdateDragValues(e, k, x, y, shift);
    e.record()->dragging = 1;
    const ErrCode rc = e.RedrawStep();
    if (rc == kStatusRepaint) e.HitTest(k, x, y, shift, false);
    return rc;
  }
  bool shown = false;
  const bool clamped = UpdateDragValues(e, k, x, y, shift, &shown);
  int32_t h[kSubplotHandlerCount];
  e.FindHandlers(k, ev.id, h);
  if (clamped && h[kHandlerDragOut] >= 0) {
    if (ErrCode rc = HandOver(e, k, x, y, shift)) {
      st.pressedSubplot = -1;
      e.EndGesture();
      return rc;
    }
    if (st.pressedSubplot != k) {
      k = st.pressedSubplot;
      e.FindHandlers(k, e.event().id, h);
    }
  }
  // A held pop-up list is painted again when its marked item moves.
  if (e.event().flags & kEventActsOnRelease) return shown ? kStatusRepaint : idle;
  bool ran = false;
  const ErrCode rc = RunDragHandlers(e, k, h, &text, &ran);
  if (e.QuietCancel(rc)) return idle;
  e.record()->dragRedraw = 1;
  const ErrCode drawn = e.Redraw();
  if (InstanceRecord* r = e.record()) r->dragRedraw = 0;
  const ErrCode result = rc != kOk ? rc : drawn;
  if (result != kOk) {
    st.pressedSubplot = -1;
    e.EndGesture();
    return result;
  }
  return kStatusRepaint;
}

}  // namespace

ErrCode ZoomDrag(const FigureEvent& e, int32_t k, int32_t tool, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  const SubplotRecord& s = e.subplot(k);
  const bool alongX = tool == kToolZoomX;
  if (alongX && (s.scaleKind & kScaleEqual)) {
    st.pressedSubplot = -1;
    return kStatusNothingDone;
  }
  if (shift || (!alongX && s.is3d)) {
    st.press[0] = x;
    if (!alongX) st.press[1] = y;
    return kOk;
  }
  ClampPointToViewport(s, &x, &y);
  if (alongX) y = st.press[1] = st.current[1] = 0;
  if (st.rectangleDrawn) DrawZoomRectangles(e, st.current[0], st.current[1], false);
  st.rectangleAlongX = alongX;
  DrawZoomRectangles(e, x, y, true);
  st.rectangleDrawn = 1;
  st.feedbackTarget = e.block()->portTarget;
  st.current[0] = x;
  st.current[1] = y;
  return e.HasFocusRect() ? kOk : kStatusRepaint;
}

void DrawZoomRectangles(const FigureEvent& e, double x, double y, bool draw) {
  const InteractionState& st = *e.state();
  const FigureState& fig = e.figure();
  const SubplotRecord& pressed = fig.subplots[st.pressedSubplot];
  const uint32_t subplots = PressedAndFollowing(st);
  for (int32_t j = 0; j < ActiveSubplotCount(fig); ++j) {
    if (!((subplots >> j) & 1u)) continue;
    const SubplotRecord& sj = fig.subplots[j];
    double p[2] = {st.press[0], st.press[1]}, n[2] = {x, y};
    MapPoint(pressed, sj, &p[0], &p[1]);
    MapPoint(pressed, sj, &n[0], &n[1]);
    if (st.rectangleAlongX) {
      p[1] = sj.viewport[kTop];
      n[1] = sj.viewport[kBottom];
    }
    e.DrawFocusRect(p[0], p[1], n[0], n[1], draw);
  }
}

ErrCode PanDrag(const FigureEvent& e, int32_t k, double x, double y, bool shift) {
  InteractionState& st = *e.state();
  ClampPointToViewport(e.subplot(k), &x, &y);
  const double dx = x - st.press[0], dy = y - st.press[1];
  FigureState& fig = e.figure();
  const uint32_t subplots = PressedAndFollowing(st);
  for (int32_t j = 0; j < ActiveSubplotCount(fig); ++j) {
    if (!((subplots >> j) & 1u)) continue;
    SubplotRecord* sj = &fig.subplots[j];
    if (sj->is3d) {
      TurnCameraWithPan(sj, st.press[0], st.press[1], x, y, shift);
    } else if (shift) {
      ScrollX(sj, dx);
    } else {
      Scroll(sj, dx, dy);
    }
  }
  st.press[0] = x;
  st.press[1] = y;
  return e.RedrawStep();
}

ErrCode DragStep(const FigureEvent& e, double x, double y, bool shift, const TextBuffer& text,
                 ErrCode idle) {
  InteractionState* st = e.state();
  const int32_t k = st->pressedSubplot;
  if (k >= ActiveSubplotCount(e.figure())) {
    st->pressedSubplot = -1;
    return kStatusNothingDone;
  }
  const int32_t tool = GetEffectiveTool(e.mode(), shift, e.subplot(k));
  ErrCode rc = kStatusNothingDone;
  switch (tool) {
    case kToolManipulate:
      rc = ManipulateDrag(e, k, x, y, shift, text, idle);
      break;
    case kToolZoom:
    case kToolZoomX:
      rc = ZoomDrag(e, k, tool, x, y, shift);
      break;
    case kToolDrag:
      rc = PanDrag(e, k, x, y, shift);
      break;
    case kToolSelect:
      rc = SelectDrag(e, k, x, y, shift);
      break;
    case kToolOrbit:
    case kToolPanTilt:
    case kToolRoll:
    case kToolDollyLateral:
    case kToolDollyForward:
      rc = CameraDrag(e, k, tool, x, y, shift);
      break;
    default:
      st->pressedSubplot = -1;
      break;
  }
  return rc;
}

ErrCode FigureMouseDrag(KVContextBlock** slot, int32_t id, double x, double y, bool shift,
                        char* buffer, int32_t size, int32_t* length) {
  const FigureEvent e(slot, id);
  InteractionState* st = e.state();
  const TextBuffer text{buffer, size, length};
  text.Clear();
  if (st == nullptr || st->pressedSubplot < 0) return kStatusNothingDone;
  if (e.record() == nullptr) {
    st->pressedSubplot = -1;
    return kKvNonexistentInstance;
  }
  const ErrCode idle = RunIdleHandlerIfDue(slot, id, true);
  if (idle != kOk && idle != kStatusRepaint) {
    st->pressedSubplot = -1;
    return idle;
  }
  st->pointer[0] = x;
  st->pointer[1] = y;
  st->moveDropped = MoveDropped(e.block(), st);
  if (st->moveDropped) return kStatusMoveDropped;
  if (e.figure().editField >= 0) return idle;
  const ErrCode rc = DragStep(e, x, y, shift, text, idle);
  return rc == kOk && idle == kStatusRepaint ? kStatusRepaint : rc;
}

}  // namespace vke
