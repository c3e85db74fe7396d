// The draw cycle of an instance's figure: its draw handlers fill the
// instance's object with one command group per subplot, and at paint time
// the groups are replayed through the port the block holds. Also the copy of
// one subplot or of the whole figure, and the idle step that runs the idle
// handler when its time has come. Operations that may run handlers take the
// block's slot: the block may move.
#pragma once

#include "app/block.hpp"
#include "app/instance_record.hpp"
#include "graphics/figure_draw.hpp"

namespace vke {

// Runs every subplot's draw handler into a new object (or the instance-wide
// step of an instance whose code is one element), initialising the instance
// first when needed, and stores the figure in _pl and _3d. 0, kKvNonexistentInstance, or the
// first failing handler's code; a full store ends the loop quietly.
ErrCode RunDrawHandlers(KVContextBlock** slot, int32_t id);

// The same without initialising, without the instance-wide step, without
// event values and without marking the subplots drawn (after drags and on
// idle steps).
ErrCode RunDrawHandlersNoInit(KVContextBlock** slot, int32_t id);

// Deletes the instance's object.
void DeleteFigureObject(KVContextBlock* block, int32_t id);

// The instance's figure as drawing sees it, through a port and target.
FigureCanvas InstanceCanvas(KVContextBlock* block, InstanceRecord* record, const GraphicsPort* port,
                            void* target);

// Draws the whole figure through the block's port and target (nothing
// without a port), with the feedback of a mouse drag drawn on that target,
// and clears the pending drag and the redraw request. kErrOutOfMem when the
// drawing ran out of memory (what it kept is drawn).
ErrCode DrawInstanceSubplots(KVContextBlock* block, int32_t id);

// Draws the single selected subplot, drawn anew into the rectangle, or else
// the whole figure, into the block's port and target; the figure is laid
// out and drawn again afterwards on every path. 0 (also when the subplot's
// handler fails: nothing is drawn then), kKvNonexistentInstance, or kKvExhaustedRsrc when the store
// cannot take the subplot's group.
ErrCode CopyFigure(KVContextBlock** slot, int32_t id, double left, double right, double top,
                   double bottom);

// Runs the idle handler when idle processing is on and its time has come,
// then schedules the next run; with allowRedraw the draw handlers follow.
// 0, kStatusRepaint when the figure must be repainted, or the failure (idle
// processing is then off).
ErrCode RunIdleHandlerIfDue(KVContextBlock** slot, int32_t id, bool allowRedraw);

// The next idle time after a run that started at `clock`. The record's idle
// value holds what the handler asked for: with _idlerate the interval in
// seconds, with _idleamount the share of the time given to idle processing,
// which makes the interval the time since the previous run (the second idle
// value) divided by that share. Without a pace, or with one that is not a
// positive number, the interval is 0.1 s.
double NextIdleTime(const InstanceRecord& record, double clock);

}  // namespace vke
