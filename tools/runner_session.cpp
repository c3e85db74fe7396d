// The runner's interactive mode: one command line at a time.
#include "tools/runner_session.hpp"

#include <string>

#include "engine/errors/errors.hpp"
#include "tools/runner_host.hpp"

namespace vke::runner {

namespace {

// The next line without its line end; false at the end of the stream.
bool ReadLine(std::FILE* in, std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(in)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (c == EOF && line->empty()) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace

int RunCommandLines(RunnerArea* area, EngineContext* ctx, std::FILE* in) {
  std::string line;
  ErrCode last = kOk;
  while (ReadLine(in, &line)) {
    line.push_back('\n');
    last = RunGrowing(area, ctx, line.data(), static_cast<int32_t>(line.size()));
  }
  return FinishRun(ctx, last == kStatusHalted ? last : kOk);
}

}  // namespace vke::runner
