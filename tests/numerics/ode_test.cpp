// ode45 and ode23 without events: accuracy, rows per step, the points fun
// is called at, the options and their limits, complex states, the output
// function, statistics, codes of bad input, the first step within tf, and
// the call-and-resume cycle (call forms, nesting, errors, long runs).
#include <gtest/gtest.h>

#include "engine/values/values.hpp"
#include "tests/host/call_log.hpp"
#include "tests/host/command_line.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::CallLog;

class OdeSolvers : public test::LinalgFixture {
 protected:
  // Room for runs of tens of thousands of rows.
  OdeSolvers() : LinalgFixture(test::TestHostOptions{.areaBytes = 16u << 20}) {}

  // The log answers -y (its last argument), real or complex.
  void AnswerMinusY() {
    log.SetAnswer([](EngineContext* c, const std::vector<ArrayValue>& args) -> ErrCode {
      const ArrayValue& y = args.back();
      double *re, *im = nullptr;
      const auto n = static_cast<int32_t>(y.re.size());
      if (ErrCode e = PushNewMatrix(c, n, 1, &re, y.im.empty() ? nullptr : &im)) return e;
      for (int32_t i = 0; i < n; i++) {
        re[i] = -y.re[i];
        if (im) im[i] = -y.im[i];
      }
      return kOk;
    });
  }

  CallLog log{ctx};
};

TEST_F(OdeSolvers, AccuracyAndRowsPerStep) {
  Run("[t, y] = ode45(@(t, y) -y, [0 1], 1);");
  EXPECT_EQ(Show("t(1) == 0 && abs(t(end) - 1) <= 1e-12 && abs(y(end) - exp(-1)) <= 1e-4"), "true");
  EXPECT_EQ(Show("max(abs(y - exp(-t))) <= 1e-4 && mod(numel(t) - 1, 4) == 0"), "true");
  EXPECT_EQ(Show("all(diff(t) > 0) && same(size(y), size(t))"), "true");
  Run("[t23, y23] = ode23(@(t, y) -y, [0 1], 1);");
  EXPECT_EQ(Show("abs(y23(end) - exp(-1)) <= 1e-3 && abs(t23(end) - 1) <= 1e-12"), "true");
  Run("[to, yo] = ode45(@(t, y) [y(2); -y(1)], [0 2*pi], [0; 1]);");
  EXPECT_EQ(Show("max(abs(yo(end, :) - [0 1])) <= 1e-3 && size(yo, 2) == 2"), "true");
  // Refine changes the rows, not the steps: 0 gives one row per step,
  // 50000 gives 32000.
  Run("t1 = ode45(@(t, y) -y, [0 1], 1, odeset('Refine', 0));");
  EXPECT_EQ(Show("numel(t1) == (numel(t) - 1) / 4 + 1 && same(t1, t(1:4:end))"), "true");
  Run("t2 = ode45(@(t, y) 0, [0 1], 0, odeset('Refine', 5e4, 'InitialStep', 1, 'MaxStep', 1));");
  EXPECT_EQ(Show("numel(t2)"), "32001");
}

TEST_F(OdeSolvers, StagesAreAskedAtTheirNodes) {
  AnswerMinusY();
  Run("[t, y] = ode45(@calllog, [0 1], 1);");
  // f(t0, y0), then stage 2 at t0 + h/5 with h = (tf - t0) 1e-5.
  ASSERT_GE(log.calls().size(), 7u);
  EXPECT_EQ(log.calls()[0][0].re, std::vector<double>{0});
  EXPECT_EQ(log.calls()[0][1].re, std::vector<double>{1});
  EXPECT_EQ(log.calls()[1][0].re, std::vector<double>{1e-5 / 5});
  EXPECT_EQ(log.calls()[1][1].re, std::vector<double>{1 - 1e-5 / 5});
  // Six calls a step and the first: no step was refused here.
  EXPECT_EQ((log.calls().size() - 1) % 6, 0u);
  EXPECT_EQ(Show("numel(t)"), std::to_string((log.calls().size() - 1) / 6 * 4 + 1));
  const size_t before = log.calls().size();
  Run("[t, y] = ode23(@calllog, [0 2], 1);");
  EXPECT_EQ(log.calls()[before + 1][0].re, std::vector<double>{2e-5 / 2});
  EXPECT_EQ((log.calls().size() - before - 1) % 3, 0u);
  EXPECT_EQ(Show("numel(t)"), std::to_string((log.calls().size() - before - 1) / 3 + 1));
}

TEST_F(OdeSolvers, OptionsAndTheirLimits) {
  // RelTol 0 is taken as eps.
  Run("[ta, ya] = ode45(@(t, y) -y, [0 1], 1, odeset('RelTol', 0, 'AbsTol', 0));"
      "[tb, yb] = ode45(@(t, y) -y, [0 1], 1, odeset('RelTol', eps, 'AbsTol', eps));");
  EXPECT_EQ(Show("same(ta, tb) && same(ya, yb) && numel(ta) > 500"), "true");
  // MaxStep below MinStep is raised to it: steps of 1e-3.
  Run("t = ode45(@(t, y) 1, [0 1], 0, odeset('MaxStep', 1e-9, 'MinStep', 1e-3, 'Refine', 1));");
  EXPECT_EQ(Show("numel(t) == 1001 && abs(t(end) - 1) <= 1e-12"), "true");
  // A step driven below MinStep ends the run before tf, without an error.
  Run("[t, y] = ode45(@(t, y) y^2, [0 2], 1);");
  EXPECT_EQ(Show("t(end) < 1 && t(end) > 0.99 && y(end) > 100"), "true");
  EXPECT_EQ(Show("ode45(@(t, y) -y, [0 1], 1, odeset('RelTol', [1 2]))"), "error 21");
  // Extra arguments go after y, the PreArg elements before it.
  Run("[t, y] = ode45(@(t, y, a) -a * y, [0 1], 1, [], 2);");
  EXPECT_EQ(Show("abs(y(end) - exp(-2)) <= 1e-6"), "true");
  Run("[t, y] = ode45(@(t, p, q, y, a) -p * q * a * y, [0 1], 1, odeset('PreArg', {2, 3}), 0.5);");
  EXPECT_EQ(Show("abs(y(end) - exp(-3)) <= 1e-6"), "true");
}

TEST_F(OdeSolvers, ComplexStatesOutputFunctionAndStatistics) {
  Run("[t, y] = ode45(@(t, y) 1i * y, [0 1], 1);");
  EXPECT_EQ(Show("abs(y(end) - exp(1i)) <= 1e-4"), "true");
  EXPECT_EQ(Show("stored_real(y)"), "false");
  // A real start whose derivative turns complex: complex from then on.
  Run("[t, y] = ode45(@(t, y) 1i * (t > 0.5), [0 1], 0);");
  EXPECT_EQ(Show("stored_real(y) || imag(y(1)) ~= 0 || abs(imag(y(end)) - 0.5) > 1e-3"), "false");

  // The output function: the step's times as a row and its states as
  // columns; true ends the run after that step.
  log.SetAnswer([](EngineContext* c, const std::vector<ArrayValue>& args) {
    return PushLogicalScalar(c, args.at(0).re.back() > 0.5);
  });
  Run("[t, y] = ode45(@(t, y) [y(2); -y(1)], [0 1], [0; 1], odeset('OutputFcn', @calllog));");
  ASSERT_FALSE(log.calls().empty());
  for (const auto& call : log.calls()) {
    ASSERT_EQ(call.size(), 2u);
    EXPECT_EQ(call[0].dims, (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(call[1].dims, (std::vector<int32_t>{2, 4}));
  }
  EXPECT_EQ(Show("t(end) > 0.5 && t(end) < 1"), "true");
  ASSERT_EQ(test::EvaluateText(ctx, "t(end)"), kOk);
  EXPECT_EQ(test::TopScalar(ctx), log.calls().back()[0].re.back());
  Drop(ctx);

  host.ClearOutput();
  Run("[t, y] = ode45(@(t, y) -y, [0 1], 1, odeset('Stats', true));");
  EXPECT_EQ(host.Output(2),
            "Number of function evaluations: 169\nSuccessful steps: 28\n"
            "Failed steps (error too large): 0\n");
}

TEST_F(OdeSolvers, BadInputAndTheStartPoint) {
  EXPECT_EQ(Show("ode45(@(t, y) -y, [0 1 2], 1)"), "error 21");
  EXPECT_EQ(Show("ode45(@(t, y) -y, [0 Inf], 1)"), "error 107");
  EXPECT_EQ(Show("ode45(@(t, y) -y, [0 1], [1 2])"), "error 23");
  EXPECT_EQ(Show("ode45(@(t, y) [1; 2], [0 1], 1)"), "error 21");
  EXPECT_EQ(Show("ode45(@(t, y) [y y], [0 1], 1)"), "error 21");
  EXPECT_EQ(Show("ode23(@(t, y) 'a', [0 1], 1)"), "error 43");
  EXPECT_EQ(Show("ode45(5, [0 1], 1)"), "error 44");
  EXPECT_EQ(Show("ode45(@(t, y) -y, [0 1], 1, odeset('PreArg', 5))"), "error 43");

  // tf <= t0: no step, fun never called; the start point for every count.
  Run("[t, y, te, ye, ie] = ode45(@calllog, [1 0], [2; 3]);");
  EXPECT_TRUE(log.calls().empty());
  EXPECT_EQ(Show("t == 1 && same(y, [2 3]) && isempty(te) && isempty(ye) && isempty(ie)"), "true");
  Run("t = ode45(@calllog, [1 1], 2);");
  EXPECT_EQ(Show("t"), "1");
  Run("ode45(@calllog, [1 1], 2)");
  EXPECT_TRUE(log.calls().empty());
}

TEST_F(OdeSolvers, TheFirstStepEndsAtTf) {
  Run("[t, y] = ode45(@(t, y) 1, [0 1], 0, odeset('InitialStep', 2));");
  EXPECT_EQ(Show("max(t) == 1 && abs(y(end) - 1) <= 1e-12 && numel(t) == 5"), "true");
  // Below zero the step floor and the end test hold as above it.
  Run("[t, y] = ode45(@(t, y) -y, [-3 -2], 1);");
  EXPECT_EQ(Show("all(diff(t) > 0) && abs(t(end) + 2) <= 1e-12"), "true");
  Run("[t, y] = ode45(@(t, y) -y, [-1e3 -999], 1);");
  EXPECT_EQ(Show("all(diff(t) > 0) && abs(y(end) - exp(-1)) <= 1e-4"), "true");
}

TEST_F(OdeSolvers, TheCycleThroughEveryCallForm) {
  Run("[t1, y1] = ode45(@(t, y) -y, [0 1], 1); [t2, y2] = feval('ode45', @(t, y) -y, [0 1], 1);"
      "h = @ode23; [t3, y3] = h(@(t, y) -y, [0 1], 1); [t4, y4] = ode23(@(t, y) -y, [0 1], 1);");
  EXPECT_EQ(Show("same(t1, t2) && same(y1, y2) && same(t3, t4) && same(y3, y4)"), "true");
  // A builtin as fun, many steps: the C++ stack does not grow with them.
  Run("[t, y] = ode45(@plus, [0 1], 0, odeset('MaxStep', 1e-4));");
  EXPECT_EQ(Show("numel(t) > 40000 && abs(y(end) - (exp(1) - 2)) <= 1e-10"), "true");
  // fun running a solver itself.
  Run("function d = decay(t, y)\n  [s, z] = ode23(@(s, z) 1, [0 1], 0);\n  d = -z(end) * y;\n"
      "endfunction");
  Run("[t, y] = ode45(@decay, [0 1], 1);");
  EXPECT_EQ(Show("abs(y(end) - exp(-1)) <= 1e-4"), "true");

  // Errors inside fun pass through; caught, they leave the stacks as they
  // were.
  log.SetAnswer([](EngineContext*, const std::vector<ArrayValue>&) { return kErrBadArg; });
  EXPECT_EQ(Show("ode45(@calllog, [0 1], 1)"), "error 107");
  Run("n = 0; k = 0;");
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  Run("for k = 1:20\n"
      "  try, ode45(@(t, y) error('boom'), [0 1], [1; 2]); catch, n = n + 1; end\n"
      "  try, ode23(@(t, y) y(3), [0 1], [1; 2]); catch, n = n + 1; end\n"
      "  try, ode45(@(t, y) -y, [0 1], 1, odeset('OutputFcn', @(t, y) [])); catch, n = n + 1; end\n"
      "end");
  EXPECT_EQ(Show("n"), "60");
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(ctx->dataTop, dataTop);
}

}  // namespace
}  // namespace vke
