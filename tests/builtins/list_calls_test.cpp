// apply, map and cellfun: their argument checks, the calls they hand to the
// execution loop and the results they gather from them.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using namespace test;

class ListCalls : public ::testing::Test {
 protected:
  // Calls a native on the top nargin entries; the error code, or the
  // outputs as text (first first).
  std::string Native(NativeFn fn, uintptr_t option, int32_t nargin, int32_t nargout) {
    const int32_t below = EntryCount(ctx) - nargin;
    ErrCode e = fn(ctx, nargin, nargout, option);
    if (e) {
      Drop(ctx, EntryCount(ctx) - below);
      return "error " + std::to_string(e);
    }
    std::string text;
    for (int32_t i = 0; EntryCount(ctx) > below; i++) {
      text += (i ? " | " : "") + DumpTop(ctx);
      Drop(ctx);
    }
    return text;
  }
  // Source text evaluated, its value as text.
  std::string Eval(const std::string& text) { return EvaluateToText(ctx, text); }

  TestHost host;
  EngineContext* ctx = host.ctx();
};

TEST_F(ListCalls, ArgumentsAreCheckedBeforeAnyCall) {
  PushRealScalar(ctx, 1);
  MakeList(ctx, 0);
  EXPECT_EQ(Native(ApplyNative, 0, 2, 1), "error 44");  // no function value
  PushText(ctx, "f");
  PushRealScalar(ctx, 3);
  EXPECT_EQ(Native(ApplyNative, 0, 2, 1), "error 44");  // no list
  for (double n : {70000.0, -1.0}) {
    PushText(ctx, "f");
    MakeList(ctx, 0);
    PushRealScalar(ctx, n);
    EXPECT_EQ(Native(ApplyNative, 0, 3, 1), "error 103");
  }
  PushText(ctx, "f");
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  MakeList(ctx, 2);
  PushRealScalar(ctx, 1);
  PushRealScalar(ctx, 2);
  PushRealScalar(ctx, 3);
  MakeList(ctx, 3);
  EXPECT_EQ(Native(MapNative, 'm', 3, 1), "error 20");
  PushText(ctx, "f");
  PushRow(ctx, "double", {1, 2});
  EXPECT_EQ(Native(MapNative, 'c', 2, 1), "error 44");
}

TEST_F(ListCalls, NothingToCallGivesEmptyResults) {
  PushText(ctx, "f");
  MakeList(ctx, 0);
  EXPECT_EQ(Native(MapNative, 'm', 2, 2), "{} | {}");
  PushText(ctx, "f");
  MakeList(ctx, 0);
  PushRealScalar(ctx, 7);
  MakeList(ctx, 1);  // a single item goes to every call
  EXPECT_EQ(Native(MapNative, 'c', 3, 1), "[]");
  EXPECT_EQ(EntryCount(ctx), 0);
}

// The calls run in the execution loop (user functions: the list_calls
// script).
TEST_F(ListCalls, UserAndAnonymousFunctionsOncePerElement) {
  EXPECT_EQ(Eval("map(@(x) x + x, {1, 'a', [3 4]})"), "{2, ...\n194uint16, ...\n[6,8]}");
  EXPECT_EQ(Eval("cellfun(@(x, y) x + y, {1, 2; 3, 4}, {10})"), "[11,12\n13,14]");
  EXPECT_EQ(Eval("cellfun(@(x) int8(x), {1, 300})"), "int8([1,44])");
  EXPECT_EQ(Eval("cellfun(@(x) [x x], {1, 2})"), "error 21");
  // apply gives its function's outputs as one list.
  EXPECT_EQ(Eval("apply(@max, {[1 5 2]})"), "{5, ...\n2}");  // max declares two outputs
  EXPECT_EQ(Eval("apply(@(a, b) a - b, {10, 3})"), "{7}");
  EXPECT_EQ(Eval("apply('size', {zeros(2, 3)}, 2)"), "{2, ...\n3}");
}

}  // namespace
}  // namespace vke
