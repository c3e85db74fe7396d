// The cost of the debugger when it is not stopping: the scalar loop of
// bench/programs run in a compiled function with line markers, with no
// breakpoint, with ten breakpoints set in other functions, and with echo
// switched off explicitly; the line instruction should not get slower by
// more than 5 %. Prints nanoseconds per iteration and the ratio to the
// plain run (best of a few runs, in the thread's processor time).
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_engine.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/registry/registry.hpp"

namespace {

using namespace vke;

constexpr int32_t kIterations = 2000000;
constexpr int kRuns = 9;
constexpr int kOtherFunctions = 10;

// The debugger's records, as the run-time table holds them.
const NativeFunctionRecord kDebugger[] = {
#define VKE_RUNTIME_RECORD(name, fn, minIn, maxIn, minOut, maxOut) \
  MakeRecord(name, fn, minIn, maxIn, minOut, maxOut),
#include "compiler/debug_records.def"
#undef VKE_RUNTIME_RECORD
    MakeRecord(""),
};

// The thread's processor time in nanoseconds: time a loaded machine takes
// the processor away meanwhile does not count.
double ThreadNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return 1e9 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec);
}

// Nanoseconds per iteration of one run of the loop.
double RunNanoseconds(EngineContext* ctx) {
  const double start = ThreadNanoseconds();
  if (bench::RunCommandText(ctx, "s = work(" + std::to_string(kIterations) + ");\n")) std::exit(2);
  return (ThreadNanoseconds() - start) / kIterations;
}

void Command(EngineContext* ctx, const std::string& text) {
  if (bench::RunCommandText(ctx, text)) std::exit(3);
}

}  // namespace

int main() {
  bench::BenchEngine engine;
  EngineContext* ctx = engine.ctx();
  if (!ctx) return 1;
  SetContextFlag(ctx, 1);  // line markers, as the application compiles
  if (RegisterLibrary(ctx, kDebugger, true) || ResetEngine(ctx)) return 1;
  std::string functions =
      "function s = work(n)\n"
      "  s = 0;\n"
      "  for k = 1:n\n"
      "    s = s + k .* 0.5 - 1;\n"
      "  end\n"
      "endfunction\n";
  for (int i = 0; i < kOtherFunctions; i++)
    functions += "function y = other" + std::to_string(i) + "(x)\n  y = x;\nendfunction\n";
  if (bench::RunCommandText(ctx, functions)) return 2;
  // The three settings take turns, so that a machine whose load changes
  // meanwhile weighs on each alike; the best run of each counts.
  std::string stops;
  for (int i = 0; i < kOtherFunctions; i++) stops += "dbstop other" + std::to_string(i) + " 2\n";
  double plain = 1e30, breakpoints = 1e30, echoOff = 1e30;
  for (int r = 0; r < kRuns; r++) {
    plain = std::min(plain, RunNanoseconds(ctx));
    Command(ctx, stops);
    breakpoints = std::min(breakpoints, RunNanoseconds(ctx));
    Command(ctx, "dbclear\necho off\n");
    echoOff = std::min(echoOff, RunNanoseconds(ctx));
  }
  std::printf("%-28s %10s %8s\n", "scalar loop", "ns/iter", "ratio");
  std::printf("%-28s %10.2f %8.3f\n", "no breakpoint", plain, 1.0);
  std::printf("%-28s %10.2f %8.3f\n", "10 breakpoints elsewhere", breakpoints, breakpoints / plain);
  std::printf("%-28s %10.2f %8.3f\n", "echo off", echoOff, echoOff / plain);
  return 0;
}
