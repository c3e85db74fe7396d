// The break key on this desktop: Ctrl+C in the terminal (SIGINT) and
// Ctrl+Pause on the X display, polled at most every 100 ms while a handler
// runs (the window's events are not read then; the keys are grabbed for
// the poll meanwhile, so that a tap between two polls counts). A SIGINT also wakes the
// window through a pipe, so that an idle program can close; a second SIGINT
// within a second ends the program at once, as SIGINT does by default.
// What a break does is the caller's: each one seen is handed to the
// function given at installation, which must be async-signal-safe.
#pragma once

#include <cstdint>

namespace vke {

// Called for every break seen, from the signal handler too.
using BreakNoteFn = void (*)();

// Installs the SIGINT handler and opens the pipe it writes to; each break
// is noted through note.
void InstallBreakSignal(BreakNoteFn note);
// The pipe's end to watch: readable after each SIGINT (-1 without one).
int InterruptPipe();
// Empties the pipe once it was readable.
void DrainInterruptPipe();
// Reads the keyboard at most every 100 ms and notes Ctrl+Pause or
// Ctrl+Break when pressed since the last read (however short the press) or
// held. From the first read the break keys are grabbed from the display,
// so that their presses wait for the poll.
void PollBreakKeyboard();
// Gives the break keys back to the display: the window reads its events
// again (a handler ended). Cheap when they are not held.
void EndBreakKeyboardPoll();

}  // namespace vke
