// Live positions into the code area held outside the function table: the
// context's code pointer and, in every call frame of the running stack, the
// return, catch and debugger code pointers and the function-header position.
// Code that moves compiled blocks relocates them here.
#pragma once

#include "engine/context.hpp"

namespace vke {

// False while other interpreter threads exist: their frames and saved code
// pointers lie in their own records, which are not visited here.
bool CodePointersReachable(EngineContext* ctx);
// True when a live pointer lies in [begin, end) (bytes from the area start).
bool HasCodePointerIn(EngineContext* ctx, uint32_t begin, uint32_t end);
// Adds delta bytes to every live pointer at or above `from`.
void ShiftCodePointers(EngineContext* ctx, uint32_t from, int32_t delta);

}  // namespace vke
