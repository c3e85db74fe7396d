// The sandbox natives' security errors, which no try of the sandboxed text
// catches, against the same texts run outside; and the trusted mark that
// sandboxtrust leaves in the function's compiled header.
#include <gtest/gtest.h>

#include <cstring>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/function_block.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
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

// A text native that lacks room fails before it changes its argument: the
// loop runs it again on the same text once the area has grown.
TEST(TextNatives, LackOfRoomLeavesTheTextAsGiven) {
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  const char kText[] = "[1 2], 'two'";
  for (NativeFn native : {&SandboxNative, &Str2objNative}) {
    ASSERT_EQ(PushCString(ctx, -1, kText), kOk);
    const uint32_t cap = ctx->dataCap;
    ctx->dataCap = ctx->dataTop;
    const ErrCode e = native(ctx, 1, 1, 0);
    ctx->dataCap = cap;
    EXPECT_TRUE(IsEngineMemoryCode(e)) << e;
    char text[32];
    int32_t length;
    ASSERT_EQ(GetStringArgToBuffer(ctx, 0, text, sizeof text, &length), kOk);
    EXPECT_EQ(std::string(text, length), kText);
    Drop(ctx);
  }
}

}  // namespace
}  // namespace vke
