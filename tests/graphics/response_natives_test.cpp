// The control-design plot natives on a figure, their curve routines
// replaced by a recorder: the system commands they store, what they hand to
// the routine, the forms and codes of their arguments, the computation
// without a figure, the stack they leave, and the hit test and the drag on
// what they wrote.
#include "graphics/response_natives.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/control_native_frame.hpp"
#include "app/plot_native_frame.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "graphics/control_hit.hpp"
#include "graphics/object_store.hpp"
#include "graphics/scale.hpp"
#include "hit_fixture.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"
#include "tests/host/value_text.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

// What a curve routine was handed.
struct Recorded {
  int32_t nargout;
  bool figure;  // the target has a subplot
  LtiForm form;
  V num, den, a, b, c, d;
  bool noD;
  int32_t n, m, p;
  bool discrete;
  double ts;
  int32_t optionsDepth;
  V vector;
  std::vector<PlotStyle> styles;
  int32_t id, series;
};
std::vector<Recorded> gCalls;

V Copy(const double* p, int64_t n) {
  return p != nullptr ? V(p, p + n) : V{};
}

Recorded Record(int32_t nargout, const PlotTarget* target, const LtiSystemRecord& s, bool discrete,
                double ts, int32_t optionsDepth, const PlotStyle* styles, int32_t id,
                int32_t series) {
  Recorded r{};
  r.nargout = nargout;
  r.figure = target->subplot != nullptr;
  r.form = s.form;
  r.discrete = discrete;
  r.ts = ts;
  r.optionsDepth = optionsDepth;
  r.id = id;
  r.series = series;
  int32_t styleCount = 1;
  if (s.form == LtiForm::kTransferFunction) {
    r.num = Copy(s.num, s.numDegree + 1);
    r.den = Copy(s.den, s.denDegree + 1);
  } else {
    const int64_t n = s.states, m = s.inputs, p = s.outputs;
    r.n = s.states;
    r.m = s.inputs;
    r.p = s.outputs;
    r.a = Copy(s.a, n * n);
    r.b = Copy(s.b, n * std::max<int64_t>(m, 1));
    r.c = Copy(s.c, p * n);
    r.noD = s.d == nullptr;
    r.d = Copy(s.d, p * m);
    styleCount = static_cast<int32_t>(m > 1 ? m : p);
  }
  r.styles.assign(styles, styles + styleCount);
  return r;
}

// Pushes nargout values (10 series + k) when asked for outputs.
ErrCode PushOutputs(EngineContext* ctx, int32_t nargout, int32_t series) {
  for (int32_t k = nargout; k >= 1; k--) {
    if (ErrCode e = PushRealScalar(ctx, 10 * series + k)) return e;
  }
  return kOk;
}

ErrCode RecordResponse(EngineContext* ctx, const ResponseCurveCall& c) {
  gCalls.push_back(Record(c.nargout, c.target, *c.system, c.discrete, c.ts, c.optionsDepth,
                          c.styles, c.id, c.series));
  gCalls.back().vector = Copy(c.vector, c.vectorCount);
  return c.nargout >= 1 ? PushOutputs(ctx, c.nargout, c.series) : kOk;
}

ErrCode RecordLsim(EngineContext* ctx, const LsimCurveCall& c) {
  gCalls.push_back(Record(c.nargout, c.target, *c.system, c.discrete, c.ts, c.optionsDepth,
                          c.styles, c.id, c.series));
  gCalls.back().vector = Copy(c.u, c.samples);
  return c.nargout >= 1 ? PushOutputs(ctx, c.nargout, c.series) : kOk;
}

struct HstepCall {
  V num1, den1, num2, den2;
  double t;
  int32_t id, series;
};
std::vector<HstepCall> gHsteps;

ErrCode RecordHstep(EngineContext*, const HstepCurveCall& c) {
  gHsteps.push_back({Copy(c.num1, c.num1Degree + 1), Copy(c.den1, c.den1Degree + 1),
                     Copy(c.num2, c.num2Degree + 1), Copy(c.den2, c.den2Degree + 1), c.t, c.id,
                     c.series});
  return kOk;
}

// A native's row with the recorder as its curve routine.
ResponseNativeRow Recording(ResponseNative native) {
  ResponseNativeRow row = ResponseNativeRowOf(native);
  row.curve = &RecordResponse;
  return row;
}

// A figure whose subplot 0 is drawing; arguments are pushed one by one.
struct Figure : test::FigureHarness {
  Figure() {
    gCalls.clear();
    gHsteps.clear();
    EXPECT_TRUE(BeginSubplot(0));
  }
  uintptr_t option() { return reinterpret_cast<uintptr_t>(&block()->nativeCall); }
  Figure& M(int32_t rows, int32_t cols, const V& v) {
    test::PushArray(ctx(), "double", {rows, cols}, v);
    args++;
    return *this;
  }
  Figure& R(const V& v) { return M(v.empty() ? 0 : 1, static_cast<int32_t>(v.size()), v); }
  Figure& S(double v) { return M(1, 1, {v}); }
  Figure& T(const std::string& t) {
    test::PushText(ctx(), t);
    args++;
    return *this;
  }
  Figure& Options() {
    test::PushScalar(ctx(), "double", 1);
    test::MakeStruct(ctx(), {"Delay"});
    args++;
    return *this;
  }
  // Runs fn on the arguments pushed; the stack must then hold the outputs
  // (nargout of them, one no-value for a statement) or, after a failure,
  // the arguments. Outputs are popped into out, the first first.
  template <typename Fn>
  ErrCode Run(int32_t nargout, Fn fn) {
    const int32_t n = args;
    args = 0;
    out.clear();
    const ErrCode e = fn(n, nargout);
    const int32_t left = test::EntryCount(ctx());
    if (e != kOk) {
      EXPECT_EQ(left, n);
    } else {
      EXPECT_EQ(left, nargout < 0 ? 1 : nargout);
      for (int32_t k = 0; k < left && nargout > 0; k++) out.push_back(test::ReadArray(ctx(), k));
    }
    Drop(ctx(), left);
    return e;
  }
  ErrCode Response(ResponseNative native, int32_t nargout = 0) {
    return Run(nargout, [&](int32_t n, int32_t k) {
      return RunResponseNative(ctx(), n, k, option(), Recording(native));
    });
  }
  ErrCode Native(const char* name, int32_t nargout = 0) {
    return Run(nargout, [&](int32_t n, int32_t k) { return Call(name, n, k); });
  }
  // The target of the drawing subplot, for the implementations called
  // directly.
  PlotTarget Target() {
    NativeCallContext* call;
    PlotTarget t{};
    EXPECT_EQ(FindPlotTarget(option(), &call, &t), kOk);
    return t;
  }
  int32_t args = 0;
  std::vector<test::ArrayValue> out;
};

TEST(ResponseNatives, TransferFunctionRowsAreStoredAndHandedOn) {
  Figure f;
  // Three systems; the third numerator is 3 after its leading zero.
  f.M(3, 2, {1, 1, 2, 1, 0, 3}).M(3, 3, {1, 2, 1, 1, 3, 2, 1, 4, 4}).T("r,g");
  ASSERT_EQ(f.Response(ResponseNative::kBodemag), kOk);
  const auto cmds = f.Commands(0);
  ASSERT_EQ(cmds.size(), 3u);
  for (int32_t r = 0; r < 3; r++) {
    EXPECT_EQ(cmds[r].header.code, 19);
    EXPECT_EQ(cmds[r].header.id, -1);
    EXPECT_EQ(cmds[r].header.index, r + 1);
    EXPECT_EQ(cmds[r].header.colour, r == 1 ? 0x00FF00u : 0xFF0000u);
  }
  EXPECT_EQ(cmds[0].data, (V{1, 2, 1, 1, 1, 2, 1}));
  EXPECT_EQ(cmds[2].data, (V{0, 2, 3, 1, 4, 4}));
  ASSERT_EQ(gCalls.size(), 3u);
  for (int32_t r = 0; r < 3; r++) {
    EXPECT_EQ(gCalls[r].series, r + 1);
    EXPECT_TRUE(gCalls[r].figure);
    EXPECT_EQ(gCalls[r].nargout, 0);
    EXPECT_EQ(gCalls[r].optionsDepth, -1);
    EXPECT_EQ(StyleColour(gCalls[r].styles[0]), cmds[r].header.colour);
  }
  EXPECT_EQ(gCalls[2].num, (V{3}));
  EXPECT_EQ(f.callFlags(), kCallFlagDrew);

  // Several rows cannot be returned as data.
  f.block()->nativeCall.flags = 0;
  f.M(3, 2, {1, 1, 2, 1, 0, 3}).M(3, 3, {1, 2, 1, 1, 3, 2, 1, 4, 4});
  EXPECT_EQ(f.Response(ResponseNative::kBodemag, 1), kErrBadSize);
  // [0 0 1] over [1 2 1] is the constant 1.
  f.R({0, 0, 1}).R({1, 2, 1});
  ASSERT_EQ(f.Response(ResponseNative::kBodephase), kOk);
  EXPECT_EQ(f.Commands(0).back().data, (V{0, 2, 1, 1, 2, 1}));
  EXPECT_EQ(f.Commands(0).back().header.code, 20);
}

TEST(ResponseNatives, OutputsAreComputedWithOrWithoutAFigure) {
  Figure f;
  const uint32_t before = f.used();
  f.R({1}).R({1, 1}).R({0.1, 1, 10});
  ASSERT_EQ(f.Response(ResponseNative::kBodemag, 2), kOk);
  EXPECT_EQ(f.used(), before);  // nothing drawn
  EXPECT_EQ(f.callFlags(), 0u);
  ASSERT_EQ(f.out.size(), 2u);
  EXPECT_EQ(f.out[0].re, (V{11}));  // the first output on top
  EXPECT_EQ(f.out[1].re, (V{12}));
  EXPECT_EQ(gCalls.back().vector, (V{0.1, 1, 10}));
  EXPECT_TRUE(gCalls.back().figure);

  // Outside a figure: the data, from a temporary area without a subplot.
  ASSERT_EQ(f.Close(), kOk);
  f.R({1}).R({1, 1});
  ASSERT_EQ(f.Response(ResponseNative::kBodemag, 1), kOk);
  EXPECT_FALSE(gCalls.back().figure);
  EXPECT_EQ(f.out[0].re, (V{11}));
  f.R({1}).R({1, 1});
  EXPECT_EQ(f.Response(ResponseNative::kBodemag, 0), kErrBadContext);
  f.R({1}).R({1, 1});
  EXPECT_EQ(f.Response(ResponseNative::kBodemag, -1), kErrBadContext);
  EXPECT_EQ(f.callFlags(), 0u);
  // lsim computes alone too; initial does not.
  f.R({1}).R({1, 1}).R({0, 1}).R({0, 1});
  EXPECT_EQ(
      f.Run(1, [&](int32_t n,
                   int32_t k) { return AddLsimPlot(f.ctx(), n, k, nullptr, false, &RecordLsim); }),
      kOk);
  f.S(-1).S(1).S(1);
  EXPECT_EQ(f.Native("initial", 1), kErrBadContext);
  // Called by its name, lsim computes its curve as well.
  f.R({1}).R({1, 1}).R({0, 1}).R({0, 1});
  EXPECT_EQ(f.Native("lsim", 1), kOk);
}

TEST(ResponseNatives, FormsOptionsStylesAndIds) {
  Figure f;
  // Forms the native refuses, or that break its properness rule.
  f.S(-1).S(1).S(1).S(0);
  EXPECT_EQ(f.Response(ResponseNative::kNyquist), kErrBadArg);
  f.R({1}).R({1, 1});
  EXPECT_EQ(f.Response(ResponseNative::kSigma), kErrBadArg);
  f.R({1, 0}).R({1, 1});
  EXPECT_EQ(f.Response(ResponseNative::kImpulse), kErrIncompSize);
  f.S(-1).S(1).S(1).S(2);
  EXPECT_EQ(f.Response(ResponseNative::kImpulse), kErrBadArg);
  f.R({1, 1, 1}).R({1, 1});
  EXPECT_EQ(f.Response(ResponseNative::kStep), kErrIncompSize);
  f.R({1, 0}).R({1, 1}).S(0.1);
  ASSERT_EQ(f.Response(ResponseNative::kDimpulse), kOk);
  EXPECT_EQ(f.Commands(0).back().data, (V{0.1, 1, 1, 1, 0, 1, 1}));
  EXPECT_TRUE(gCalls.back().discrete);
  EXPECT_EQ(gCalls.back().ts, 0.1);
  // Options, style and id, each in its place.
  f.R({1}).R({1, 1}).Options().T("r").S(5);
  ASSERT_EQ(f.Response(ResponseNative::kStep), kOk);
  EXPECT_EQ(f.Commands(0).back().header.id, 5);
  EXPECT_EQ(f.Commands(0).back().header.colour, 0xFF0000u);
  EXPECT_EQ(gCalls.back().id, 5);
  EXPECT_EQ(gCalls.back().optionsDepth, 2);
  f.R({1}).R({1, 1}).Options();
  ASSERT_EQ(f.Response(ResponseNative::kStep), kOk);
  EXPECT_EQ(f.Commands(0).back().header.id, -1);
  EXPECT_EQ(gCalls.back().optionsDepth, 0);
  // Options where none are allowed, arguments beyond the form, a bad id.
  f.R({1}).R({1, 1}).Options();
  EXPECT_EQ(f.Response(ResponseNative::kRlocus), kErrBadArg);
  f.R({1}).R({1, 1}).R({1, 2}).T("r").S(5).S(6);
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrBadArg);
  f.R({1}).R({1, 1}).T("r").R({1, 2});
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrNonScalarArg);
  f.R({1}).R({1, 1}).T("q");
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrUnknownOpt);
  // Sampling periods must be positive and finite.
  for (double ts : V{0.0, -1.0, NAN, INFINITY}) {
    f.R({1}).R({1, 1}).S(ts);
    EXPECT_EQ(f.Response(ResponseNative::kDstep), kErrBadArg) << ts;
  }
  // A denominator of zeros is refused.
  f.R({1}).R({0, 0});
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrBadArg);
}

TEST(ResponseNatives, StateSpaceSizes) {
  Figure f;
  // dbodemag of x' = -x + u, y = 2x: {Ts, n, p, A, B, C, D}.
  f.S(-1).S(1).S(2).S(0).S(0.5).T("g");
  ASSERT_EQ(f.Response(ResponseNative::kDbodemag), kOk);
  const auto cmd = f.Commands(0).back();
  EXPECT_EQ(cmd.header.code, 29);
  EXPECT_EQ(cmd.header.index, 1);
  EXPECT_EQ(cmd.header.style, kStyleDefaultRecord);
  EXPECT_EQ(cmd.header.colour, 0u);
  EXPECT_EQ(cmd.data, (V{0.5, 1, 1, -1, 1, 2, 0}));
  EXPECT_EQ(gCalls.back().form, LtiForm::kStateSpace);
  EXPECT_EQ(StyleColour(gCalls.back().styles[0]), 0x00FF00u);
  // sigma stores m and takes one style per input.
  f.M(2, 2, {-1, 0, 0, -2}).M(2, 2, {1, 0, 0, 1}).M(1, 2, {1, 1}).M(1, 2, {0, 0}).T("r,b");
  ASSERT_EQ(f.Response(ResponseNative::kSigma), kOk);
  EXPECT_EQ(f.Commands(0).back().data, (V{2, 1, 2, -1, 0, 0, -2, 1, 0, 0, 1, 1, 1, 0, 0}));
  ASSERT_EQ(gCalls.back().styles.size(), 2u);
  EXPECT_EQ(StyleColour(gCalls.back().styles[1]), 0x0000FFu);
  // Two inputs where one is needed; C, B (an n x 0 B among them) or A
  // that do not fit.
  f.M(2, 2, {-1, 0, 0, -2}).M(2, 2, {1, 0, 0, 1}).M(1, 2, {1, 1}).M(1, 2, {0, 0});
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrIncompSize);
  f.S(-1).S(1).M(2, 1, {1, 1}).S(0);
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrIncompSize);
  f.S(-1);
  double* none;
  ASSERT_EQ(PushNewMatrix(f.ctx(), 1, 0, &none, nullptr), kOk);
  f.args++;
  f.S(1).S(0);
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrIncompSize);
  f.M(1, 2, {-1, 0}).S(1).S(1).S(0);
  EXPECT_EQ(f.Response(ResponseNative::kBodemag), kErrIncompSize);
}

TEST(ResponseNatives, EmptySystemsLeaveAnEmptyValuePerOutput) {
  Figure f;
  f.R({}).R({1, 1});
  ASSERT_EQ(f.Response(ResponseNative::kBodemag, 2), kOk);
  ASSERT_EQ(f.out.size(), 2u);
  EXPECT_TRUE(f.out[0].re.empty() && f.out[1].re.empty());
  f.R({1}).R({});
  ASSERT_EQ(f.Response(ResponseNative::kStep, -1), kOk);
  EXPECT_TRUE(gCalls.empty());
  PlotTarget t = f.Target();
  f.R({}).R({}).S(0.1).R({1}).R({1, 1});
  EXPECT_EQ(f.Run(0, [&](int32_t n, int32_t) { return AddHstepPlot(f.ctx(), n, t, &RecordHstep); }),
            kOk);
  EXPECT_TRUE(gHsteps.empty());
  f.R({});
  EXPECT_EQ(f.Native("plotroots", 0), kOk);
  f.R({5});
  EXPECT_EQ(f.Native("plotroots", 0), kOk);
  EXPECT_TRUE(f.Commands(0).empty());
}

TEST(ResponseNatives, HstepPairsRows) {
  Figure f;
  PlotTarget t = f.Target();
  const auto hstep = [&](int32_t n, int32_t) { return AddHstepPlot(f.ctx(), n, t, &RecordHstep); };
  // Two controllers with one plant; ids count up from 10.
  f.M(2, 1, {1, 2}).M(2, 2, {1, -0.5, 1, -0.2}).S(0.1).R({1}).R({1, 1}).T("r").S(10);
  ASSERT_EQ(f.Run(0, hstep), kOk);
  ASSERT_EQ(gHsteps.size(), 2u);
  EXPECT_EQ(gHsteps[1].num1, (V{2}));
  EXPECT_EQ(gHsteps[1].den1, (V{1, -0.2}));
  EXPECT_EQ(gHsteps[1].den2, (V{1, 1}));
  EXPECT_EQ(gHsteps[0].id, 10);
  EXPECT_EQ(gHsteps[1].id, 11);
  EXPECT_EQ(gHsteps[1].series, 2);
  EXPECT_EQ(gHsteps[0].t, 0.1);
  // Pairs of two and three rows do not pair up.
  f.M(2, 1, {1, 2})
      .M(2, 2, {1, -0.5, 1, -0.2})
      .S(0.1)
      .M(3, 1, {1, 1, 1})
      .M(3, 2, {1, 1, 1, 2, 1, 3});
  EXPECT_EQ(f.Run(0, hstep), kErrIncompSize);
  // T must be one positive number.
  for (const V& period : {V{0.1, 0.2}, V{0}, V{-1}}) {
    f.R({1}).R({1, 1}).R(period).R({1}).R({1, 1});
    EXPECT_EQ(f.Run(0, hstep), kErrBadArg);
  }
  f.R({1}).R({1, 1}).S(0.1).R({1}).R({1, 1}).T("r").R({1, 2});
  EXPECT_EQ(f.Run(0, hstep), kErrBadArg);
}

TEST(ResponseNatives, InitialStateResponses) {
  Figure f;
  PlotTarget t = f.Target();
  const auto initial = [&](bool discrete) {
    return [&, discrete](int32_t n, int32_t k) {
      return AddInitialPlot(f.ctx(), n, k, t, discrete, &RecordResponse);
    };
  };
  // The short form: A, C, x0; command 41 {n, p, A, C, x0}.
  f.M(2, 2, {0, 1, -2, -3}).M(1, 2, {1, 0}).M(2, 1, {1, 0.5});
  ASSERT_EQ(f.Run(0, initial(false)), kOk);
  EXPECT_EQ(f.Commands(0).back().header.code, 41);
  EXPECT_EQ(f.Commands(0).back().data, (V{2, 1, 0, 1, -2, -3, 1, 0, 1, 0.5}));
  EXPECT_EQ(gCalls.back().b, (V{1, 0.5}));
  EXPECT_TRUE(gCalls.back().noD);
  EXPECT_EQ(gCalls.back().m, 0);
  // A C of three columns for two states is refused before anything is read
  // past it.
  f.M(2, 2, {0, 1, -2, -3}).M(1, 3, {1, 0, 0}).M(2, 1, {1, 0.5});
  EXPECT_EQ(f.Run(0, initial(false)), kErrIncompSize);
  f.M(3, 3, {0, 1, 0, 0, 0, 1, -1, -1, -1}).M(1, 2, {1, 0}).M(2, 1, {1, 0.5});
  EXPECT_EQ(f.Run(0, initial(false)), kErrIncompSize);
  f.M(2, 2, {0, 1, -2, -3}).M(1, 2, {1, 0}).M(1, 2, {1, 0.5});
  EXPECT_EQ(f.Run(0, initial(false)), kErrNonColumnVector);
  // The long form of dinitial, with Ts before x0 and m from D.
  f.S(0.5).S(1).S(1).S(0).S(0.1).S(2).Options().T("b");
  ASSERT_EQ(f.Run(0, initial(true)), kOk);
  EXPECT_EQ(f.Commands(0).back().header.code, 42);
  EXPECT_EQ(f.Commands(0).back().data, (V{0.1, 1, 1, 0.5, 1, 2}));
  EXPECT_EQ(gCalls.back().m, 1);
  EXPECT_EQ(gCalls.back().ts, 0.1);
  EXPECT_EQ(gCalls.back().optionsDepth, 1);
  EXPECT_EQ(StyleColour(gCalls.back().styles[0]), 0x0000FFu);
  f.S(0.5).S(1).S(1).S(0).S(0).S(2);
  EXPECT_EQ(f.Run(0, initial(true)), kErrBadArg);
}

TEST(ResponseNatives, SimulationForms) {
  Figure f;
  PlotTarget t = f.Target();
  const auto lsim = [&](bool discrete, PlotTarget* target) {
    return [&, discrete, target](int32_t n, int32_t k) {
      return AddLsimPlot(f.ctx(), n, k, target, discrete, &RecordLsim);
    };
  };
  // Two systems sharing a numerator; the input a row matching t.
  f.R({1}).M(2, 2, {1, 1, 1, 2}).R({0, 1, 1}).R({0, 0.5, 1}).T("r,g");
  ASSERT_EQ(f.Run(0, lsim(false, &t)), kOk);
  ASSERT_EQ(gCalls.size(), 2u);
  EXPECT_EQ(gCalls[1].den, (V{1, 2}));
  EXPECT_EQ(StyleColour(gCalls[1].styles[0]), 0x00FF00u);
  EXPECT_EQ(gCalls[1].vector, (V{0, 1, 1}));
  // As data only one system; t and u of one length; no numerator wider than
  // its denominator.
  f.R({1}).M(2, 2, {1, 1, 1, 2}).R({0, 1}).R({0, 1});
  EXPECT_EQ(f.Run(1, lsim(false, &t)), kErrBadSize);
  f.R({1}).R({1, 1}).R({0, 1}).R({0, 1, 2});
  EXPECT_EQ(f.Run(0, lsim(false, &t)), kErrIncompSize);
  f.R({1, 1, 1}).R({1, 1}).R({0, 1}).R({0, 1});
  EXPECT_EQ(f.Run(0, lsim(false, &t)), kErrIncompSize);
  // State space with x0: u has a column per input; dlsim takes Ts.
  gCalls.clear();
  f.S(-1).S(1).S(1).S(0).M(3, 1, {1, 1, 1}).S(0.1).S(2);
  ASSERT_EQ(f.Run(2, lsim(true, nullptr)), kOk);
  EXPECT_FALSE(gCalls[0].figure);
  EXPECT_EQ(gCalls[0].ts, 0.1);
  EXPECT_EQ(gCalls[0].vector, (V{1, 1, 1}));
  f.S(-1).S(1).S(1).S(0).M(3, 2, {1, 1, 1, 1, 1, 1}).R({0, 1, 2});
  EXPECT_EQ(f.Run(0, lsim(false, &t)), kErrIncompSize);
  f.S(-1).S(1).S(1).S(0).R({1, 1}).R({0, 1}).R({1, 2});
  EXPECT_EQ(f.Run(0, lsim(false, &t)), kErrIncompSize);
}

TEST(ResponseNatives, RootsOfEachRow) {
  Figure f;
  f.R({1, 0, -1});
  ASSERT_EQ(f.Native("plotroots"), kOk);
  auto cmds = f.Commands(0);
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(cmds[0].header.code, 43);
  EXPECT_EQ(cmds[0].data, (V{2, 1, 0, -1}));
  EXPECT_EQ(cmds[1].header.code, kCmdPolyline);
  EXPECT_EQ(cmds[1].header.style, kKindCross | kStyleDefaultRecord);
  ASSERT_EQ(cmds[1].data.size(), 5u);
  EXPECT_EQ(cmds[1].data[0], 2);
  EXPECT_NEAR(std::fabs(cmds[1].data[1]), 1, 1e-15);
  EXPECT_NEAR(cmds[1].data[1] + cmds[1].data[2], 0, 1e-15);
  EXPECT_EQ(cmds[1].data[3], 0);
  EXPECT_EQ(cmds[1].data[4], 0);
  EXPECT_EQ(f.callFlags(), kCallFlagDrew);
  EXPECT_LE(LimitMin(f.subplot(0), kAxisX), -1);
  EXPECT_GE(LimitMax(f.subplot(0), kAxisX), 1);
  // Complex coefficients: z - 2i after a leading zero, code 44.
  test::PushArray(f.ctx(), "double", {1, 3}, {0, 1, 0}, {0, 0, -2});
  f.args++;
  f.T("o").S(7);
  ASSERT_EQ(f.Native("plotroots"), kOk);
  cmds = f.Commands(0);
  EXPECT_EQ(cmds[2].header.code, 44);
  EXPECT_EQ(cmds[2].header.id, 7);
  EXPECT_EQ(cmds[2].data, (V{1, 1, 0, 0, -2}));
  EXPECT_NEAR(cmds[3].data[1], 0, 1e-14);
  EXPECT_NEAR(cmds[3].data[2], 2, 1e-14);
  f.R({1, 2}).T("r").R({1, 2});
  EXPECT_EQ(f.Native("plotroots"), kErrBadArg);
}

TEST(ResponseNatives, RandomArgumentsKeepTheStackAndTheStoreValid) {
  const char* names[] = {"bodemag",    "bodephase", "nyquist",   "nichols", "sigma", "dbodemag",
                         "dbodephase", "dnyquist",  "dnichols",  "dsigma",  "step",  "dstep",
                         "impulse",    "dimpulse",  "rlocus",    "hstep",   "lsim",  "dlsim",
                         "initial",    "dinitial",  "plotroots", "erlocus", "zgrid", "sgrid",
                         "hgrid",      "ngrid"};
  std::mt19937 rng(44);
  Figure f;
  const uint32_t storeDoubles =
      (f.block()->dataBytes - f.block()->instanceCount * kInstanceRecordBytes) / 8;
  for (int trial = 0; trial < 1500; trial++) {
    const char* name = names[rng() % std::size(names)];
    int32_t index;
    const NativeFunctionRecord* r = FindLibraryRecord(f.ctx(), name, nullptr, 0, &index);
    ASSERT_NE(r, nullptr) << name;
    const int32_t nargin = r->minIn + int32_t(rng() % (r->maxIn - r->minIn + 1));
    const int32_t nargout = r->maxOut == 0 ? 0 : int32_t(rng() % (r->maxOut + 2)) - 1;
    const bool inFigure = rng() % 4 != 0;
    if (!inFigure) {
      ASSERT_EQ(f.Close(), kOk);
    }
    for (int32_t k = 0; k < nargin; k++) {
      switch (rng() % 8) {
        case 0:
          f.T(std::string(1, "rgb-o "[rng() % 6]));
          break;
        case 1:
          f.Options();
          break;
        case 2:
          f.S(double(int(rng() % 5)) - 1);
          break;
        default: {
          const int32_t rows = int32_t(rng() % 3), cols = int32_t(rng() % 4);
          V v(size_t(rows * cols));
          for (double& x : v) x = double(int(rng() % 7)) - 3;
          f.M(rows, cols, v);
        }
      }
    }
    f.Native(name, nargout);
    if (!inFigure) {
      f.Open();
      ASSERT_TRUE(f.BeginSubplot(0));
    }
    if (trial % 50 == 49) {
      ASSERT_EQ(f.Close(), kOk);
      ASSERT_TRUE(ObjectListIsValid(f.block()->DataArea(), storeDoubles)) << "trial " << trial;
      ASSERT_TRUE(f.BeginSubplot(0));
    }
  }
}

TEST(ResponseNatives, HitTestAndDragReadWhatTheNativesWrote) {
  Figure f;
  f.R({1}).R({1, 1}).T("").S(3);
  ASSERT_EQ(f.Response(ResponseNative::kBodemag), kOk);
  // 1 / (s (s + 2)): the point -1 + 2j lies on its locus at K = 5.
  f.R({1}).R({1, 2, 0}).T("").S(4);
  ASSERT_EQ(f.Response(ResponseNative::kRlocus), kOk);
  test::CommandList list;
  list.Begin(0);
  for (const auto& c : f.Commands(0)) {
    list.Add(c.header.code, c.data, c.header.style, c.header.colour, c.header.id, c.header.index);
  }
  test::HitCanvas canvas;
  canvas.subplot().yFactor = -100;
  canvas.subplot().yOffset = 300;
  canvas.Store(list);
  const double y = 300 - 100 / std::sqrt(2.0);
  ASSERT_TRUE(canvas.Hit(1, y + 4));
  EXPECT_EQ(canvas.event.id, 3);
  EXPECT_NEAR(canvas.event.y0, 1 / std::sqrt(2.0), 1e-12);
  EventState hit{};
  hit.id = 4;
  canvas.subplot().yFactor = 1;
  canvas.subplot().yOffset = 0;
  ASSERT_TRUE(UpdateControlFromDrag(canvas.View(), 0, &canvas.subplot(), -1, 2, 1, &hit));
  EXPECT_NEAR(hit.x, 5, 1e-12);
}

}  // namespace
}  // namespace vke
