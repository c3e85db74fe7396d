// A text given to the console as its input, as a paste gives it: read from
// a file (the console reads any descriptor) command by command, the
// compiler asked about the lines typed so far (tools/console_input.hpp,
// tools/command_look.hpp).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/context.hpp"
#include "engine/errors/errors.hpp"
#include "tools/command_look.hpp"
#include "tools/console_input.hpp"

namespace vke::bench {

// Gives each command of the text to `each` while it answers true; false
// when it answered false.
template <typename Each>
bool ReadConsoleText(EngineContext* ctx, const std::string& text, Each each) {
  FILE* file = std::tmpfile();
  if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size()) std::abort();
  std::rewind(file);
  runner::CommandLook look(ctx);
  const auto noBreak = [] { return false; };
  const auto faulty = [](void* data, const std::string& command, size_t line, bool alone) {
    return static_cast<runner::CommandLook*>(data)->Fault(command, line, alone) != kOk;
  };
  runner::ConsoleInput input(fileno(file), noBreak, faulty, &look);
  std::string command;
  bool ok = true;
  while (ok && input.Next(&command) == runner::ConsoleInput::Result::kCommand) ok = each(command);
  std::fclose(file);
  return ok;
}

}  // namespace vke::bench
