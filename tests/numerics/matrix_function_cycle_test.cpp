// funm through the call-and-resume cycle: one call of f per diagonal
// element of the Schur form, in order, with real scalars where the element
// is real; the same through feval and a handle; errors of f passed through
// without state left behind; f calling funm itself. And the cycle of the
// list natives at depth: cellfun over many cells, apply through feval.
#include <gtest/gtest.h>

#include "engine/code/names.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/call_log.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::CallLog;
using test::LinalgFixture;

class MatrixFunctionCycle : public LinalgFixture {
 protected:
  CallLog log{ctx};
};

TEST_F(MatrixFunctionCycle, FunmMatchesExpmThroughEveryCallForm) {
  Run("A = rand(5); E = expm(A); F1 = funm(A, @exp); F2 = feval('funm', A, @exp);"
      "h = @funm; F3 = h(A, @exp); F4 = funm(A, 'exp');");
  for (const char* f : {"F1", "F2", "F3", "F4"}) {
    EXPECT_EQ(Show(std::string("maxabs(") + f + " - E) <= 1e-12 * maxabs(E)"), "true") << f;
  }
  EXPECT_EQ(Show("stored_real(F1)"), "true");
}

TEST_F(MatrixFunctionCycle, OneCallPerDiagonalElementInOrder) {
  // A triangular real matrix is its own Schur form: real arguments 1, 4, 6.
  Run("F = funm([1 2 3; 0 4 5; 0 0 6], @calllog);");
  ASSERT_EQ(log.calls().size(), 3u);
  const double expected[] = {1, 4, 6};
  for (size_t i = 0; i < 3; i++) {
    const ArrayValue& x = log.calls()[i].at(0);
    EXPECT_EQ(x.re, std::vector<double>{expected[i]});
    EXPECT_TRUE(x.im.empty()) << i;
  }
  EXPECT_EQ(Show("maxabs(F - expm([1 2 3; 0 4 5; 0 0 6])) <= 1e-12 * maxabs(F)"), "true");

  // A complex matrix: the diagonal of its Schur form, first to last.
  Run("C = [1 2i 0; 1 0 1; 0 1i 2]; [U, T] = schur(C); t = diag(T); G = funm(C, @calllog);");
  ASSERT_EQ(log.calls().size(), 6u);
  ASSERT_EQ(test::EvaluateText(ctx, "t"), kOk);
  const ArrayValue t = test::ReadArray(ctx);
  Drop(ctx);
  ASSERT_EQ(t.im.size(), 3u);
  for (size_t i = 0; i < 3; i++) {
    const ArrayValue& x = log.calls()[3 + i].at(0);
    EXPECT_EQ(x.re, std::vector<double>{t.re[i]}) << i;
    EXPECT_EQ(x.im, std::vector<double>{t.im[i]}) << i;
  }
}

TEST_F(MatrixFunctionCycle, ErrorsOfFPassThroughAndLeaveNothingBehind) {
  Run("A = [1 2; 3 4];");
  log.SetAnswer([](EngineContext*, const std::vector<ArrayValue>&) { return kErrBadArg; });
  EXPECT_EQ(Show("funm(A, @calllog)"), "error 107");
  EXPECT_EQ(log.calls().size(), 1u);
  log.SetAnswer(
      [](EngineContext* c, const std::vector<ArrayValue>&) { return PushCString(c, 1, "x"); });
  EXPECT_EQ(Show("funm(A, @calllog)"), "error 43");
  EXPECT_EQ(Show("funm(A, @(x) [x x])"), "error 22");
  EXPECT_EQ(Show("funm(A, 'nosuchfunction')"), "error 121");
  // Caught failures leave the stacks where they were.
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  Run("n = 0; for k = 1:50, try, funm(A, @(x) [x x]); catch, n = n + 1; end, end");
  EXPECT_EQ(Show("n"), "50");
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(ctx->dataTop, dataTop);
  log.SetAnswer(CallLog::ExpOfLast);
  EXPECT_EQ(Show("maxabs(funm(A, @calllog) - expm(A)) <= 1e-12 * maxabs(expm(A))"), "true");

  EXPECT_EQ(Show("funm('ab', @exp)"), "error 43");
  EXPECT_EQ(Show("funm({1}, @exp)"), "error 43");
  EXPECT_EQ(Show("funm(ones(2, 3), @exp)"), "error 26");
  Run("[F, e] = funm([], @exp);");
  EXPECT_EQ(Show("isempty(F) && e == 0"), "true");
}

TEST_F(MatrixFunctionCycle, ObjectArgumentsAreLeftToTheirClass) {
  // An object of class myclass with one field, as either argument.
  int32_t id = 0;
  ASSERT_EQ(InternName(ctx, "myclass", 7, 32, &id), kOk);
  for (int32_t objectDepth : {0, 1}) {
    const uint32_t level = ctx->descTop;
    for (int32_t depth = 1; depth >= 0; depth--) {
      if (depth == objectDepth) {
        PushRealScalar(ctx, 1);
        ASSERT_EQ(PushListFromEntries(ctx, 1, false, "f", 1), kOk);
        DescAt(ctx, 0)->word = -id;
      } else {
        PushRealScalar(ctx, 2);
      }
    }
    EXPECT_EQ(MatrixFunctionNative(ctx, 2, 1, 'f'), kErrWrongTypeOverload) << objectDepth;
    EXPECT_EQ(ctx->descTop, level + 6);
    Drop(ctx, 2);
  }
  EXPECT_TRUE(log.calls().empty());
}

TEST_F(MatrixFunctionCycle, FCanCallFunmItself) {
  Run("function y = inner(t)\n  E = funm(t * eye(2), @exp);\n  y = E(1, 1);\nendfunction");
  Run("A = [1 2; 0.5 -1]; F = funm(A, @inner);");
  EXPECT_EQ(Show("maxabs(F - expm(A)) <= 1e-12 * maxabs(expm(A))"), "true");
}

// Immediate results of a builtin come back to the list natives from the
// execution loop, so the C++ stack does not grow with the number of calls.
TEST(ListNativesCycle, CallBackWithoutNesting) {
  test::TestHost host(test::TestHostOptions{.areaBytes = 64u << 20});
  EngineContext* ctx = host.ctx();
  ASSERT_EQ(test::RunCommandLine(ctx,
                                 "c = num2cell(1:100000); r = cellfun(@sin, c);\n"
                                 "disp(numel(r) == 100000 && r(100000) == sin(100000))\n"
                                 "disp(same(feval('apply', @sin, {2}), {sin(2)}))\n"
                                 "h = @apply; disp(same(h(@sin, {2}), {sin(2)}))\n"),
            kOk)
      << host.Output(2);
  EXPECT_EQ(host.Output(1), "true\ntrue\ntrue\n");
}

}  // namespace
}  // namespace vke
