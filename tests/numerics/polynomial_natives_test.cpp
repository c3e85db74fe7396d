// The polynomial natives: values, derivatives of products and quotients,
// integrals, roots of one polynomial and of a matrix's columns or rows
// (leading zeros left out), polynomials of roots and of matrices (an
// imaginary part kept unless the roots pair up exactly), codes, and the
// room they take.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/numerics/linalg_fixture.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

class PolynomialNatives : public LinalgFixture {};

TEST_F(PolynomialNatives, ValuesDerivativesAndIntegrals) {
  EXPECT_EQ(Show("same(polyval([1 2 3], [0 1 2]), [3 6 11])"), "true");
  EXPECT_EQ(Show("same(polyval([], [1 2; 3 4]), zeros(2)) && isempty(polyval([1 2], []))"), "true");
  EXPECT_EQ(Show("same(polyval([1i 1], [1 2]), [1+1i, 1+2i])"), "true");
  EXPECT_EQ(Show("polyval([1 0 -1], 1i) == -2"), "true");
  EXPECT_EQ(Show("same(size(polyval([1 1], ones(2, 3, 2))), [2 3 2])"), "true");
  EXPECT_EQ(Show("same(polyder([1 0 0]), [2 0]) && isempty(polyder(5))"), "true");
  EXPECT_EQ(Show("same(polyder([1 1], [1 -1]), [2 0])"), "true");
  Run("[n, d] = polyder([1], [1 0]);");
  EXPECT_EQ(Show("same(n, -1) && same(d, [1 0 0])"), "true");
  // (x^2 + 1) / (x - 2): numerator x^2 - 4x - 1.
  Run("[n, d] = polyder([1 0 1], [1 -2]);");
  EXPECT_EQ(Show("same(n, [1 -4 -1]) && same(d, [1 -4 4])"), "true");
  EXPECT_EQ(Show("same(polyder([1 2 3]), [2 2])"), "true");
  EXPECT_EQ(Show("same(polyint([3 2 1]), [1 1 1 0])"), "true");
  EXPECT_EQ(Show("same(polyint([3 2 1], 2i), [1 1 1 2i])"), "true");
  EXPECT_EQ(Show("same(polyint([1i; 2]), [0.5i 2 0]) && isempty(polyint([]))"), "true");
}

TEST_F(PolynomialNatives, Roots) {
  Run("r = roots([1 -3 2]);");
  EXPECT_EQ(Show("stored_real(r) && same(size(r), [2 1]) && same(sort(r), [1; 2])"), "true");
  EXPECT_EQ(Show("maxabs(roots([1 0 1]) - [1i; -1i]) <= 1e-15"), "true");
  EXPECT_EQ(Show("isempty(roots(5)) && isempty(roots([]))"), "true");
  EXPECT_EQ(Show("same(roots([1 -1; 1 -2]), [-1 -2]) && same(roots([1 -1; 1 -2], 2), [1 2])"),
            "true");
  // Leading zeros: one polynomial loses them; in a matrix each column is
  // solved without them and its missing roots are NaN.
  EXPECT_EQ(Show("same(sort(roots([0 1 -3 2])), [1; 2]) && isempty(roots([0 0 3]))"), "true");
  Run("R = roots([0 1; 1 -3; 2 2]);");
  EXPECT_EQ(Show("R(1, 1) == -2 && isnan(R(2, 1)) && same(sort(R(:, 2)), [1; 2])"), "true");
  EXPECT_EQ(Show("maxabs(abs(roots([1 0 0 0 -16])) - 2) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(sort(roots([1i 1])) - 1i) <= 1e-15"), "true");
  // Widely spread coefficients: the balanced companion matrix keeps the
  // small root beside the huge one, real and complex alike.
  Run("r = sort(roots([1e-20 1 -1])); c = roots([1e-20 1i -1i]);");
  EXPECT_EQ(Show("abs(r(1) + 1e20) <= 1e6 && abs(r(2) - 1) <= 1e-12"), "true");
  EXPECT_EQ(Show("min(abs(c - 1)) <= 1e-12 && max(abs(c)) >= 1e19"), "true");
}

TEST_F(PolynomialNatives, SmallRootsBesideHugeOnes) {
  // The companion matrix knows the small root only to rounding of the huge
  // one; each root to its own precision, as the reference gives them.
  Run("function r = rel(x, y)\n  r = max(abs(x(:) - y(:)) ./ abs(y(:)));\nendfunction");
  for (const char* text : {"rel(sort(roots([1 1e16 1])), [-1e16; -1e-16])",
                           "rel(sort(roots([1 1e15 1])), [-1e15; -1e-15])",
                           "rel(sort(roots([1e-100 1 1])), [-1e100; -1])",
                           "rel(sort(roots([1 -1e12 1])), [1e-12; 1e12])",
                           "rel(sort(roots([1e-20 1 -3 2])), [-1e20; 1; 2])"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Show(std::string(text) + " <= 4e-16"), "true");
  }
  Run("c = roots([1 1e16i 1]);");
  EXPECT_EQ(Show("rel(sort(imag(c)), [-1e16; 1e-16]) <= 4e-16 && max(abs(real(c))) <= 1e-30"),
            "true");
  // Each column of a matrix of polynomials alike.
  EXPECT_EQ(Show("rel(sort(roots([1 1; 1e16 1e15; 1 1])), [-1e16 -1e15; -1e-16 -1e-15]) <= 4e-16"),
            "true");
}

// Near a multiple root |p| is all rounding, and a Newton step on it lands
// anywhere: the polishing keeps a step only where |p| falls, so that such
// roots stay where the companion matrix put them (to eps^(1/m) for a root of
// multiplicity m), and so do the well separated roots of a higher degree.
TEST_F(PolynomialNatives, PolishingLeavesMultipleRootsInPlace) {
  EXPECT_EQ(Show("maxabs(roots([1 -4 6 -4 1]) - 1) <= 2e-4"), "true");
  EXPECT_EQ(Show("maxabs(roots([1 -3 3 -1]) - 1) <= 2e-5"), "true");
  EXPECT_EQ(Show("maxabs(sort(roots(poly(1:10))) - (1:10)') <= 1e-8"), "true");
}

TEST_F(PolynomialNatives, PolynomialsOfRootsAndMatrices) {
  EXPECT_EQ(Show("same(poly([]), 1) && same(poly([1 2]), [1 -3 2])"), "true");
  Run("p = poly([1+1i 1-1i]);");
  EXPECT_EQ(Show("stored_real(p) && maxabs(p - [1 -2 2]) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(poly([2 0; 0 3]) - [1 -5 6]) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(poly(eye(2)) - [1 -2 1]) <= 1e-14"), "true");
  // Conjugate imaginary parts with other real parts are no pair.
  Run("p = poly([1+2i 3-2i]);");
  EXPECT_EQ(Show("~stored_real(p) && maxabs(p - [1, -4, 7+4i]) <= 1e-14"), "true");
  // A complex triangular matrix: the reduction meets a zero pivot at once.
  EXPECT_EQ(Show("maxabs(poly([1 1i; 0 2]) - [1 -3 2]) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(poly([1i 1; 0 -1i]) - [1 0 1]) <= 1e-14"), "true");
}

TEST_F(PolynomialNatives, Codes) {
  const std::pair<const char*, const char*> cases[] = {
      {"polyval(ones(2), 1)", "error 22"}, {"polyval({1}, 1)", "error 44"},
      {"polyder(ones(2))", "error 22"},    {"polyder({1})", "error 44"},
      {"polyint(ones(2))", "error 22"},    {"polyint([1 2], [1 2])", "error 44"},
      {"roots([1 2], 3)", "error 107"},    {"roots({1})", "error 44"},
      {"poly(ones(2, 3))", "error 22"},    {"poly({1})", "error 44"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
  // polyder with one argument has no quotient form.
  EXPECT_NE(test::RunCommandLine(ctx, "[n, d] = polyder([1 2 3]);\n"), kOk);
  EXPECT_NE(host.Output(2).find("Too few output arguments"), std::string::npos);
  // Integers and characters are taken as doubles by the engine.
  EXPECT_EQ(Show("same(polyval(int8([1 2]), 3), 5)"), "true");
}

// With one word less than their results and workspace the natives fail
// with 3 and leave their arguments; with exactly that much they succeed.
TEST(PolynomialRoom, OneWordShortFailsAndLeavesTheArguments) {
  struct Case {
    const char* name;
    std::vector<double> coefficients;  // the one argument, a row
    int64_t need;
    std::function<ErrCode(EngineContext*)> call;
  };
  const Case cases[] = {
      // A 3 x 1 complex result, then 2N words for the roots and the real
      // kernel's (N-1)^2 + (N-1).
      {"roots",
       {1, -6, 11, -6},
       6 + 8 + 9 + 3,
       [](EngineContext* ctx) { return RootsNative(ctx, 1, 1, 0); }},
      // A row of 4.
      {"poly", {1, 2, 3}, 4 + 1, [](EngineContext* ctx) { return PolyNative(ctx, 1, 1, 0); }},
      // A row of 3 over the argument's place.
      {"polyder",
       {1, 2, 3, 4},
       3 + 1,
       [](EngineContext* ctx) { return PolyderNative(ctx, 1, 1, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t n = int32_t(c.coefficients.size());
    for (int64_t free : {c.need - 1, c.need}) {
      test::TestHost host;
      EngineContext* ctx = host.ctx();
      ASSERT_NO_FATAL_FAILURE(test::PushFiller(ctx, n, free));
      test::PushArray(ctx, "double", {1, n}, c.coefficients);
      const uint32_t dataTop = ctx->dataTop;
      if (free < c.need) {
        EXPECT_EQ(c.call(ctx), kErrDataOverflow);
        EXPECT_EQ(ctx->dataTop, dataTop);
        EXPECT_EQ(test::ReadArray(ctx).re, c.coefficients);
      } else {
        EXPECT_EQ(c.call(ctx), kOk);
      }
    }
  }
}

}  // namespace
}  // namespace vke
