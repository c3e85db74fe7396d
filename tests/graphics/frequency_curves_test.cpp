// The Bode magnitude, Bode phase and singular-value curves as draw handlers
// and as computations with outputs: the grids chosen from the range
// routine, the axis kind, the viewport and the Range option; the phase
// unwrapped and delayed; the response options and their native.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <initializer_list>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "app/block.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"
#include "tests/control/reference_cases.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using V = std::vector<double>;
constexpr double kPi = std::numbers::pi;

// The points of a polyline command.
struct Curve {
  explicit Curve(const test::FigureCommand& c) {
    EXPECT_EQ(c.header.code, 1);
    const size_t n = static_cast<size_t>(c.data.at(0));
    EXPECT_EQ(c.data.size(), 1 + 2 * n);
    x.assign(c.data.begin() + 1, c.data.begin() + 1 + n);
    y.assign(c.data.begin() + 1 + n, c.data.end());
  }
  V x, y;
};

// The curves subplot 0's handler drew into the open object (the system
// commands left out).
std::vector<Curve> DrawnOnOpen(FigureHarness& h, const std::string& body) {
  EXPECT_EQ(h.Draw(0, body), kOk) << body << h.TakeOutput();
  std::vector<Curve> curves;
  for (const auto& c : h.Commands(0)) {
    if (c.header.code == 1) curves.emplace_back(c);
  }
  return curves;
}

// The same on an emptied object.
std::vector<Curve> Drawn(FigureHarness& h, const std::string& body) {
  h.Open();
  return DrawnOnOpen(h, body);
}
// A matrix argument of `rows` rows (a row unless told).
struct Arg {
  Arg(std::initializer_list<double> values) : Arg(V(values)) {}
  explicit Arg(V values, int32_t rows = 1) : v(std::move(values)), rows(v.empty() ? 0 : rows) {}
  V v;
  int32_t rows;
};

void PushRow(FigureHarness& h, const Arg& a) {
  const int32_t cols = a.rows == 0 ? 0 : static_cast<int32_t>(a.v.size()) / a.rows;
  test::PushArray(h.ctx(), "double", {a.rows, cols}, a.v);
}

// Calls the native without a figure on the rows given; the outputs, the
// first first.
std::vector<test::ArrayValue> Outputs(FigureHarness& h, const char* name,
                                      const std::vector<Arg>& rows, int32_t nargout,
                                      ErrCode expect = kOk) {
  for (const Arg& r : rows) PushRow(h, r);
  const int32_t before = test::EntryCount(h.ctx()) - static_cast<int32_t>(rows.size());
  EXPECT_EQ(h.Call(name, static_cast<int32_t>(rows.size()), nargout), expect) << name;
  std::vector<test::ArrayValue> out;
  const int32_t left = test::EntryCount(h.ctx()) - before;
  if (expect == kOk) {
    EXPECT_EQ(left, nargout);
    for (int32_t k = 0; k < left; k++) out.push_back(test::ReadArray(h.ctx(), k));
  }
  Drop(h.ctx(), left);
  return out;
}

TEST(FrequencyCurves, MagnitudeGridsFromTheRangeRoutineAndTheAxis) {
  FigureHarness h;
  // Roots -1: 0.1 to 10 on a log axis; 0 to 10 on a linear one.
  auto curves = Drawn(h, "bodemag(1, [1 1]);");
  ASSERT_EQ(curves.size(), 1u);
  const Curve& lin = curves[0];
  ASSERT_EQ(lin.x.size(), 200u);
  EXPECT_EQ(lin.x.front(), 0);
  EXPECT_EQ(lin.x.back(), 10);
  for (size_t i = 0; i < lin.x.size(); i++) {
    EXPECT_NEAR(lin.y[i], 1 / std::sqrt(1 + lin.x[i] * lin.x[i]), 1e-12);
  }
  curves = Drawn(h, "scale('loglin'); bodemag(1, [1 1]);");
  ASSERT_EQ(curves.size(), 1u);
  const V& x = curves[0].x;
  EXPECT_DOUBLE_EQ(x.front(), 0.1);
  EXPECT_EQ(x.back(), 10);
  for (size_t i = 1; i + 1 < x.size(); i++) EXPECT_NEAR(x[i] / x[i - 1], 1.0234114021054532, 1e-13);
  // A Range beats the automatic limits; a reversed one is not set; on a
  // log axis a lower limit of 0 becomes 1e-4 of the upper one.
  EXPECT_EQ(Drawn(h, "bodemag(1, [1 1], responseset('Range', [1 100]));")[0].x.front(), 1);
  EXPECT_EQ(Drawn(h, "bodemag(1, [1 1], responseset('Range', [100 1]));")[0].x.back(), 10);
  const V logRange =
      Drawn(h, "scale('loglin'); bodemag(1, [1 1], responseset('Range', [0 100]));")[0].x;
  EXPECT_DOUBLE_EQ(logRange.front(), 0.01);
  for (double v : logRange) EXPECT_TRUE(std::isfinite(v));
  // A fixed x scale: its viewport, with a small negative start taken to 0.
  for (const double left : {-1.0, -5.0}) {
    h.Open();
    SubplotRecord& s = h.subplot(0);
    s.scaleKind = 0;
    s.scaleState[kAxisX] = kScaleFixed;
    SetRect(s.viewport, 0, 210, 0, 100);
    s.xFactor = 10;  // device 0 at x = left, 210 at left + 21
    s.xOffset = -10 * left;
    const Curve c = DrawnOnOpen(h, "bodemag(1, [1 1]);")[0];
    EXPECT_EQ(c.x.front(), left == -1 ? 0 : -5);
    EXPECT_DOUBLE_EQ(c.x.back(), left + 21);
  }
  h.subplot(0).scaleState[kAxisX] = kScaleAuto;
  // Discrete: up to pi / Ts.
  const V d = Drawn(h, "scale('linlin'); dbodemag(1, [1 -0.5], 0.1);")[0].x;
  EXPECT_EQ(d.front(), 0);
  EXPECT_DOUBLE_EQ(d.back(), 10 * kPi);
}

TEST(FrequencyCurves, PhaseUnwrapsAndDelays) {
  FigureHarness h;
  const Curve p = Drawn(h, "scale('loglin'); bodephase(1, [1 1 0]);")[0];
  EXPECT_NEAR(p.y.front(), -kPi / 2, 0.1);
  EXPECT_NEAR(p.y.back(), -kPi, 0.1);
  for (size_t i = 1; i < p.y.size(); i++) EXPECT_LE(p.y[i], p.y[i - 1] + 1e-12);
  // With a delay the phase falls by w more, with no 2 pi jumps.
  const Curve q = Drawn(h, "bodephase(1, [1 1], responseset('Delay', 1));")[0];
  for (size_t i = 0; i < q.y.size(); i++) {
    EXPECT_NEAR(q.y[i], -std::atan(q.x[i]) - q.x[i], 1e-9) << i;
  }
  // A discrete system ignores the delay, with one warning per curve.
  h.TakeOutput();
  const Curve r = Drawn(h, "dbodephase(1, [1 -0.5], 0.1, responseset('Delay', 2));")[0];
  const std::string said = h.TakeOutput();
  EXPECT_EQ(said, "Delay option is ignored for discrete-time responses.\n");
  const double theta = 0.1 * r.x[10];
  EXPECT_NEAR(r.y[10], -std::atan2(std::sin(theta), std::cos(theta) - 0.5), 1e-12);
}

TEST(FrequencyCurves, OutputsAsColumns) {
  FigureHarness h;
  ASSERT_EQ(h.Close(), kOk);
  auto out = Outputs(h, "bodemag", {{1}, {1, 1}}, 2);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].dims, (std::vector<int32_t>{200, 1}));
  EXPECT_EQ(out[1].dims, (std::vector<int32_t>{200, 1}));
  EXPECT_EQ(out[1].re.back(), 10);
  EXPECT_NEAR(out[0].re[100], 1 / std::hypot(1, out[1].re[100]), 1e-12);
  // A vector keeps its order.
  out = Outputs(h, "bodemag", {{1}, {1, 1}, {3, 1, 0, 2, 5}}, 2);
  EXPECT_EQ(out[1].re, (V{3, 1, 0, 2, 5}));
  EXPECT_NEAR(out[0].re[0], 1 / std::sqrt(10.0), 1e-15);
  // One output and two inputs: the second singular value is 0.
  out = Outputs(h, "sigma", {{-1}, {1, 1}, {1}, {0, 0}}, 1);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].dims, (std::vector<int32_t>{200, 2}));
  for (size_t i = 0; i < 200; i++) EXPECT_EQ(out[0].re[2 * i + 1], 0);
  // The state-space magnitude equals the transfer function's.
  const auto tf = Outputs(h, "bodemag", {{1, 2}, {1, 3, 2}, {0.5, 2}}, 1);
  const auto ss =
      Outputs(h, "bodemag", {Arg(V{-3, -2, 1, 0}, 2), Arg(V{1, 0}, 2), {1, 2}, {0}, {0.5, 2}}, 1);
  ASSERT_EQ(ss.size(), 1u);
  for (int k = 0; k < 2; k++) EXPECT_NEAR(ss[0].re[k], tf[0].re[k], 1e-12);
}

TEST(FrequencyCurves, OptionsAndTheirNative) {
  FigureHarness h;
  ASSERT_EQ(h.Draw(-1, "o = responseset(); disp(o);"), kOk);
  const std::string fields = h.TakeOutput();
  EXPECT_NE(fields.find("Delay"), std::string::npos);
  EXPECT_NE(fields.find("NegFreq"), std::string::npos);
  EXPECT_EQ(fields.find("Range"), std::string::npos);
  EXPECT_EQ(fields.find("tOnly"), std::string::npos);
  EXPECT_EQ(h.Draw(-1, "responseset('Span', 2);"), kErrUnknownOpt);
  h.Open();
  EXPECT_EQ(h.Draw(0, "bodemag(1, [1 1], responseset('Range', [1 2 3]));"), kErrBadSize);
}

TEST(FrequencyCurves, StoreTooSmallWritesNothing) {
  FigureHarness h;
  h.Open();
  ASSERT_TRUE(h.BeginSubplot(0));
  const uint32_t before = h.used();
  // The system command fits, the 200 points do not: the call takes back
  // what it wrote, so that it writes it once when run again in a larger
  // store.
  h.LimitRoom(100);
  PushRow(h, {1});
  PushRow(h, {1, 1});
  EXPECT_EQ(h.Call("bodemag", 2), kErrPlotOverflow);
  EXPECT_EQ(h.used(), before);
}

// A traced curve: n points with their frequencies.
struct Traced {
  explicit Traced(const test::FigureCommand& c) {
    EXPECT_EQ(c.header.code, 2);
    const size_t n = static_cast<size_t>(c.data.at(0));
    EXPECT_EQ(c.data.size(), 1 + 3 * n);
    x.assign(c.data.begin() + 1, c.data.begin() + 1 + n);
    y.assign(c.data.begin() + 1 + n, c.data.begin() + 1 + 2 * n);
    w.assign(c.data.begin() + 1 + 2 * n, c.data.end());
  }
  V x, y, w;
};

Traced TracedOnce(FigureHarness& h, const std::string& body) {
  h.Open();
  EXPECT_EQ(h.Draw(0, body), kOk) << body << h.TakeOutput();
  for (const auto& c : h.Commands(0)) {
    if (c.header.code == 2) return Traced(c);
  }
  ADD_FAILURE() << "no curve: " << body;
  return Traced(test::FigureCommand{{2, -1, 1, 0, 0, 1}, {0}});
}

TEST(PlaneCurves, NyquistOfAFirstOrderLagIsASemicircle) {
  FigureHarness h;
  const Traced t = TracedOnce(h, "nyquist(1, [1 1]);");
  ASSERT_GT(t.x.size(), 20u);
  EXPECT_EQ(t.x.front(), 1);
  EXPECT_EQ(t.y.front(), 0);
  EXPECT_NEAR(t.x.back(), 0, 1e-15);
  EXPECT_NEAR(t.y.back(), 0, 1e-15);
  EXPECT_EQ(t.w.back(), HUGE_VAL);
  for (size_t i = 0; i < t.x.size(); i++) {
    EXPECT_NEAR(std::hypot(t.x[i] - 0.5, t.y[i]), 0.5, 1e-9);
    EXPECT_LE(t.y[i], 1e-15);  // the lower half
    if (i > 0) {
      EXPECT_GE(t.w[i], t.w[i - 1]);
    }
  }
  // The mirror image with negative frequencies, ends included.
  const Traced m = TracedOnce(h, "nyquist(1, [1 1], responseset('NegFreq', 1));");
  for (size_t i = 1; i < m.y.size(); i++) EXPECT_GE(m.y[i], -1e-15);
  EXPECT_LT(m.w[1], 0);
  const Traced r = TracedOnce(h, "nyquist(1, [1 1], responseset('NegFreq', 1, 'Range', [1 10]));");
  EXPECT_NEAR(r.y.front(), 0.5, 1e-12);  // conj of 1 / (1 + j)
  EXPECT_NEAR(r.y.back(), 10 / 101.0, 1e-12);
  EXPECT_NEAR(r.w.front(), -1, 1e-12);
}

TEST(PlaneCurves, GivenFrequenciesAndOutputs) {
  FigureHarness h;
  ASSERT_EQ(h.Close(), kOk);
  const V w = {0.1, 0.2, 0.5, 1, 2, 3, 5, 8, 13, 21};
  test::PushArray(h.ctx(), "double", {1, 1}, {1});
  test::PushArray(h.ctx(), "double", {1, 2}, {1, 1});
  test::PushArray(h.ctx(), "double", {1, 10}, w);
  test::PushText(h.ctx(), "Delay");
  test::PushScalar(h.ctx(), "double", 1);
  ASSERT_EQ(h.Call("responseset", 2, 1), kOk);
  ASSERT_EQ(h.Call("nyquist", 4, 3), kOk);
  const auto re = test::ReadArray(h.ctx(), 0), im = test::ReadArray(h.ctx(), 1),
             ws = test::ReadArray(h.ctx(), 2);
  Drop(h.ctx(), 3);
  EXPECT_EQ(ws.re, w);
  for (size_t i = 0; i < w.size(); i++) {
    const std::complex<double> g = 1.0 / std::complex<double>(1, w[i]) * std::polar(1.0, -w[i]);
    EXPECT_NEAR(re.re[i], g.real(), 1e-12);
    EXPECT_NEAR(im.re[i], g.imag(), 1e-12);
  }
  // The traced curve as outputs ends at infinity.
  auto out = Outputs(h, "nyquist", {{1}, {1, 1}}, 3);
  EXPECT_EQ(out[2].re.back(), HUGE_VAL);
  out = Outputs(h, "nichols", {{1}, {1, 1}}, 2);
  EXPECT_EQ(out[0].re.front(), 1);  // magnitude first
  EXPECT_EQ(out[1].re.front(), 0);
  // Where |G| vanishes the phase stays that of the last point before.
  EXPECT_NEAR(out[1].re.back(), -kPi / 2, 0.05);
}

TEST(PlaneCurves, OutsideThePointsCollapse) {
  FigureHarness h;
  // 1/(s(s+1)) leaves the window towards -j infinity near w = 0.
  const Traced t = TracedOnce(h, "nyquist(1, [1 1 0]);");
  int32_t run = 0;
  for (size_t i = 0; i < t.x.size(); i++) {
    const bool outside = std::fabs(t.x[i]) > 50 || std::fabs(t.y[i]) > 50;
    run = outside ? run + 1 : 0;
    EXPECT_LT(run, 3) << i;
  }
  EXPECT_LT(t.x.size(), 800u);
  // An improper system traces within its room; a constant one is empty.
  EXPECT_GT(TracedOnce(h, "nyquist([1 0 0], [1 1]);").x.size(), 0u);
  EXPECT_EQ(TracedOnce(h, "nyquist(2, 1);").x.size(), 0u);
  // Its outputs are columns of no points.
  for (int32_t nargout : {1, 2, 3}) {
    const auto out = Outputs(h, "nyquist", {{2}, {1}}, nargout);
    ASSERT_EQ(out.size(), size_t(nargout));
    for (const auto& o : out) EXPECT_EQ(o.dims, (std::vector<int32_t>{0, 1})) << nargout;
  }
}

TEST(PlaneCurves, NicholsOfAnIntegratorKeepsItsLimits) {
  FigureHarness h;
  const Traced t = TracedOnce(h, "nichols(1, [1 0]);");
  ASSERT_GT(t.x.size(), 2u);
  EXPECT_EQ(t.x.front(), 0);  // G(0) = +Inf has the phase 0
  for (size_t i = 1; i < t.x.size(); i++) EXPECT_NEAR(t.x[i], -kPi / 2, 1e-9);
  const SubplotRecord& s = h.subplot(0);
  EXPECT_LE(LimitMax(s, kAxisY), 5.0 + 1e-9);
  const Traced lag = TracedOnce(h, "nichols(1, [1 2 1]);");
  for (size_t i = 1; i < lag.x.size(); i++) EXPECT_LE(lag.x[i], lag.x[i - 1] + 1e-12);
  EXPECT_NEAR(lag.x.back(), -kPi, 0.05);
}

// The curves at the frequencies of reference values made with Octave's
// control package (tests/data/response_reference.csv, written by
// scripts/response_reference.m): 1e-10 relative, phases modulo 2 pi.
TEST(FrequencyCurves, AgreeWithTheReference) {
  FigureHarness h;
  ASSERT_EQ(h.Close(), kOk);
  const auto cases = test::LoadReferences("response_reference.csv");
  ASSERT_FALSE(cases.empty()) << "tests/data/response_reference.csv not found";
  const auto arg = [](const test::Matrix& m) { return Arg(m.v, m.rows); };
  const auto near = [](double ours, double ref, bool phase, const std::string& what) {
    const double d = phase ? std::remainder(ours - ref, 2 * kPi) : ours - ref;
    EXPECT_LE(std::fabs(d), 1e-10 * std::max(1.0, std::fabs(ref))) << what;
  };
  int32_t checked = 0;
  for (const auto& [name, c] : cases) {
    const std::string kind = name.substr(0, name.find('/'));
    const bool ss = c.count("a") != 0, discrete = c.count("ts") != 0;
    std::vector<Arg> args;
    if (ss) {
      for (const char* f : {"a", "b", "c", "d"}) args.push_back(arg(c.at(f)));
    } else {
      args = {arg(c.at("num")), arg(c.at("den"))};
    }
    if (discrete) args.push_back(arg(c.at("ts")));
    args.push_back(arg(c.at("w")));
    const int32_t n = c.at("w").cols;
    // Each native, its outputs and the reference field of each.
    std::vector<std::pair<std::string, std::vector<const char*>>> calls;
    if (kind == "bode" || kind == "bode_ss") {
      calls = {{"bodemag", {"mag"}}, {"bodephase", {"phase"}}};
    } else if (kind == "nyquist") {
      calls = {{"nyquist", {"re", "im"}}};
    } else if (kind == "nichols") {
      calls = {{"nichols", {"mag", "phase"}}};
    } else {
      calls = {{"sigma", {"sv"}}};
    }
    for (auto& [native, fields] : calls) {
      const std::string called = (discrete ? "d" : "") + native;
      const auto out = Outputs(h, called.c_str(), args, static_cast<int32_t>(fields.size()));
      ASSERT_EQ(out.size(), fields.size()) << name;
      for (size_t f = 0; f < fields.size(); f++) {
        const test::Matrix& ref = c.at(fields[f]);
        // One row per output (or singular value) and a column per frequency;
        // a single curve may come as a column.
        const int32_t curves = ref.rows * ref.cols / n;
        for (int32_t j = 0; j < curves; j++) {
          for (int32_t k = 0; k < n; k++) {
            near(out[f].re[size_t(k) * curves + j], ref.v[size_t(j) * n + k],
                 std::string(fields[f]) == "phase", name + " " + fields[f]);
            checked++;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace vke
