// The "!lapack" solve family on the test host with the library in front:
// lu, inv, pinv, det, rcond and the divisions, their singular and empty
// cases, the hand-overs to the core builtins, and a data stack too small.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/values/values.hpp"
#include "tests/host/value_text.hpp"
#include "tests/numerics/lapack_fixture.hpp"

namespace vke {
namespace {

using namespace test;

class LapackSolve : public LapackFixture {};

// A real and a complex system that are well conditioned.
const char* const kSystems =
    "A = magic(5) + 5 * eye(5); C = A + 1i * magic(5)'; "
    "B = [1 2; 3 4; 5 6; 7 8; 9 10] + 1i * [0 1; 1 0; 0 1; 1 0; 0 1]; ";

TEST_F(LapackSolve, DeterminantInverseAndCondition) {
  EXPECT_TRUE(Holds("abs(det([1 2; 3 4]) + 2) <= 1e-13"));
  EXPECT_TRUE(Holds("abs(det([1 1i; 2 3]) - (3 - 2i)) <= 1e-13"));
  EXPECT_EQ(Eval("det([])"), "1");
  EXPECT_TRUE(Holds("det([1 2; 2 4]) == 0"));
  // A real matrix has a real determinant, also when the product overflows
  // or meets NaN or Inf.
  EXPECT_EQ(Eval("det(1e200 * eye(3))"), Eval("Inf"));
  EXPECT_EQ(Eval("det(-1e200 * eye(3))"), Eval("-Inf"));
  EXPECT_EQ(Eval("det([NaN 1; 2 3])"), Eval("NaN"));
  EXPECT_EQ(Eval("det([Inf 1; 2 3])"), Eval("Inf"));
  EXPECT_TRUE(Holds("imag(det(1e200 * eye(3))) == 0 && imag(det([NaN 1; 2 3])) == 0"));
  EXPECT_TRUE(Holds("max(max(abs(inv([4 7; 2 6]) - [0.6 -0.7; -0.2 0.4]))) <= 1e-14"));
  EXPECT_TRUE(Holds(std::string(kSystems) + "max(max(abs(C * inv(C) - eye(5)))) <= 1e-13"));
  EXPECT_EQ(Eval("inv([])"), "[]");
  EXPECT_TRUE(Holds("abs(rcond([1 2; 3 4]) - 1 / 21) <= 1e-15"));
  EXPECT_EQ(Eval("rcond(eye(3))"), "1");
  EXPECT_EQ(Eval("rcond([])"), "1");
  EXPECT_EQ(Eval("rcond([1 2; 2 4])"), "0");
  EXPECT_TRUE(Holds("abs(rcond([1 2; 3 4] * 1i) - 1 / 21) <= 1e-15"));
  for (const char* f : {"det", "inv", "rcond", "lu"}) {
    EXPECT_EQ(Eval(std::string(f) + "([1 2 3])"), "error 21") << f;
    EXPECT_EQ(Eval(std::string(f) + "({1})"), "error 44") << f;
  }
}

TEST_F(LapackSolve, ExactlySingularSystemsGiveRealInfinity) {
  const std::string inf2 = Eval("[Inf Inf; Inf Inf]"), inf21 = Eval("[Inf; Inf]");
  EXPECT_EQ(Eval("inv([1 2; 2 4])"), inf2);
  EXPECT_EQ(Eval("inv([1 2; 2 4] * 1i)"), inf2);
  // Through the operators, with real and complex right-hand sides.
  EXPECT_EQ(Eval("[1 2; 2 4] \\ [1; 1]"), inf21);
  EXPECT_EQ(Eval("[1 2; 2 4] \\ [1i; 1]"), inf21);
  EXPECT_EQ(Eval("(1i * [1 2; 2 4]) \\ [1; 1]"), inf21);
  EXPECT_EQ(Eval("[1 2] / [1 2; 2 4]"), "[Inf,Inf]");
  EXPECT_EQ(Eval("[1 2] / (1i * [1 2; 2 4])"), "[Inf,Inf]");
}

TEST_F(LapackSolve, SquareAndLeastSquaresDivisions) {
  EXPECT_TRUE(Holds("max(abs([1 2; 3 4] \\ [5; 6] - [-4; 4.5])) <= 1e-13"));
  EXPECT_TRUE(Holds("max(abs([5 6] / [1 2; 3 4] - [-1 2])) <= 1e-13"));
  EXPECT_TRUE(Holds("abs([1; 1; 1] \\ [1; 2; 3] - 2) <= 1e-14"));
  EXPECT_TRUE(Holds("abs([1 1 1]' \\ [1 2 3]' - 2) <= 1e-14"));
  // Residuals of every kind of system: real and complex, square, tall
  // (normal equations) and wide (minimum norm, through pinv).
  const std::string s = kSystems;
  EXPECT_TRUE(Holds(s + "X = A \\ B; max(max(abs(A * X - B))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "X = C \\ B; max(max(abs(C * X - B))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "X = C \\ real(B); max(max(abs(C * X - real(B)))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "X = B' / A; max(max(abs(X * A - B'))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "X = B' / C; max(max(abs(X * C - B'))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "X = real(B') / C; max(max(abs(X * C - real(B')))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "T = C(:, 1:3); X = T \\ B; max(max(abs(T' * (T * X - B)))) <= 1e-11"));
  EXPECT_TRUE(Holds(s + "T = A(:, 1:3); X = T \\ B; max(max(abs(T' * (T * X - B)))) <= 1e-11"));
  EXPECT_TRUE(Holds(s + "W = C(1:2, :); X = W \\ B(1:2, :); "
                        "max(max(abs(X - pinv(W) * B(1:2, :)))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "W = C(1:2, :); X = B' / W; max(max(abs(X - B' * pinv(W)))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "W = C(:, 1:2); X = B(:, 1:2) / W; "
                        "max(max(abs(X - B(:, 1:2) * pinv(W)))) <= 1e-12"));
  EXPECT_TRUE(Holds(s + "W = A(1:2, :); X = B(:, 1)' / W; "
                        "max(abs(X - B(:, 1)' * pinv(W))) <= 1e-12"));
  EXPECT_EQ(Eval("size(ones(3, 2) \\ ones(3, 4))"), "[2,4]");
  EXPECT_EQ(Eval("size(ones(4, 2) / ones(3, 2))"), "[4,3]");
  EXPECT_EQ(Eval("[1 2; 3 4] \\ [1 2 3]"), "error 20");
  EXPECT_EQ(Eval("[1 2; 3 4] / [1; 2]"), "error 20");
}

TEST_F(LapackSolve, ScalarDivisorsAndHandOvers) {
  EXPECT_EQ(Eval("mldivide(2, [2 4 6])"), Eval("[1 2 3]"));
  EXPECT_EQ(Eval("all(all(all(mrdivide(ones(2, 2, 2), 2) == 0.5)))"), "true");
  EXPECT_EQ(Eval("size(mrdivide(ones(2, 2, 2), 2))"), "[2,2,2]");
  EXPECT_EQ(Eval("mldivide(4, [2i 8])"), Eval("[0.5i 2]"));
  EXPECT_EQ(Eval("mldivide(2i, [2 4])"), Eval("[2 4] ./ 2i"));
  EXPECT_EQ(Eval("mrdivide([2 4], 1 + 1i)"), Eval("[2 4] ./ (1 + 1i)"));
  EXPECT_EQ(Eval("mrdivide([2 4], single(2))"), Eval("[2 4] ./ single(2)"));
  EXPECT_EQ(Eval("mldivide(single(2), [2 4])"), Eval("single(2) .\\ [2 4]"));
  EXPECT_EQ(Eval("mldivide({1}, 2)"), "error 44");
  // Pairs the letters refuse go to the core builtins: the same results,
  // classes included, with the library registered and without it.
  const char* const texts[] = {"int8([2 4]) / int8(2)",          "mrdivide(int8([2 4]), int8(2))",
                               "mldivide(int8(2), int8([2 4]))", "mrdivide('ab', 2)",
                               "mldivide(true, [2 4])",          "mrdivide(single([2 4; 6 8]), 2)"};
  std::vector<std::string> with;
  for (const char* text : texts)
    with.push_back(Eval(std::string("{") + text + ", class(" + text + ")}"));
  EXPECT_EQ(with[0], Eval("{int8([1 2]), 'int8'}"));
  UnregisterFrontLibraries(ctx, 1);
  for (size_t k = 0; k < with.size(); k++)
    EXPECT_EQ(with[k], Eval(std::string("{") + texts[k] + ", class(" + texts[k] + ")}"))
        << texts[k];
}

TEST_F(LapackSolve, EmptyOperandsGiveWhatTheCoreBuiltinsGive) {
  const std::vector<std::string> shapes = {"zeros(0, 0)", "zeros(0, 3)", "zeros(3, 0)",
                                           "zeros(0, 2)", "zeros(2, 0)", "eye(2)",
                                           "ones(3, 2)",  "ones(2, 3)"};
  for (const char* op : {"mldivide", "mrdivide"}) {
    for (const std::string& x : shapes) {
      for (const std::string& y : shapes) {
        if ((x + y).find("zeros") == std::string::npos) continue;
        const std::string call = std::string(op) + "(" + x + ", " + y + ")";
        SCOPED_TRACE(call);
        // The core builtin on the same pair; an empty factor makes any
        // result it gives all zeros, so its shape tells it all.
        ASSERT_EQ(EvaluateText(ctx, x), kOk);
        ASSERT_EQ(EvaluateText(ctx, y), kOk);
        std::string core;
        if (ErrCode e = CallNamed(ctx, op, 2)) {
          core = "error " + std::to_string(e);
          Drop(ctx, 2);
        } else {
          Shape shape;
          ASSERT_EQ(GetValueShape(ctx, 0, &shape), kOk);
          Drop(ctx);
          core = Eval("v = zeros(" + std::to_string(shape.dims[0]) + ", " +
                      std::to_string(shape.dims[1]) + "); {v, size(v)}");
        }
        EXPECT_EQ(Eval("v = " + call + "; {v, size(v)}"), core);
      }
    }
  }
  EXPECT_EQ(Eval("size(zeros(0, 3) \\ zeros(0, 2))"), "[3,2]");
  EXPECT_EQ(Eval("size(mldivide(zeros(0, 0), zeros(0, 5)))"), "[0,5]");
  EXPECT_EQ(Eval("mldivide(eye(2), zeros(0, 5))"), "error 20");
}

TEST_F(LapackSolve, LuFactorsInTheirThreeForms) {
  EXPECT_TRUE(Holds("max(max(abs(lu([1 2; 3 4]) - [3 4; 1/3 2/3]))) <= 1e-15"));
  EXPECT_EQ(Eval("lu([])"), "[]");
  EXPECT_EQ(Eval("[L, U, P] = lu([]); {L, U, P}"), Eval("{[], [], []}"));
  const std::string s = kSystems;
  for (const char* m : {"A", "C"}) {
    SCOPED_TRACE(m);
    const std::string x = s + "M = " + m + "; ";
    EXPECT_TRUE(Holds(x + "[L, U] = lu(M); max(max(abs(L * U - M))) <= 1e-12"));
    EXPECT_TRUE(Holds(x + "[L, U] = lu(M); all(all(triu(U) == U))"));
    EXPECT_TRUE(Holds(x + "[L, U, P] = lu(M); max(max(abs(L * U - P * M))) <= 1e-12"));
    EXPECT_TRUE(Holds(x + "[L, U, P] = lu(M); all(all(tril(L) == L)) && all(diag(L) == 1)"));
    EXPECT_TRUE(Holds(x + "[L, U, P] = lu(M); all(sum(P) == 1) && all(sum(P') == 1)"));
    EXPECT_EQ(Eval(x + "[L, U, P] = lu(M); P").find('i'), std::string::npos) << "P is real";
  }
}

TEST_F(LapackSolve, PseudoInverseAndItsTolerance) {
  EXPECT_EQ(Eval("size(pinv(zeros(3, 0)))"), "[0,3]");
  EXPECT_EQ(Eval("size(pinv(zeros(0, 3)))"), "[3,0]");
  EXPECT_EQ(Eval("pinv(diag([1 1e-3]), 1e-2)"), Eval("[1 0; 0 0]"));
  EXPECT_TRUE(Holds("max(max(abs(pinv(diag([1 1e-3]), 1e-4) - diag([1 1000])))) <= 1e-9"));
  // At the tolerance itself a singular value counts as zero.
  EXPECT_EQ(Eval("pinv(diag([1 0.5]), 0.5)"), Eval("[1 0; 0 0]"));
  EXPECT_EQ(Eval("pinv([1 2; 3 4], -1) == pinv([1 2; 3 4])"), Eval("true(2)"));
  const std::string s = kSystems;
  for (const char* m : {"A(:, 1:3)", "A(1:3, :)", "C(:, 1:3)", "C(1:3, :)", "[1 2; 2 4]"}) {
    SCOPED_TRACE(m);
    const std::string x = s + "M = " + m + "; X = pinv(M); ";
    EXPECT_TRUE(Holds(x + "all(size(X) == size(M'))"));
    EXPECT_TRUE(Holds(x + "max(max(abs(M * X * M - M))) <= 1e-12 * max(abs(M(:)))"));
    EXPECT_TRUE(Holds(x + "max(max(abs(X * M * X - X))) <= 1e-12 * max(abs(X(:)))"));
    EXPECT_TRUE(Holds(x + "max(max(abs((M * X)' - M * X))) <= 1e-12"));
  }
  EXPECT_EQ(Eval("pinv([1 2], {1})"), "error 44");
  // A NaN anywhere leaves every element undefined, as without LAPACK.
  EXPECT_TRUE(Holds("all(isnan(pinv([1 NaN]))) && all(size(pinv([1 NaN])) == [2 1])"));
  EXPECT_TRUE(
      Holds("all(all(isnan(pinv([NaN 1; 2 3; 4 5])))) && all(size(pinv(ones(3, 2))) == [2 3])"));
  EXPECT_TRUE(Holds("all(isnan(real(pinv([1i; NaN])))) && all(isnan(imag(pinv([1i; NaN]))))"));
  // So does an infinity, and a NaN or an infinity in an imaginary part.
  EXPECT_TRUE(Holds("all(all(isnan(pinv([Inf 0; 0 1])))) && all(isnan(pinv([1 -Inf])))"));
  EXPECT_TRUE(Holds("X = pinv([1 complex(0, NaN)]); all(isnan(real(X))) && all(size(X) == [2 1])"));
  EXPECT_TRUE(Holds("all(all(isnan(imag(pinv([1 2; complex(0, Inf) 3])))))"));
}

TEST_F(LapackSolve, OperatorsReachTheNativesAndTheBuiltinsItsPinv) {
  // The core builtin's own solver would give [-Inf; Inf] here.
  EXPECT_EQ(Eval("[1 2; 2 4] \\ [1; 1]"), Eval("[Inf; Inf]"));
  EXPECT_EQ(Eval("[1 2] / [1 2; 2 4]"), Eval("[Inf Inf]"));
  // The builtin's pseudo-inverse route, taken for empties, finds this pinv.
  ASSERT_EQ(EvaluateText(ctx, "zeros(0, 3)"), kOk);
  ASSERT_EQ(EvaluateText(ctx, "zeros(0, 2)"), kOk);
  ASSERT_EQ(CallNamed(ctx, "mldivide", 2), kOk);
  Shape shape;
  ASSERT_EQ(GetValueShape(ctx, 0, &shape), kOk);
  EXPECT_EQ(shape.dims[0], 3);
  EXPECT_EQ(shape.dims[1], 2);
  Drop(ctx);
}

TEST_F(LapackSolve, TooLittleRoomAnswersDataOverflowAndKeepsTheArguments) {
  CheckTooLittleRoom("inv", 1, {{8, 8}});
  CheckTooLittleRoom("inv", 1, {{8, 8, true}});
  CheckTooLittleRoom("det", 1, {{8, 8}});
  CheckTooLittleRoom("rcond", 1, {{8, 8, true}});
  CheckTooLittleRoom("lu", 1, {{8, 8}});
  CheckTooLittleRoom("lu", 3, {{8, 8}});
  CheckTooLittleRoom("lu", 3, {{8, 8, true}});
  CheckTooLittleRoom("pinv", 1, {{8, 5}});
  CheckTooLittleRoom("mldivide", 1, {{8, 8}, {8, 2}});
  CheckTooLittleRoom("mldivide", 1, {{8, 8, true}, {8, 2}});
  CheckTooLittleRoom("mldivide", 1, {{8, 5}, {8, 8}});
  CheckTooLittleRoom("mrdivide", 1, {{2, 8}, {8, 8}});
  CheckTooLittleRoom("mrdivide", 1, {{2, 8}, {8, 8, true}});
  CheckTooLittleRoom("mrdivide", 1, {{8, 3}, {5, 3}});
}

}  // namespace
}  // namespace vke
