// Live positions into the code area held outside the function table: the
// code pointer of every interpreter thread (the context's for the running
// one, the records' for the others) and, in every call frame of their
// stacks, the return, catch and debugger code pointers and the
// function-header position. Code that moves compiled blocks relocates them
// here.
#pragma once

#include "engine/context.hpp"

namespace vke {

// False when the list of interpreter threads is damaged, so that the
// positions saved by its threads cannot all be found.
bool CodePointersReachable(EngineContext* ctx);
// True when a live pointer lies in [begin, end) (bytes from the area start).
bool HasCodePointerIn(EngineContext* ctx, uint32_t begin, uint32_t end);
// Adds delta bytes to every live pointer at or above `from`.
void ShiftCodePointers(EngineContext* ctx, uint32_t from, int32_t delta);

}  // namespace vke
