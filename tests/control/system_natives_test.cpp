// The conversion and margin natives on the value stack: forms, outputs,
// the errors of bad input and the stack left behind.
#include "control/system_natives.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "tests/control/native_call_fixture.hpp"
#include "tests/host/numeric_arrays.hpp"

namespace vke {
namespace {

using V = std::vector<double>;
using SystemNatives = test::NativeCallFixture;

TEST_F(SystemNatives, C2dmTransferFunctionMethods) {
  Row({1});
  Row({1, 1});
  S(0.1);
  ASSERT_EQ(Call(&C2dmNative, 2), kOk);
  ExpectValues(0, {0.0951625819640405}, 1e-14);
  ExpectValues(1, {1, -0.90483741803596}, 1e-14);
  // One output: the denominator.
  Row({1});
  Row({1, 1});
  S(0.1);
  ASSERT_EQ(Call(&C2dmNative, 1), kOk);
  ExpectValues(0, {1, -0.90483741803596}, 1e-14);
  Row({1});
  Row({1, 1});
  S(0.1);
  Text("t");
  ASSERT_EQ(Call(&C2dmNative, 2), kOk);
  ExpectValues(0, {1.0 / 21, 1.0 / 21}, 1e-15);
  ExpectValues(1, {1, -19.0 / 21}, 1e-15);
  Row({1});
  Row({1, 1});
  S(0.1);
  Text("");
  ASSERT_EQ(Call(&C2dmNative, 2), kOk);
  ExpectValues(0, {0.0951625819640405}, 1e-14);
  // Matched: a zero at the origin still gives a finite numerator.
  Row({1, 0});
  Row({1, 1});
  S(0.1);
  Text("m");
  ASSERT_EQ(Call(&C2dmNative, 2), kOk);
  ASSERT_EQ(out[0].re.size(), 2u);
  EXPECT_TRUE(std::isfinite(out[0].re[0]) && out[0].re[0] > 0);
  EXPECT_NEAR(out[0].re[1], -out[0].re[0], 1e-15);
  Row({1});
  Row({1, 1});
  S(0.1);
  Text("x");
  EXPECT_EQ(Call(&C2dmNative, 2), kErrUnknownOpt);
  Row({1});
  Row({1, 1});
  S(0.1);
  EXPECT_EQ(Call(&C2dmNative, 3), kErrTooManyArgout);
  for (double ts : V{0.0, -1.0, INFINITY, NAN}) {
    Row({1});
    Row({1, 1});
    S(ts);
    EXPECT_EQ(Call(&C2dmNative, 2), kErrBadArg);
  }
}

TEST_F(SystemNatives, C2dmRowsWithLeadingZeros) {
  // Two systems in one argument, the second den row padded with a zero.
  M(2, 2, {0, 1, 0, 1});
  M(2, 3, {1, 3, 2, 0, 1, 1});
  S(0.1);
  ASSERT_EQ(Call(&C2dmNative, 2), kOk);
  ASSERT_EQ(out[1].dims, (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(out[1].re[3], 0);
  EXPECT_EQ(out[1].re[4], 1);
  EXPECT_NEAR(out[1].re[5], -0.90483741803596, 1e-14);
  ASSERT_EQ(out[0].dims, (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(out[0].re[2], 0);
  EXPECT_NEAR(out[0].re[3], 0.0951625819640405, 1e-14);
  // A numerator of higher degree than its denominator, rows that differ.
  Row({1, 1, 1});
  Row({1, 1});
  S(0.1);
  EXPECT_EQ(Call(&C2dmNative, 2), kErrIncompSize);
  M(2, 1, {1, 1});
  Row({1, 1});
  S(0.1);
  EXPECT_EQ(Call(&C2dmNative, 2), kErrIncompSize);
}

TEST_F(SystemNatives, C2dmStateSpaceAndTustinRoundTrip) {
  S(-1);
  S(1);
  S(1);
  S(0);
  S(0.1);
  ASSERT_EQ(Call(&C2dmNative, 4), kOk);
  ExpectValues(0, {std::exp(-0.1)}, 1e-15);
  ExpectValues(1, {1 - std::exp(-0.1)}, 1e-15);
  ExpectValues(2, {1}, 0);
  ExpectValues(3, {0}, 0);
  const V a = {0, 1, -2, -3}, b = {0, 1}, c = {1, 0.5}, d = {0.25};
  M(2, 2, a);
  M(2, 1, b);
  M(1, 2, c);
  M(1, 1, d);
  S(0.1);
  Text("t");
  ASSERT_EQ(Call(&C2dmNative, 4), kOk);
  const auto disc = out;
  for (const auto& v : disc) M(v.dims[0], v.dims[1], v.re);
  S(0.1);
  Text("t");
  ASSERT_EQ(Call(&D2cmNative, 4), kOk);
  ExpectValues(0, a, 1e-12);
  ExpectValues(1, b, 1e-12);
  ExpectValues(2, c, 1e-12);
  ExpectValues(3, d, 1e-12);
  // A pole at 2 / ts forwards, at z = -1 back: singular.
  S(20);
  S(1);
  S(1);
  S(0);
  S(0.1);
  Text("t");
  EXPECT_EQ(Call(&C2dmNative, 4), kErrBadArg);
  S(-1);
  S(1);
  S(1);
  S(0);
  S(0.1);
  EXPECT_EQ(Call(&D2cmNative, 4), kErrBadArg);
  Row({1});
  Row({1, 1});
  S(0.1);
  EXPECT_EQ(Call(&D2cmNative, 2), kErrBadArg);
  Row({1});
  Row({1, -20});
  S(0.1);
  Text("t");
  EXPECT_EQ(Call(&C2dmNative, 2), kErrBadArg);
  // The refused and mismatched forms.
  S(-1);
  S(1);
  S(1);
  S(0);
  S(0.1);
  Text("m");
  EXPECT_EQ(Call(&C2dmNative, 4), kErrNotSupported);
  M(1, 2, {1, 2});
  S(1);
  S(1);
  S(0);
  S(0.1);
  EXPECT_EQ(Call(&C2dmNative, 4), kErrIncompSize);
  S(-1);
  S(1);
  S(1);
  S(0);
  S(0.1);
  Text("z");
  EXPECT_EQ(Call(&D2cmNative, 4), kErrUnknownOpt);
}

TEST_F(SystemNatives, CompanionFormConversions) {
  Row({1, 2});
  Row({1, 3, 2});
  ASSERT_EQ(Call(&Tf2ssNative, 4), kOk);
  ExpectValues(0, {-3, -2, 1, 0}, 0);
  ExpectValues(1, {1, 0}, 0);
  ExpectValues(2, {1, 2}, 0);
  ExpectValues(3, {0}, 0);
  for (const auto& v : out) M(v.dims[0], v.dims[1], v.re);
  ASSERT_EQ(Call(&Ss2tfNative, 2), kOk);
  ExpectValues(0, {1, 2}, 1e-14);
  ExpectValues(1, {1, 3, 2}, 1e-14);
  // Leading zeros of den are stripped.
  Row({1, 2});
  Row({0, 1, 3, 2});
  ASSERT_EQ(Call(&Tf2ssNative, 1), kOk);
  ExpectValues(0, {-3, -2, 1, 0}, 0);
  Row({1});
  M(2, 2, {1, 3, 1, 2});
  EXPECT_EQ(Call(&Tf2ssNative, 1), kErrNonRowVector);
  Row({1, 2, 3, 4});
  Row({1, 3, 2});
  EXPECT_EQ(Call(&Tf2ssNative, 1), kErrIncompSize);
  // Two inputs need an index, a scalar one within the inputs.
  const auto twoInputs = [&] {
    S(-1);
    M(1, 2, {1, 2});
    S(1);
    M(1, 2, {0, 0});
  };
  twoInputs();
  EXPECT_EQ(Call(&Ss2tfNative, 2), kErrTooFewArgin);
  twoInputs();
  Row({1, 2});
  EXPECT_EQ(Call(&Ss2tfNative, 2), kErrNonScalarArg);
  twoInputs();
  S(3);
  EXPECT_EQ(Call(&Ss2tfNative, 2), kErrIndexOutOfRange);
  twoInputs();
  S(2);
  ASSERT_EQ(Call(&Ss2tfNative, 2), kOk);
  ExpectValues(0, {2}, 1e-14);
  ExpectValues(1, {1, 1}, 1e-14);
}

TEST_F(SystemNatives, Margins) {
  Row({2});
  Row({1, 3, 3, 1});
  ASSERT_EQ(Call(&MarginNative, 4), kOk);
  ASSERT_EQ(out[0].re.size(), 2u);
  EXPECT_EQ(out[0].re[0], -INFINITY);
  EXPECT_NEAR(out[0].re[1], 4, 1e-6);
  ExpectValues(1, {1.1798088}, 1e-6);
  EXPECT_EQ(out[2].re[0], INFINITY);
  EXPECT_NEAR(out[2].re[1], std::sqrt(3.0), 1e-6);
  ExpectValues(3, {0.7664209}, 1e-6);
  // A loop gain of exactly 1 at zero frequency, falling after it: no gain
  // crossover, so no phase margin; the gain margin as before.
  for (double k : {1.0, 1.0 + 1e-13, 1.0 - 1e-13}) {
    Row({k});
    Row({1, 3, 3, 1});
    ASSERT_EQ(Call(&MarginNative, 4), kOk);
    EXPECT_TRUE(out[1].re.empty()) << k;
    EXPECT_TRUE(out[3].re.empty()) << k;
    EXPECT_NEAR(out[0].re[1], 8 / k, 1e-6);
  }
  // Just above 1: a real crossover near zero frequency.
  Row({1.001});
  Row({1, 3, 3, 1});
  ASSERT_EQ(Call(&MarginNative, 4), kOk);
  ASSERT_EQ(out[3].re.size(), 1u);
  EXPECT_NEAR(out[3].re[0], std::sqrt(std::pow(1.001, 2.0 / 3) - 1), 1e-4);
  // An unstable closed loop: every output empty.
  Row({10});
  Row({1, 3, 3, 1});
  ASSERT_EQ(Call(&MarginNative, 4), kOk);
  for (const auto& v : out) EXPECT_TRUE(v.re.empty());
  // The discrete form divides its angles by ts.
  Row({0.5});
  Row({1, -0.5});
  ASSERT_EQ(Call(&DmarginNative, 3), kOk);
  const auto unit = out;
  Row({0.5});
  Row({1, -0.5});
  S(0.1);
  ASSERT_EQ(Call(&DmarginNative, 3), kOk);
  ExpectValues(0, unit[0].re, 0);
  ExpectValues(2, {unit[2].re[0] / 0.1, unit[2].re[1] / 0.1}, 1e-12);
  EXPECT_NEAR(unit[0].re[1], 3, 1e-12);  // L(-1) = -1/3
  // A zero of the loop at z = -1 (at infinite frequency for margin): L
  // there is exactly 0, so both gain margins are infinite, at pi (infinite
  // frequency), and no gain crossover gives a phase margin.
  for (bool discrete : {false, true}) {
    SCOPED_TRACE(discrete);
    if (discrete) {
      Row({0.25, 0.25});
      Row({1, 0});
    } else {
      Row({0.5});
      Row({1, 1});
    }
    ASSERT_EQ(Call(discrete ? &DmarginNative : &MarginNative, 4), kOk);
    const double angle = discrete ? std::numbers::pi : INFINITY;
    EXPECT_EQ(out[0].re, (std::vector<double>{-INFINITY, INFINITY}));
    EXPECT_TRUE(out[1].re.empty());
    EXPECT_EQ(out[2].re, (std::vector<double>{angle, angle}));
    EXPECT_TRUE(out[3].re.empty());
  }
  // A pole at z = 1 keeps the infinite margins no crossover replaces.
  Row({0.1});
  Row({1, -1});
  ASSERT_EQ(Call(&DmarginNative, 1), kOk);
  EXPECT_EQ(out[0].re[0], -INFINITY);
  EXPECT_NEAR(out[0].re[1], 20, 1e-9);
  Row({1});
  Row({1, 1});
  M(1, 2, {0.1, 0.1});
  EXPECT_EQ(Call(&DmarginNative, 1), kErrNonSquareSize);
  Row({1});
  M(2, 1, {1, 1});
  EXPECT_EQ(Call(&MarginNative, 1), kErrNonRowVector);
  Row({1, 1, 1});
  Row({1, 1});
  EXPECT_EQ(Call(&MarginNative, 1), kErrIncompSize);
}

// Random argument shapes and values: every call either succeeds with its
// outputs or fails leaving its arguments, and the stack stays balanced.
TEST_F(SystemNatives, RandomArgumentsKeepTheStackBalanced) {
  std::mt19937 rng(42);
  const test::NativeFn fns[] = {&C2dmNative,  &D2cmNative,   &Ss2tfNative,
                                &Tf2ssNative, &MarginNative, &DmarginNative};
  const int32_t minIn[] = {3, 3, 4, 2, 2, 2}, maxIn[] = {6, 6, 5, 2, 2, 3};
  std::uniform_real_distribution<double> value(-3, 3);
  for (int trial = 0; trial < 400; trial++) {
    const int f = int(rng() % 6);
    const int32_t nargin = minIn[f] + int32_t(rng() % (maxIn[f] - minIn[f] + 1));
    const int32_t nargout = 1 + int32_t(rng() % 4);
    const int32_t base = test::EntryCount(ctx);
    for (int32_t k = 0; k < nargin; k++) {
      if (k == nargin - 1 && rng() % 3 == 0) {
        Text(std::string(1, "zftmx"[rng() % 5]));
        continue;
      }
      const int32_t rows = int32_t(rng() % 3), cols = int32_t(rng() % 4);
      V v(size_t(rows * cols));
      for (double& x : v) x = rng() % 4 == 0 ? 0.0 : value(rng);
      M(rows, cols, v);
    }
    Call(fns[f], nargout);
    ASSERT_EQ(test::EntryCount(ctx), base) << "trial " << trial;
  }
}

}  // namespace
}  // namespace vke
