// The "!lapack" decompositions on the test host with the library in front:
// what each gives back reconstructs its argument, the shapes of the economy
// forms, the conventions of the outputs, the empty and bad arguments, the
// matrix functions on repeated eigenvalues, and a data stack too small.
#include <gtest/gtest.h>

#include <string>

#include "engine/values/values.hpp"
#include "tests/numerics/lapack_fixture.hpp"

namespace vke {
namespace {

using namespace test;

class LapackDecomposition : public LapackFixture {};

// Well-conditioned real and complex test matrices; Z is rank-deficient.
const std::string kMatrices =
    "R = magic(5) / 10 + eye(5); C = R + 1i * (magic(5)' / 7 - 1); "
    "Z = [1 2 3 4; 2 4 6 8; 1 0 1 0]; Zc = Z * (1 + 2i); "
    "T = R(:, 1:3); ";

// Whether the residual is within tol times the size of the matrix.
std::string Within(const std::string& residual, const std::string& matrix, const char* tol) {
  return "max(max(abs(" + residual + "))) <= " + tol + " * max(max(abs(" + matrix + ")))";
}

TEST_F(LapackDecomposition, SingularValuesAndTheirVectors) {
  EXPECT_TRUE(
      Holds("max(abs(svd([3 0; 4 5]) ./ [6.708203932499369; 2.23606797749979] - 1)) "
            "<= 1e-13"));
  for (const char* m : {"R", "C", "T", "T.'", "Zc"}) {
    SCOPED_TRACE(m);
    const std::string x = kMatrices + "A = " + m + "; [p, q] = size(A); k = min(p, q); ";
    EXPECT_TRUE(
        Holds(x + "[U, S, V] = svd(A, 0); all([size(U) size(S) size(V)] == [p k k k q k])"));
    EXPECT_TRUE(Holds(x + "[U, S, V] = svd(A, 0); " + Within("U * S * V' - A", "A", "1e-13")));
    EXPECT_TRUE(Holds(x + "[U, S, V] = svd(A); all([size(U) size(S) size(V)] == [p p p q q q])"));
    EXPECT_TRUE(Holds(x + "[U, S, V] = svd(A, 1); " + Within("U * S * V' - A", "A", "1e-13")));
    EXPECT_TRUE(Holds(x + "[U, S] = svd(A); " + Within("U' * U - eye(p)", "1", "1e-14")));
    EXPECT_TRUE(Holds(x + "[U, S, V] = svd(A); " + Within("diag(S) - svd(A)", "A", "1e-14")));
  }
  EXPECT_EQ(Eval("[U, S, V] = svd([]); {U, S, V}"), Eval("{[], [], []}"));
  EXPECT_EQ(Eval("svd([1 2], 0.5)"), "error 44");
}

TEST_F(LapackDecomposition, RankAndTheBasesOfRangeAndNullSpace) {
  EXPECT_EQ(Eval("rank(magic(4))"), "3");
  EXPECT_EQ(Eval("rank(zeros(0, 3))"), "0");
  EXPECT_EQ(Eval("rank(zeros(3, 0))"), "0");
  EXPECT_EQ(Eval("rank(diag([1 1e-3]), 1e-2)"), "1");
  EXPECT_EQ(Eval("rank(diag([1 1e-3]), -1)"), "2");
  EXPECT_EQ(Eval("rank(magic(4) * 1i)"), "3");
  for (const char* m : {"Z", "Zc", "Z'", "magic(4)"}) {
    SCOPED_TRACE(m);
    const std::string x = kMatrices + "A = " + m + "; r = rank(A); ";
    EXPECT_TRUE(Holds(x + "Q = orth(A); all(size(Q) == [size(A, 1) r])"));
    EXPECT_TRUE(Holds(x + "Q = orth(A); " + Within("Q' * Q - eye(r)", "1", "1e-14")));
    EXPECT_TRUE(Holds(x + "Q = orth(A); " + Within("Q * (Q' * A) - A", "A", "1e-13")));
    EXPECT_TRUE(Holds(x + "N = null(A); all(size(N) == [size(A, 2) size(A, 2) - r])"));
    EXPECT_TRUE(Holds(x + "N = null(A); " + Within("N' * N - eye(size(N, 2))", "1", "1e-14")));
    EXPECT_TRUE(Holds(x + "N = null(A); " + Within("A * N", "A", "1e-13")));
  }
  EXPECT_EQ(Eval("size(null(eye(3)))"), "[3,0]");
  EXPECT_EQ(Eval("size(orth(zeros(2, 0)))"), "[2,0]");
}

TEST_F(LapackDecomposition, EmptyArgumentsGiveTheShapesOfTheirDecompositions) {
  // No singular values: a 0 x 1 column; U and V identities of their shapes.
  EXPECT_EQ(Eval("size(svd(zeros(3, 0)))"), "[0,1]");
  EXPECT_EQ(Eval("size(svd(zeros(0, 3)))"), "[0,1]");
  EXPECT_EQ(Eval("[U, S, V] = svd(zeros(0, 3)); {size(U), size(S), V}"),
            Eval("{[0 0], [0 3], eye(3)}"));
  EXPECT_EQ(Eval("[U, S, V] = svd(zeros(3, 0)); {U, size(S), size(V)}"),
            Eval("{eye(3), [3 0], [0 0]}"));
  EXPECT_EQ(Eval("[U, S, V] = svd(zeros(0, 3), 0); {size(U), size(S), size(V)}"),
            Eval("{[0 0], [0 0], [3 0]}"));
  EXPECT_EQ(Eval("[U, S] = svd(zeros(2, 0)); {U, size(S)}"), Eval("{eye(2), [2 0]}"));
  // Without rows every vector is in the null space; the range has no basis.
  EXPECT_EQ(Eval("null(zeros(0, 3))"), Eval("eye(3)"));
  EXPECT_EQ(Eval("size(null(zeros(3, 0)))"), "[0,0]");
  EXPECT_EQ(Eval("size(orth(zeros(0, 3)))"), "[0,0]");
}

TEST_F(LapackDecomposition, QrInFullAndEconomyForms) {
  const std::string x = kMatrices + "A = T; ";
  EXPECT_TRUE(Holds(x + "[Q, R] = qr(A, 0); all([size(Q) size(R)] == [5 3 3 3])"));
  EXPECT_TRUE(Holds(x + "[Q, R] = qr(A, 0); " + Within("Q * R - A", "A", "1e-13")));
  EXPECT_TRUE(Holds(x + "[Q, R, E] = qr(A, 0); all(size(E) == [1 3]) && all(sort(E) == [1 2 3])"));
  EXPECT_TRUE(Holds(x + "[Q, R, E] = qr(A, 0); " + Within("Q * R - A(:, E)", "A", "1e-13")));
  EXPECT_TRUE(Holds(x + "[Q, R] = qr(A); all([size(Q) size(R)] == [5 5 5 3])"));
  EXPECT_TRUE(Holds(x + "[Q, R] = qr(A); " + Within("Q' * Q - eye(5)", "1", "1e-14")));
  EXPECT_TRUE(Holds(x + "[Q, R] = qr(A); all(all(triu(R) == R))"));
  EXPECT_TRUE(Holds(x + "[Q, R, E] = qr(A); " + Within("Q * R - A * E", "A", "1e-13")));
  EXPECT_TRUE(Holds(x + "[Q, R, E] = qr(C); " + Within("Q * R - C * E", "C", "1e-13")));
  EXPECT_TRUE(Holds(x + "[Q, R] = qr(C(1:2, :)); " + Within("Q * R - C(1:2, :)", "C", "1e-13")));
  EXPECT_TRUE(Holds(x + "all(all(triu(qr(A)) == triu(qr(A, 1))))"));
  // No rows: one result per output.
  EXPECT_EQ(Eval("[Q, R, E] = qr(zeros(0, 3)); {size(Q), size(R), E}"),
            Eval("{[0 0], [0 3], eye(3)}"));
  EXPECT_EQ(Eval("[Q, R, E] = qr(zeros(0, 3), 0); E"), Eval("[1 2 3]"));
  EXPECT_EQ(Eval("[Q, R] = qr(zeros(3, 0)); {Q, size(R)}"), Eval("{eye(3), [3 0]}"));
}

TEST_F(LapackDecomposition, CholeskyHessenbergAndBalancing) {
  const std::string x = kMatrices;
  EXPECT_TRUE(Holds(x + "P = R' * R; F = chol(P); all(all(triu(F) == F)) && " +
                    Within("F' * F - P", "P", "1e-13")));
  EXPECT_TRUE(Holds(x + "P = C' * C; F = chol(P); " + Within("F' * F - P", "P", "1e-13")));
  EXPECT_EQ(Eval("chol([1 2; 2 1])"), "error 107");
  EXPECT_EQ(Eval("chol([])"), "[]");
  for (const char* m : {"R", "C", "magic(6)"}) {
    SCOPED_TRACE(m);
    const std::string y = x + "A = " + m + "; ";
    EXPECT_TRUE(Holds(y + "[P, H] = hess(A); " + Within("P * H * P' - A", "A", "1e-13")));
    EXPECT_TRUE(Holds(y + "[P, H] = hess(A); all(all(H == triu(H, -1)))"));
    EXPECT_TRUE(Holds(y + "all(all(hess(A) == triu(hess(A), -1)))"));
    EXPECT_TRUE(Holds(y + "[S, B] = balance(A); all(all(S == diag(diag(S)))) && " +
                      Within("S * B / S - A", "A", "1e-13")));
  }
  EXPECT_EQ(Eval("[S, B] = balance([1 100; 0.01 1]); diag(S)'"), Eval("[16 0.25]"));
}

TEST_F(LapackDecomposition, EigenvaluesOfOneMatrix) {
  // Real eigenvalues stay real, a complex pair gives conjugate columns.
  EXPECT_EQ(Eval("[V, D] = eig([2 1; 1 2]); {V, D}").find('i'), std::string::npos);
  EXPECT_EQ(Eval("eig([2 1; 1 2])").find('i'), std::string::npos);
  EXPECT_TRUE(Holds("[V, D] = eig([0 1; -1 0]); all(V(:, 1) == conj(V(:, 2)))"));
  EXPECT_TRUE(Holds("[V, D] = eig([0 1; -1 0]); all(sort(imag(diag(D))) == [-1; 1])"));
  EXPECT_TRUE(
      Holds("max(abs(sort(eig([1 2; 3 4])) - [-0.3722813232690143; 5.372281323269014]))"
            " <= 1e-14"));
  for (const char* m : {"rand(20)", "rand(20) + 1i * rand(20)", "R", "C"}) {
    SCOPED_TRACE(m);
    const std::string y = kMatrices + "A = " + m + "; [V, D] = eig(A); ";
    EXPECT_TRUE(Holds(y + Within("A * V - V * D", "A", "1e-12")));
    EXPECT_TRUE(Holds(y + "all(all(D == diag(diag(D))))"));
    EXPECT_TRUE(Holds(y + Within("sort(eig(A)) - sort(diag(D))", "A", "1e-12")));
  }
  EXPECT_EQ(Eval("eig([1 2 3])"), "error 21");
  EXPECT_EQ(Eval("eig({1})"), "error 44");
}

TEST_F(LapackDecomposition, GeneralizedEigenvaluesAndQz) {
  EXPECT_EQ(Eval("sort(eig([1 0; 0 1], [2 0; 0 4]))"), Eval("[0.25; 0.5]"));
  for (const char* pair :
       {"A = R; B = R'", "A = C; B = R", "A = R; B = C'", "A = [0 1; -1 0]; B = eye(2)"}) {
    SCOPED_TRACE(pair);
    const std::string y = kMatrices + pair + "; ";
    EXPECT_TRUE(Holds(y + "[V, D] = eig(A, B); " + Within("A * V - B * V * D", "A", "1e-12")));
    EXPECT_TRUE(Holds(y + "[AA, BB, Q, Z] = qz(A, B); " + Within("Q * AA * Z - A", "A", "1e-12") +
                      " && " + Within("Q * BB * Z - B", "B", "1e-12")));
    EXPECT_TRUE(Holds(y + "[AA, BB] = qz(A, B); all(all(BB == triu(BB)))"));
  }
  EXPECT_TRUE(Holds(kMatrices + "[AA, BB, Q, Z] = qz(C, R); all(all(AA == triu(AA)))"));
  EXPECT_EQ(Eval("qz(eye(2), eye(3))"), "error 20");
  EXPECT_EQ(Eval("eig(eye(2), eye(3))"), "error 20");
  EXPECT_EQ(Eval("qz([1 2], [1 2])"), "error 21");
  EXPECT_EQ(Eval("[AA, BB, Q] = qz([], []); {AA, BB, Q}"), Eval("{[], [], []}"));
}

TEST_F(LapackDecomposition, SchurForms) {
  for (const char* m : {"R", "C", "[0 1; -1 0]", "magic(4)"}) {
    SCOPED_TRACE(m);
    const std::string y = kMatrices + "A = " + m + "; [U, T] = schur(A); ";
    EXPECT_TRUE(Holds(y + Within("U * T * U' - A", "A", "1e-13")));
    EXPECT_TRUE(Holds(y + Within("U' * U - eye(size(A))", "1", "1e-14")));
    EXPECT_TRUE(Holds(y + "all(all(T == triu(T, -1)))"));
  }
  // A complex T is triangular; a real one keeps 2 x 2 blocks for pairs only.
  EXPECT_TRUE(Holds(kMatrices + "T = schur(C); all(all(T == triu(T)))"));
  EXPECT_TRUE(Holds("T = schur([1 2; 3 4]); T(2, 1) == 0"));
  EXPECT_EQ(Eval("schur([1 2; 3 4], 'c')"), "error 186");
}

TEST_F(LapackDecomposition, SquareRootAndLogarithmOfMatrices) {
  EXPECT_EQ(Eval("sqrtm(-4)"), Eval("2i"));
  EXPECT_EQ(Eval("sqrtm([])"), "[]");
  EXPECT_EQ(Eval("[X, e] = sqrtm([]); {X, e}"), Eval("{[], 0}"));
  EXPECT_EQ(Eval("[X, e] = logm(zeros(0, 0)); {X, e}"), Eval("{[], 0}"));
  // The logarithm of a zero eigenvalue is -Inf, kept apart from the zeros
  // of the Schur vectors: a real result, not NaN.
  EXPECT_EQ(Eval("logm([0 0; 0 1])"), Eval("[-Inf 0; 0 0]"));
  EXPECT_EQ(Eval("logm([1 0; 0 0])"), Eval("[0 0; 0 -Inf]"));
  EXPECT_EQ(Eval("logm(0)"), Eval("-Inf"));
  EXPECT_TRUE(Holds("max(max(abs(sqrtm([4 1; 0 9]) - [2 0.2; 0 3]))) <= 1e-14"));
  EXPECT_EQ(Eval("sqrtm([4 1; 0 9])").find('i'), std::string::npos) << "the result is real";
  // Equal diagonal entries of the Schur factor: no division by zero.
  for (const char* text :
       {"sqrtm(eye(2)) - eye(2)", "sqrtm([1 1; 0 1]) - [1 0.5; 0 1]",
        "logm([1 1; 0 1]) - [0 1; 0 0]", "logm(eye(3))", "sqrtm(2 * eye(3)) - sqrt(2) * eye(3)",
        "sqrtm([4 1 0; 0 9 1; 0 0 9]) ^ 2 - [4 1 0; 0 9 1; 0 0 9]"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(Holds(std::string("max(max(abs(") + text + "))) <= 1e-12"));
  }
  EXPECT_TRUE(Holds("[X, e] = sqrtm([1 1; 0 1]); e >= eps && e <= 1"));
  EXPECT_TRUE(Holds("[X, e] = sqrtm(eye(2)); e == eps"));
  // A longer run of equal values: the root and the logarithm are right
  // (see matrix_function_accuracy_test.cpp) and say so.
  EXPECT_TRUE(Holds("[X, e] = sqrtm([4 1 0; 0 4 1; 0 0 4]); e < 1e-12"));
  EXPECT_TRUE(Holds("[X, e] = logm([4 1 0; 0 9 1; 0 0 4]); e < 1e-12"));
  for (const char* m : {"R", "C"}) {
    SCOPED_TRACE(m);
    const std::string y = kMatrices + "A = " + m + "; ";
    EXPECT_TRUE(Holds(y + "X = sqrtm(A); " + Within("X * X - A", "A", "1e-12")));
    EXPECT_TRUE(Holds(y + "[X, e] = logm(A); e >= eps && e <= 1"));
    EXPECT_TRUE(Holds(y + Within("logm(A) - 2 * logm(sqrtm(A))", "A", "1e-12")));
  }
  EXPECT_EQ(Eval("sqrtm([1 2 3])"), "error 21");
}

TEST_F(LapackDecomposition, NonFiniteEntriesAreAnsweredBeforeLapackSeesThem) {
  // eig: NaN eigenvalues (real), D with NaN on its diagonal and V all NaN;
  // balance: nothing to even out, B = A and T = I. LAPACK prints nothing.
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (const char* a : {"[NaN 1; 2 3]", "[Inf Inf; Inf Inf]", "[1 2; 3 4] * 1i + [NaN 0; 0 0]"}) {
    SCOPED_TRACE(a);
    const std::string x = std::string("A = ") + a + "; ";
    EXPECT_TRUE(
        Holds(x + "d = eig(A); all(size(d) == [2 1]) && all(isnan(d)) && same(d, real(d))"));
    EXPECT_TRUE(Holds(x + "[V, D] = eig(A); all(isnan(V(:))) && all(isnan(diag(D))) && "
                          "D(1, 2) == 0 && D(2, 1) == 0"));
    EXPECT_TRUE(Holds(x + "[T, B] = balance(A); same(T, eye(2)) && same(isnan(B), isnan(A)) && "
                          "all(B(~isnan(A)) == A(~isnan(A)))"));
  }
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out + err, "");
}

TEST_F(LapackDecomposition, EmptyEigLeavesExactlyItsOutputs) {
  for (int32_t outputs : {1, 2}) {
    const int32_t entries = GetFrameEntryCount(ctx);
    ASSERT_EQ(PushEmptyMatrix(ctx), kOk);
    ASSERT_EQ(CallNative("eig", 1, outputs), kOk);
    EXPECT_EQ(GetFrameEntryCount(ctx), entries + outputs);
    Drop(ctx, GetFrameEntryCount(ctx) - entries);
  }
  EXPECT_EQ(Eval("size(eig([]))"), "[0,0]");
  EXPECT_EQ(Eval("[V, D] = eig([], []); {V, D}"), Eval("{[], []}"));
}

TEST_F(LapackDecomposition, BadArgumentsAnswerTheirCodes) {
  for (const char* f : {"chol", "hess", "balance", "schur", "sqrtm", "logm", "eig"}) {
    EXPECT_EQ(Eval(std::string(f) + "([1 2 3])"), "error 21") << f;
    EXPECT_EQ(Eval(std::string(f) + "({1})"), "error 44") << f;
  }
  for (const char* f : {"svd", "rank", "orth", "null", "qr"})
    EXPECT_EQ(Eval(std::string(f) + "({1})"), "error 44") << f;
  EXPECT_EQ(Eval("eig([1 2; 3 4], [1 2 3])"), "error 21");
  EXPECT_EQ(Eval("qz([1 2; 3 4], {1})"), "error 44");
}

TEST_F(LapackDecomposition, TooLittleRoomAnswersDataOverflowAndKeepsTheArguments) {
  CheckTooLittleRoom("svd", 1, {{8, 6}});
  CheckTooLittleRoom("svd", 3, {{8, 6, true}});
  CheckTooLittleRoom("rank", 1, {{8, 6}});
  CheckTooLittleRoom("orth", 1, {{8, 6}});
  CheckTooLittleRoom("null", 1, {{6, 8, true}});
  CheckTooLittleRoom("eig", 1, {{8, 8}});
  CheckTooLittleRoom("eig", 2, {{8, 8}});
  CheckTooLittleRoom("eig", 2, {{8, 8, true}});
  CheckTooLittleRoom("eig", 2, {{6, 6}, {6, 6, true}});
  CheckTooLittleRoom("schur", 2, {{8, 8}});
  CheckTooLittleRoom("sqrtm", 2, {{8, 8}});
  CheckTooLittleRoom("sqrtm", 2, {{4, 4}});  // room for the imaginary block, not the rest
  CheckTooLittleRoom("eig", 2, {{4, 4}});
  CheckTooLittleRoom("qz", 1, {{3, 3}, {3, 3, true}});
  CheckTooLittleRoom("logm", 1, {{8, 8, true}});
  CheckTooLittleRoom("qr", 3, {{8, 6}});
  CheckTooLittleRoom("qz", 4, {{6, 6}, {6, 6, true}});
  CheckTooLittleRoom("chol", 1, {{8, 8}});
  CheckTooLittleRoom("hess", 2, {{8, 8, true}});
  CheckTooLittleRoom("balance", 2, {{8, 8}});
}

}  // namespace
}  // namespace vke
