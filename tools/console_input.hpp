// The console's input: command lines read from a file descriptor, the lines
// of a function definition gathered into one command, and Ctrl-C at the
// prompt, which cancels the line being typed.
#pragma once

#include <string>
#include <string_view>

#include "engine/context.hpp"

namespace vke::runner {

// Whether the text ends inside a function definition: a "function" statement
// that no "endfunction" has closed yet (strings and comments do not count).
bool EndsInsideDefinition(EngineContext* ctx, std::string_view text);

class ConsoleInput {
 public:
  enum class Result { kCommand, kEnd, kQuit };
  // Asked when a read at the prompt was interrupted (Ctrl-C): true ends the
  // session (kQuit), false cancels what was typed of the command.
  using InterruptFn = bool (*)();

  ConsoleInput(EngineContext* ctx, int fd, InterruptFn interrupted)
      : ctx_(ctx), fd_(fd), interrupted_(interrupted) {}

  // The next command, each of its lines ending with a line feed: one line,
  // or, when it opens a definition, its lines up to the one that closes it
  // (or to the end of the input). kEnd at the end of the input with nothing
  // read; a command cut short by the end of the input is given whole.
  Result Next(std::string* command);

 private:
  enum class Line { kRead, kEnd, kInterrupted };
  Line ReadLine(std::string* line);

  EngineContext* ctx_;
  int fd_;
  InterruptFn interrupted_;
  std::string buffer_;  // read and not yet taken
  size_t taken_ = 0;
  bool ended_ = false;
};

}  // namespace vke::runner
