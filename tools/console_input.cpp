// The console's input: lines, commands over several lines, Ctrl-C.
#include "tools/console_input.hpp"

#include <unistd.h>

#include <cerrno>

#include "tools/command_gatherer.hpp"

namespace vke::runner {

namespace {

constexpr size_t kReadBytes = 4096;

}  // namespace

ConsoleInput::Line ConsoleInput::ReadLine(std::string* line) {
  for (;;) {
    const size_t end = buffer_.find('\n', taken_);
    if (end != std::string::npos || ended_) {
      if (end == std::string::npos && taken_ == buffer_.size()) return Line::kEnd;
      const size_t stop = end == std::string::npos ? buffer_.size() : end;
      line->assign(buffer_, taken_, stop - taken_);
      taken_ = end == std::string::npos ? stop : end + 1;
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return Line::kRead;
    }
    buffer_.erase(0, taken_);
    taken_ = 0;
    const size_t had = buffer_.size();
    buffer_.resize(had + kReadBytes);
    const ssize_t n = ::read(fd_, buffer_.data() + had, kReadBytes);
    buffer_.resize(had + (n > 0 ? static_cast<size_t>(n) : 0));
    if (n < 0 && errno == EINTR) {
      // What was typed of the line goes with the interrupted read.
      buffer_.clear();
      return Line::kInterrupted;
    }
    if (n <= 0) ended_ = true;
  }
}

ConsoleInput::Result ConsoleInput::Next(std::string* command) {
  command->clear();
  CommandGatherer gatherer;
  std::string line;
  for (;;) {
    switch (ReadLine(&line)) {
      case Line::kInterrupted:
        if (interrupted_()) return Result::kQuit;
        command->clear();
        gatherer.Reset();
        continue;
      case Line::kEnd:
        return command->empty() ? Result::kEnd : Result::kCommand;
      case Line::kRead:
        break;
    }
    linesRead_++;
    if (command->empty()) firstLine_ = linesRead_;
    const size_t start = command->size();
    command->append(line);
    command->push_back('\n');
    gatherer.Add(line);
    if (gatherer.Complete()) return Result::kCommand;
    // The command goes on only while all it lacks is its end: one wrong
    // already ends here, for its error to be reported. A row of numbers
    // cannot make a matrix wrong that lacked only its end, so that a long
    // one pasted row by row is not compiled again at each row.
    if (!gatherer.NumberRow() && faulty_ &&
        faulty_(faultData_, *command, start, gatherer.StatementsAlone()))
      return Result::kCommand;
  }
}

}  // namespace vke::runner
