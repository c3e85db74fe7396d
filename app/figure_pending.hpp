// Operations of the application model that the figure code calls and whose
// own code is being built elsewhere: not_built.cpp answers "Not supported"
// until then. The handler runner comes with them.
#pragma once

#include "app/block.hpp"
#include "app/handler_runner.hpp"

namespace vke {

// "Reset Data": runs the instance's initialisation.
ErrCode ResetInstanceData(KVContextBlock** slot, int32_t id);
// The instance-wide step of an instance whose code is one element (kind 47).
ErrCode RunInitHandler(KVContextBlock** slot, int32_t id);
// The handlers that run after a change (kind 39).
ErrCode RunKind39Handlers(KVContextBlock** slot, int32_t id);
// A key typed into the text field being edited.
ErrCode HandleTextFieldKey(KVContextBlock** slot, int32_t id, uint32_t key);

}  // namespace vke
