// The sandbox natives' security errors, which no try of the sandboxed text
// catches, against the same texts run outside; and the trusted mark that
// sandboxtrust leaves in the function's compiled header.
#include <gtest/gtest.h>

#include <cstring>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/frames/function_block.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

TEST(SandboxNative, GlobalsAndAtLibraryNativesAreRefusedInsideOnly) {
  test::TestHost host;
  EXPECT_EQ(test::RunCommandLine(host.ctx(), "sandbox('global g')"), kErrSecViolationGlobal);
  EXPECT_EQ(test::RunCommandLine(host.ctx(), "global g"), kOk);
  EXPECT_EQ(test::RunCommandLine(host.ctx(), "sandbox('try, path(); catch, end')"),
            kErrSecViolation);
  EXPECT_EQ(test::RunCommandLine(host.ctx(), "path();"), kOk);
  host.ClearOutput();
  EXPECT_EQ(test::RunCommandLine(host.ctx(), "x = sandbox('sqrt(16)'); disp(x)"), kOk);
  EXPECT_EQ(host.Output(1), "         4\n");
}

TEST(SandboxTrustNative, MarksTheCompiledFunction) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(test::RunCommandLine(ctx,
                                 "function r = helper()\n r = 1;\nendfunction\n"
                                 "function r = other()\n r = 2;\nendfunction\n"
                                 "other(); sandboxtrust(@helper);"),
            kOk);
  int32_t cli;
  ASSERT_EQ(CommandLineLibrary(ctx, &cli), kOk);
  auto flags = [&](const char* name) {
    const int32_t f =
        FindFunctionQualified(ctx, name, static_cast<int32_t>(std::strlen(name)), cli);
    const FunctionTableEntry* e = GetFunctionEntry(ctx, f);
    return e && e->code > 0 ? Load<uint16_t>(ctx->CodeBytes() + 2ull * e->code) : uint16_t{0xFFFF};
  };
  EXPECT_TRUE(flags("helper") & kFnTrusted);
  EXPECT_FALSE(flags("other") & kFnTrusted);
  EXPECT_EQ(test::RunCommandLine(ctx, "sandboxtrust('nosuchfunction')"), kErrUndefFun);
}

}  // namespace
}  // namespace vke
