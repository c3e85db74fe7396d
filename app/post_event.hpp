// The handlers the host runs after user actions and on its timer: the
// post-event handlers (kElemPostEvent), run after mouse-up, key, paste,
// undo and redo, and idle processing, which runs the idle handler (kElemIdle)
// on timer ticks while it is on.
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

}  // namespace vke
