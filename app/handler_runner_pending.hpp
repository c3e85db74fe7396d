// Engine operations the handler runner calls that have no declaration on
// this branch yet: running a compiled function by name, writing a value as
// source text and listing the variables of a frame. Their declarations here
// follow the engine's; handler_runner_pending.cpp answers "Not supported"
// for them until the execution loop and the dumper are merged, and both
// files go away then.
#pragma once

#include "engine/context.hpp"

namespace vke {

// Calls the compiled function of that name with the top `inputs` entries and
// runs it; sandbox marks its frame as an entry frame.
ErrCode RunCompiledFunction(EngineContext* ctx, const char* name, int32_t scope, int32_t inputs,
                            int32_t outputs, uint8_t sandbox, uint8_t sliced);

// Writes the value on top of the stack (it stays there) as source text; with
// fd -1 into buffer[*position ...], capacity characters in all.
ErrCode DumpValue(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                  int32_t fd, const char* name, int32_t nameLength, int32_t precision);

// Writes the variables of the innermost frame that has variables to fd.
ErrCode ListVariablesForDebugger(EngineContext* ctx, int32_t fd, bool declarations);

}  // namespace vke
