// The singular-value natives svd, rank, cond, pinv, orth, null and norm on
// source text, the matrix divisions that go through pinv, and the codes.
#include <gtest/gtest.h>

#include <string>

#include "engine/registry/native_record.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

class SvdNatives : public LinalgFixture {};

TEST_F(SvdNatives, ValuesAndDecompositions) {
  EXPECT_EQ(Show("maxabs(svd([3 0; 4 5]) ./ [sqrt(45); sqrt(5)] - 1) <= 1e-13"), "true");
  Run("A = [1 2; 3 4; 5 6]; [U, S, V] = svd(A); [Ue, Se, Ve] = svd(A, 0);"
      "W = A'; [Uw, Sw, Vw] = svd(W);");
  EXPECT_EQ(Show("same([size(U), size(S), size(V)], [3 3 3 2 2 2])"), "true");
  EXPECT_EQ(Show("same([size(Ue), size(Se), size(Ve)], [3 2 2 2 2 2])"), "true");
  for (const char* check :
       {"maxabs(U * S * V' - A) <= 1e-13 * maxabs(A)", "maxabs(U' * U - eye(3)) <= 1e-14",
        "maxabs(Ue * Se * Ve' - A) <= 1e-13 * maxabs(A)", "same(Se, S(1:2, :))",
        "maxabs(Uw * Sw * Vw' - W) <= 1e-13 * maxabs(W)", "maxabs(Vw' * Vw - eye(3)) <= 1e-14",
        "S(1, 1) >= S(2, 2) && S(2, 2) > 0 && S(2, 1) == 0"}) {
    EXPECT_EQ(Show(check), "true") << check;
  }
  // Complex matrices, tall and wide, full and economy.
  Run("C = [1+2i 3; -1i 2-1i; 4 1i]; [U, S, V] = svd(C); [Ue, Se, Ve] = svd(C.', 0);");
  EXPECT_EQ(Show("maxabs(U * S * V' - C) <= 1e-13 * maxabs(C) && stored_real(S)"), "true");
  EXPECT_EQ(Show("maxabs(Ue * Se * Ve' - C.') <= 1e-13 * maxabs(C)"), "true");
  EXPECT_EQ(Show("maxabs(svd(C) - diag(S(1:2, :))) <= 1e-13"), "true");

  EXPECT_EQ(Show("same(size(svd(zeros(0, 3))), [0 1])"), "true");
  Run("[U, S, V] = svd(zeros(0, 3));");
  EXPECT_EQ(Show("same(size(U), [0 0]) && same(size(S), [0 3]) && same(V, eye(3))"), "true");
}

TEST_F(SvdNatives, CallFormsAndCodes) {
  Run("A = [1 2; 3 4];");
  EXPECT_EQ(Show("svd(A, 0)"), "error 127");
  host.ClearOutput();
  EXPECT_EQ(test::RunCommandLine(ctx, "[U, S] = svd(A);\n"), 127);
  EXPECT_EQ(Show("svd({1})"), "error 44");
  EXPECT_EQ(Show("rank({1})"), "error 44");
  EXPECT_EQ(Show("rank(A, 1i)"), "error 44");
  EXPECT_EQ(Show("pinv({1})"), "error 43");
  EXPECT_EQ(Show("pinv(A, [1 2])"), "error 104");
  EXPECT_EQ(Show("norm({1})"), "error 43");
  EXPECT_EQ(Show("norm(A, 'Inf')"), "error 108");
  EXPECT_EQ(Show("norm(A, 3)"), "error 108");
  EXPECT_EQ(Show("norm(A, {1})"), "error 43");
}

TEST_F(SvdNatives, RankConditionAndBases) {
  EXPECT_EQ(Show("rank(zeros(3))"), "0");
  EXPECT_EQ(Show("rank(magic(4))"), "3");
  EXPECT_EQ(Show("rank(magic(4), -1)"), "3");
  EXPECT_EQ(Show("rank(magic(4), 20)"), "1");
  EXPECT_EQ(Show("rank([1 2 3; 2 4 6])"), "1");
  EXPECT_EQ(Show("cond([1 2 3])"), "1");
  EXPECT_EQ(Show("cond([1 0; 0 0])"), "inf");
  EXPECT_EQ(Show("cond(zeros(3, 0))"), "0");
  EXPECT_EQ(Show("abs(cond([2 0; 0 1i]) - 2) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(size(null(eye(3))), [3 0])"), "true");
  EXPECT_EQ(Show("same(size(orth(zeros(3, 2))), [3 0])"), "true");
  EXPECT_EQ(Show("same(null(zeros(0, 2)), eye(2))"), "true");
  Run("N = null([1 1; 2 2]); O = orth([1 1; 2 2]); Z = null([1 1i]);");
  EXPECT_EQ(Show("same(size(N), [2 1]) && maxabs([1 1; 2 2] * N) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(size(O), [2 1]) && abs(abs(O' * [1; 2]) - sqrt(5)) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs([1 1i] * Z) <= 1e-15 && abs(norm(Z) - 1) <= 1e-15"), "true");
}

TEST_F(SvdNatives, PseudoInverseAndDivisions) {
  EXPECT_EQ(Show("maxabs(pinv([1 2; 2 4]) - [0.04 0.08; 0.08 0.16]) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(size(pinv(zeros(2, 0))), [0 2])"), "true");
  // The tolerance keeps only the leading values.
  EXPECT_EQ(Show("same(pinv(diag([4 2 1]), 1.5), diag([0.25 0.5 0]))"), "true");
  Run("A = [1 2 3; 4 5 7]; X = pinv(A); C = [1+1i 2; 3 1i; 0 2-2i]; Y = pinv(C);");
  EXPECT_EQ(Show("maxabs(A * X * A - A) <= 1e-13 && maxabs(X * A * X - X) <= 1e-13"), "true");
  EXPECT_EQ(Show("maxabs(C * Y * C - C) <= 1e-13 && maxabs(Y * C - eye(2)) <= 1e-13"), "true");
  // Division by a matrix that is not square goes through pinv.
  EXPECT_EQ(Show("maxabs([1 2 3] \\ 6 - [3; 6; 9] / 7) <= 1e-15"), "true");
  EXPECT_EQ(Show("maxabs(6 / [1; 2; 3] - [3 6 9] / 7) <= 1e-15"), "true");
  EXPECT_EQ(Show("same(zeros(0, 3) \\ zeros(0, 2), zeros(3, 2))"), "true");
  // A NaN anywhere leaves every element undefined, both parts of a complex
  // one; a negative tolerance is the default one.
  Run("P = pinv([1 NaN]); Q = pinv([NaN 1; 2 3; 4 5]); R = pinv([1i NaN]);");
  EXPECT_EQ(Show("same(size(P), [2 1]) && all(isnan(P)) && all(all(isnan(Q)))"), "true");
  EXPECT_EQ(Show("same(size(Q), [2 3]) && all(isnan(real(R))) && all(isnan(imag(R)))"), "true");
  // So does an infinity, and a NaN or an infinity in an imaginary part.
  Run("P = pinv([Inf 0; 0 1]); Q = pinv([1 complex(0, NaN)]); R = pinv([1 complex(2, -Inf)]);");
  EXPECT_EQ(Show("all(all(isnan(P))) && all(isnan(real(Q))) && all(isnan(imag(Q)))"), "true");
  EXPECT_EQ(Show("same(size(Q), [2 1]) && all(isnan(real(R))) && all(isnan(imag(R)))"), "true");
  EXPECT_EQ(Show("same(pinv(A, -1), pinv(A)) && same(pinv(C, -2), pinv(C))"), "true");
}

TEST_F(SvdNatives, VectorAndMatrixNorms) {
  EXPECT_EQ(Show("norm([3 4])"), "5");
  EXPECT_EQ(Show("norm([3; 4], -Inf)"), "3");
  EXPECT_EQ(Show("norm([3 4], 'inf')"), "4");
  EXPECT_EQ(Show("norm([3 4], 1)"), "7");
  EXPECT_EQ(Show("abs(norm([1 2 3], 3) - 36^(1/3)) <= 1e-15"), "true");
  EXPECT_EQ(Show("norm([1+1i, 2], -Inf) == sqrt(2)"), "true");
  EXPECT_EQ(Show("norm([3+4i, 0], 1)"), "5");
  EXPECT_EQ(Show("abs(norm([1e200 1e200]) / 1e200 - sqrt(2)) <= 1e-15"), "true");
  EXPECT_EQ(Show("norm([])"), "nan");
  EXPECT_EQ(Show("abs(norm([1 2; 3 4]) - 5.464985704219043) <= 1e-14"), "true");
  EXPECT_EQ(Show("norm([1 2; 3 4], 1)"), "6");
  EXPECT_EQ(Show("norm([1 2; 3 4], Inf)"), "7");
  EXPECT_EQ(Show("norm([1 2; 3 4], -Inf)"), "7");
  EXPECT_EQ(Show("norm([1 2 3; 4 5 6], 1)"), "9");
  EXPECT_EQ(Show("norm([1 2 3; 4 5 6], Inf)"), "15");
  EXPECT_EQ(Show("norm([1 2; 3 4], 'fro') == sqrt(30)"), "true");
  EXPECT_EQ(Show("abs(norm([1 1i; 0 1]) - (1 + sqrt(5)) / 2) <= 1e-15"), "true");
}

TEST_F(SvdNatives, TinyAndHugeMatricesKeepTheirSize) {
  // Squares of the entries would underflow or overflow: the singular values
  // and the Frobenius norm scale with the matrix all the same.
  for (const char* s : {"1e-170", "1e170", "1e-300"}) {
    SCOPED_TRACE(s);
    Run(std::string("k = ") + s + "; A = [1 2; 3 4] * k; C = A * 1i;");
    EXPECT_EQ(Show("abs(norm(A) / k - 5.464985704219043) <= 1e-13"), "true");
    EXPECT_EQ(Show("abs(norm(A, 'fro') / k - sqrt(30)) <= 1e-13"), "true");
    EXPECT_EQ(Show("abs(norm(C) / k - 5.464985704219043) <= 1e-13"), "true");
    EXPECT_EQ(Show("abs(cond(A) - 14.933034373659268) <= 1e-11"), "true");
    EXPECT_EQ(Show("maxabs(svd(A) / k - [5.464985704219043; 0.365966190626258]) <= 1e-13"), "true");
    Run("[U, S, V] = svd(C);");
    EXPECT_EQ(Show("maxabs(U * S * V' - C) / k <= 1e-13"), "true");
  }
}

// An "svd" in front of the engine's own (as the LAPACK library stands):
// the values [8; 2] for any matrix, counting its calls.
int g_frontSvdCalls = 0;
ErrCode FrontSvd(EngineContext* ctx, int32_t, int32_t, uintptr_t) {
  g_frontSvdCalls++;
  double* s;
  if (ErrCode e = PushNewMatrix(ctx, 2, 1, &s, nullptr)) return e;
  s[0] = 8;
  s[1] = 2;
  return DropStackEntries(ctx, 1, 1);
}

TEST_F(SvdNatives, NormAndConditionTakeTheDecompositionInFront) {
  EXPECT_EQ(Show("cond([1 2; 3 4]) > 14.9"), "true");
  NativeFunctionRecord table[] = {MakeRecord("@frontsvd"), MakeRecord("svd", &FrontSvd, 1, 2, 1, 3),
                                  MakeRecord("")};
  ASSERT_EQ(RegisterLibrary(ctx, table, true), kOk);
  g_frontSvdCalls = 0;
  Run("A = [1 2; 3 4];");
  EXPECT_EQ(Show("norm(A)"), "8");
  EXPECT_EQ(Show("cond(A)"), "4");
  EXPECT_EQ(Show("same(A, [1 2; 3 4])"), "true");  // a copy went in
  EXPECT_EQ(g_frontSvdCalls, 2);
  // Vectors and the other norms need no decomposition.
  EXPECT_EQ(Show("norm([3 4]) + norm(A, 1)"), "11");
  EXPECT_EQ(g_frontSvdCalls, 2);
}

TEST_F(SvdNatives, SingularMatricesHaveInfiniteCondition) {
  // Rounding leaves the smallest value near 1e-16 of the largest, not 0.
  EXPECT_EQ(Show("cond([1 2; 2 4])"), "inf");
  EXPECT_EQ(Show("cond([1 2 3; 4 5 6; 7 8 9])"), "inf");
  EXPECT_EQ(Show("cond([1 2; 2 4] * 1i)"), "inf");
  EXPECT_EQ(Show("abs(cond(diag([1 1e-12])) - 1e12) <= 1e-3"), "true");
}

}  // namespace
}  // namespace vke
