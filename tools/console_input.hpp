// The console's input: command lines read from a file descriptor, the lines
// of a block, a bracket or a function definition gathered into one command
// (tools/command_gatherer.hpp) while the command lacks only its end, and
// Ctrl-C at the prompt, which cancels the command being typed.
//
// A line inside a statement that goes on behind it is asked about with the
// lines after it while they are there to be read, until they hold as much
// as the statement did when last asked about, and before the input is
// waited for: so a long statement pasted is not looked at again at each
// line, and a line typed wrong is still reported at once. When the lines
// so asked about are wrong, the line from which they are is found by
// halves (a command wrong up to a line is wrong up to every line behind
// it), the command ends there and the lines behind it are read again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
  // at without the lines before it (CommandGatherer::StatementsAlone). The
  // same command may be asked about again with fewer of the lines of the
  // statement its last line is in, down to the line behind the last one
  // found right.
  using FaultFn = bool (*)(void* data, const std::string& command, size_t line, bool alone);

  ConsoleInput(int fd, InterruptFn interrupted, FaultFn faulty = nullptr, void* faultData = nullptr)
      : fd_(fd), interrupted_(interrupted), faulty_(faulty), faultData_(faultData) {}

  // The next command, each of its lines ending with a line feed: one line,
  // or, when it opens a block or a definition or goes on to the next line,
  // its lines up to the one that completes it (or to the end of the input,
  // or to the line from which it is wrong). kEnd at the
  // end of the input with nothing read; a command cut short by the end of
  // the input is given whole, up to the line from which it is wrong.
  Result Next(std::string* command);
  // The number of the input line on which the last command given starts,
  // counting from 1 every line read (cancelled ones too).
  int32_t FirstLine() const { return firstLine_; }

 private:
  enum class Line { kRead, kEnd, kInterrupted, kWouldWait };
  // The next line; without mayWait, kWouldWait when reading it would wait.
  Line ReadLine(std::string* line, bool mayWait);
  // Asks about the lines of the command not asked about yet: true when
  // they are wrong; the command then ends at the line from which it is.
  bool Settle(std::string* command);
  // Whether the command up to the end of its unasked line k is wrong.
  bool FaultyUpTo(const std::string& command, size_t k);
  // Ends the command at the first of its unasked lines from which it is
  // wrong, knowing that it is wrong up to the last; the lines behind that
  // one are read again.
  void EndAtFault(std::string* command);

  int fd_;
  InterruptFn interrupted_;
  FaultFn faulty_;
  void* faultData_;
  std::string buffer_;  // read and not yet taken
  size_t taken_ = 0;
  bool ended_ = false;
  int32_t linesRead_ = 0;
  int32_t firstLine_ = 1;
  std::vector<size_t> unasked_;  // the ends of the command's lines not asked about yet
  size_t asked_ = 0;             // the length of the command when last asked about
};

}  // namespace vke::runner
