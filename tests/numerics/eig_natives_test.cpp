// The natives eig, balance, expm, sqrtm and logm on source text: the
// symmetric, general and complex routes of eig with their orders and
// eigenvectors, balancing by powers of two, the exponential, and the square
// root and logarithm with their real results and confluent diagonals.
#include <gtest/gtest.h>

#include <string>

#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

class EigNatives : public LinalgFixture {};

TEST_F(EigNatives, SymmetricMatricesKeepTheJacobiOrder) {
  Run("A = [5 1; 1 2]; d = eig(A); [V, D] = eig(A);");
  // The general route would sort D ascending.
  EXPECT_EQ(Show("d(1) > d(2) && same(diag(D), d) && stored_real(d)"), "true");
  EXPECT_EQ(Show("maxabs(V' * V - eye(2)) <= 1e-15 && maxabs(A * V - V * D) <= 1e-14"), "true");
  Run("[V, D] = eig([2 1; 1 2]);");
  EXPECT_EQ(Show("maxabs(V' * V - eye(2)) <= 1e-15 && maxabs(D - diag([1 3])) <= 1e-15"), "true");
}

TEST_F(EigNatives, GeneralRealMatrices) {
  EXPECT_EQ(Show("maxabs(eig([0 1; -1 0]) - [1i; -1i]) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(sort(eig([4 1; 2 3])) - [2; 5]) <= 1e-14"), "true");
  EXPECT_EQ(Show("stored_real(eig([4 1; 2 3]))"), "true");
  Run("A = [1 2 0; 0 3 1; 1 0 2]; [V, D] = eig(A); m = abs(diag(D)) .^ 2;");
  EXPECT_EQ(Show("maxabs(A * V - V * D) <= 1e-12"), "true");
  EXPECT_EQ(Show("maxabs(sqrt(sum(abs(V) .^ 2)) - 1) <= 1e-12"), "true");
  EXPECT_EQ(Show("all(diff(m) >= 0) && maxabs(D - diag(diag(D))) == 0"), "true");
  // Real eigenvalues: ascending on D's diagonal, real V.
  Run("B = [4 1 0; 2 3 0; 1 1 7]; [V, D] = eig(B);");
  EXPECT_EQ(Show("same(diag(D), sort(diag(D))) && stored_real(V) && stored_real(D)"), "true");
  EXPECT_EQ(Show("maxabs(B * V - V * D) <= 1e-12"), "true");
}

TEST_F(EigNatives, RepeatedEigenvaluesShareOneDecomposition) {
  Run("A = [2 1 0; 0 3 0; 0 0 2]; [V, D] = eig(A); W = V(:, 1:2);");
  EXPECT_EQ(Show("maxabs(A * V - V * D) <= 1e-12 && same(diag(D), [2; 2; 3])"), "true");
  // Two orthonormal columns for the double value, as one decomposition gives.
  EXPECT_EQ(Show("maxabs(W' * W - eye(2)) <= 1e-14"), "true");
  // A zero matrix: its tolerance is 0, and its equal values are still one
  // group with a null space of three orthonormal columns.
  Run("[V, D] = eig(complex(zeros(3), zeros(3)));");
  EXPECT_EQ(Show("maxabs(V' * V - eye(3)) <= 1e-15 && maxabs(D) == 0"), "true");
}

// A non-normal matrix with a double eigenvalue that has two eigenvectors:
// rounding puts its two computed values a few times the working precision
// of A apart, within the grouping tolerance, so that they share one
// decomposition and take two orthonormal columns of its null space. Each A
// is V * diag([2 2 5]) / V as rounded by the division without LAPACK,
// written out: the division LAPACK makes rounds by the machine's kernels,
// and some of them give A whose double value comes out exactly equal.
TEST_F(EigNatives, NearlyEqualEigenvaluesOfANonNormalMatrixAreOneGroup) {
  for (const char* a : {// V = [3 -3 -1; 1 -4 3; -1 3 -2]
                        "[4.9999999999999964 17.999999999999986 26.999999999999975;"
                        " -8.9999999999999822 -51.999999999999943 -80.999999999999901;"
                        " 5.9999999999999947 35.999999999999964 55.99999999999995]",
                        // V = [2 2 -4; 3 -4 3; -3 1 1]
                        "[-51.999999999999972 -47.999999999999979 -83.999999999999957;"
                        " 40.499999999999986 37.999999999999986 62.999999999999972;"
                        " 13.499999999999995 11.999999999999996 22.999999999999993]"}) {
    SCOPED_TRACE(a);
    Run(std::string("A = ") + a + "; [W, D] = eig(A); P = W(:, 1:2); d = diag(D);");
    EXPECT_EQ(Show("d(1) ~= d(2) && abs(d(2) - d(1)) <= 20 * eps * maxabs(A)"), "true");
    EXPECT_EQ(Show("maxabs(P' * P - eye(2)) <= 1e-12 && rank(W) == 3"), "true");
    EXPECT_EQ(Show("maxabs(A * W - W * D) <= 1e-12"), "true");
  }
}

TEST_F(EigNatives, DefectiveEigenvaluesRepeatEigenvectors) {
  // The double value 1 has one eigenvector only: both its columns are it.
  for (const char* a : {"[1 1 0; 0 1 0; 0 0 2]", "[2 1; 0 2]", "[3 1 0; 0 3 1; 0 0 3]"}) {
    SCOPED_TRACE(a);
    Run(std::string("A = ") + a + "; [V, D] = eig(A);");
    EXPECT_EQ(Show("maxabs(A * V - V * D) <= 1e-12 && maxabs(sqrt(sum(abs(V) .^ 2)) - 1) <= 1e-12"),
              "true");
  }
}

TEST_F(EigNatives, ComplexMatricesAndEmptyOnes) {
  EXPECT_EQ(Show("stored_real(eig([1 1i; 0 2]))"), "false");
  EXPECT_EQ(Show("maxabs(sort(real(eig([1 1i; 0 2]))) - [1; 2]) <= 1e-15"), "true");
  Run("C = rand(5) + 1i * rand(5); [V, D] = eig(C);");
  EXPECT_EQ(Show("maxabs(C * V - V * D) <= 1e-12"), "true");
  EXPECT_EQ(Show("maxabs(sort(abs(eig(C))) - abs(diag(D))) <= 1e-12"), "true");
  EXPECT_EQ(Show("isempty(eig(zeros(0, 0))) && isempty(eig(complex(zeros(0, 0), zeros(0, 0))))"),
            "true");
  Run("[V, D] = eig([]);");
  EXPECT_EQ(Show("isempty(V) && isempty(D)"), "true");
  EXPECT_EQ(Show("eig({1})"), "error 44");
  EXPECT_EQ(Show("eig(ones(2, 3))"), "error 26");
}

TEST_F(EigNatives, BalanceScalesByPowersOfTwo) {
  Run("A = [1 100 0; 0.01 1 1e4; 1 0 2]; [T, B] = balance(A); t = diag(T);");
  EXPECT_EQ(Show("same(T, diag(t)) && all(t == 2 .^ round(log2(t)))"), "true");
  EXPECT_EQ(Show("same(B, diag(1 ./ t) * A * T) && same(balance(A), B)"), "true");
  EXPECT_EQ(Show("same(balance([1 1; 1 1]), [1 1; 1 1])"), "true");
  Run("[T, B] = balance([1 1; 1 1]); [Tc, Bc] = balance([1 100i; 0.01 1]);");
  EXPECT_EQ(Show("same(T, eye(2)) && same(Bc, diag(1 ./ diag(Tc)) * [1 100i; 0.01 1] * Tc)"),
            "true");
  EXPECT_EQ(Show("balance(ones(2, 3))"), "error 26");
}

TEST_F(EigNatives, OverflowingExponential) {
  // Inf where the exponential overflows, 0 beside it and where it underflows.
  EXPECT_EQ(Show("same(expm(1e6 * [1 0; 0 -1]), [Inf 0; 0 0])"), "true");
  EXPECT_EQ(Show("same(expm(1e6 * [1 1; 0 -1]), [Inf Inf; 0 0])"), "true");
  EXPECT_EQ(Show("same(expm(-1e6 * eye(2)), zeros(2))"), "true");
}

TEST_F(EigNatives, Exponential) {
  EXPECT_EQ(Show("maxabs(expm([0 1; 0 0]) - [1 1; 0 1]) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(expm(zeros(2)), eye(2))"), "true");
  EXPECT_EQ(Show("isempty(expm([])) && same(size(expm(zeros(0, 3))), [0 3])"), "true");
  EXPECT_EQ(Show("abs(expm(1i * pi) + 1) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(expm([1 2; 3 4]) - expm([1 2; 3 4] / 2) ^ 2) <= 1e-12"), "true");
  EXPECT_EQ(Show("expm(ones(2, 3))"), "error 26");
}

TEST_F(EigNatives, SquareRootAndLogarithm) {
  EXPECT_EQ(Show("same(sqrtm([4 0; 0 9]), [2 0; 0 3])"), "true");
  EXPECT_EQ(Show("sqrtm(-1) == 1i && ~stored_real(sqrtm(-1))"), "true");
  EXPECT_EQ(Show("same(logm(eye(2)), zeros(2))"), "true");
  // Equal values on the diagonal of a matrix that is not diagonalisable.
  EXPECT_EQ(Show("maxabs(sqrtm([1 1; 0 1]) - [1 0.5; 0 1]) <= 1e-12"), "true");
  EXPECT_EQ(Show("maxabs(logm([1 1; 0 1]) - [0 1; 0 0]) <= 1e-12"), "true");
  // A symmetric positive definite matrix has a real root.
  Run("S = [4 1 0; 1 3 1; 0 1 2]; R = sqrtm(S); [F, e] = logm(S);");
  EXPECT_EQ(Show("stored_real(R) && maxabs(R * R - S) <= 1e-13"), "true");
  EXPECT_EQ(Show("stored_real(F) && maxabs(expm(F) - S) <= 1e-13 && e > 0 && e < 1e-12"), "true");
  // A singular matrix: -Inf without an error.
  EXPECT_EQ(Show("same(logm([0 0; 0 1]), [-Inf 0; 0 0])"), "true");
  Run("[F, e] = sqrtm([]);");
  EXPECT_EQ(Show("isempty(F) && e == 0"), "true");
  EXPECT_EQ(Show("sqrtm(ones(2, 3))"), "error 26");
  EXPECT_EQ(Show("sqrtm({1})"), "error 43");
}

}  // namespace
}  // namespace vke
