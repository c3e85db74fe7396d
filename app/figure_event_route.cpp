// The route of one figure event to the handlers and the redraw.
#include "app/figure_event_route.hpp"

#include "app/draw_cycle.hpp"
#include "app/errors.hpp"
#include "app/handler_runner.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/kv_elements.hpp"
#include "app/plot_handlers.hpp"
#include "app/post_event.hpp"
#include "app/undo_buffer.hpp"

namespace vke {

ErrCode RunHandlerAndRedraw(KVContextBlock** slot, const HandlerRequest& request,
                            bool* handlerFailed) {
  const ErrCode e = RunHandler(slot, request);
  if (handlerFailed != nullptr) *handlerFailed = e != kOk;
  if (e) return e;
  return RunDrawHandlers(slot, request.instance);
}

ErrCode RunFigureEvent(KVContextBlock** slot, int32_t instance, uint32_t kind, double x, double y,
                       int32_t target) {
  InstanceRecord* r = FindInstance(*slot, instance);
  if (!r) return kKvNonexistentInstance;
  InstanceFigureHost host(slot, instance);
  PlotHandlers handlers;
  if (ErrCode e = host.FindPlotHandlers(r->figure.subplots[0].plotId, target, &handlers)) return e;
  const int32_t index = PlotHandlerSlot(kind);
  if (index == kNoHandler) return kErrBadArg;
  // A plot without a handler for the event ignores it.
  const bool up = kind == kElemMouseUp;
  if (handlers.descriptors[index] < 0) return up ? RunPostEventHandlers(slot, instance) : kOk;
  EventState& ev = (*slot)->event;
  const bool down = kind == kElemMouseDown;
  ev.flags = (down ? 0 : ev.flags & (kEventX0 | kEventY0)) | kEventX | kEventY;
  ev.x = x;
  ev.y = y;
  if (down) {
    ev.x0 = x;
    ev.y0 = y;
    ev.flags |= kEventX0 | kEventY0;
  }
  if (target >= 0) {
    ev.id = target;
    ev.flags |= kEventId;
  }
  if (down)
    if (ErrCode e = PushUndoVersion((*slot)->UndoArea(), instance)) return e;
  HandlerRequest request;
  request.instance = instance;
  request.descriptor = handlers.descriptors[index];
  request.objectId = 0;
  request.kind = kind;
  request.event = true;
  bool handlerFailed = false;
  if (ErrCode e = RunHandlerAndRedraw(slot, request, &handlerFailed)) {
    if (down && handlerFailed) DropNewestUndoVersion((*slot)->UndoArea(), instance);
    return e;
  }
  return up ? RunPostEventHandlers(slot, instance) : kOk;
}

}  // namespace vke
