// The callback table of old-style functions, driven by the fixture's
// "oldcheck" (one behaviour per mode): outputs beyond those asked, the
// string output's states, list items, split text, failures with and
// without codes, scalars of every width, scratch memory and measuring.
// The library's functions are installed here directly, not through the
// loader, so that its slots are not used up.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "platform/shared_library.hpp"
#include "tests/extensions/extension_test_support.hpp"
#include "tests/host/numeric_arrays.hpp"

namespace vke {
namespace {

class CallbackTable : public ::testing::Test {
 protected:
  void SetUp() override {
    void* library = OpenSharedLibrary(test::FixtureLibrary("oldstyle").c_str());
    ASSERT_NE(library, nullptr);
    auto install =
        reinterpret_cast<VkeExtOldInstallFn>(FindSharedSymbol(library, VKE_EXT_OLD_INSTALL_FN));
    VkeExtCallbacks table;
    FillExtensionCallbackTable(ctx, &table);
    const VkeOldStyleRecord* records = nullptr;
    ASSERT_EQ(install(&table, &records), 3);
    check = records[1].function;
    natives = {MakeRecord("@oldcheck"),
               MakeRecord("oldcheck", &CallOldStyleExtensionFn, 1, 3, 0, 3,
                          reinterpret_cast<uintptr_t>(check)),
               MakeRecord("")};
    ASSERT_EQ(RegisterLibrary(ctx, natives.data(), true), kOk);
  }
  ErrCode Run(const std::string& text) {
    host.ClearOutput();
    return test::RunCommandLine(ctx, text + "\n");
  }
  std::string Show(const std::string& expression) {
    if (ErrCode e = Run("disp(" + expression + ")")) return "error " + std::to_string(e);
    const std::string out = host.Output(1);
    return out.substr(std::min(out.find_first_not_of(' '), out.size()));
  }

  test::TestHost host{test::TestHostOptions{.lineEnd = 2}};
  EngineContext* ctx = host.ctx();
  VkeOldStyleFn check = nullptr;
  std::vector<NativeFunctionRecord> natives;
};

TEST_F(CallbackTable, OutputsBeyondThoseAskedAreDroppedWithTheInputs) {
  EXPECT_EQ(Show("oldcheck(1)"), "1\r\n");
  // Called directly: one output left in place of the input.
  const int32_t entries = test::EntryCount(ctx);
  ASSERT_EQ(PushRealScalar(ctx, 1), kOk);
  ASSERT_EQ(CallExtensionFunction(ctx, check, 1, 1), kOk);
  EXPECT_EQ(test::EntryCount(ctx), entries + 1);
  EXPECT_EQ(test::TopScalar(ctx), 1);
  Drop(ctx);
  // Fewer outputs than asked.
  EXPECT_EQ(Run("[a, b, c] = oldcheck(4, 'x')"), kErrTooManyArgout);
}

TEST_F(CallbackTable, TheStringOutputIsASmallStateMachine) {
  ASSERT_EQ(Run("[s, refused] = oldcheck(2);"), kOk);
  EXPECT_EQ(Show("ischar(s) && same(s, 'ok') && refused"), "true\r\n");
  // Left open by a function that succeeds: closed as 16-bit characters.
  EXPECT_EQ(Show("oldcheck(6)"), "abc\r\n");
  EXPECT_EQ(Show("same(oldcheck(6), 'abc')"), "true\r\n");
  // Left open below another output: the call fails.
  EXPECT_EQ(Run("[s, t] = oldcheck(12);"), kErrIllegal);
}

TEST_F(CallbackTable, ListItemsAndStructureFields) {
  Run("l = num2list([5 6]);");
  EXPECT_EQ(Show("oldcheck(3, l, 0)"), "5\r\n");
  EXPECT_EQ(Show("oldcheck(3, l, 2)"), "6\r\n");
  EXPECT_EQ(Show("oldcheck(3, l, 3)"), "error 29");
  EXPECT_EQ(Show("oldcheck(3, [1 2], 1)"), "error 43");
  ASSERT_EQ(Run("[v, name] = oldcheck(11, struct('b', 2, 'a', 7));"), kOk);
  EXPECT_EQ(Show("same(v, 7 + 2i) && same(name, 'a')"), "true\r\n");
}

TEST_F(CallbackTable, ListsStructuresAndOptionStructuresAsOutputs) {
  ASSERT_EQ(Run("[l, s] = oldcheck(13);"), kOk);
  EXPECT_EQ(Show("islist(l) && numel(l) == 2 && l{1} == 1 && same(l{2}, 'a')"), "true\r\n");
  EXPECT_EQ(Show("same(size(s), [1 2]) && s(1).x == 1 && s(2).x == 2"), "true\r\n");
  // The value replaces the template's field; the pair stays below.
  ASSERT_EQ(Run("[name, value, o] = oldcheck(14, 'b');"), kOk);
  EXPECT_EQ(Show("same(name, 'b') && value == 5 && o.a == 0 && o.b == 5"), "true\r\n");
  EXPECT_EQ(Show("numel(fieldnames(o)) == 2"), "true\r\n");
  ASSERT_EQ(Run("[name, value, o] = oldcheck(14, 'a');"), kOk);
  EXPECT_EQ(Show("o.a == 5 && o.b == 0"), "true\r\n");
  EXPECT_EQ(Run("[name, value, o] = oldcheck(14, 'c');"), kErrUnknownOpt);
}

TEST_F(CallbackTable, TextSplitAtLineFeeds) {
  ASSERT_EQ(Run("oldcheck(4, ['a' char(10) 'b']);"), kOk);
  EXPECT_EQ(host.Output(1), "a\r\nb");
  ASSERT_EQ(Run("oldcheck(4, ['a' char(10)]);"), kOk);
  EXPECT_EQ(host.Output(1), "a\r\n");
  ASSERT_EQ(Run("oldcheck(4, '');"), kOk);
  EXPECT_EQ(host.Output(1), "");
}

TEST_F(CallbackTable, FailuresCarryTheirCodes) {
  EXPECT_EQ(Run("oldcheck(5)"), kErrUnknown);
  EXPECT_NE(Run("oldcheck(7)"), kOk);
  EXPECT_NE(host.Output(2).find("boom from the extension"), std::string::npos) << host.Output(2);
  ASSERT_EQ(Run("try, oldcheck(7); catch, e = lasterror; end"), kOk);
  EXPECT_EQ(Show("e.identifier"), "ext:boom\r\n");
  // An input number beyond nargin.
  EXPECT_EQ(Run("oldcheck(8)"), kErrTooFewArgin);
}

TEST_F(CallbackTable, ScalarsOfEveryWidth) {
  EXPECT_EQ(Show("oldcheck(8, uint32(3000000000)) == 3e9"), "true\r\n");
  EXPECT_EQ(Show("oldcheck(8, int64(-5000000000)) == -5e9"), "true\r\n");
  EXPECT_EQ(Show("oldcheck(8, single(0.5))"), "0.5\r\n");
  EXPECT_EQ(Run("oldcheck(8, [1 2])"), kErrNonScalarArg);
  EXPECT_EQ(Run("oldcheck(8, {1})"), kErrWrongTypeOverload);
}

TEST_F(CallbackTable, ScratchMemoryAndMeasuredArrays) {
  // Called directly on the same stack each time: [granted, code, left].
  auto scratch = [&](double n) {
    EXPECT_EQ(PushRealScalar(ctx, 9), kOk);
    EXPECT_EQ(PushRealScalar(ctx, n), kOk);
    EXPECT_EQ(CallExtensionFunction(ctx, check, 2, 3), kOk);
    const std::vector<double> result = {test::TopScalar(ctx, 0), test::TopScalar(ctx, 1),
                                        test::TopScalar(ctx, 2)};
    Drop(ctx, 3);
    return result;
  };
  const double left = scratch(0).at(2);
  EXPECT_GT(left, 1000);
  EXPECT_EQ(scratch(left), (std::vector<double>{1, 0, 0}));
  EXPECT_EQ(scratch(left + 1), (std::vector<double>{0, 3, left}));
  // Columns of three doubles that fit, and nothing pushed to find out.
  ASSERT_EQ(Run("v = oldcheck(10);"), kOk);
  EXPECT_EQ(Show("imag(v) == 0 && v > 40 && v == floor(v)"), "true\r\n");
}

}  // namespace
}  // namespace vke
