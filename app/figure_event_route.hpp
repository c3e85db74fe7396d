// The route of one figure event from its point to the handlers and the
// redraw, as the packing tool's check scripts send it: the event record,
// the handler of the plot, the redraw, and after a release the post-event
// handlers.
#pragma once

#include "app/block.hpp"
#include "app/handler_runner.hpp"

namespace vke {

// The step a figure event's handler shares on every route (the check
// scripts' events, a press of the manipulate tool): the handler runs and,
// when it succeeds, the draw handlers of the instance follow. The first
// failure; *handlerFailed (when given) tells whether it is the handler's.
ErrCode RunHandlerAndRedraw(KVContextBlock** slot, const HandlerRequest& request,
                            bool* handlerFailed = nullptr);

// Runs the event of a handler kind (kElemMouseDown to kElemDragOut, or
// kElemDraw) at (x, y) of the first subplot of an instance, for the object
// target (-1: none). A plot without a handler of the kind ignores the event;
// a release still runs the post-event handlers. A press keeps an undo
// version, dropped again when its handler fails. kKvNonexistentInstance for
// an unknown instance, kErrBadArg for a kind that is no such handler; else
// the first failure.
ErrCode RunFigureEvent(KVContextBlock** slot, int32_t instance, uint32_t kind, double x, double y,
                       int32_t target);

}  // namespace vke
