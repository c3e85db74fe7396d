// The console's input: command lines read from a file descriptor, the lines
// of a block or a function definition gathered into one command
// (tools/command_gatherer.hpp), and Ctrl-C at the prompt, which cancels the
// command being typed.
#pragma once

#include <string>

namespace vke::runner {

class ConsoleInput {
 public:
  enum class Result { kCommand, kEnd, kQuit };
  // Asked when a read at the prompt was interrupted (Ctrl-C): true ends the
  // session (kQuit), false cancels what was typed of the command.
  using InterruptFn = bool (*)();

  ConsoleInput(int fd, InterruptFn interrupted) : fd_(fd), interrupted_(interrupted) {}

  // The next command, each of its lines ending with a line feed: one line,
  // or, when it opens a block or a definition or goes on to the next line,
  // its lines up to the one that completes it (or to the end of the input).
  // kEnd at the end of the input with nothing read; a command cut short by
  // the end of the input is given whole.
  Result Next(std::string* command);

 private:
  enum class Line { kRead, kEnd, kInterrupted };
  Line ReadLine(std::string* line);

  int fd_;
  InterruptFn interrupted_;
  std::string buffer_;  // read and not yet taken
  size_t taken_ = 0;
  bool ended_ = false;
};

}  // namespace vke::runner
