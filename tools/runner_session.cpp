// The runner's interactive mode: one command at a time.
#include "tools/runner_session.hpp"

#include <string>

#include "compiler/compile.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "tools/command_look.hpp"
#include "tools/console_input.hpp"
#include "tools/runner_host.hpp"

namespace vke::runner {

namespace {

struct Session {
  RunnerArea* area;
  EngineContext* ctx;
  CommandLook look;
};

// Whether the compiler finds a command typed in part wrong before its end;
// the area grows while the look runs short of room.
bool FaultyCommand(void* session, const std::string& command, size_t line, bool alone) {
  Session* s = static_cast<Session*>(session);
  ErrCode e;
  while (IsEngineMemoryCode(e = s->look.Fault(command, line, alone)))
    if (!s->area->Grow(s->ctx, e)) return false;
  return e != kOk;
}

}  // namespace

int RunCommandLines(RunnerArea* area, EngineContext* ctx, int fd) {
  Session session{area, ctx, CommandLook(ctx)};
  ConsoleInput input(fd, &TakePromptBreak, &FaultyCommand, &session);
  std::string command;
  ErrCode last = kOk;
  for (;;) {
    const ConsoleInput::Result read = input.Next(&command);
    if (read == ConsoleInput::Result::kEnd) break;
    if (read == ConsoleInput::Result::kQuit) {
      last = kStatusHalted;
      break;
    }
    // Errors are placed at the console's lines, "(console, line N)".
    SetSourceFile(ctx, "console", command.data(), static_cast<int32_t>(command.size()),
                  input.FirstLine(), true);
    last = RunGrowing(area, ctx, command.data(), static_cast<int32_t>(command.size()));
    SetSourceFile(ctx, nullptr, nullptr, 0);
    // quit ends the session wherever it stands, as it ends a text run from
    // a file.
    if (last == kStatusQuit) break;
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
