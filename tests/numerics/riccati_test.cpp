// The natives care, dare, lyap and dlyap: closed forms, the reference
// solutions made with GNU Octave (tests/data/riccati_reference.txt),
// residuals of random systems, the call forms and their codes, the
// reordering across an exactly zero coupling, and the room they take from
// the data stack.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"
#include "tests/host/numeric_arrays.hpp"
#include "tests/numerics/linalg_fixture.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

using test::LinalgFixture;

class RiccatiNatives : public LinalgFixture {
 protected:
  // Runs the reference file's assignments.
  void LoadReferences() {
    const char* dir = std::getenv("VKE_TEST_DATA");
    ASSERT_NE(dir, nullptr);
    std::ifstream in(std::string(dir) + "/riccati_reference.txt");
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    Run(text.str());
  }
};

TEST_F(RiccatiNatives, ScalarClosedForms) {
  Run("[X, L, K] = care(1, 1, 1);");
  EXPECT_EQ(Show("abs(X - (1 + sqrt(2))) <= 1e-12 && abs(L + sqrt(2)) <= 1e-12"), "true");
  EXPECT_EQ(Show("abs(K - (1 + sqrt(2))) <= 1e-12 && stored_real(X) && stored_real(L)"), "true");
  Run("[X, L, K] = dare(1, 1, 1); phi = (1 + sqrt(5)) / 2;");
  EXPECT_EQ(Show("abs(X - phi) <= 1e-12 && abs(L - (2 - phi)) <= 1e-12"), "true");
  EXPECT_EQ(Show("abs(K - (phi - 1)) <= 1e-12"), "true");
}

TEST_F(RiccatiNatives, AgreeWithTheReference) {
  ASSERT_NO_FATAL_FAILURE(LoadReferences());
  Run("[X, L, K] = care(Ac, Bc, Qc, Rc, Sc); [XR, LR, KR] = care(Ac, Bc, Qc, Rc);");
  Run("[Xd, Ld, Kd] = dare(Ad, Bd, Qc); [XdR, LdR, KdR] = dare(Ad, Bd, Qc, Rc);");
  const char* checks[] = {
      "maxabs(care(Ac, Bc, Qc) - Xc) <= 1e-10 * maxabs(Xc)",
      "maxabs(XR - XcR) <= 1e-10 * maxabs(XcR) && maxabs(KR - KcR) <= 1e-10 * maxabs(KcR)",
      "maxabs(X - XcRS) <= 1e-10 * maxabs(XcRS) && maxabs(K - KcRS) <= 1e-10 * maxabs(KcRS)",
      "maxabs(sort(real(L)) - LcRS(:, 1)) <= 1e-10",
      "maxabs(sort(abs(imag(L))) - sort(LcRS(:, 2))) <= 1e-10",
      "maxabs(Xd - Xdo) <= 1e-10 * maxabs(Xdo) && maxabs(Kd - Kdo) <= 1e-10 * maxabs(Kdo)",
      "maxabs(XdR - XdRo) <= 1e-10 * maxabs(XdRo) && maxabs(KdR - KdRo) <= 1e-10",
      "maxabs(sort(real(LdR)) - sort(LdRo(:, 1))) <= 1e-10",
      "maxabs(lyap(Al, Gl) - Xl) <= 1e-12 * maxabs(Xl)",
      "maxabs(lyap(As, Bs, Gs) - Xs) <= 1e-13 && maxabs(lyap(As, Bs, Gs) - Xsyl) <= 1e-13",
      "maxabs(dlyap(Adl, Gdl) - Xdl) <= 1e-12 * maxabs(Xdl)",
  };
  for (const char* check : checks) EXPECT_EQ(Show(check), "true") << check;
}

TEST_F(RiccatiNatives, CallFormsOfCare) {
  Run("A = rand(4) - 0.5; B = rand(4, 2) - 0.5; Q = eye(4); X = care(A, B, Q);");
  EXPECT_EQ(Show("maxabs(care(A, B, Q, eye(2)) - X) <= 1e-12 * maxabs(X)"), "true");
  EXPECT_EQ(Show("maxabs(care(A, B, Q, false) - X) <= 1e-12 * maxabs(X)"), "true");
  Run("[Y, L] = care(A, B * B', Q, true);");
  EXPECT_EQ(Show("maxabs(Y - X) <= 1e-10 * maxabs(X) && all(real(L) < 0)"), "true");
  EXPECT_EQ(Show("care(A, B * B', Q, true)"), Show("care(A, B, Q)"));
  // dare without R takes the identity in H and in the gain alike.
  Run("[X, L, K] = dare(A, B, Q); [X2, L2, K2] = dare(A, B, Q, eye(2));");
  EXPECT_EQ(Show("maxabs(X - X2) + maxabs(K - K2) <= 1e-12 * maxabs(X)"), "true");
}

TEST_F(RiccatiNatives, RandomSystemsSolveTheirEquations) {
  for (int trial = 0; trial < 5; trial++) {
    SCOPED_TRACE(trial);
    Run("A = rand(6) - 0.5; B = rand(6, 2) - 0.5; Q = eye(6); R = [2 1; 1 3];");
    Run("[X, L, K] = care(A, B, Q, R);");
    EXPECT_EQ(Show("maxabs(A' * X + X * A - X * B * (R \\ B') * X + Q) <= 1e-10 * maxabs(X)"),
              "true");
    EXPECT_EQ(Show("all(real(L) < 0) && maxabs(K - R \\ (B' * X)) <= 1e-10 * maxabs(K)"), "true");
    EXPECT_EQ(Show("maxabs(sort(real(eig(A - B * K))) - sort(real(L))) <= 1e-8"), "true");
    Run("[X, L, K] = dare(A, B, Q, R); W = R + B' * X * B;");
    EXPECT_EQ(Show("maxabs(A' * X * A - X - A' * X * B * (W \\ (B' * X * A)) + Q) <= "
                   "1e-10 * maxabs(X)"),
              "true");
    EXPECT_EQ(Show("all(abs(L) < 1) && maxabs(K - W \\ (B' * X * A)) <= 1e-10 * maxabs(K)"),
              "true");
  }
}

TEST_F(RiccatiNatives, ComplexEigenvaluesGiveAComplexLAndARealX) {
  Run("[X, L] = care([0 1; -1 0], [0; 1], eye(2));");
  EXPECT_EQ(Show("stored_real(X) && ~stored_real(L) && all(real(L) < 0)"), "true");
  EXPECT_EQ(Show("maxabs(X - X') <= 1e-12"), "true");
}

TEST_F(RiccatiNatives, ExactlyDecoupledEigenvaluesAreExchanged) {
  // H is triangular with an unstable eigenvalue first and a zero beside it:
  // the reordering exchanges the two rows and columns.
  Run("[X, L, K] = care([1 0; 0 -1], [1; 0], zeros(2));");
  EXPECT_EQ(Show("maxabs(X - [2 0; 0 0]) <= 1e-14 && maxabs(K - [2 0]) <= 1e-14"), "true");
  EXPECT_EQ(Show("maxabs(L - [-1; -1]) <= 1e-14"), "true");
}

TEST_F(RiccatiNatives, TooFewStableEigenvaluesFail) {
  // A G that is not symmetric leaves H with one stable eigenvalue of four.
  EXPECT_EQ(Show("care([2 0; -1 -1], [-2 0; -2 2], [2 -2; 2 -1], true)"), "error 9");
}

TEST_F(RiccatiNatives, LyapunovEquations) {
  EXPECT_EQ(Show("maxabs(lyap([-1 0; 0 -2], eye(2)) - [0.5 0; 0 0.25]) <= 1e-14"), "true");
  Run("A = [1 2; 3 -4]; B = [1 0 2; 0 1 0; 1 1 -3]; G = [1 2 3; 4 5 6]; X = lyap(A, B, G);");
  EXPECT_EQ(Show("same(size(X), [2 3]) && maxabs(A * X + X * B + G) <= 1e-12"), "true");
  // A diagonal B takes only single columns; one with complex eigenvalues
  // pairs of them.
  Run("X = lyap(A, [0 1 0; -1 0 0; 0 0 2], G);");
  EXPECT_EQ(Show("maxabs(A * X + X * [0 1 0; -1 0 0; 0 0 2] + G) <= 1e-12"), "true");
  for (int trial = 0; trial < 5; trial++) {
    Run("A = rand(6) - 3 * eye(6); G = rand(6); X = lyap(A, G);");
    EXPECT_EQ(Show("maxabs(A * X + X * A' + G) <= 1e-10"), "true") << trial;
  }
  EXPECT_EQ(Show("maxabs(dlyap(0.5 * eye(2), eye(2)) - 4 / 3 * eye(2)) <= 1e-14"), "true");
  EXPECT_EQ(Show("dlyap(0, 7) == 7 && same(dlyap(zeros(2), [1 2; 3 4]), [1 2; 3 4])"), "true");
  Run("A = 0.3 * (rand(5) - 0.5); G = rand(5); X = dlyap(A, G);");
  EXPECT_EQ(Show("maxabs(A * X * A' - X + G) <= 1e-12"), "true");
  EXPECT_EQ(Show("isempty(lyap([], [])) && same(size(lyap(zeros(2), zeros(0), zeros(2, 0))), "
                 "[2 0])"),
            "true");
}

TEST_F(RiccatiNatives, Codes) {
  const std::pair<const char*, const char*> cases[] = {
      {"lyap(-eye(2), ones(2, 3))", "error 20"},
      {"lyap(-eye(2), eye(3))", "error 20"},
      {"lyap(-eye(2), eye(3), ones(2, 2))", "error 20"},
      {"lyap(-eye(2), 1i * eye(2))", "error 44"},
      {"lyap({1}, 1)", "error 44"},
      {"dlyap(eye(2), ones(2, 3))", "error 21"},
      {"dlyap(eye(3), eye(2))", "error 21"},
      {"dlyap(1, {2})", "error 44"},
      {"care(1, [1 2], 1, 1)", "error 20"},
      {"care(ones(2, 3), 1, 1)", "error 20"},
      {"care(1, 1, 1, 1, [1 1])", "error 20"},
      {"dare(1, 1, eye(2))", "error 20"},
      {"care(1, 1, {1})", "error 44"},
      {"care(1, 1i, 1)", "error 44"},
      {"care(-eye(2), [1 2], eye(2), true)", "error 26"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
  // A true flag accepts at most two outputs.
  EXPECT_NE(test::RunCommandLine(ctx, "[X, L, K] = care(-1, 1, 1, true);\n"), kOk);
  EXPECT_NE(host.Output(2).find("Too many output arguments"), std::string::npos);
  // The integer arguments are taken as doubles by the engine.
  EXPECT_EQ(Show("abs(care(int8(1), 1, 1) - (1 + sqrt(2))) <= 1e-12"), "true");
}

// With one word less than the results and workspace they take, the natives
// fail with 3 and leave their arguments as they were; with exactly that
// much they succeed.
TEST(RiccatiRoom, OneWordShortFailsAndLeavesTheArguments) {
  using Native = std::function<ErrCode(EngineContext*)>;
  struct Case {
    const char* name;
    int32_t arguments;  // n x n matrices, the first -2 I, the others I
    int64_t need;
    Native call;
  };
  // care, n = 2, m = 2, one output: X 8, H 32, T1 4, W 4, U 32 words, then
  // the larger of 2 pivot words and 4 for the Schur kernel; with L, W2 and
  // K (4 each) the pivots above them. lyap and dlyap, 2 x 2: 4 + 4
  // + (2 + 8 + 4) 2 words.
  const Case cases[] = {
      {"care", 3, 8 + 32 + 4 + 4 + 32 + 4,
       [](EngineContext* ctx) { return SolveRiccati(ctx, 3, 1, 'c'); }},
      {"dare with L and K", 3, 8 + 32 + 4 + 4 + 32 + 4 + 4 + 4 + 2,
       [](EngineContext* ctx) { return SolveRiccati(ctx, 3, 3, 'd'); }},
      {"lyap", 2, 36, [](EngineContext* ctx) { return LyapNative(ctx, 2, 1, 0); }},
      {"dlyap", 2, 36, [](EngineContext* ctx) { return DlyapNative(ctx, 2, 1, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int64_t free : {c.need - 1, c.need}) {
      test::TestHost host;
      EngineContext* ctx = host.ctx();
      ASSERT_NO_FATAL_FAILURE(test::PushFiller(ctx, 4 * c.arguments, free));
      for (int32_t k = 0; k < c.arguments; k++) {
        test::PushArray(ctx, "double", {2, 2}, {k ? 1.0 : -2.0, 0, 0, k ? 1.0 : -2.0});
      }
      const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
      if (free < c.need) {
        EXPECT_EQ(c.call(ctx), kErrDataOverflow);
        EXPECT_EQ(ctx->descTop, descTop);
        EXPECT_EQ(ctx->dataTop, dataTop);
        for (int32_t k = 0; k < c.arguments; k++) {
          const double d = k == c.arguments - 1 ? -2.0 : 1.0;
          EXPECT_EQ(test::ReadArray(ctx, k).re, (std::vector<double>{d, 0, 0, d}));
        }
      } else {
        EXPECT_EQ(c.call(ctx), kOk);
      }
    }
  }
}

}  // namespace
}  // namespace vke
