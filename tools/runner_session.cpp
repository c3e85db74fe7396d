// The runner's interactive mode: one command at a time.
#include "tools/runner_session.hpp"

#include <string>

#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "tools/console_input.hpp"
#include "tools/runner_host.hpp"

namespace vke::runner {

int RunCommandLines(RunnerArea* area, EngineContext* ctx, int fd) {
  ConsoleInput input(fd, &TakePromptBreak);
  std::string command;
  ErrCode last = kOk;
  for (;;) {
    const ConsoleInput::Result read = input.Next(&command);
    if (read == ConsoleInput::Result::kEnd) break;
    if (read == ConsoleInput::Result::kQuit) {
      last = kStatusHalted;
      break;
    }
    last = RunGrowing(area, ctx, command.data(), static_cast<int32_t>(command.size()));
    // A line that failed or was stopped leaves no frame of its calls and no
    // code behind: the next line runs where the debugger stopped, or in the
    // base workspace.
    if (last != kOk && last != kStatusDebug) {
      UnwindCallFrames(ctx, -1);
      ctx->cpKind = kCodeNone;
    }
  }
  return FinishRun(ctx, last == kStatusHalted ? last : kOk);
}

}  // namespace vke::runner
