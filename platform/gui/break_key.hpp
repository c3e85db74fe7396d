// The break key on this desktop: Ctrl+C in the terminal (SIGINT) and
// Ctrl+Pause on the X display, polled at most every 100 ms while a handler
// runs (the window's events are not read then). A SIGINT also wakes the
// window through a pipe, so that an idle program can close; a second SIGINT
// within a second ends the program at once, as SIGINT does by default.
#pragma once

#include <cstdint>

namespace vke {

// Installs the SIGINT handler and opens the pipe it writes to.
void InstallBreakSignal();
// The pipe's end to watch: readable after each SIGINT (-1 without one).
int InterruptPipe();
// Empties the pipe once it was readable.
void DrainInterruptPipe();
// The engine's break test: polls the keyboard, then answers whether a
// break was asked for since the previous call.
bool PollBreakKey(uintptr_t argument);

}  // namespace vke
