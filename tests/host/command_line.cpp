#include "tests/host/command_line.hpp"

#include <gtest/gtest.h>

#include "compiler/compile.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"

namespace vke::test {

ErrCode RunCommandLine(EngineContext* ctx, const std::string& text, int32_t slices) {
  const ErrCode e = CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size()));
  return e && e != kStatusSuspended ? e : ResumeRun(ctx, slices);
}

ErrCode ResumeRun(EngineContext* ctx, int32_t slices) {
  ErrCode e = kStatusSuspended;
  for (int32_t i = 0; i < slices && e == kStatusSuspended; i++) e = ExecuteBytecode(ctx, 1);
  return e;
}

std::string RunForOutput(TestHost& host, const std::string& text) {
  host.ClearOutput();
  EXPECT_EQ(RunCommandLine(host.ctx(), text), kOk) << text << host.Output(2);
  return host.Output(1);
}

}  // namespace vke::test
