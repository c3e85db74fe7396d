// Natives that misbehave as extensions may: calls nested on the C stack
// without end, through builtin() or a native calling itself by name, fail
// with the stack-overflow error that try catches; and a native that drops
// more entries than it was given is refused, leaving its caller's loop as
// it was.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

ErrCode CallsItself(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  return CallFunctionByName(ctx, "selfcall", 8, 0, 0, 0);
}

ErrCode DropsTooMany(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = DropStackEntries(ctx, 0, nargin + 3)) return e;
  return PushRealScalar(ctx, 1);
}

ErrCode DropsItsOwn(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  if (ErrCode e = DropStackEntries(ctx, 0, nargin)) return e;
  return PushRealScalar(ctx, nargin);
}

const NativeFunctionRecord kMisbehaving[] = {
    MakeRecord("@misbehaving"),
    MakeRecord("selfcall", &CallsItself, 0, 0, 0, 1),
    MakeRecord("dropper", &DropsTooMany, 0, 4, 0, 1),
    MakeRecord("dropown", &DropsItsOwn, 0, 4, 0, 1),
    MakeRecord(""),
};

class MisbehavingNatives : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegisterLibrary(ctx, kMisbehaving, true), kOk);
    ASSERT_EQ(ResetEngine(ctx), kOk);
  }
  std::string Run(const std::string& text) {
    host.ClearOutput();
    const ErrCode e = test::RunCommandLine(ctx, text + "\n");
    return e ? "error " + std::to_string(e) : host.Output(1);
  }
  test::TestHost host{test::TestHostOptions{16u << 20}};
  EngineContext* ctx = host.ctx();
};

TEST_F(MisbehavingNatives, EndlessNestingFailsWithStackOverflow) {
  // Builtins calling builtins, deeper than natives may nest.
  const std::string nested = "c = [repmat({'builtin'}, 1, 1500), {'disp', 7}]; ";
  EXPECT_EQ(Run(nested + "try, builtin(c{:}); catch, disp(lasterr), end, disp(2)"),
            "Stack overflow\n         2\n");
  EXPECT_NE(Run(nested + "builtin(c{:});").rfind("error ", 0), std::string::npos);
  EXPECT_NE(host.Output(2).find("Stack overflow"), std::string::npos) << host.Output(2);
  // A native that calls itself through the engine interface.
  EXPECT_EQ(Run("try, selfcall(); catch, disp(lasterr), end, disp(3)"),
            "Stack overflow 'selfcall'\n         3\n");
  // Nesting within bounds still runs.
  EXPECT_EQ(Run("c = [repmat({'builtin'}, 1, 200), {'disp', 7}]; builtin(c{:});"), "         7\n");
}

TEST_F(MisbehavingNatives, DroppingBelowItsInputsIsRefused) {
  EXPECT_EQ(Run("n = 0; s = 0; for k = 1:3, try, x = dropper(k, 2); catch, n = n + 1; end, "
                "s = s + k; end, disp([n s])"),
            "         3         6\n");
  EXPECT_EQ(Run("m = [1 2; 3 4]; n = 0; for k = m, try, dropper(k); catch, n = n + 1; end, end, "
                "disp(n)"),
            "         2\n");
  // Its own entries it may drop.
  EXPECT_EQ(Run("for k = 1:2, x(k) = dropown(k, 5, 6); end, disp(x)"), "         3         3\n");
}

}  // namespace
}  // namespace vke
