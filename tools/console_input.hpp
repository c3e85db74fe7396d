// The console's input: command lines read from a file descriptor, the lines
// of a block or a function definition gathered into one command
// (tools/command_gatherer.hpp) unless a bracket left open would keep
// gathering what is wrong already, and Ctrl-C at the prompt, which cancels
// the command being typed.
#pragma once

#include <string>

namespace vke::runner {

class ConsoleInput {
 public:
  enum class Result { kCommand, kEnd, kQuit };
  // Asked when a read at the prompt was interrupted (Ctrl-C): true ends the
  // session (kQuit), false cancels what was typed of the command.
  using InterruptFn = bool (*)();
  // Asked with the lines gathered when the last one left a bracket of its
  // own open: true when they are wrong whatever lines follow, so that the
  // command ends there and its error is reported at once, instead of taking
  // every later line in while it waits for the bracket to close.
  using FaultFn = bool (*)(void* data, const std::string& command);

  ConsoleInput(int fd, InterruptFn interrupted, FaultFn faulty = nullptr, void* faultData = nullptr)
      : fd_(fd), interrupted_(interrupted), faulty_(faulty), faultData_(faultData) {}

  // The next command, each of its lines ending with a line feed: one line,
  // or, when it opens a block or a definition or goes on to the next line,
  // its lines up to the one that completes it (or to the end of the input,
  // or to a line that opens a bracket when it is wrong already). kEnd at the
  // end of the input with nothing read; a command cut short by the end of
  // the input is given whole.
  Result Next(std::string* command);

 private:
  enum class Line { kRead, kEnd, kInterrupted };
  Line ReadLine(std::string* line);

  int fd_;
  InterruptFn interrupted_;
  FaultFn faulty_;
  void* faultData_;
  std::string buffer_;  // read and not yet taken
  size_t taken_ = 0;
  bool ended_ = false;
};

}  // namespace vke::runner
