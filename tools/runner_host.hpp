// What the runner adds around the engine: its command-line numbers, the
// thread timer, the user's break from Ctrl-C, and the run of a compiled text
// with the threads it starts.
#pragma once

#include <cstdint>

#include "engine/context.hpp"

namespace vke::runner {

inline constexpr int32_t kMaxOptimisationLevel = 4;
inline constexpr int kExitBreak = 130;  // as a shell reports a process ended by SIGINT

// The level of "-O N": a whole decimal number from 0 to 4, nothing else.
bool ParseOptimisationLevel(const char* text, int32_t* level);

// Installs the thread timer and turns SIGINT into the engine's break: the
// abort poll stops the text ("+onabort" hooks run) instead of the process
// ending at once.
void InstallHostServices(EngineContext* ctx);

// A break that came while the console waited for input: no line runs to
// be stopped, so the engine's break is dropped. True when it came within a
// second of the break before it, which ends the session.
bool TakePromptBreak();

// After the text has run to its end (`result`: its final code, the threads
// it started having shared the engine with it): says on standard error how
// many threads it leaves. The process's exit status: 0 when the text
// finished, 1 after an error (printed by the engine), kExitBreak after a
// break.
int FinishRun(EngineContext* ctx, ErrCode result);

}  // namespace vke::runner
