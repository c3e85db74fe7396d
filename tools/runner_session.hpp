// The runner's interactive mode: command lines read one by one from a
// stream and run as the command line of a console runs them. While the
// debugger has stopped, a line is a command at the stop (it runs in the
// stopped function's frame; an empty line steps one statement).
#pragma once

#include <cstdio>

#include "engine/context.hpp"
#include "tools/runner_area.hpp"

namespace vke::runner {

// Runs every line of the stream until its end; errors are printed and the
// next line runs. The process's exit status: 0, or kExitBreak when a break
// ended the last line.
int RunCommandLines(RunnerArea* area, EngineContext* ctx, std::FILE* in);

}  // namespace vke::runner
