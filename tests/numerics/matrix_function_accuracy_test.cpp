// sqrtm, logm and eig of the engine's own library and of "!lapack" on the
// matrices where the Parlett recurrence and unscaled products went wrong:
// repeated eigenvalues in runs longer than two, and matrices of entries near
// the ends of the double range, whose results must scale with them. The
// reference values are those of an independent implementation.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "engine/registry/registry.hpp"
#include "numerics/lapack/lapack_table.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

// A value, what the reference gives for it, and the tolerance relative to
// the reference's largest entry.
struct Reference {
  const char* value;
  const char* expected;
  const char* tol;
};

// The parameter: whether "!lapack" stands in front of the engine's library.
class MatrixFunctionAccuracy : public LinalgFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    LinalgFixture::SetUp();
    if (GetParam()) {
      ASSERT_EQ(RegisterLibrary(ctx, LapackLibraryTable(), true), kOk);
    }
    Run("function r = near_to(x, y, tol)\n"
        "  r = all(size(x) == size(y)) && max(abs(x(:) - y(:))) <= tol * max(abs(y(:)));\n"
        "endfunction");
  }
  bool Holds(const std::string& condition) { return Show(condition) == "true"; }
  void ExpectNear(std::initializer_list<Reference> cases) {
    for (const Reference& r : cases) {
      SCOPED_TRACE(r.value);
      EXPECT_TRUE(
          Holds(std::string("near_to(") + r.value + ", " + r.expected + ", " + r.tol + ")"));
    }
  }
};

TEST_P(MatrixFunctionAccuracy, RepeatedEigenvaluesGiveTheTrueFunction) {
  Run("A = [4 1 1; 0 4 1; 0 0 4]; J = [4 1 0; 0 4 1; 0 0 4]; B = [4 1 0; 0 9 1; 0 0 4];"
      "Q = [1 2 2; 2 1 -2; 2 -2 1] / 3; G = Q * J * Q';");
  ExpectNear({
      {"sqrtm(A)", "[2 0.25 0.234375; 0 2 0.25; 0 0 2]", "1e-15"},
      {"sqrtm(J)", "[2 0.25 -0.015625; 0 2 0.25; 0 0 2]", "1e-15"},
      {"sqrtm(B)", "[2 0.2 -0.01; 0 3 0.2; 0 0 2]", "1e-15"},
      {"logm(A)", "[log(4) 0.25 0.21875; 0 log(4) 0.25; 0 0 log(4)]", "1e-15"},
      {"logm(J)", "[log(4) 0.25 -0.03125; 0 log(4) 0.25; 0 0 log(4)]", "1e-15"},
      {"logm(B)",
       "[1.3862943611198906 0.1621860432432658 -0.017562791351346856;"
       " 0 2.1972245773362196 0.16218604324326577; 0 0 1.3862943611198906]",
       "1e-14"},
      // Through a Schur form that is not the matrix itself.
      {"sqrtm(G)",
       "[2.1631944444444455 -0.079861111111110494 -0.0017361111111127659;"
       " 0.15972222222222313 2.006944444444442 -0.086805555555557773;"
       " -0.006944444444446073 0.17361111111110883 1.8298611111111085]",
       "1e-13"},
      {"logm(G)",
       "[1.5460165833421107 -0.076388888888890047 -0.0034722222222229853;"
       " 0.15277777777777615 1.4001832500087772 -0.090277777777780011;"
       " -0.013888888888890106 0.18055555555555355 1.212683250008777]",
       "1e-13"},
  });
  // Eigenvalues of opposite signs and like sizes, and complex ones.
  for (const char* t :
       {"[1 0.3 0.2; 0 -1.6 0.4; 0 0 -1.5]", "[1+1i 2 1; 0 -1+1i 3; 0 0 -1.2-0.9i]"}) {
    SCOPED_TRACE(t);
    Run(std::string("T = ") + t + ";");
    ExpectNear({{"expm(logm(T))", "T", "1e-13"}, {"sqrtm(T) ^ 2", "T", "1e-14"}});
  }
  // Right results say so.
  for (const char* call : {"sqrtm(J)", "logm(J)", "sqrtm(A)", "logm(B)"}) {
    SCOPED_TRACE(call);
    Run(std::string("[X, e] = ") + call + ";");
    EXPECT_TRUE(Holds("e < 1e-12"));
  }
}

TEST_P(MatrixFunctionAccuracy, ResultsScaleWithTheMatrix) {
  Run("S = [4 1; 1 3]; P = [1 2; 3 4];");
  for (const char* c : {"2^-700", "2^600", "1e-200", "1e160", "1e300", "1e-300"}) {
    SCOPED_TRACE(c);
    Run(std::string("c = ") + c + ";");
    ExpectNear({{"sort(eig(P * c))", "sort(eig(P)) * c", "1e-15"},
                {"sqrtm(S * c)", "sqrtm(S) * sqrt(c)", "1e-14"},
                {"sqrtm(P * c)", "sqrtm(P) * sqrt(c)", "1e-14"}});
  }
  ExpectNear({
      {"sort(eig(P * 1e-200))", "[-3.7228132326901433e-201; 5.3722813232690143e-200]", "1e-15"},
      {"sqrtm(S * 1e100)",
       "[1.9815776331353156e50 2.7083220609417959e49; 2.7083220609417933e49 1.7107454270411367e50]",
       "1e-14"},
      {"sqrtm(S * 1e-100)",
       "[1.981577633135315e-50 2.7083220609417905e-51; 2.7083220609417923e-51 "
       "1.7107454270411364e-50]",
       "1e-14"},
      {"logm(S * 1e-100)",
       "[-228.9115243770662 0.29607457187827235; 0.29607457187826958 -229.20759894894448]",
       "1e-15"},
      // Entries far apart on the diagonal keep each its own value.
      {"logm(diag([1e-300 1e300]))", "diag([-690.7755278982137 690.7755278982137])", "1e-15"},
      {"sqrtm(diag([1e-300 1e300]))", "diag([1e-150 1e150])", "1e-15"},
      {"sqrtm([1e-300 1; 0 1e300])", "[1e-150 1e-150; 0 1e150]", "1e-15"},
  });
  // The root of -Inf is infinite and imaginary, not 0.
  Run("x = sqrtm(-Inf);");
  EXPECT_TRUE(Holds("~stored_real(x) && real(x) == 0 && imag(x) == Inf"));
}

// Equal zero eigenvalues give the square-root recurrence 0 / 0 above the
// diagonal, which is 0 where the matrix has 0 there too: the root of a zero
// block is zero, not NaN, and a result that is all zeros is real.
TEST_P(MatrixFunctionAccuracy, RootsOfZeroBlocksAreRealZeros) {
  for (const auto& [a, root] : {std::pair{"zeros(2)", "zeros(2)"},
                                {"zeros(3)", "zeros(3)"},
                                {"diag([4 0 0])", "diag([2 0 0])"},
                                {"diag([0 0 9 0])", "diag([0 0 3 0])"}}) {
    SCOPED_TRACE(a);
    Run(std::string("[X, e] = sqrtm(") + a + ");");
    EXPECT_TRUE(Holds(std::string("same(X, ") + root + ") && ~isnan(e)"));
  }
  EXPECT_TRUE(Holds("same(logm(eye(2)), zeros(2)) && same(logm(1), 0)"));
}

// [V, D] = eig(A) for a matrix of each route (real with real or complex
// eigenvalues, real symmetric, Hermitian, complex) scaled across the range:
// A V = V D to rounding of A's size, V's columns independent where the
// eigenvalues are distinct (none taken for equal at a small scale), and
// the eigenvalues scaled with the matrix.
TEST_P(MatrixFunctionAccuracy, EigenvectorsHoldAtEverySize) {
  Run("function [r, s] = eig_residual(A)\n"
      "  [V, D] = eig(A);\n"
      "  r = maxabs(A * V - V * D) / maxabs(A);\n"
      "  s = min(svd(V));\n"
      "endfunction\n"
      "M = {[2 1; 0 3], [2 1; 1 3], [1 2; -3 1], [2 1-1i; 1+1i 3], [1+2i 3; 1i 2], "
      "[4 1 2; 0.5 3 1; 1 2 5], [2 1 0; 0 3 1; 1 0 4]};");
  for (const char* scale :
       {"1", "1e-15", "1e-16", "3e-18", "1e-100", "2^-700", "1e-300", "1e16", "1e100", "1e300"}) {
    for (int m = 1; m <= 7; m++) {
      const std::string which = "M{" + std::to_string(m) + "}";
      SCOPED_TRACE(which + " * " + scale);
      Run("A = " + which + " * " + scale + "; [r, s] = eig_residual(A);");
      EXPECT_TRUE(Holds("r <= 1e-14")) << Show("r");
      EXPECT_TRUE(Holds("s >= 0.1")) << Show("s");
      // Compared by modulus: the sort of complex values by their squares
      // does not order them at the ends of the range.
      ExpectNear(
          {{"sort(abs(eig(A)))", ("sort(abs(eig(" + which + "))) * " + scale).c_str(), "1e-14"}});
    }
  }
}

// Nearly defective matrices, whose eigenvalues are equal or all but equal
// while A - lambda I has a single null vector: every column of V is an
// eigenvector of unit length to rounding of A's size, also where the
// superdiagonal is far above rounding (a right singular vector of a small
// but not negligible singular value is none), at every scale.
TEST_P(MatrixFunctionAccuracy, NearlyDefectiveEigenvectorsHold) {
  Run("function r = eig_residual(A)\n"
      "  [V, D] = eig(A);\n"
      "  r = max(norm(A * V - V * D) / norm(A), maxabs(sqrt(sum(abs(V) .^ 2)) - 1));\n"
      "endfunction\n"
      "S = [2 1 0; 1 3 1; 0 1 1];");
  for (const char* m : {"[1 e; 0 1]", "[1i e; 0 1i]", "[1 e 0; 0 1 e; 0 0 1]", "[1 1; e^2 1]",
                        "S * [1 e 0; 0 1 e; 0 0 1] / S", "S * [1i e 0; 0 1i e; 0 0 1i] / S",
                        "[2 e 0; 0 2 1; 0 0 3]"}) {
    for (const char* e : {"1e-6", "1e-8", "1e-10", "1e-13", "1e-15"}) {
      for (const char* scale : {"1", "1e200", "1e-200"}) {
        SCOPED_TRACE(std::string(m) + " with e = " + e + " times " + scale);
        Run(std::string("e = ") + e + "; r = eig_residual(" + m + " * " + scale + ");");
        EXPECT_TRUE(Holds("r <= 1e-14")) << Show("r");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, MatrixFunctionAccuracy, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Lapack" : "Engine";
                         });

}  // namespace
}  // namespace vke
