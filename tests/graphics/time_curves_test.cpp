// The step, impulse and initial-state responses as draw handlers and as
// computations with outputs: the continuous grid of 201 points exact for a
// step, the delay, integrators, discrete stairs, lines and markers, and the
// windows that once overran the store or the integer conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"
#include "graphics/scale.hpp"
#include "tests/control/reference_cases.hpp"
#include "tests/graphics/room_guard.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using V = std::vector<double>;

struct Curve {
  explicit Curve(const test::FigureCommand& c) {
    const size_t n = static_cast<size_t>(c.data.at(0));
    EXPECT_EQ(c.data.size(), 1 + 2 * n);
    t.assign(c.data.begin() + 1, c.data.begin() + 1 + n);
    y.assign(c.data.begin() + 1 + n, c.data.end());
  }
  V t, y;
};

// The curves the body drew into subplot 0 of the open object.
std::vector<Curve> DrawnOnOpen(FigureHarness& h, const std::string& body, ErrCode expect) {
  EXPECT_EQ(h.Draw(0, body), expect) << body << h.TakeOutput();
  std::vector<Curve> curves;
  for (const auto& c : h.Commands(0)) {
    if (c.header.code == 1) curves.emplace_back(c);
  }
  return curves;
}

std::vector<Curve> Drawn(FigureHarness& h, const std::string& body, ErrCode expect = kOk) {
  h.Open();
  return DrawnOnOpen(h, body, expect);
}

// A window of the x axis fixed at [left, right] in subplot 0 of an emptied
// object.
void FixWindow(FigureHarness& h, double left, double right) {
  h.Open();
  SubplotRecord& s = h.subplot(0);
  s.scaleKind = 0;
  s.scaleState[kAxisX] = kScaleFixed;
  SetRect(s.viewport, 0, 100, 0, 100);
  s.xFactor = 100 / (right - left);
  s.xOffset = -left * s.xFactor;
}

std::vector<Curve> DrawnInWindow(FigureHarness& h, double left, double right,
                                 const std::string& body, ErrCode expect = kOk) {
  FixWindow(h, left, right);
  auto curves = DrawnOnOpen(h, body, expect);
  h.subplot(0).scaleState[kAxisX] = kScaleAuto;
  return curves;
}

bool StoreIsValid(FigureHarness& h) {
  EXPECT_EQ(h.Close(), kOk);
  return ObjectListIsValid(h.block()->DataArea(),
                           (h.block()->dataBytes - kInstanceRecordBytes) / 8);
}

TEST(TimeCurves, ContinuousStepsAndImpulses) {
  FigureHarness h;
  // 1/(s+1): horizon 10, 200 steps from 0, after the two leading zeros.
  auto c = Drawn(h, "step(1, [1 1]);");
  ASSERT_EQ(c.size(), 1u);
  ASSERT_EQ(c[0].t.size(), 203u);
  EXPECT_EQ(c[0].t[2], 0);
  EXPECT_NEAR(c[0].t.back(), 10, 1e-12);
  for (size_t i = 2; i < c[0].t.size(); i++) {
    EXPECT_NEAR(c[0].y[i], 1 - std::exp(-c[0].t[i]), 1e-12) << i;
  }
  // The state-space form of the same system draws the same curve.
  const auto s = Drawn(h, "step(-1, 1, 1, 0);");
  for (size_t i = 0; i < s[0].y.size(); i++) EXPECT_NEAR(s[0].y[i], c[0].y[i], 1e-12);
  // A delay shifts the curve and keeps it 0 before.
  c = Drawn(h, "step(1, [1 1], responseset('Delay', 2));");
  for (size_t i = 0; i < c[0].t.size(); i++) {
    const double t = c[0].t[i];
    EXPECT_NEAR(c[0].y[i], t <= 2 ? 0 : 1 - std::exp(2 - t), 1e-12) << t;
  }
  // An integrator: its step is a ramp over [0, 10], its impulse 1.
  c = Drawn(h, "step(1, [1 0]);");
  EXPECT_NEAR(c[0].t.back(), 10, 1e-12);
  EXPECT_NEAR(c[0].y.back(), 10, 1e-9);
  c = Drawn(h, "impulse(1, [1 0]);");
  for (size_t i = 2; i < c[0].y.size(); i++) EXPECT_NEAR(c[0].y[i], 1, 1e-12);
  c = Drawn(h, "impulse(1, [1 1]);");
  for (size_t i = 2; i < c[0].y.size(); i++) {
    EXPECT_NEAR(c[0].y[i], std::exp(-c[0].t[i]), 1e-12);
  }
  // wn = 1, zeta = 0.5: the peak near its time and height.
  c = Drawn(h, "step(1, [1 1 1]);");
  size_t top = 0;
  for (size_t i = 0; i < c[0].y.size(); i++) top = c[0].y[i] > c[0].y[top] ? i : top;
  const double step = c[0].t[3] - c[0].t[2];
  EXPECT_NEAR(c[0].t[top], 3.62759872846844, step);
  EXPECT_NEAR(c[0].y[top], 1.16303353482158, 1e-4);
  // The free response from x0 starts at C x0 and is C e^(At) x0.
  c = Drawn(h, "initial(-2, 3, 0.5);");
  EXPECT_NEAR(c[0].y[2], 1.5, 1e-12);
  for (size_t i = 2; i < c[0].y.size(); i++) {
    EXPECT_NEAR(c[0].y[i], 1.5 * std::exp(-2 * c[0].t[i]), 1e-12);
  }
}

TEST(TimeCurves, DiscreteForms) {
  FigureHarness h;
  // Stairs through 0, 1, 1.5, 1.75, ... after (t1, 0) and (0, 0).
  auto c = Drawn(h, "dstep(1, [1 -0.5], 1, 's');");
  ASSERT_EQ(c.size(), 1u);
  const V& y = c[0].y;
  const V& t = c[0].t;
  ASSERT_GT(y.size(), 8u);
  EXPECT_EQ(V(t.begin() + 2, t.begin() + 9), (V{0, 1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(V(y.begin() + 2, y.begin() + 9), (V{0, 0, 1, 1, 1.5, 1.5, 1.75}));
  // Lines: the samples themselves.
  c = Drawn(h, "dstep(1, [1 -0.5], 1);");
  EXPECT_EQ(V(c[0].y.begin() + 1, c[0].y.begin() + 5), (V{0, 1, 1.5, 1.75}));
  // Markers from a window starting at -3: three zero samples first.
  c = DrawnInWindow(h, -3, 6, "dstep(1, [1 -0.5], 1, 'o');");
  EXPECT_EQ(V(c[0].t.begin(), c[0].t.begin() + 5), (V{-3, -2, -1, 0, 1}));
  EXPECT_EQ(V(c[0].y.begin(), c[0].y.begin() + 5), (V{0, 0, 0, 0, 1}));
  // dinitial starts at C x0; the discrete impulse begins with D.
  c = Drawn(h, "dinitial(0.5, 2, 1, 3);");
  EXPECT_EQ(c[0].y[1], 6);
  EXPECT_EQ(c[0].y[2], 3);
  c = Drawn(h, "dimpulse([2 1], [1 -0.5], 1);");
  EXPECT_EQ(V(c[0].y.begin() + 1, c[0].y.begin() + 4), (V{2, 2, 1}));
  // More than a million samples.
  Drawn(h, "dstep(1, [1 -0.5], 1e-7, responseset('Range', [0 1]));", kErrObjTooLarge);
}

TEST(TimeCurves, OutputsAsColumns) {
  FigureHarness h;
  ASSERT_EQ(h.Close(), kOk);
  test::PushArray(h.ctx(), "double", {1, 1}, {1});
  test::PushArray(h.ctx(), "double", {1, 2}, {1, 1});
  ASSERT_EQ(h.Call("step", 2, 2), kOk);
  const auto y = test::ReadArray(h.ctx(), 0), t = test::ReadArray(h.ctx(), 1);
  Drop(h.ctx(), 2);
  EXPECT_EQ(y.dims, (std::vector<int32_t>{203, 1}));
  EXPECT_EQ(t.dims, (std::vector<int32_t>{203, 1}));
  EXPECT_NEAR(y.re[3], 1 - std::exp(-t.re[3]), 1e-15);
  EXPECT_NEAR(y.re[202], 1 - std::exp(-10.0), 1e-12);
}

TEST(TimeCurves, WindowsAwayFromTheSamples) {
  FigureHarness h;
  // Wholly before time 0: the leading zero points only.
  auto c = DrawnInWindow(h, -5, -1, "dstep(1, [1 -0.5], 1);");
  ASSERT_EQ(c.size(), 1u);
  for (double v : c[0].y) EXPECT_EQ(v, 0);
  for (double v : c[0].t) EXPECT_LE(v, 0);
  EXPECT_TRUE(StoreIsValid(h));
  // Far from 0 and narrow: too many steps up to it for the store, never an
  // out-of-range conversion.
  c = DrawnInWindow(h, 1e12, 1e12 + 1e-3, "step(1, [1 1]);", kErrPlotOverflow);
  c = DrawnInWindow(h, 1e12, 1e12 + 1e-3, "step(-1, 1, 1, 0);", kErrPlotOverflow);
  EXPECT_TRUE(StoreIsValid(h));
  // Not past the room left.
  FigureHarness small;
  small.Open();
  ASSERT_TRUE(small.BeginSubplot(0));
  small.LimitRoom(300);
  test::Guard guard(small);
  test::PushArray(small.ctx(), "double", {1, 1}, {1});
  test::PushArray(small.ctx(), "double", {1, 2}, {1, 1});
  EXPECT_EQ(small.Call("step", 2), kErrPlotOverflow);
  EXPECT_TRUE(guard.Intact());
}

TEST(TimeCurves, Simulations) {
  FigureHarness h;
  // A ramp into 1/(s+1): t - 1 + e^-t, exact under the first-order hold.
  auto c = Drawn(h, "t = 0:0.1:2; lsim(1, [1 1], t, t);");
  ASSERT_EQ(c.size(), 1u);
  ASSERT_EQ(c[0].t.size(), 201u);
  for (size_t i = 0; i < c[0].t.size(); i++) {
    const double t = c[0].t[i];
    EXPECT_NEAR(c[0].y[i], t - 1 + std::exp(-t), 1e-12) << t;
  }
  EXPECT_NEAR(c[0].y[100], 0.367879441171442, 1e-12);
  // The same through state space, and from an initial state.
  const auto s = Drawn(h, "t = 0:0.1:2; lsim(-1, 1, 1, 0, t, t);");
  for (size_t i = 0; i < s[0].y.size(); i++) EXPECT_NEAR(s[0].y[i], c[0].y[i], 1e-12);
  c = Drawn(h, "t = 0:0.1:2; lsim(-1, 1, 2, 0, 0 * t, t, 3);");
  EXPECT_EQ(c[0].y[0], 6);
  EXPECT_NEAR(c[0].y.back(), 6 * std::exp(-2.0), 1e-12);
  // Discrete: on the input's own samples.
  c = Drawn(h, "dlsim(1, [1 -0.5], ones(10, 1), 1);");
  EXPECT_EQ(V(c[0].y.begin(), c[0].y.begin() + 4), (V{0, 1, 1.5, 1.75}));
  // Results at the given times only; duplicate times resample without NaN.
  c = Drawn(h, "t = [0 0.3 0.3 1 1.7 2]; lsim(1, [1 1], t, t, responseset('tOnly', 1));");
  EXPECT_EQ(c[0].t, (V{0, 0.3, 0.3, 1, 1.7, 2}));
  for (double v : c[0].y) EXPECT_FALSE(std::isnan(v));
  EXPECT_NEAR(c[0].y[3], std::exp(-1.0), 1e-12);
  // A window that ends before the delay: zeros, within the room.
  c = DrawnInWindow(h, -1, 2, "t = 0:0.1:2; lsim(1, [1 1], t, t, responseset('Delay', 5));");
  for (double v : c[0].y) EXPECT_EQ(v, 0);
  FigureHarness small;
  small.Open();
  ASSERT_TRUE(small.BeginSubplot(0));
  small.LimitRoom(400);
  test::Guard guard(small);
  EXPECT_EQ(small.Draw(0, "t = 0:0.01:20; lsim(1, [1 1], t, t, responseset('Delay', 5));"),
            kErrPlotOverflow);
  EXPECT_TRUE(guard.Intact());
}

// A step, a sine and an initial state through first- and second-order
// systems against their closed forms, as transfer functions and in state
// space: a causal system answers a step with 0 at time 0, and the hold is
// exact for inputs linear between the grid points.
TEST(TimeCurves, InputResponsesFollowTheExactSolution) {
  FigureHarness h;
  const auto first = [](double t) { return 1 - std::exp(-t); };
  const double w = std::sqrt(0.75);
  const auto second = [w](double t) {
    return 1 - std::exp(-t / 2) * (std::cos(w * t) + std::sin(w * t) / (2 * w));
  };
  const auto sine = [](double t) { return (std::sin(t) - std::cos(t) + std::exp(-t)) / 2; };
  struct Case {
    const char* body;
    double (*exact)(double);
    double tolerance;
  };
  const Case cases[] = {
      {"t = 0:0.05:5; lsim(1, [1 1], ones(1, 101), t);", +first, 1e-12},
      {"t = 0:0.05:10; lsim(1, [1 1], ones(1, 201), t);", +first, 1e-12},
      {"t = 0:0.05:5; lsim(-1, 1, 1, 0, ones(101, 1), t);", +first, 1e-12},
      {"t = 0:0.02:6; lsim(-1, 1, 1, 0, ones(301, 1), t);", +first, 1e-12},
      {"t = 0:0.05:10; lsim(1, [1 1 1], ones(1, 201), t);", nullptr, 1e-10},
      {"t = 0:0.05:10; lsim([0 1; -1 -1], [0; 1], [1 0], 0, ones(201, 1), t);", nullptr, 1e-10},
      {"t = 0:0.05:10; lsim(1, [1 1], sin(t), t);", +sine, 1e-3},
      {"t = 0:0.05:10; lsim(-1, 1, 1, 0, sin(t)', t);", +sine, 1e-3},
  };
  for (const Case& k : cases) {
    const auto c = Drawn(h, k.body);
    ASSERT_EQ(c.size(), 1u) << k.body;
    ASSERT_GT(c[0].t.size(), 100u) << k.body;
    EXPECT_NEAR(c[0].y[0], 0, 1e-15) << k.body;
    for (size_t i = 0; i < c[0].t.size(); i++) {
      const double t = c[0].t[i];
      EXPECT_NEAR(c[0].y[i], k.exact ? k.exact(t) : second(t), k.tolerance) << k.body << " " << t;
    }
  }
  // From an initial state with a step: the free and the forced parts.
  const auto c = Drawn(h, "t = 0:0.05:5; lsim(-1, 1, 1, 0, ones(101, 1), t, 2);");
  for (size_t i = 0; i < c[0].t.size(); i++) {
    EXPECT_NEAR(c[0].y[i], 1 + std::exp(-c[0].t[i]), 1e-12) << c[0].t[i];
  }
}

// The grid's points: 201 over the window for a transfer function's short
// input, however irregular; a long input keeps its own samples; state
// space refines to the input's shortest interval, up to 1000 points.
TEST(TimeCurves, InputGridPointCounts) {
  FigureHarness h;
  const std::string irregular = "t = 5 * ((0:149) / 149) .^ 2; u = sin(t);";
  EXPECT_EQ(Drawn(h, irregular + "lsim(1, [1 1], u, t);")[0].t.size(), 201u);
  EXPECT_EQ(Drawn(h, irregular + "lsim(1, [1 1], u, t, responseset('tOnly', 1));")[0].t.size(),
            150u);
  EXPECT_EQ(Drawn(h, irregular + "lsim(-1, 1, 1, 0, u', t);")[0].t.size(), 1000u);
  auto c = Drawn(h, "t = 0:0.02:4.98; lsim(1, [1 1], ones(1, 250), t);");
  ASSERT_EQ(c[0].t.size(), 250u);
  EXPECT_NEAR(c[0].t[1], 0.02, 1e-15);
  // A long irregular input: its mean interval, as many points as samples.
  c = Drawn(h, "t = 5 * ((0:299) / 299) .^ 2; lsim(1, [1 1], ones(1, 300), t);");
  ASSERT_EQ(c[0].t.size(), 300u);
  for (size_t i = 0; i < c[0].t.size(); i++) {
    EXPECT_NEAR(c[0].y[i], 1 - std::exp(-c[0].t[i]), 1e-12);
  }
}

TEST(TimeCurves, SampledControllerInALoop) {
  FigureHarness h;
  // A unit controller: the plant's own step on the fine grid.
  auto c = Drawn(h, "hstep(1, 1, 0.5, 1, [1 1]);");
  ASSERT_EQ(c.size(), 1u);
  ASSERT_GT(c[0].t.size(), 100u);
  for (size_t i = 2; i < c[0].t.size(); i++) {
    EXPECT_NEAR(c[0].y[i], 1 - std::exp(-c[0].t[i]), 1e-12) << c[0].t[i];
  }
  // A controller that holds half the error of the last period: its samples
  // follow the plant's with the controller's gain.
  c = Drawn(h, "hstep(0.5, 1, 1, 1, [1 1]);");
  for (size_t i = 2; i < c[0].t.size(); i++) {
    EXPECT_NEAR(c[0].y[i], 0.5 * (1 - std::exp(-c[0].t[i])), 1e-12);
  }
  // No controller period in view: an empty curve.
  FixWindow(h, 0, 1);
  SetRect(h.subplot(0).viewport, 50, 50, 0, 100);
  h.subplot(0).xFactor = 1;
  h.subplot(0).xOffset = 50;
  ASSERT_EQ(h.Draw(0, "hstep(1, 1, 0.5, 1, [1 1]);"), kOk);
  const auto cmds = h.Commands(0);
  ASSERT_FALSE(cmds.empty());
  EXPECT_EQ(cmds.back().data, (V{0}));
  h.subplot(0).scaleState[kAxisX] = kScaleAuto;
  EXPECT_TRUE(StoreIsValid(h));
}

// The responses over [0 tend] against reference values made with Octave's
// control package at the same 201 grid times (tests/data/time_reference.csv,
// written by scripts/time_reference.m): 1e-10 relative.
TEST(TimeCurves, AgreeWithTheReference) {
  FigureHarness h;
  ASSERT_EQ(h.Close(), kOk);
  const auto cases = test::LoadReferences("time_reference.csv");
  ASSERT_FALSE(cases.empty()) << "tests/data/time_reference.csv not found";
  int32_t checked = 0;
  for (const auto& [name, c] : cases) {
    const std::string kind = name.substr(0, name.find('/'));
    std::vector<const char*> fields = {"num", "den"};
    if (kind == "step_ss") fields = {"a", "b", "c", "d"};
    if (kind == "initial") fields = {"a", "c", "x0"};
    for (const char* f : fields) {
      const test::Matrix& m = c.at(f);
      test::PushArray(h.ctx(), "double", {m.rows, m.cols}, m.v);
    }
    test::PushText(h.ctx(), "Range");
    test::PushArray(h.ctx(), "double", {1, 2}, {0, c.at("tend").v[0]});
    ASSERT_EQ(h.Call("responseset", 2, 1), kOk);
    const char* native = kind == "impulse" ? "impulse" : kind == "initial" ? "initial" : "step";
    // initial needs a figure: draw it and read the curves.
    const test::Matrix& ref = c.at("y");
    const int32_t n = ref.cols;
    if (kind == "initial") {
      h.Open();
      ASSERT_TRUE(h.BeginSubplot(0));
      ASSERT_EQ(h.Call(native, static_cast<int32_t>(fields.size()) + 1, 0), kOk) << name;
      std::vector<Curve> curves;
      for (const auto& cmd : h.Commands(0)) {
        if (cmd.header.code == 1) curves.emplace_back(cmd);
      }
      ASSERT_EQ(curves.size(), size_t(ref.rows));
      for (int32_t j = 0; j < ref.rows; j++) {
        for (int32_t k = 0; k < n; k++) {
          const double want = ref.At(j, k);
          EXPECT_NEAR(curves[j].y[2 + k], want, 1e-10 * std::max(1.0, std::fabs(want)))
              << name << " " << j << " " << k;
          checked++;
        }
      }
      ASSERT_EQ(h.Close(), kOk);
      continue;
    }
    ASSERT_EQ(h.Call(native, static_cast<int32_t>(fields.size()) + 1, 1), kOk) << name;
    const auto y = test::ReadArray(h.ctx(), 0);
    Drop(h.ctx(), 1);
    ASSERT_EQ(y.dims[0], n + 2) << name;  // after the two leading zeros
    for (int32_t j = 0; j < ref.rows; j++) {
      for (int32_t k = 0; k < n; k++) {
        const double want = ref.At(j, k);
        EXPECT_NEAR(y.re[size_t(k + 2) * ref.rows + j], want,
                    1e-10 * std::max(1.0, std::fabs(want)))
            << name << " " << j << " " << k;
        checked++;
      }
    }
  }
  EXPECT_GT(checked, 1000);
}

}  // namespace
}  // namespace vke
