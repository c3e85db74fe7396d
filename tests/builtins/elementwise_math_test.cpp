// Elementwise mathematics: the rules at special points, and the values of
// every function against reference values on a few thousand points.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <map>
#include <numbers>
#include <set>
#include <sstream>

#include "builtins/builtin.hpp"
#include "builtins/vector_math.hpp"
#include "engine/code/opcodes.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "tests/host/builtin_calls.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using namespace test;

constexpr double kPi = std::numbers::pi;

// f(values) of a real row: the result read back.
ArrayValue Apply(EngineContext* ctx, int32_t opcode, const Values& re, const Values& im = {}) {
  PushArray(ctx, "double", {1, static_cast<int32_t>(re.size())}, re, im);
  EXPECT_EQ(CallOp(ctx, opcode), kOk);
  ArrayValue a = ReadArray(ctx);
  Drop(ctx);
  return a;
}

TEST(ElementwiseMath, RoundingRules) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // Halves go toward +Inf; beyond 2^52 every double is whole.
  EXPECT_EQ(
      Apply(ctx, kOpRound, {2.5, -2.5, -0.5, 0.49999999999999994, 0x1p52 + 1, -0x1p53 - 2}).re,
      (Values{3, -2, 0, 0, 0x1p52 + 1, -0x1p53 - 2}));
  EXPECT_EQ(Apply(ctx, kOpFix, {-2.7, 2.7}).re, (Values{-2, 2}));
  EXPECT_EQ(Apply(ctx, kOpFloor, {-2.5, 2.5}).re, (Values{-3, 2}));
  ArrayValue a = Apply(ctx, kOpCeil, {1.2, -1.2}, {-0.5, 3.5});
  EXPECT_EQ(a.re, (Values{2, -1}));
  EXPECT_EQ(a.im, (Values{-0.0, 4}));
  a = Apply(ctx, kOpRound, {INFINITY, NAN});
  EXPECT_TRUE(std::isinf(a.re[0]));
  EXPECT_TRUE(std::isnan(a.re[1]));
}

TEST(ElementwiseMath, ExponentialsAndLogarithms) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  // log(0) stays real; a negative element turns the value complex from
  // there, and the elements before it get a zero imaginary part.
  ArrayValue a = Apply(ctx, kOpLog, {0, 1});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re[0], -INFINITY);
  a = Apply(ctx, kOpLog, {1, -1, std::exp(1.0)});
  ASSERT_FALSE(a.im.empty());
  EXPECT_EQ(a.re, (Values{0, 0, 1}));
  EXPECT_EQ(a.im, (Values{0, kPi, 0}));
  a = Apply(ctx, kOpLog10, {-10});
  EXPECT_EQ(a.re[0], 1);
  EXPECT_EQ(a.im[0], 1.3643763538418412);
  EXPECT_EQ(Apply(ctx, kOpLog2, {-8}).im[0], 4.532360141827194);
  a = Apply(ctx, kOpSqrt, {4, -4});
  EXPECT_EQ(a.re, (Values{2, 0}));
  EXPECT_EQ(a.im, (Values{0, 2}));
  EXPECT_EQ(Apply(ctx, kOpExp, {INFINITY, -INFINITY}).re, (Values{INFINITY, 0}));
  EXPECT_EQ(Apply(ctx, kOpExpm1, {1e-20, INFINITY, -INFINITY, 1e4}).re,
            (Values{1e-20, INFINITY, -1, INFINITY}));
  a = Apply(ctx, kOpLog1p, {1e-20, INFINITY, -1, -2});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re[0], 1e-20);
  EXPECT_EQ(a.re[1], INFINITY);
  EXPECT_EQ(a.re[2], -INFINITY);
  EXPECT_TRUE(std::isnan(a.re[3]));
  // reallog and realsqrt never turn complex, and drop an imaginary part.
  a = Apply(ctx, kOpReallog, {-1, 1});
  EXPECT_TRUE(a.im.empty());
  EXPECT_TRUE(std::isnan(a.re[0]));
  a = Apply(ctx, kOpRealsqrt, {4}, {3});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re, (Values{2}));
  // A complex argument stays complex, even with zero imaginary parts.
  a = Apply(ctx, kOpExp, {0}, {0});
  EXPECT_FALSE(a.im.empty());
  EXPECT_EQ(a.re, (Values{1}));
  // A NaN in either part of a complex argument makes both parts NaN, an
  // infinite other part included.
  for (int32_t op : {kOpLog, kOpLog2, kOpLog10, kOpLog1p}) {
    a = Apply(ctx, op, {NAN, 5, INFINITY, NAN}, {5, NAN, NAN, -INFINITY});
    for (size_t k = 0; k < 4; k++)
      EXPECT_TRUE(std::isnan(a.re[k]) && std::isnan(a.im[k])) << op << " at " << k;
  }
}

TEST(ElementwiseMath, TrigonometricAndHyperbolicBranches) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ArrayValue a = Apply(ctx, kOpAcos, {2});
  EXPECT_EQ(a.re[0], 0);
  EXPECT_NEAR(a.im[0], 1.3169579, 1e-7);
  a = Apply(ctx, kOpAsin, {2, -2});
  EXPECT_EQ(a.re, (Values{kPi / 2, -kPi / 2}));
  EXPECT_NEAR(a.im[0], -1.3169579, 1e-7);
  EXPECT_NEAR(a.im[1], 1.3169579, 1e-7);
  a = Apply(ctx, kOpAtanh, {2});
  EXPECT_EQ(a.re[0], 0.5493061443340549);
  EXPECT_EQ(a.im[0], kPi / 2);
  a = Apply(ctx, kOpAcosh, {0.5, -2, 1});
  EXPECT_EQ(a.re[0], 0);
  EXPECT_NEAR(a.im[0], 1.0471975511965976, 4e-16);  // pi / 3
  // The branch of ln(x + sqrt(x^2 - 1)): a negative real part.
  EXPECT_NEAR(a.re[1], -1.3169579, 1e-7);
  EXPECT_EQ(a.im[1], kPi);
  EXPECT_EQ(a.re[2], 0);
  a = Apply(ctx, kOpAcosh, {-2}, {1e-300});
  EXPECT_NEAR(a.re[0], -1.3169579, 1e-7);
  // Reciprocals: 1/0 is +Inf, also for a complex 0.
  EXPECT_EQ(Apply(ctx, kOpCsc, {0}).re, (Values{INFINITY}));
  EXPECT_EQ(Apply(ctx, kOpCot, {0}).re, (Values{INFINITY}));
  a = Apply(ctx, kOpAsec, {0}, {-0.0});
  EXPECT_FALSE(a.im.empty());
  EXPECT_EQ(Apply(ctx, kOpSinc, {0, 0.5}).re, (Values{1, 2 / kPi}));
  // tanh saturates instead of giving Inf / Inf.
  EXPECT_EQ(Apply(ctx, kOpTanh, {INFINITY, -1e6, 800}).re, (Values{1, -1, 1}));
  a = Apply(ctx, kOpTanh, {1e6}, {1});
  EXPECT_EQ(a.re[0], 1);
  EXPECT_EQ(a.im[0], 0);
  a = Apply(ctx, kOpTan, {1}, {1e6});
  EXPECT_EQ(a.re[0], 0);
  EXPECT_EQ(a.im[0], 1);
}

TEST(ElementwiseMath, AbsAngleSignAtan2) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  ArrayValue a = Apply(ctx, kOpAbs, {3, 1e300}, {4, 1e300});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re, (Values{5, 1.4142135623730952e300}));
  EXPECT_EQ(Apply(ctx, kOpAbs, {-2, 0}).re, (Values{2, 0}));
  EXPECT_EQ(Apply(ctx, kOpAngle, {-1, 2}).re, (Values{kPi, 0}));
  a = Apply(ctx, kOpAngle, {0}, {1});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re, (Values{kPi / 2}));
  EXPECT_EQ(Apply(ctx, kOpSign, {-3, 0, 2}).re, (Values{-1, 0, 1}));
  a = Apply(ctx, kOpSign, {3, 0}, {4, 0});
  EXPECT_EQ(a.re, (Values{0.6, 0}));
  EXPECT_EQ(a.im, (Values{0.8, 0}));

  PushArray(ctx, "double", {2, 3}, {1, -1, 0, 1, -1, 0});
  PushRow(ctx, "double", {1});
  ASSERT_EQ(CallOp(ctx, kOpAtan2), kOk);
  EXPECT_EQ(ValuesAt(ctx), (Values{kPi / 4, -kPi / 4, 0, kPi / 4, -kPi / 4, 0}));
  PushArray(ctx, "double", {2, 3}, Values(6, 1));
  PushArray(ctx, "double", {3, 2}, Values(6, 1));
  EXPECT_EQ(CallOp(ctx, kOpAtan2), kErrIncompSize);
  Drop(ctx, 2);
  PushArray(ctx, "int8", {1, 1}, {1});
  PushRow(ctx, "double", {1});
  EXPECT_EQ(CallOp(ctx, kOpAtan2), kErrWrongTypeOverload);
  Drop(ctx, 2);
  // Only double arrays: other classes let an object's method serve.
  for (const char* cls : {"int8", "single", "char", "logical"}) {
    PushArray(ctx, cls, {1, 1}, {1});
    EXPECT_EQ(CallOp(ctx, kOpSin), kErrWrongTypeOverload);
    Drop(ctx);
  }
}

// Reference values: lines "name kind re im value-re value-im", one call per
// run of lines with one name and kind (C: a complex argument).
struct ReferenceGroup {
  std::string name, kind;
  Values re, im, yre, yim;
};

std::vector<ReferenceGroup> ReadReferenceValues(const std::string& file) {
  std::vector<ReferenceGroup> groups;
  const char* dir = std::getenv("VKE_TEST_DATA");
  EXPECT_NE(dir, nullptr);
  if (!dir) return groups;
  std::ifstream in(std::string(dir) + "/" + file);
  EXPECT_TRUE(in.good()) << file;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream f(line);
    std::string name, kind;
    double re, im, yre, yim;
    f >> name >> kind >> re >> im >> yre >> yim;
    if (groups.empty() || groups.back().name != name || groups.back().kind != kind)
      groups.push_back({name, kind, {}, {}, {}, {}});
    ReferenceGroup& g = groups.back();
    g.re.push_back(re);
    g.im.push_back(im);
    g.yre.push_back(yre);
    g.yim.push_back(yim);
  }
  return groups;
}

// Calls each group's function and checks every value with near(got, want);
// returns the number of points.
template <typename Near>
size_t CheckReferenceValues(const std::vector<ReferenceGroup>& groups, Near near) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  size_t points = 0;
  for (const ReferenceGroup& g : groups) {
    const BuiltinRecord* r = FindBuiltinRecord(g.name.data(), int32_t(g.name.size()));
    EXPECT_NE(r, nullptr) << g.name;
    if (!r) continue;
    const ArrayValue a =
        Apply(ctx, static_cast<int32_t>(r->id), g.re, g.kind == "C" ? g.im : Values{});
    EXPECT_EQ(a.re.size(), g.re.size()) << g.name;
    if (a.re.size() != g.re.size()) continue;
    for (size_t k = 0; k < g.re.size(); k++) {
      const std::complex<double> want(g.yre[k], g.yim[k]);
      const std::complex<double> got(a.re[k], a.im.empty() ? 0 : a.im[k]);
      EXPECT_TRUE(near(got, want)) << std::setprecision(17) << g.name << "(" << g.re[k]
                                   << (g.kind == "C" ? " + " + std::to_string(g.im[k]) + "i" : "")
                                   << ") = " << got << ", reference " << want;
    }
    points += g.re.size();
  }
  return points;
}

TEST(ElementwiseMath, AgreesWithReferenceValues) {
  const size_t points =
      CheckReferenceValues(ReadReferenceValues("elementwise_math.txt"),
                           [](std::complex<double> got, std::complex<double> want) {
                             return std::abs(got - want) <= 1e-15 * std::abs(want);
                           });
  EXPECT_GT(points, 3000u);
}

// Units in the last place between two doubles of one sign.
double UlpsApart(double got, double want) {
  if (got == want) return 0;
  if (std::isnan(got) || std::isnan(want)) return INFINITY;
  const double ulp = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
  return std::fabs(got - want) / ulp;
}

// Near the singular points, where a formula can lose most of its digits:
// both parts within a few units in the last place.
TEST(ElementwiseMath, KeepsPrecisionNearSingularPoints) {
  const size_t points = CheckReferenceValues(
      ReadReferenceValues("singular_points.txt"),
      [](std::complex<double> got, std::complex<double> want) {
        return UlpsApart(got.real(), want.real()) <= 4 && UlpsApart(got.imag(), want.imag()) <= 4;
      });
  EXPECT_GT(points, 400u);
}

// tanh and coth of i times the doubles nearest odd multiples of pi/2, where
// cos(im) is nearly 0: huge and finite, and its reciprocal tiny, as
// sinh(z) / cosh(z) gives them; tan at the matching real point. The values
// are an independent implementation's.
TEST(ElementwiseMath, HyperbolicTangentNearItsPoles) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const Values re = {0, 0, 0, 1e-20, 0.5, 0};
  const Values im = {kPi / 2, 3 * kPi / 2, -kPi / 2, kPi / 2, kPi / 2, 5 * kPi / 2};
  const std::complex<double> tanh[] = {{0, 16331239353195370},
                                       {0, 5443746451065124},
                                       {0, -16331239353195370},
                                       {2667093716979.6802, 16331238917625910},
                                       {2.1639534137386525, 2.2549999404121241e-16},
                                       {0, 3266247870639073.5}};
  const std::complex<double> coth[] = {{0, -6.123233995736766e-17},
                                       {0, -1.8369701987210294e-16},
                                       {0, 6.123233995736766e-17},
                                       {1.0000000000000001e-20, -6.123233995736766e-17},
                                       {0.46211715726000985, -4.8156034943670785e-17},
                                       {0, -3.0616169978683831e-16}};
  const ArrayValue t = Apply(ctx, kOpTanh, re, im), c = Apply(ctx, kOpCoth, re, im);
  for (size_t k = 0; k < re.size(); k++) {
    SCOPED_TRACE(k);
    EXPECT_LE(UlpsApart(t.re[k], tanh[k].real()), 4) << t.re[k];
    EXPECT_LE(UlpsApart(t.im[k], tanh[k].imag()), 4) << t.im[k];
    EXPECT_LE(UlpsApart(c.re[k], coth[k].real()), 4) << c.re[k];
    EXPECT_LE(UlpsApart(c.im[k], coth[k].imag()), 4) << c.im[k];
  }
  const ArrayValue tan = Apply(ctx, kOpTan, {kPi / 2}, {0});
  EXPECT_LE(UlpsApart(tan.re[0], 16331239353195370), 4) << tan.re[0];
  EXPECT_EQ(tan.im[0], 0);
}

}  // namespace
}  // namespace vke

namespace vke {
namespace {

using namespace test;

// The real points of the functions that take whole real arrays in one pass,
// all in one array so that the pass runs: each value within one unit in the
// last place of the reference, the tail past the last group of four as well.
TEST(ElementwiseMath, WholeArrayPassesStayWithinOneUlp) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const std::set<std::string> passes = {"exp", "expm1", "log", "log10", "log2", "log1p", "sqrt",
                                        "sin", "cos",   "tan", "atan",  "asin", "acos",  "tanh"};
  size_t points = 0;
  for (const ReferenceGroup& g : ReadReferenceValues("elementwise_math.txt")) {
    if (g.kind != "R" || !passes.count(g.name)) continue;
    Values x, want;
    for (size_t k = 0; k < g.re.size(); k++)
      if (g.yim[k] == 0) x.push_back(g.re[k]), want.push_back(g.yre[k]);
    if (x.size() % 4 == 0) x.pop_back(), want.pop_back();
    const BuiltinRecord* r = FindBuiltinRecord(g.name.data(), int32_t(g.name.size()));
    ASSERT_NE(r, nullptr);
    const ArrayValue a = Apply(ctx, static_cast<int32_t>(r->id), x);
    ASSERT_EQ(a.re.size(), x.size());
    EXPECT_TRUE(a.im.empty()) << g.name;
    for (size_t k = 0; k < x.size(); k++)
      EXPECT_LE(UlpsApart(a.re[k], want[k]), 1)
          << std::setprecision(17) << g.name << "(" << x[k] << ") = " << a.re[k];
    points += x.size();
  }
  EXPECT_GT(points, 600u);
}

// No value overflows or underflows before its exact value does, and the
// signed zeros and the domains' ends keep the element-by-element rules.
TEST(ElementwiseMath, WholeArrayPassesAtTheEdges) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const Values big = {709.78, -745.0, -740.0, 1e-300, -1e-300, 0.0, -0.0};
  ArrayValue a = Apply(ctx, kOpExp, big);
  for (size_t k = 0; k < big.size(); k++) EXPECT_EQ(a.re[k], std::exp(big[k])) << big[k];
  EXPECT_GT(a.re[1], 0);  // the least subnormal
  a = Apply(ctx, kOpLog, {0.0, -0.0, 4.9406564584124654e-324, 1.7976931348623157e308, NAN});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re[0], -INFINITY);
  EXPECT_EQ(a.re[1], -INFINITY);
  EXPECT_NEAR(a.re[2], -744.44007192138122, 1e-12);
  EXPECT_NEAR(a.re[3], 709.78271289338397, 1e-12);
  EXPECT_TRUE(std::isnan(a.re[4]));
  // Huge arguments are reduced exactly.
  a = Apply(ctx, kOpSin, {1e300, 1e22, -0.0, 0x1p-1060});
  EXPECT_LE(UlpsApart(a.re[0], -0.81788191211590855), 1);
  EXPECT_EQ(a.re[1], -0.8522008497671888);
  EXPECT_TRUE(std::signbit(a.re[2]));
  EXPECT_EQ(a.re[3], 0x1p-1060);
  // One element outside the real domain sends the whole array down the
  // element-by-element path; the domain's ends stay real.
  a = Apply(ctx, kOpAsin, {1, -1, 0.5});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re[0], kPi / 2);
  a = Apply(ctx, kOpAcos, {0.5, 0.25, 0.125, 0.0625, 2});
  ASSERT_FALSE(a.im.empty());
  EXPECT_EQ(a.im[4], std::acosh(2.0));
  EXPECT_EQ(a.re[0], std::acos(0.5));
  a = Apply(ctx, kOpLog1p, {-1, 0.5, 1, 2, 3});
  EXPECT_TRUE(a.im.empty());
  EXPECT_EQ(a.re[0], -INFINITY);
  a = Apply(ctx, kOpSqrt, {-0.0, 4, 9, 16, 25});
  EXPECT_TRUE(a.im.empty());
  EXPECT_TRUE(std::signbit(a.re[0]));
  EXPECT_EQ(a.re[4], 5);
  EXPECT_EQ(Apply(ctx, kOpTanh, {-800, 800, 1e-310}).re, (Values{-1, 1, 1e-310}));
}

// The vector library is opened at the kernels' first use; one that cannot
// be opened, or that lacks a routine, leaves them unavailable and the
// functions take the element-by-element path with the same results.
TEST(ElementwiseMath, WholeArrayPassesWithoutTheVectorLibrary) {
  TestHost host;
  EngineContext* ctx = host.ctx();
  const Values x = {-3, -0.5, 0.25, 1, 2.5, 7, 30};
  const ArrayValue vectorExp = Apply(ctx, kOpExp, x);
  const ArrayValue vectorSin = Apply(ctx, kOpSin, x);
  for (const char* library : {"libabsent-vector.so.3", "libc.so.6"}) {
    PointVectorMathAt(library);
    EXPECT_FALSE(VectorMathAvailable()) << library;
    const ArrayValue e = Apply(ctx, kOpExp, x);
    const ArrayValue s = Apply(ctx, kOpSin, x);
    for (size_t k = 0; k < x.size(); k++) {
      EXPECT_LE(UlpsApart(e.re[k], vectorExp.re[k]), 1) << library << " exp " << x[k];
      EXPECT_LE(UlpsApart(s.re[k], vectorSin.re[k]), 1) << library << " sin " << x[k];
    }
    // Outside the real domain the element path still gives complex values.
    EXPECT_FALSE(Apply(ctx, kOpLog, {-1, 2}).im.empty());
  }
  PointVectorMathAt(nullptr);
  const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  EXPECT_EQ(VectorMathAvailable(), avx2);
  if (avx2) {
    for (int f = 0; f < static_cast<int>(VectorFunction::kCount); f++)
      EXPECT_NE(VectorRoutine(static_cast<VectorFunction>(f)), nullptr) << f;
  }
  EXPECT_EQ(Apply(ctx, kOpExp, x).re, vectorExp.re);
}

}  // namespace
}  // namespace vke
