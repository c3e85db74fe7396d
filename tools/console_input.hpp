// The console's input: command lines read from a file descriptor, the lines
// of a block, a bracket or a function definition gathered into one command
// (tools/command_gatherer.hpp) while the command lacks only its end, and
// Ctrl-C at the prompt, which cancels the command being typed.
#pragma once

#include <string>

namespace vke::runner {

class ConsoleInput {
 public:
  enum class Result { kCommand, kEnd, kQuit };
  // Asked when a read at the prompt was interrupted (Ctrl-C): true ends the
  // session (kQuit), false cancels what was typed of the command.
  using InterruptFn = bool (*)();
  // Asked with the lines gathered while they do not make a whole command
  // yet: true when they are wrong before their end, whatever lines follow,
  // so that the command ends there and its error is reported at once,
  // instead of taking the later lines in while it waits for its end.
  // `line` is where its last line starts; `alone` when that line holds
  // whole statements of a block, none led by a keyword, which may be looked
  // at without the lines before it (CommandGatherer::StatementsAlone).
  using FaultFn = bool (*)(void* data, const std::string& command, size_t line, bool alone);

  ConsoleInput(int fd, InterruptFn interrupted, FaultFn faulty = nullptr, void* faultData = nullptr)
      : fd_(fd), interrupted_(interrupted), faulty_(faulty), faultData_(faultData) {}

  // The next command, each of its lines ending with a line feed: one line,
  // or, when it opens a block or a definition or goes on to the next line,
  // its lines up to the one that completes it (or to the end of the input,
  // or to the line from which it is wrong). kEnd at the
  // end of the input with nothing read; a command cut short by the end of
  // the input is given whole.
  Result Next(std::string* command);
  // The number of the input line on which the last command given starts,
  // counting from 1 every line read (cancelled ones too).
  int32_t FirstLine() const { return firstLine_; }

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
  int32_t linesRead_ = 0;
  int32_t firstLine_ = 1;
};

}  // namespace vke::runner
