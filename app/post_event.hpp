// The handlers the host runs after user actions and on its timer: the
// post-event handlers (kElemPostEvent), run after mouse-up, key, paste,
// undo and redo, and idle processing, which runs the idle handler (kElemIdle)
// on timer ticks while it is on; and the runtime's timer tick, which lets
// the interpreter's pending threads run first.
#pragma once

#include "app/block.hpp"

namespace vke {

// Runs every active post-event element in order. An element that lists
// variables runs only when at least one of them has a value in the current
// version; one that lists none always runs. The first failure is returned.
ErrCode RunPostEventHandlers(KVContextBlock** slot, int32_t id);

// The instance has an idle handler and idle processing is not off.
bool IsIdleProcessingEnabled(KVContextBlock* block, int32_t id);
// The instance has an idle handler (false for an unknown instance).
bool HasIdleHandler(KVContextBlock* block, int32_t id);
// Off: idle processing stops. On: it starts again (with no pace) unless it
// is on already.
void SetIdleProcessing(KVContextBlock* block, int32_t id, bool on);
// A timer tick: nothing while a handler runs, else the idle handler when
// its time has come.
ErrCode OnTimerHandler(KVContextBlock** slot, int32_t id);
// A timer tick of the engine: the pending interpreter threads run; nothing
// while a handler runs.
ErrCode ResumeEngineThreads(KVContextBlock* block);
// The draw handlers of an instance whose outputs an interpreter thread
// stored (kv_call asks for a redraw), as the runtime's frame tick runs them
// after the threads: kStatusRepaint when they ran, 0 when none was asked
// for, else their failure, after which the request is dropped.
ErrCode RunPendingRedraw(KVContextBlock** slot, int32_t id);
// One tick of the runtime's timers for an instance, as the window gives
// them: the pending interpreter threads run, then the redraw they asked
// for, then the idle handler when its time has come; nothing while a
// handler runs. The redraw's failure, else the idle step's result, else
// kStatusRepaint after a redraw.
ErrCode RunTimerTick(KVContextBlock** slot, int32_t id);

}  // namespace vke
