// The runner's interactive mode: commands read one by one from a file
// descriptor (a line, or the lines of a block, a bracket or a definition,
// gathered while all the command lacks is its end; a line from which the
// compiler finds it wrong ends the command) and run as the command line of
// a console runs them. While the
// debugger has stopped, a line is a command at the stop (it runs in the
// stopped function's frame; an empty line steps one statement). After a
// line that failed or was stopped the next runs in the base workspace again
// (or where the debugger stopped).
#pragma once

#include "engine/context.hpp"
#include "tools/runner_area.hpp"

namespace vke::runner {

// Runs every command until the end of the input or quit; errors are printed
// and the next command runs. Ctrl-C at the prompt cancels the command being
// typed; a second one within a second ends the session. The process's exit
// status: 0, or kExitBreak when a break ended the last line or the session.
int RunCommandLines(RunnerArea* area, EngineContext* ctx, int fd);

}  // namespace vke::runner
