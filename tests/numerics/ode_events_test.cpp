// The event integrator behind ode45 and ode23: located events, terminal
// ones, OnEvent's new state, directions, event times, the past handed to
// fun, the output function's 'init' and 'done', statistics, and its own
// error messages.
#include <gtest/gtest.h>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/call_log.hpp"
#include "tests/host/command_line.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::ArrayValue;
using test::CallLog;

class OdeEvents : public test::LinalgFixture {
 protected:
  void SetUp() override {
    LinalgFixture::SetUp();
    Run("function [v, terminal, direction] = ground(t, y)\n"
        "  v = y(1); terminal = 1; direction = -1;\nendfunction\n"
        "function [v, terminal, direction] = floor_touch(t, y)\n"
        "  v = y(1); terminal = 0; direction = -1;\nendfunction\n"
        "function y = bounce(t, y, ie)\n  y = [0; -0.8 * y(2)];\nendfunction\n"
        "function d = fall(t, y)\n  d = [y(2); -9.81];\nendfunction");
  }
  // The message of the error the statement raises.
  std::string Message(const std::string& statement) {
    Run("try, " + statement +
        "; message = ''; catch, e = lasterror;"
        " message = [e.identifier ' ' e.message]; end");
    return Show("message");
  }

  CallLog log{ctx};
};

TEST_F(OdeEvents, ATerminalEventEndsTheRunWhereItIsLocated) {
  Run("[t, y, te, ye, ie] = ode45(@fall, [0 5], [10; 0], odeset('Events', @ground));");
  EXPECT_EQ(Show("abs(te - sqrt(20 / 9.81)) <= 1e-6 && abs(ye(1)) <= 1e-6 && ie == 1"), "true");
  EXPECT_EQ(Show("t(end) == te && same(y(end, :), ye) && all(diff(t) > 0)"), "true");
  // The rows on the way follow the exact solution.
  EXPECT_EQ(Show("max(abs(y(:, 1) - (10 - 9.81 / 2 * t.^2))) <= 1e-9"), "true");
  Run("[t, y, te] = ode23(@fall, [0 5], [10; 0], odeset('Events', @ground));");
  EXPECT_EQ(Show("abs(te - sqrt(20 / 9.81)) <= 1e-6"), "true");
}

TEST_F(OdeEvents, OnEventRestartsFromTheStateItGives) {
  Run("[t, y, te, ye, ie] = ode45(@fall, [0 5], [10; 0],"
      " odeset('Events', @floor_touch, 'OnEvent', @bounce));");
  Run("t1 = sqrt(20 / 9.81); t2 = t1 + 2 * 0.8 * 9.81 * t1 / 9.81;");
  EXPECT_EQ(Show("numel(te) == 2 && max(abs(te - [t1; t2])) <= 1e-6 && same(ie, [1; 1])"), "true");
  EXPECT_EQ(Show("abs(t(end) - 5) <= 1e-12"), "true");
  // At each event the row of the state reached, then the new state's.
  Run("k = find(t == te(1));");
  EXPECT_EQ(Show("numel(k) == 2 && abs(y(k(2), 2) + 0.8 * y(k(1), 2)) <= 1e-12 && y(k(2), 1) == 0"),
            "true");
}

TEST_F(OdeEvents, DirectionsAndNonTerminalEvents) {
  // sin(t) crosses zero at pi (down) and 2 pi (up) within [0.1, 7].
  for (const char* direction : {"0", "1", "-1"}) {
    Run(std::string("[t, y, te, ye, ie] = ode45(@(t, y) cos(t), [0.1 7], sin(0.1),"
                    " odeset('Events', @(t, y) deal(y, 0, ") +
        direction + ")));");
    const std::string expected = std::string(direction) == "0"   ? "[pi; 2 * pi]"
                                 : std::string(direction) == "1" ? "2 * pi"
                                                                 : "pi";
    EXPECT_EQ(
        Show("numel(te) == numel(" + expected + ") && max(abs(te - " + expected + ")) <= 1e-5"),
        "true")
        << direction;
    // Non-terminal events without OnEvent leave the rows as they were.
    Run("[tp, yp] = ode45(@(t, y) cos(t), [0.1 7], sin(0.1));");
    EXPECT_EQ(Show("same(t, tp) && same(y, yp)"), "true") << direction;
  }
  // Two components: indices in order of time.
  Run("[t, y, te, ye, ie] = ode45(@(t, y) 1, [0 3], 0,"
      " odeset('Events', @(t, y) deal([y - 2; y - 1], [0; 0], [1; 1])));");
  EXPECT_EQ(Show("same(ie, [2; 1]) && max(abs(te - [1; 2])) <= 1e-9"), "true");
}

TEST_F(OdeEvents, EventTimesAreMetExactly) {
  Run("[t, y, te, ye, ie] = ode45(@(t, y) -y, [0 2], 1,"
      " odeset('EventTime', @(t, y) [1.5; 0.5; 2.5]));");
  EXPECT_EQ(Show("same(te, [0.5; 1.5]) && same(ie, [2; 1]) && max(abs(ye - exp(-te))) <= 1e-6"),
            "true");
  EXPECT_EQ(Show("any(t == 0.5) && any(t == 1.5) && abs(t(end) - 2) <= 1e-12"), "true");
  // With Events, a time's index follows the components.
  Run("[t, y, te, ye, ie] = ode45(@(t, y) -y, [0 2], 1, odeset('EventTime', @(t, y) 1,"
      " 'Events', @(t, y) deal([y - 2; y + 2], [0; 0], [0; 0])));");
  EXPECT_EQ(Show("same(te, 1) && same(ie, 3)"), "true");
  // OnEvent at an event time.
  Run("[t, y, te] = ode45(@(t, y) 0, [0 2], 1, odeset('EventTime', @(t, y) 1,"
      " 'OnEvent', @(t, y, i) y + 1));");
  EXPECT_EQ(Show("y(end) == 2 && same(te, 1)"), "true");
}

TEST_F(OdeEvents, PastOutputFunctionAndStatistics) {
  // With Past, fun gets the times and states so far.
  log.SetAnswer([](EngineContext* c, const std::vector<ArrayValue>& args) {
    return PushRealScalar(c, -args.at(1).re.at(0));
  });
  Run("[t, y] = ode45(@calllog, [0 1], 1, odeset('Past', true));");
  ASSERT_GT(log.calls().size(), 7u);
  EXPECT_EQ(log.calls()[0].size(), 4u);
  EXPECT_EQ(log.calls()[0][2].re, std::vector<double>{0});
  EXPECT_EQ(log.calls()[0][3].re, std::vector<double>{1});
  // The last call, a stage of the last step: all rows but that step's.
  ASSERT_EQ(test::EvaluateText(ctx, "numel(t)"), kOk);
  EXPECT_EQ(log.calls().back()[2].dims.at(0) + 4, test::TopScalar(ctx));
  Drop(ctx);
  EXPECT_EQ(Show("abs(y(end) - exp(-1)) <= 1e-4"), "true");

  // The output function: 'init' with [t0 tf] and y0 first, 'done' last.
  std::vector<std::string> flags;
  const size_t before = log.calls().size();
  log.SetAnswer([&](EngineContext* c, const std::vector<ArrayValue>& args) {
    flags.push_back(args.size() != 3 ? "step" : args[2].re.at(0) == 'i' ? "init" : "done");
    return PushLogicalScalar(c, 0);
  });
  Run("[t, y] = ode45(@fall, [0 5], [10; 0], odeset('Events', @ground, 'OutputFcn', @calllog));");
  ASSERT_GE(flags.size(), 3u);
  EXPECT_EQ(flags.front(), "init");
  EXPECT_EQ(flags.back(), "done");
  EXPECT_EQ(log.calls().back()[0].re, std::vector<double>{});
  EXPECT_EQ(log.calls().at(before)[0].re, (std::vector<double>{0, 5}));
  EXPECT_EQ(log.calls().at(before)[1].re, (std::vector<double>{10, 0}));

  host.ClearOutput();
  Run("[t, y] = ode45(@(t, y, tp, yp) -y, [0 1], 1, odeset('Stats', true, 'Past', true));");
  EXPECT_EQ(host.Output(2),
            "Number of function evaluations: 169\nSuccessful steps: 28\nFailed steps: 0\n");
}

TEST_F(OdeEvents, ErrorsOfTheFunctionsResults) {
  const std::string past = ", odeset('Past', true))";
  EXPECT_EQ(Message("ode45(@(t, y, tp, yp) 'a', [0 1], 1" + past),
            "VKE:wrongType ODE state derivative is not numeric");
  EXPECT_EQ(Message("ode45(@(t, y, tp, yp) [y y], [0 1], 1" + past),
            "VKE:badSize ODE state derivative is not a column vector");
  EXPECT_EQ(Message("ode45(@(t, y, tp, yp) [y; y], [0 1], 1" + past),
            "VKE:incompSize ODE state derivative has not always the same length");
  EXPECT_EQ(Message("ode45(@(t, y) -y, [0 1], 1, odeset('EventTime', @(t, y) 'a'))"),
            "VKE:wrongType ODE EventTime result is not numeric");
  EXPECT_EQ(Message("ode45(@(t, y) -y, [0 1], 1, odeset('EventTime', @(t, y) [1 2]))"),
            "VKE:badSize ODE EventTime result is not a column vector");
  EXPECT_EQ(Message("ode45(@(t, y) -y, [0 1], 1, odeset('Events', @(t, y) deal([1 2], 1, 1)))"),
            "VKE:incompSize ODE Events function result sizes are incompatible");
  EXPECT_EQ(Message("ode45(@(t, y) -y, [0 1], 1, odeset('Events', @(t, y) deal('a', 1, 1)))"),
            "VKE:badType ODE Events function result has bad type");
  EXPECT_EQ(Message("ode45(@(t, y) -y, [0 1], 1, odeset('Events', @(t, y) deal({1}, 1, 1)))"),
            "VKE:badType ODE Events function result has bad type");
  EXPECT_EQ(Message("ode45(@(t, y) -y, [0 1], 1, odeset('EventTime', @(t, y) 0.5,"
                    " 'OnEvent', @(t, y, i) [y y]))"),
            "VKE:badSize Bad size for result of onEvent function");

  // A first entry that fails leaves exactly its arguments, the method
  // values gone from under them.
  for (const char* tspan : {"[0 1 2]", "[0 Inf]"}) {
    const uint32_t level = ctx->descTop, data = ctx->dataTop;
    for (const std::string& text :
         std::vector<std::string>{"@(t, y) -y", tspan, "1", "odeset('EventTime', @(t, y) 0.5)"})
      ASSERT_EQ(test::EvaluateText(ctx, text), kOk) << text;
    const uint32_t withArgs = ctx->descTop;
    EXPECT_NE(IntegrateOde(ctx, 4, 2, reinterpret_cast<uintptr_t>(kDormandPrinceTable)), kOk);
    EXPECT_EQ(ctx->descTop, withArgs) << tspan;
    Drop(ctx, 4);
    EXPECT_EQ(ctx->descTop, level);
    EXPECT_EQ(ctx->dataTop, data);
  }

  // Caught, they leave the stacks as they were.
  Run("n = 0; k = 0;");
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  Run("for k = 1:10\n"
      "  try, ode45(@fall, [0 5], [10; 0], odeset('Events', @(t, y) error('x'))); catch,"
      " n = n + 1; end\n"
      "  try, ode23(@(t, y, p, q) 'a', [0 1], 1, odeset('Past', true)); catch, n = n + 1; end\n"
      "end");
  EXPECT_EQ(Show("n"), "20");
  EXPECT_EQ(ctx->descTop, descTop);
  EXPECT_EQ(ctx->dataTop, dataTop);
}

}  // namespace
}  // namespace vke
