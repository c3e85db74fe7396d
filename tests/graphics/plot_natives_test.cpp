// The plot natives on a figure: the frame's context and room checks, the
// commands each native writes, the limits they widen and the argument errors
// they answer; fplot's step control and its samples through the interpreter.
#include "graphics/plot_natives.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "app/errors.hpp"
#include "app/runtime_tables.hpp"
#include "compiler/compile.hpp"
#include "engine/values/values.hpp"
#include "graphics/object_store.hpp"
#include "graphics/scale.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using Doubles = std::vector<double>;

// One argument: a double row (a scalar is a row of one), a matrix or a text.
struct Arg {
  Arg(std::initializer_list<double> row) : rows(row.size() ? 1 : 0), cols(row.size()), v(row) {}
  Arg(double x) : rows(1), cols(1), v{x} {}
  template <size_t N>
  Arg(const char (&s)[N]) : text(s) {}
  Arg(int32_t r, int32_t c, Doubles values) : rows(r), cols(c), v(std::move(values)) {}
  int32_t rows = 0, cols = 0;
  Doubles v;
  const char* text = nullptr;
};
const Arg kEmpty(0, 0, {});

// The x and y limits of subplot 0: x min, x max, y min, y max.
Doubles Limits(FigureHarness& h) {
  const SubplotRecord& r = h.subplot(0);
  return {r.limits[0], r.limits[3], r.limits[1], r.limits[4]};
}

// A figure whose subplot 0 is drawing, as during its draw handler.
struct Drawing : FigureHarness {
  Drawing() { EXPECT_TRUE(BeginSubplot(0)); }
  // Pushes the arguments and calls the native; on success its arguments
  // must be gone, on failure they are dropped here.
  ErrCode Run(const char* name, const std::vector<Arg>& args) {
    for (const Arg& a : args) {
      if (a.text) {
        EXPECT_EQ(PushCString(ctx(), -1, a.text), kOk);
      } else {
        test::PushArray(ctx(), "double", {a.rows, a.cols}, a.v);
      }
    }
    const ErrCode e = Call(name, static_cast<int32_t>(args.size()));
    if (e == kOk) {
      EXPECT_EQ(test::EntryCount(ctx()), 0) << name;
    }
    Drop(ctx(), test::EntryCount(ctx()));
    return e;
  }
  std::vector<test::FigureCommand> Cmds() const { return Commands(0); }
};

TEST(PlotFrame, NativesDrawOnlyIntoAnOpenSubplot) {
  Drawing h;
  ASSERT_EQ(h.Close(), kOk);
  const Doubles stored = h.Payload();
  EXPECT_EQ(h.Run("plot", {{1, 2}}), kErrBadContext);  // no object open, no subplot
  h.Open();
  EXPECT_EQ(h.Run("plot", {{1, 2}}), kErrBadContext);  // instance-wide step, none selected
  ASSERT_EQ(h.Close(), kOk);
  // A mouse handler names its subplot while the object is closed: nothing
  // may be appended behind the stored commands.
  ASSERT_TRUE(h.BeginSubplot(0));
  ASSERT_EQ(h.Close(), kOk);
  h.SelectSubplot(0);
  EXPECT_EQ(h.Run("plot", {{1, 2}}), kErrBadContext);
  EXPECT_EQ(h.Payload(), stored);
  EXPECT_EQ(h.callFlags(), 0u);
}

TEST(PlotFrame, FirstCommandOfAnObjectOpensTheSubplotGroup) {
  Drawing h;
  h.Open();  // an instance-wide step: the native writes command 70 itself
  h.SelectSubplot(0);
  ASSERT_EQ(h.Run("plot", {{1, 2, 3}}), kOk);
  EXPECT_EQ(h.Payload(), (Doubles{70, -1, -1, 0, 0, 1, 0, 1, -1, 1, 8, 0, 7, 3, 1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(Limits(h), (Doubles{1, 3, 1, 3}));
  EXPECT_EQ(h.callFlags(), kCallFlagDrew);

  Drawing d;  // a subplot's draw handler: the group is open already
  ASSERT_EQ(d.Run("plot", {{1, 2, 3}, "r"}), kOk);
  ASSERT_EQ(d.Close(), kOk);
  EXPECT_EQ(d.Payload().size(), 20u);
  EXPECT_EQ(d.Dump(), "1 -1 1 0x4 0xFF0000 | 3 1 2 3 1 2 3\n");
}

TEST(PlotFrame, CallsThatDoNotFitWriteNothing) {
  // line writes 9 doubles: a command that fills the room exactly fits.
  Drawing d;
  d.LimitRoom(9);
  EXPECT_EQ(d.Run("line", {{1, 1}, 2}), kOk);
  d.LimitRoom(8);
  EXPECT_EQ(d.Run("line", {{1, 1}, 2}), kKvPlotOverflow);
  EXPECT_EQ(d.used(), 16u);
  // An empty object needs room for command 70 as well.
  d.Open();
  d.SelectSubplot(0);
  d.LimitRoom(15);
  EXPECT_EQ(d.Run("line", {{1, 1}, 2}), kKvPlotOverflow);
  EXPECT_EQ(d.used(), 0u);
  EXPECT_EQ(d.callFlags(), 0u);
  d.LimitRoom(16);
  EXPECT_EQ(d.Run("line", {{1, 1}, 2}), kOk);
  EXPECT_EQ(d.used(), 16u);
}

TEST(PlotCurves, RowsAreSeriesAndShortArgumentsAreShared) {
  Drawing d;
  ASSERT_EQ(d.Run("plot", {{3, 2, {1, 2, 3, 4, 5, 6}}}), kOk);
  // One x row for all series; one x column: a constant x per series.
  ASSERT_EQ(d.Run("plot", {{10, 20}, {2, 2, {1, 2, 3, 4}}}), kOk);
  ASSERT_EQ(d.Run("plot", {{2, 1, {7, 8}}, {2, 2, {1, 2, 3, 4}}}), kOk);
  EXPECT_EQ(d.Dump(),
            "1 -1 1 0x8 0x000000 | 2 1 2 1 2\n"
            "1 -1 2 0x8 0x000000 | 2 1 2 3 4\n"
            "1 -1 3 0x8 0x000000 | 2 1 2 5 6\n"
            "1 -1 1 0x8 0x000000 | 2 10 20 1 2\n"
            "1 -1 2 0x8 0x000000 | 2 10 20 3 4\n"
            "1 -1 1 0x8 0x000000 | 2 7 7 1 2\n"
            "1 -1 2 0x8 0x000000 | 2 8 8 3 4\n");
  EXPECT_EQ(Limits(d), (Doubles{1, 20, 1, 6}));
  EXPECT_EQ(d.Run("plot", {{1, 2}, {1, 2, 3}}), kErrIncompSize);
  EXPECT_EQ(d.Run("plot", {kEmpty}), kOk);
  EXPECT_EQ(d.Cmds().size(), 7u);
}

TEST(PlotCurves, StyleIdAndStaircase) {
  Drawing d;
  EXPECT_EQ(d.Run("plot", {"r", {1, 2}}), kErrWrongType);        // style before the data
  EXPECT_EQ(d.Run("plot", {{1, 2}, "r", 1, 2}), kErrWrongType);  // neither last nor next to it
  EXPECT_EQ(d.Run("plot", {{1, 2}, "r", {1, 2}}), kErrNonScalarArg);
  ASSERT_EQ(d.Run("plot", {{1, 2, 3}, {4, 5, 6}, "s", 7}), kOk);
  EXPECT_EQ(d.Dump(), "1 7 1 0x800 0x000000 | 5 1 2 2 3 3 4 4 5 5 6\n");
  // Alternatives cycle over the series; a bad one fails at its series and
  // keeps the commands of the series before it.
  ASSERT_EQ(d.Run("plot", {{3, 1, {1, 2, 3}}, "rb"}), kOk);
  EXPECT_EQ(d.Run("plot", {{2, 1, {1, 2}}, "r,z"}), kErrUnknownOpt);
  std::vector<uint32_t> colours;
  for (const auto& c : d.Cmds()) colours.push_back(c.header.colour);
  EXPECT_EQ(colours, (std::vector<uint32_t>{0, 0xFF0000, 0xFF, 0xFF0000, 0xFF0000}));

  ASSERT_EQ(d.Run("plot3", {{1, 2}, {3, 4}, {5, 6}}), kOk);
  EXPECT_EQ(d.Cmds().back().data, (Doubles{2, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(d.Cmds().back().header.code, kCmdPolyline3);
  EXPECT_EQ(d.subplot(0).is3d, 1);
  EXPECT_EQ(d.Run("plot3", {{1, 2}, {3, 4}, "r"}), kErrWrongType);
}

TEST(PlotCurves, AreasStackColumnsAndFill) {
  Drawing d;
  ASSERT_EQ(d.Run("area", {{2, 2, {1, 2, 3, 4}}}), kOk);
  // Column 2 first, holding the sums 3 and 7, between base points at 0;
  // colours from the cycle blue, red in the style word.
  EXPECT_EQ(d.Dump(),
            "1 -1 2 0x21 0x000000 | 4 1 1 2 2 0 3 7 0\n"
            "1 -1 1 0x24 0x000000 | 4 1 1 2 2 0 1 3 0\n");
  EXPECT_EQ(Limits(d), (Doubles{1, 2, 0, 7}));
  // An x column per series: not stacked. Base and id.
  ASSERT_EQ(d.Run("area", {{2, 2, {5, 6, 7, 8}}, {2, 2, {1, 2, 3, 4}}, -1, "k", 9}), kOk);
  EXPECT_EQ(d.Cmds()[2].data, (Doubles{4, 6, 6, 8, 8, -1, 2, 4, -1}));
  EXPECT_EQ(d.Cmds()[2].header.id, 9);
  EXPECT_EQ(d.Run("area", {{1, 2, 3}, {1, 2}}), kErrIncompSize);
  EXPECT_EQ(d.Run("area", {{1}, "r", 1, 2}), kErrBadArg);
}

TEST(PlotCurves, PolarMakesAnEqualScaledPolarSubplot) {
  Drawing d;
  ASSERT_EQ(d.Run("polar", {{2, 2, {0, std::numbers::pi / 2, std::numbers::pi, 0}}, {1, 2}}), kOk);
  const auto c = d.Cmds();
  ASSERT_EQ(c.size(), 2u);
  const Doubles expected[2] = {{2, 1, 0, 0, 2}, {2, -1, 2, 0, 0}};
  for (int i = 0; i < 2; i++)
    for (int k = 0; k < 5; k++) EXPECT_NEAR(c[i].data[k], expected[i][k], 1e-12);
  EXPECT_EQ(d.subplot(0).scaleKind & kScaleEqual, kScaleEqual);
  EXPECT_EQ(d.subplot(0).plotFlag, 1);
  EXPECT_EQ(d.Run("polar", {{1, 2}, {1, 2, 3}}), kErrIncompSize);
  EXPECT_EQ(d.Run("polar", {{1}, "r"}), kErrWrongTypeOverload);
}

TEST(PlotLines, InfiniteLinesLeaveTheLimits) {
  Drawing d;
  const Doubles before = Limits(d);
  ASSERT_EQ(d.Run("line", {{1, 1}, 2}), kOk);
  ASSERT_EQ(d.Run("line", {{2, 2, {1, 0, 0, 1}}, 3, "r", 5}), kOk);
  // In 3-D a line is a pair of planes; a single plane leaves the second 0.
  ASSERT_EQ(d.Run("line3", {{1, 2, 3}, 4}), kOk);
  ASSERT_EQ(d.Run("line3", {{2, 3, {1, 0, 0, 0, 1, 0}}, {2, 1, {1, 2}}}), kOk);
  EXPECT_EQ(d.Dump(),
            "4 -1 1 0x8 0x000000 | 1 1 2\n"
            "4 5 1 0x4 0xFF0000 | 1 0 3\n"
            "4 5 2 0x4 0xFF0000 | 0 1 3\n"
            "14 -1 1 0x8 0x000000 | 1 2 3 4 0 0 0 0\n"
            "14 -1 1 0x8 0x000000 | 1 0 0 1 0 1 0 2\n");
  EXPECT_EQ(Limits(d), before);
  EXPECT_EQ(d.Run("line3", {{3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1}}, 1}), kErrBadSize);
  EXPECT_EQ(d.Run("line", {{1, 1}, {1, 2}}), kErrBadSize);
  EXPECT_EQ(d.Run("line", {{1, 1, 1}, 1}), kErrBadSize);
  EXPECT_EQ(d.Run("line", {{2, 2, {1, 0, 0, 1}}, {3, 1, {1, 2, 3}}}), kErrIncompSize);
  EXPECT_EQ(d.Run("line", {{1, 1}, 2, "", {1, 2}}), kErrBadArg);
  EXPECT_EQ(d.Run("line", {kEmpty, 2}), kOk);
  EXPECT_EQ(d.Cmds().size(), 5u);
}

TEST(PlotLines, CirclesAndActiveRegions) {
  Drawing d;
  ASSERT_EQ(d.Run("circle", {0, 0, 1}), kOk);
  EXPECT_EQ(Limits(d), (Doubles{-1, 1, -1, 1}));
  // One style: one command for all circles; several: one per circle.
  ASSERT_EQ(d.Run("circle", {{0, 4}, 0, 1}), kOk);
  ASSERT_EQ(d.Run("circle", {{0, 4}, 0, {1, 2}, "r,b", 3}), kOk);
  EXPECT_EQ(d.Dump(),
            "5 -1 -1 0x8 0x000000 | 1 0 0 1\n"
            "5 -1 -1 0x8 0x000000 | 2 0 4 0 0 1 1\n"
            "5 3 1 0x4 0xFF0000 | 1 0 0 1\n"
            "5 3 2 0x1 0x0000FF | 1 4 0 2\n");
  EXPECT_EQ(Limits(d), (Doubles{-1, 6, -2, 2}));
  EXPECT_EQ(d.Run("circle", {{0, 1}, {0, 1, 2}, 1}), kErrIncompSize);

  const Doubles before = Limits(d);
  ASSERT_EQ(d.Run("activeregion", {{0, 1, 1}, {0, 0, 1}, 4}), kOk);
  ASSERT_EQ(d.Run("activeregion", {10, 20, 30, 40, 5}), kOk);
  EXPECT_EQ(d.Cmds()[4].data, (Doubles{3, 0, 1, 1, 0, 0, 1}));
  EXPECT_EQ(d.Cmds()[5].data, (Doubles{4, 10, 20, 20, 10, 30, 30, 40, 40}));
  EXPECT_EQ(Limits(d), before);
  EXPECT_EQ(d.Run("activeregion", {1, 2, 3, 4}), kErrTooFewArgin);
  EXPECT_EQ(d.Run("activeregion", {{0, 1}, {0}, 1}), kErrIncompSize);
}

TEST(PlotBars, GroupedStackedAndIntervalBars) {
  Drawing d;
  ASSERT_EQ(d.Run("bar", {{2, 3, {1, 2, 3, 4, 5, 6}}}), kOk);
  auto c = d.Cmds();
  // Two series: step 0.8 / 1.8, width step * 0.8, the group centred.
  const double step = 0.8 / 1.8, width = step * 0.8, shift = width / 2 - 0.4;
  EXPECT_NEAR(c[0].data[1], width, 1e-12);
  EXPECT_NEAR(c[0].data[3], 1 + shift, 1e-12);
  EXPECT_NEAR(c[1].data[3], 1 + shift + step, 1e-12);
  const Doubles limits = Limits(d);
  EXPECT_NEAR(limits[0], 1 + shift - width / 2, 1e-12);
  EXPECT_NEAR(limits[1], 3 + shift + step + width / 2, 1e-12);
  EXPECT_EQ(limits[2], 0);
  EXPECT_EQ(limits[3], 6);
  // Stacked: sums from the first row, the last row written first.
  ASSERT_EQ(d.Run("barh", {{2, 2, {1, 2, 3, 4}}, "s"}), kOk);
  c = d.Cmds();
  EXPECT_EQ(c[2].data, (Doubles{1, 0.8, 2, 1, 2, 4, 6}));
  EXPECT_EQ(c[3].data, (Doubles{1, 0.8, 2, 1, 2, 1, 2}));
  // Interval bars: a pair of rows from the lower to the upper end; no 0.
  Drawing i;
  ASSERT_EQ(i.Run("bar", {{5, 7}, {2, 2, {1, 2, 3, 4}}, 0.5, "i"}), kOk);
  EXPECT_EQ(i.Dump(), "7 -1 1 0x21 0x000000 | 2 1 2 5 7 3 4 1 2\n");
  EXPECT_EQ(Limits(i), (Doubles{4.5, 7.5, 1, 4}));

  EXPECT_EQ(d.Run("bar", {{1, 2}, "x"}), kErrUnknownOpt);
  EXPECT_EQ(d.Run("bar", {{3, 1, {1, 2, 3}}, "i"}), kErrBadSize);
  EXPECT_EQ(d.Run("bar", {{1, 2}, {1, 2}, {1, 2, 3}}), kErrBadSize);
  EXPECT_EQ(d.Run("bar", {{1, 2, 3}, {2, 2, {1, 2, 3, 4}}}), kErrIncompSize);
  EXPECT_EQ(d.Run("bar", {1, "g", "r", "b", "k"}), kErrBadArg);
}

TEST(PlotBars, QuiverArrows) {
  Drawing d;
  // Scale 0 draws the vectors as given: (1, 1) to (2, 1), (2, 1) to (2, 3);
  // heads are 0.3 of the spacing, shaped by the vector over the longest.
  ASSERT_EQ(d.Run("quiver", {{1, 0}, {0, 2}, 0}), kOk);
  const double q = 0.3 / 2;
  const auto c = d.Cmds();
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0].data, (Doubles{2, 1, 2, 1, 1}));
  EXPECT_EQ(c[1].data, (Doubles{3, 2 - q, 2, 2 - q, 1 + q / 2, 1, 1 - q / 2}));
  EXPECT_EQ(c[2].data, (Doubles{2, 2, 2, 1, 3}));

  // A single arrow has no spacing to measure: it takes 1, never NaN.
  Drawing one;
  ASSERT_EQ(one.Run("quiver", {3, 4}), kOk);
  for (const auto& cmd : one.Cmds())
    for (double v : cmd.data) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NEAR(one.Cmds()[0].data[2], 1 + 0.9 * 3 / 5, 1e-12);
  EXPECT_EQ(Limits(one), (Doubles{0, 2, 0, 2}));
  // One column along y: x takes the spacing of y.
  Drawing column;
  ASSERT_EQ(column.Run("quiver", {0, {0, 4}, {2, 1, {1, 1}}, {2, 1, {0, 0}}}), kOk);
  EXPECT_EQ(Limits(column), (Doubles{-4, 4, -4, 8}));

  d.LimitRoom(47);
  EXPECT_EQ(d.Run("quiver", {{1, 2}, {1, 2}}), kKvPlotOverflow);
  EXPECT_EQ(d.Run("quiver", {{1, 2}, {1, 2, 3}}), kErrIncompSize);
}

// Samples f over [a, b] with the step control on a subplot whose y axis maps
// one data unit to one device unit.
SampleStep Sample(double (*f)(double), double a, double b, double maxPoints, Doubles* xs) {
  SubplotRecord r{};
  SubplotRecordInit(&r);
  r.yFactor = 1;
  r.yOffset = 0;
  Doubles ys(2000);
  xs->assign(2000, 0);
  SamplerState s = StartSampling(a, b, maxPoints);
  SampleStep step;
  while ((step = TakeSample(&s, f(s.x), xs->data(), ys.data(), r)) == SampleStep::kEvaluate) {
  }
  xs->resize(static_cast<size_t>(s.count));
  return step;
}

TEST(FunctionPlot, StepFollowsTheCurvature) {
  Doubles xs;
  ASSERT_EQ(Sample([](double x) { return 3 * x + 1; }, 0, 1, 1000, &xs), SampleStep::kDone);
  ASSERT_EQ(xs.size(), 101u);
  for (size_t i = 0; i < xs.size(); i++) EXPECT_NEAR(xs[i], i / 100.0, 1e-12);
  EXPECT_EQ(xs.back(), 1);
  // A parabola 1000 device units high needs smaller steps, never below a
  // tenth of the first.
  ASSERT_EQ(Sample([](double x) { return 1000 * x * x; }, -1, 1, 1000, &xs), SampleStep::kDone);
  EXPECT_GT(xs.size(), 101u);
  for (size_t i = 1; i < xs.size(); i++) EXPECT_GE(xs[i] - xs[i - 1], 0.002 - 1e-12);
  EXPECT_EQ(xs.back(), 1);
  EXPECT_EQ(Sample([](double x) { return 1000 * x * x; }, -1, 1, 50, &xs), SampleStep::kFull);
  EXPECT_EQ(Sample([](double x) { return x; }, 2, 2, 10, &xs), SampleStep::kDone);
  EXPECT_EQ(xs, (Doubles{2}));
}

TEST(FunctionPlot, ArgumentsAreCheckedBeforeSampling) {
  Drawing d;
  EXPECT_EQ(d.Run("fplot", {1}), kErrWrongTypeOverload);
  EXPECT_EQ(d.Run("fplot", {"sin", {0, 1, 2}}), kErrBadSize);
  EXPECT_EQ(d.Run("fplot", {"sin", {0, 1}, "z"}), kErrUnknownOpt);
  EXPECT_EQ(d.Run("fplot", {"sin", {0, INFINITY}}), kErrOutOfRangeArg);
  EXPECT_EQ(d.Run("fplot", {"sin", {2, 1}}), kOk);
  d.LimitRoom(16);
  EXPECT_EQ(d.Run("fplot", {"sin"}), kKvPlotOverflow);
  EXPECT_TRUE(d.Cmds().empty());
}

// fplot through the interpreter: the function is called back once per
// sample, with the extra parameters after x; a straight line takes the 101
// points of the first step. A function that fails ends fplot with its error,
// one that draws meanwhile with 400; nothing of either is kept.
TEST(FunctionPlot, SamplesThroughTheInterpreter) {
  FigureHarness h;
  const std::string source =
      "function y = affine(x, a, b)\n  global calls\n  calls = calls + 1;\n  y = a * x + b;\n"
      "endfunction\n"
      "function y = drawing(x)\n  plot(x, x);\n  y = x;\nendfunction\n"
      "function y = failing(x)\n  error('bad:x', 'no value at %g', x);\nendfunction\n";
  ASSERT_EQ(DefineSourceFunctions(h.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
            kOk);
  ASSERT_EQ(h.Draw(0,
                   "global calls\ncalls = 0;\nfplot(@affine, [0 1], 'r', 7, 2, 1);\n"
                   "fprintf(1, '%d calls', calls);"),
            kOk);
  EXPECT_EQ(h.TakeOutput(), "101 calls");
  const auto c = h.Commands(0);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].header.id, 7);
  EXPECT_EQ(c[0].header.colour, 0xFF0000u);
  ASSERT_EQ(c[0].data.size(), 203u);
  EXPECT_NEAR(c[0].data[51], 0.5, 1e-12);
  EXPECT_NEAR(c[0].data[102 + 50], 2, 1e-12);
  EXPECT_EQ(Limits(h), (Doubles{0, 1, 1, 3}));

  // What a failing function or one that draws leaves: its own commands,
  // none of fplot.
  struct Failing {
    const char* body;
    const char* message;
    Doubles left;  // data of the commands left, one after another
  };
  const Failing failing[] = {{"fplot(@failing, [0 1]);", "no value at 0", {}},
                             {"fplot(@drawing, [0 1]);", "Bad context", {1, 0, 0}}};
  for (const Failing& c : failing) {
    FigureHarness f;
    ASSERT_EQ(DefineSourceFunctions(f.ctx(), source.data(), static_cast<int32_t>(source.size()), 0),
              kOk);
    EXPECT_NE(f.Draw(0, c.body), kOk) << c.body;
    EXPECT_NE(f.TakeOutput().find(c.message), std::string::npos) << c.body;
    Doubles left;
    for (const auto& command : f.Commands(0))
      left.insert(left.end(), command.data.begin(), command.data.end());
    EXPECT_EQ(left, c.left) << c.body;
    ASSERT_EQ(f.Close(), kOk);
    // The figure draws again afterwards.
    EXPECT_EQ(f.Draw(0, "fplot(@sin, [0 1]);"), kOk);
    EXPECT_EQ(f.Commands(0).size(), 1u);
  }
}

// Every native but fplot (which would start a call) on combinations of
// awkward arguments: each answers a code or draws, and leaves the store
// well formed.
TEST(PlotNatives, AwkwardArgumentsNeverBreakTheObject) {
  const Arg kinds[] = {kEmpty, 2, {1, 2, 3}, {2, 3, {1, 2, 3, 4, 5, 6}}, "r", "s", NAN, ""};
  for (const char* name : {"plot", "plot3", "area", "polar", "line", "line3", "circle",
                           "activeregion", "bar", "barh", "quiver"}) {
    Drawing d;
    for (int32_t n = 0; n <= 6; n++) {
      for (int p = 0; p < 12; p++) {
        std::vector<Arg> args;
        for (int32_t i = 0; i < n; i++) args.push_back(kinds[(p * 7 + i * (p + 1)) % 8]);
        d.Run(name, args);
      }
    }
    ASSERT_EQ(d.Close(), kOk);
    EXPECT_TRUE(ObjectListIsValid(d.block()->DataArea(),
                                  (d.block()->dataBytes - kInstanceRecordBytes) / 8));
  }
}

TEST(PlotNatives, TableRecords) {
  const std::vector<std::string> names = {"plot", "area",   "polar",        "fplot",
                                          "line", "circle", "activeregion", "bar",
                                          "barh", "quiver", "plot3",        "line3"};
  const std::vector<int> counts = {1, 4, 1, 4, 2, 4, 1, 64, 2, 4, 3, 5,
                                   3, 5, 1, 6, 1, 6, 2, 6,  3, 5, 2, 4};
  // In table order; natives of other families may stand between them.
  const NativeFunctionRecord* r = AppStaticTable();
  for (size_t k = 0; k < names.size(); k++, r++) {
    while (!r->IsEnd() && r->name != names[k]) r++;
    ASSERT_FALSE(r->IsEnd());
    EXPECT_EQ(r->name, names[k]);
    EXPECT_EQ(r->minIn, counts[2 * k]);
    EXPECT_EQ(r->maxIn, counts[2 * k + 1]);
    EXPECT_EQ(r->maxOut + r->option + r->kind, 0u);
  }
}

}  // namespace
}  // namespace vke
