// A store that fails leaves its variable as it was: one that did not exist
// stays unset, one that existed keeps its value, whatever steps the store
// took on the way (fields and items added, [] made a structure), whether
// the error is caught there, further out, in a called function or not at
// all; stores that finish keep nothing behind in the heap.
#include <gtest/gtest.h>

#include <string>

#include "compiler/compile.hpp"
#include "engine/frames/frames.hpp"
#include "engine/heap_fast.hpp"
#include "engine/loop/loop.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::RunForOutput;
using test::TestHost;

uint64_t UsedUnits(EngineContext* ctx) {
  uint64_t u = 0, used = 0;
  while (u < ctx->heapSize) {
    const uint32_t h = HeapHeaderAt(ctx->HeapBytes(), static_cast<uint32_t>(u));
    used += (h & kBlockInUse) ? (h & kBlockSizeMask) + 1 : 0;
    u += (h & kBlockSizeMask) + 1;
  }
  return used;
}

TEST(FailedStores, LeaveANewVariableUnset) {
  TestHost host;
  // Every store form, each failing on a bad subscript or a failing call.
  EXPECT_EQ(RunForOutput(host,
                         "function r = bad()\n  error('bad');\nendfunction\n"
                         "try, w(0.5) = 1; catch, end\n"
                         "try, a.f(0.5) = 1; catch, end\n"
                         "try, b{0.5} = 1; catch, end\n"
                         "try, c{2}.g{3}(1.5) = 1; catch, end\n"
                         "try, d(end + 0.5) = 1; catch, end\n"
                         "try, e(0.5) = []; catch, end\n"
                         "try, f(bad()) = 1; catch, end\n"
                         "try, g.h = bad(); catch, end\n"
                         "disp(double([exist('w') exist('a') exist('b') exist('c') exist('d') "
                         "exist('e') exist('f') exist('g')]))\n"
                         "w(2) = 2; disp(w)\n"),
            "         0         0         0         0         0         0         0         0\n"
            "         0         2\n");
  // Uncaught, at the top: the next line finds no variable.
  EXPECT_NE(RunCommandLine(host.ctx(), "q(0.5) = 1;\n"), kOk);
  EXPECT_EQ(RunForOutput(host, "disp(exist('q')), q(2) = 3; disp(q)\n"),
            "false\n         0         3\n");
}

TEST(FailedStores, LeaveAnExistingVariableAsItWas) {
  TestHost host;
  EXPECT_EQ(RunForOutput(host,
                         "s.a = 1; x = []; c = {1}; t.k = 1; t(2).k = 2; v = [1 2 3];\n"
                         "try, s.b(0.5) = 1; catch, end\n"
                         "try, x.a(0.5) = 1; catch, end\n"
                         "try, c{4}.f(0.5) = 1; catch, end\n"
                         "try, t(5).m(0.5) = 1; catch, end\n"
                         "try, v(0.5) = 1; catch, end\n"
                         "try, v([1 2]) = [1 2 3]; catch, end\n"
                         "disp(fieldnames(s)), disp(class(x)), disp(size(c)), disp(size(t))\n"
                         "disp(fieldnames(t)), disp(v)\n"),
            " {'a'}\ndouble\n         1         1\n         1         2\n {'k'}\n"
            "         1         2         3\n");
  // A store that finishes after such steps keeps them.
  EXPECT_EQ(RunForOutput(host,
                         "s.b(2) = 5; c{3}.f = 1; x = []; x.a = 2;\n"
                         "disp(s.b), disp(size(c)), disp(x.a)\n"),
            "         0         5\n         1         3\n         2\n");
}

TEST(FailedStores, UndoOnlyTheStoresTheErrorAbandons) {
  TestHost host;
  // An error caught inside a function called for a subscript leaves the
  // caller's store to finish; one caught in the caller undoes it.
  EXPECT_EQ(
      RunForOutput(host,
                   "function r = quiet()\n  try, error('x'); catch, end\n  r = 2;\nendfunction\n"
                   "function r = loud()\n  s.z = 1;\n  s.y(0.5) = 1;\n  r = 1;\nendfunction\n"
                   "w(quiet()) = 5; disp(w)\n"
                   "try, u.p(loud()) = 1; catch, end\n"
                   "disp(exist('u'))\n"),
      "         0         5\nfalse\n");
}

TEST(FailedStores, KeepNothingInTheHeap) {
  TestHost host;
  // Stores that change the value on the way, finished, undone or refused;
  // the first round leaves what any round leaves (the last error's text).
  const std::string round =
      "for k = 1:n\n"
      "  s.b(k) = k; s = rmfield(s, 'b');\n"
      "  try, s.c(0.5) = 1; catch, end\n"
      "  try, m.m(0.5) = 1; catch, end\n"
      "  c{3} = 1; c = {};\n"
      "  try, c{2}{0.5} = 1; catch, end\n"
      "  x.f = 1; x = [];\n"
      "end\n";
  ASSERT_EQ(RunCommandLine(host.ctx(), "s.a = 1; c = {}; x = []; n = 1;\n" + round), kOk);
  const uint64_t before = UsedUnits(host.ctx());
  ASSERT_EQ(RunCommandLine(host.ctx(), "n = 50;\n" + round), kOk);
  EXPECT_EQ(UsedUnits(host.ctx()), before);
}

// A halt is taken by no try: one that comes inside a try of a function
// called for a store's subscript abandons the caller's store as well.
TEST(FailedStores, AHaltInsideATryOfASubscriptsCallUndoesTheStore) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(RunCommandLine(ctx,
                           "function r = g()\n  try\n    while true, end\n  catch\n    r = 0;\n"
                           "  end\n  r = 2;\nendfunction\n"),
            kOk);
  // The break comes while g loops.
  host.ScriptBreaks({false, false, false, false, true});
  const std::string text = "s.a = 1; s.b(g()) = 5;\n";
  ASSERT_EQ(CompileCommandLine(ctx, text.data(), static_cast<int32_t>(text.size())), kOk);
  ASSERT_EQ(ExecuteBreakChecked(ctx), kStatusHalted);
  EXPECT_NE(host.Output(2).find("halted (_cli/g"), std::string::npos) << host.Output(2);
  // The next line runs in the base workspace, as the runner leaves it.
  ASSERT_EQ(UnwindCallFrames(ctx, -1), kOk);
  ctx->cpKind = kCodeNone;
  EXPECT_EQ(RunForOutput(host, "disp(fieldnames(s))\n"), " {'a'}\n");
}

}  // namespace
}  // namespace vke
