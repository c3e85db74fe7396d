// The dumper's operations the handler runner calls, which are being built
// elsewhere: writing a value as source text and listing the variables of a
// frame. While the dumper's header is missing, the declarations below stand
// in for it and handler_runner_pending.cpp answers "Not supported"; once the
// header is there, it is used and the stand-ins drop out.
#pragma once

#include "engine/context.hpp"

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
