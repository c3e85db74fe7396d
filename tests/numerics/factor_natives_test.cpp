// The factorisation natives lu, chol, qr, hess, schur, householder and
// householderapply on source text: their factors reconstruct the argument,
// their shapes and orders, and their codes.
#include <gtest/gtest.h>

#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

class FactorisationNatives : public LinalgFixture {};

TEST_F(FactorisationNatives, LuPivotsAndReconstructs) {
  Run("A = [1 2; 3 4]; [L, U, P] = lu(A); [L2, U2] = lu(A); F = lu(A);");
  EXPECT_EQ(Show("same(P, [0 1; 1 0])"), "true");
  EXPECT_EQ(Show("maxabs(L - [1 0; 1/3 1]) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(U - [3 4; 0 2/3]) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(P * A - L * U) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(L2 * U2 - A) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(F - [3 4; 1/3 2/3]) <= 1e-15"), "true");

  // A tall complex matrix with a zero column: no elimination there, L m x n.
  Run("B = [0 1+1i; 0 2; 0 3i; 0 -1]; [L, U, P] = lu(B); [L2, U2] = lu(B); F = lu(B);");
  EXPECT_EQ(Show("same([size(L), size(U), size(P), size(L2), size(U2), size(F)],"
                 "[4 2 2 2 4 4 4 2 2 2 4 2])"),
            "true");
  EXPECT_EQ(Show("maxabs(P * B - L * U) <= 1e-15 && maxabs(L2 * U2 - B) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(diag(L) - 1) == 0 && maxabs(triu(L, 1)) == 0"), "true");

  // Ties keep the upper row; a wide matrix gives a trapezoidal U.
  Run("[L, U, P] = lu([1 2; -1 3]); [L3, U3, P3] = lu([2 1 1; 4 3 3]);");
  EXPECT_EQ(Show("same(P, eye(2))"), "true");
  EXPECT_EQ(Show("same([size(L3), size(U3)], [2 2 2 3])"), "true");
  EXPECT_EQ(Show("maxabs(P3 * [2 1 1; 4 3 3] - L3 * U3) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(size(lu(zeros(0, 3))), [0 3])"), "true");
  EXPECT_EQ(Show("lu({1})"), "error 44");
}

TEST_F(FactorisationNatives, LuOfRandomComplexMatrices) {
  Run("A = rand(6) + 1i * rand(6); [L, U, P] = lu(A); [L2, U2] = lu(A);");
  EXPECT_EQ(Show("maxabs(P * A - L * U) <= 1e-14 && maxabs(L2 * U2 - A) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(tril(U, -1)) == 0 && maxabs(abs(L) .* (abs(L) > 1)) == 0"), "true");
}

TEST_F(FactorisationNatives, CholReadsTheUpperTriangle) {
  EXPECT_EQ(Show("maxabs(chol([4 2; 2 3]) - [2 1; 0 sqrt(2)]) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(chol([4 2; -7 3]) - [2 1; 0 sqrt(2)]) <= 1e-15"), "true");
  Run("A = [5 1+2i; 1-2i 6]; R = chol(A);");
  EXPECT_EQ(Show("maxabs(R' * R - A) <= 1e-14 && R(2, 1) == 0"), "true");
  EXPECT_EQ(Show("chol([1 2; 2 1])"), "error 107");
  EXPECT_EQ(Show("chol([1 2 3])"), "error 26");
  EXPECT_EQ(Show("isempty(chol([]))"), "true");
}

TEST_F(FactorisationNatives, QrFormsAndPivoting) {
  Run("A = [1 2; 3 4; 5 6]; [Q, R] = qr(A); R1 = qr(A); [Qe, Re] = qr(A, 0);"
      "[Q3, R3, P3] = qr(A); [Qp, Rp, p] = qr(A, 0);");
  EXPECT_EQ(Show("maxabs(Q' * Q - eye(3)) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(Q * R - A) <= 1e-14 * maxabs(A)"), "true");
  EXPECT_EQ(Show("same([R(2, 1), R(3, 1), R(3, 2)], [0 0 0])"), "true");
  EXPECT_EQ(Show("same(R1, R)"), "true");
  EXPECT_EQ(Show("same([size(Qe), size(Re)], [3 2 2 2])"), "true");
  EXPECT_EQ(Show("maxabs(Qe * Re - A) <= 1e-14 * maxabs(A)"), "true");
  EXPECT_EQ(Show("maxabs(A * P3 - Q3 * R3) <= 1e-14 * maxabs(A)"), "true");
  EXPECT_EQ(Show("same(p, [2 1])"), "true");
  EXPECT_EQ(Show("maxabs(A(:, p) - Qp * Rp) <= 1e-14 * maxabs(A)"), "true");

  // A wide matrix: the economy form is the full one; complex Q.
  Run("W = [1 2 3; 4 5 6]; [Q, R] = qr(W); [Q0, R0] = qr(W, 0);"
      "C = [1+1i 2; 3 4-2i; 1i 1]; [Qc, Rc] = qr(C);");
  EXPECT_EQ(Show("same(Q, Q0) && same(R, R0)"), "true");
  EXPECT_EQ(Show("maxabs(Qc' * Qc - eye(3)) <= 1e-14 && maxabs(Qc * Rc - C) <= 1e-14"), "true");
  EXPECT_EQ(Show("qr({1})"), "error 43");
  EXPECT_EQ(Show("same([size(qr(zeros(3, 0), 0)), size(qr(zeros(0, 2)))], [0 0 0 2])"), "true");
}

TEST_F(FactorisationNatives, HessenbergAndSchurFormsReconstruct) {
  for (const char* make : {"A = rand(8);", "A = rand(8) + 1i * rand(8);"}) {
    Run(std::string(make) + "[P, H] = hess(A); [U, T] = schur(A); [Uc, Tc] = schur(A, 'c');");
    EXPECT_EQ(Show("maxabs(P * H * P' - A) <= 1e-13 * maxabs(A)"), "true") << make;
    EXPECT_EQ(Show("maxabs(tril(H, -2)) == 0 && maxabs(P' * P - eye(8)) <= 1e-14"), "true");
    EXPECT_EQ(Show("maxabs(U * T * U' - A) <= 1e-13 * maxabs(A)"), "true") << make;
    EXPECT_EQ(Show("maxabs(tril(T, -2)) == 0"), "true") << make;
    EXPECT_EQ(Show("maxabs(Uc * Tc * Uc' - A) <= 1e-13 * maxabs(A) && maxabs(tril(Tc, -1)) == 0"),
              "true")
        << make;
  }
  // Complex eigenvalues of a real matrix: 'c' turns the form complex;
  // real eigenvalues keep it real.
  Run("R = [0 1 0; -1 0 0; 0 0 2]; [U, T] = schur(R, 'c'); [U2, T2] = schur([2 1; 1 2], 'c');");
  EXPECT_EQ(Show("stored_real(T) || stored_real(U)"), "false");
  EXPECT_EQ(Show("maxabs(tril(T, -1)) == 0 && maxabs(U * T * U' - R) <= 1e-14"), "true");
  EXPECT_EQ(Show("stored_real(T2) && stored_real(U2)"), "true");
  EXPECT_EQ(Show("same(schur(R, ''), schur(R))"), "true");
  EXPECT_EQ(Show("schur(R, 'x')"), "error 108");
  EXPECT_EQ(Show("schur(ones(2, 3))"), "error 26");
  EXPECT_EQ(Show("hess(ones(2, 3))"), "error 26");
  Run("[U, T] = schur([]);");
  EXPECT_EQ(Show("isempty(U) && isempty(T)"), "true");
}

TEST_F(FactorisationNatives, HouseholderReflections) {
  Run("[v, b] = householder([3; 4]); [e, be] = householder([]); [z, bz] = householder([0; 0]);");
  EXPECT_EQ(Show("same(v, [2; 1]) && b == 0.4"), "true");
  EXPECT_EQ(Show("isempty(e) && be == 1 && same(z, [0; 0]) && bz == 1"), "true");
  EXPECT_EQ(Show("same(householderapply([3; 4], [2; 1], 0.4), [-5; 0])"), "true");
  EXPECT_EQ(Show("same(householderapply([3; 4], [2; 1], 0.4, ''), [-5; 0])"), "true");
  EXPECT_EQ(Show("same(householderapply([3 4], [2; 1], 0.4, 'right'), [-5 0])"), "true");

  // A complex column: H x = alpha e1 with |alpha| = norm(x); applied to a
  // real matrix, which turns complex.
  Run("x = [1i; 2; 2 - 1i]; [v, b] = householder(x); y = householderapply(x, v, b);"
      "M = householderapply(eye(3), v, b, 'r');");
  EXPECT_EQ(Show("maxabs(y(2:3)) <= 1e-15 && abs(abs(y(1)) - sqrt(10)) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(M - (eye(3) - b * v * v')) <= 1e-15"), "true");

  EXPECT_EQ(Show("householder([1 2])"), "error 23");
  EXPECT_EQ(Show("householder({1})"), "error 44");
  EXPECT_EQ(Show("householderapply([1; 2], [1 2], 1)"), "error 23");
  EXPECT_EQ(Show("householderapply([1; 2], [1; 2; 3], 1)"), "error 20");
  EXPECT_EQ(Show("householderapply([1 2 3], [1; 2], 1, 'r')"), "error 20");
  EXPECT_EQ(Show("householderapply([1; 2], [1; 2], 1i)"), "error 43");
  EXPECT_EQ(Show("householderapply([1; 2], [1; 2], [1 2])"), "error 104");
  EXPECT_EQ(Show("householderapply([1; 2], [1; 2], 1, 'up')"), "error 108");
}

}  // namespace
}  // namespace vke
