// The console's input: lines, commands over several lines, Ctrl-C.
#include "tools/console_input.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "tools/command_gatherer.hpp"

namespace vke::runner {

namespace {

constexpr size_t kReadBytes = 4096;

}  // namespace

ConsoleInput::Line ConsoleInput::ReadLine(std::string* line, bool mayWait) {
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
    if (!mayWait) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 0) == 0) return Line::kWouldWait;
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
  unasked_.clear();
  asked_ = 0;
  CommandGatherer gatherer;
  std::string line;
  for (;;) {
    switch (ReadLine(&line, unasked_.empty())) {
      case Line::kWouldWait:
        if (Settle(command)) return Result::kCommand;
        continue;
      case Line::kInterrupted:
        if (interrupted_()) return Result::kQuit;
        command->clear();
        unasked_.clear();
        asked_ = 0;
        gatherer.Reset();
        continue;
      case Line::kEnd:
        if (command->empty()) return Result::kEnd;
        Settle(command);
        return Result::kCommand;
      case Line::kRead:
        break;
    }
    linesRead_++;
    if (command->empty()) firstLine_ = linesRead_;
    const size_t start = command->size();
    command->append(line);
    command->push_back('\n');
    gatherer.Add(line);
    if (gatherer.Complete()) {
      Settle(command);
      return Result::kCommand;
    }
    // The command goes on only while all it lacks is its end: one wrong
    // already ends here, for its error to be reported. A row of numbers
    // cannot make a matrix wrong that lacked only its end, so that a long
    // one pasted row by row is not compiled again at each row.
    if (gatherer.NumberRow() || !faulty_) continue;
    // A line inside a statement waits for the lines behind it while they
    // hold less than the statement's part did when last asked about.
    const size_t part = gatherer.PartStart();
    if (gatherer.MidStatement() && asked_ > part && command->size() - asked_ < asked_ - part) {
      unasked_.push_back(command->size());
      continue;
    }
    asked_ = command->size();
    if (faulty_(faultData_, *command, start, gatherer.StatementsAlone())) {
      unasked_.push_back(command->size());
      EndAtFault(command);
      return Result::kCommand;
    }
    unasked_.clear();
  }
}

bool ConsoleInput::Settle(std::string* command) {
  if (unasked_.empty()) return false;
  if (!FaultyUpTo(*command, unasked_.size() - 1)) {
    asked_ = unasked_.back();
    unasked_.clear();
    return false;
  }
  EndAtFault(command);
  return true;
}

bool ConsoleInput::FaultyUpTo(const std::string& command, size_t k) {
  const std::string upTo = command.substr(0, unasked_[k]);
  // An unasked line is never a command's first.
  const size_t line = upTo.rfind('\n', upTo.size() - 2) + 1;
  return faulty_(faultData_, upTo, line, false);
}

void ConsoleInput::EndAtFault(std::string* command) {
  // The command is right up to the line before the first unasked one.
  size_t right = 0, wrong = unasked_.size();
  while (wrong - right > 1) {
    const size_t k = (right + wrong) / 2;
    if (FaultyUpTo(*command, k - 1))
      wrong = k;
    else
      right = k;
  }
  const size_t end = unasked_[wrong - 1];
  const std::string_view behind = std::string_view(*command).substr(end);
  buffer_.replace(0, taken_, behind);
  taken_ = 0;
  for (char c : behind) linesRead_ -= c == '\n';
  command->resize(end);
  unasked_.clear();
}

}  // namespace vke::runner
