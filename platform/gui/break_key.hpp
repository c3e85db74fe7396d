// The break key on this desktop: Ctrl+C in the terminal (SIGINT) and
// Ctrl+Pause on the X display, polled at most every 100 ms while a handler
// runs (the window's events are not read then).
#pragma once

#include <cstdint>

namespace vke {

// Installs the SIGINT handler.
void InstallBreakSignal();
// The engine's break test: polls the keyboard, then answers whether a
// break was asked for since the previous call.
bool PollBreakKey(uintptr_t argument);

}  // namespace vke
