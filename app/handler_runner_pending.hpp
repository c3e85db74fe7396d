// Engine operations the handler runner calls that are being built elsewhere:
// running a compiled function by name (the execution loop) and writing a
// value as source text and listing the variables of a frame (the dumper).
// While their own headers are missing, the declarations below stand in for
// them and handler_runner_pending.cpp answers "Not supported"; once a header
// is there, it is used and the stand-ins drop out.
#pragma once

#include "engine/context.hpp"

#if __has_include("engine/loop.hpp")
#include "engine/loop.hpp"
#else
#define VKE_RUNNER_LOOP_PENDING 1
namespace vke {
// Calls the compiled function of that name with the top `inputs` entries and
// runs it; sandbox marks its frame as an entry frame.
ErrCode RunCompiledFunction(EngineContext* ctx, const char* name, int32_t scope, int32_t inputs,
                            int32_t outputs, uint8_t sandbox, uint8_t sliced);
}  // namespace vke
#endif

#if __has_include("compiler/dump.hpp")
#include "compiler/dump.hpp"
#else
#define VKE_RUNNER_DUMP_PENDING 1
namespace vke {
// Writes the value on top of the stack (it stays there) as source text; with
// fd -1 into buffer[*position ...], capacity characters in all.
ErrCode DumpValue(EngineContext* ctx, uint16_t* buffer, int32_t capacity, int32_t* position,
                  int32_t fd, const char* name, int32_t nameLength, int32_t precision);
// Writes the variables of the innermost frame that has variables to fd.
ErrCode ListVariablesForDebugger(EngineContext* ctx, int32_t fd, bool declarations);
}  // namespace vke
#endif
