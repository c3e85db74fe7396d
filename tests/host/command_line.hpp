// Test helper: runs VKE source text as one command line, the way the
// headless runner does: compiled (its functions defined, its "use"
// statements kept for later lines), then run in slices until it ends.
#pragma once

#include <string>

#include "engine/context.hpp"
#include "tests/host/test_host.hpp"

namespace vke::test {

// 0 when the text ran to its end; else the compile error or the code the
// run ended with (an uncaught error is printed on descriptor 2), or 500
// when it is still suspended after `slices` slices (waiting for input).
ErrCode RunCommandLine(EngineContext* ctx, const std::string& text, int32_t slices = 1000000);

// Runs on a run that was left suspended, as RunCommandLine does.
ErrCode ResumeRun(EngineContext* ctx, int32_t slices = 1000000);

// What the text printed on descriptor 1, run as RunCommandLine runs it;
// a failure to run to the end fails the test with what it printed on 2.
std::string RunForOutput(TestHost& host, const std::string& text);

}  // namespace vke::test
