// The host callbacks that the application installs in the engine at start:
// the clock of the interpreter threads and the break test.
#pragma once

#include "engine/base.hpp"

namespace vke {

// The engine's clock callback over an 8-byte area holding one reading: with
// which 0 the monotonic clock, else the process's CPU time. Returns the
// seconds since the stored reading, and stores the current one when restart
// is nonzero; 0 when the clock cannot be read.
double GetTimeValue(void* area, int32_t which, int32_t restart);

// The break test: true when a break was requested since the previous call.
bool IsBreakKeyDown(uintptr_t argument);
// Called by the shell when the user presses the break key.
void NoteBreakKeyPressed();

}  // namespace vke
