// Quaternion arrays from source text: the constructor's forms, display and
// dump text, the shape functions, products, quotients and powers, the
// elementary functions, rotations, indexing and assignment, the array
// functions, the codes of bad input, and calls that fail for lack of room
// leaving their arguments.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "numerics/quaternion/quaternion_value.hpp"
#include "tests/host/code_text.hpp"
#include "tests/host/command_line.hpp"
#include "tests/numerics/linalg_fixture.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

class Quaternions : public test::LinalgFixture {
 protected:
  void SetUp() override {
    LinalgFixture::SetUp();
    // qd(a, b): the largest difference of the components of a and b.
    Run("function d = qd(a, b)\n  d = maxabs(double(quaternion(a)) - double(quaternion(b)));\n"
        "endfunction");
  }
};

TEST_F(Quaternions, ConstructorForms) {
  EXPECT_EQ(Show("q2str(quaternion)"), "0");
  EXPECT_EQ(Show("q2str(quaternion(2+3i))"), "2+3i");
  Run("q = quaternion(1, 2, 3, 4);");
  EXPECT_EQ(Show("qd(quaternion(q), q) == 0 && isquaternion(quaternion(q))"), "true");
  // A column of scalars with rows of three; one scalar with a row or a column.
  Run("p = quaternion([1; 2], [1 2 3; 4 5 6]);");
  EXPECT_EQ(Show("same(size(p), [2 1]) && same(p.x, [1; 4]) && same(p.z, [3; 6])"), "true");
  EXPECT_EQ(Show("same(p.w, [1; 2]) && same(p.y, [2; 5])"), "true");
  EXPECT_EQ(Show("qd(quaternion(1, [1 2 3]), q - quaternion(0, 1, 1, 1)) == 0"), "true");
  EXPECT_EQ(Show("qd(quaternion(1, [1; 2; 3]), quaternion(1, [1 2 3])) == 0"), "true");
  // Pages along the last dimension.
  Run("v = zeros(2, 2, 3); v(:, :, 2) = [1 2; 3 4]; r = quaternion(zeros(2, 2), v);");
  EXPECT_EQ(Show("same(size(r), [2 2]) && same(r.y, [1 2; 3 4]) && same(r.x, zeros(2))"), "true");
  // Three arguments leave w zero; every argument has x's dimensions.
  EXPECT_EQ(
      Show("qd(quaternion([1 2], [3 4], [5 6]), quaternion([0 0], [1 2], [3 4], [5 6])) == 0"),
      "true");
  EXPECT_EQ(Show("same(size(quaternion(ones(1, 1, 1))), [1 1])"), "true");
  EXPECT_EQ(Show("isquaternion(q) && ~isquaternion(3) && ~isquaternion({q})"), "true");
}

TEST_F(Quaternions, DisplayAndShapeFunctions) {
  EXPECT_EQ(Show("q2str(quaternion(1, 2, 3, 4))"), "1+2i+3j+4k");
  EXPECT_EQ(Show("q2str(quaternion(0, 2, 0, -3))"), "2i-3k");
  EXPECT_EQ(Show("q2str(quaternion(-1, NaN, 0, Inf))"), "-1+nani+infk");
  EXPECT_EQ(Show("quaternion(zeros(2, 3))"), "2x3 quaternion array");
  EXPECT_EQ(Show("quaternion(zeros(0, 3))"), "empty quaternion array");
  Run("q = quaternion(zeros(2, 3)); e = quaternion(zeros(0, 3));");
  EXPECT_EQ(Show("same([numel(q) ndims(q) length(q) length(e) isempty(e) isempty(q)], "
                 "[6 2 3 3 1 0])"),
            "true");
  EXPECT_EQ(Show("same([size(q) size(q, 2) size(q, 3) size(e, 3)], [2 3 3 1 0])"), "true");
  Run("[m, n] = size(quaternion(ones(2, 3, 4)));");
  EXPECT_EQ(Show("same([m n], [2 3])"), "true");
  // double: a column for one quaternion, rows for a column, pages otherwise.
  EXPECT_EQ(Show("same(double(quaternion(1, 2, 3, 4)), [1; 2; 3; 4])"), "true");
  EXPECT_EQ(Show("same(double(quaternion([1; 2], [3; 4], [5; 6], [7; 8])), [1 3 5 7; 2 4 6 8])"),
            "true");
  EXPECT_EQ(Show("same(size(double(quaternion([1 2]))), [1 2 4])"), "true");
  EXPECT_EQ(Show("same([size(double(quaternion(zeros(1, 0)))) "
                 "size(double(quaternion(zeros(0, 1))))], [4 0 0 1])"),
            "true");
  // The variable display goes through disp.
  host.ClearOutput();
  ASSERT_EQ(test::RunCommandLine(ctx, "quaternion(5)\n"), kOk);
  EXPECT_NE(host.Output(1).find("5"), std::string::npos) << host.Output(1);
}

TEST_F(Quaternions, DumpTextReadsBackBitForBit) {
  EXPECT_EQ(Show("dumpvar(quaternion(1, 2, 3, 4))"), "quaternion(1,2,3,4)");
  Run("q = reshape(quaternion([1 2 3 4], [0.1 1/3 5 6], -[1 2 3 4], pi * [1 2 3 4]), [2, 2]);");
  Run("t = dumpvar(q);");
  EXPECT_EQ(Show("t(1:30)"), "reshape(quaternion([1:4],[0.1,");
  EXPECT_EQ(Show("t(end - 7:end)"), "),[2,2])");
  Run("r = eval(dumpvar(q));");
  EXPECT_EQ(Show("same(double(r), double(q)) && same(size(r), [2 2])"), "true");
  // Inside containers, the hook gets each value in turn.
  Run("s.a = q; s.b = {quaternion(7), 1}; t = eval(dumpvar(s));");
  EXPECT_EQ(Show("same(double(t.a), double(q)) && qd(t.b{1}, 7) == 0 && t.b{2} == 1"), "true");
}

TEST_F(Quaternions, ProductsQuotientsAndPowers) {
  Run("i1 = quaternion(0, 1, 0, 0); j1 = quaternion(0, 0, 1, 0); k1 = quaternion(0, 0, 0, 1);");
  EXPECT_EQ(Show("i1 * j1 == k1 && j1 * i1 == -k1 && i1 * i1 == -1"), "true");
  EXPECT_EQ(Show("q2str(quaternion(1, 2, 3, 4) * quaternion(5, 6, 7, 8))"), "-60+12i+30j+24k");
  Run("q = quaternion([1 2], [3 4], [5 6], [7 8]); a = quaternion(1, 2, 3, 4);"
      "b = quaternion(-2, 0.5, 1, 3);");
  EXPECT_EQ(Show("qd([1 2] .* q, quaternion([1 4], [3 8], [5 12], [7 16])) == 0"), "true");
  EXPECT_EQ(Show("qd(2 * a, quaternion(2, 4, 6, 8)) == 0 && qd(a / 2, 2 \\ a) == 0"), "true");
  EXPECT_EQ(Show("qd(a / b, a * qinv(b)) < 1e-15 && qd(a \\ b, qinv(a) * b) < 1e-15"), "true");
  EXPECT_EQ(Show("qd(q ./ b, q .* qinv(b)) < 1e-15 && qd(b .\\ q, qinv(b) .* q) < 1e-15"), "true");
  EXPECT_EQ(Show("qd(a + 1, quaternion(2, 2, 3, 4)) == 0 && qd(1 - a, -a + 1) == 0"), "true");
  EXPECT_EQ(Show("qd([1 2] - q, -(q - [1 2])) == 0 && qd(+a, a) == 0"), "true");
  // Powers as exp(e·log b); a real exponent on either side.
  EXPECT_EQ(Show("qd(a ^ 2, a * a) < 1e-12 && qd(a .^ 3, a * a * a) < 1e-11"), "true");
  EXPECT_EQ(Show("qd(2 .^ quaternion(1, 0, 0, 0), 2) < 1e-15"), "true");
  EXPECT_EQ(Show("qd(q .^ 2, q .* q) < 1e-12"), "true");
  // Comparisons: all four parts, NaN never equal.
  EXPECT_EQ(Show("same([quaternion(2) == 2, a == 1, a ~= a, quaternion(NaN) == quaternion(NaN)], "
                 "[true false false false])"),
            "true");
  EXPECT_EQ(Show("same(q == quaternion(1, 3, 5, 7), [true false])"), "true");
  // Integer, char and logical operands take part as doubles.
  EXPECT_EQ(Show("qd(int8(2) * a, 2 * a) == 0 && qd(a + true, a + 1) == 0"), "true");
}

TEST_F(Quaternions, ElementaryFunctions) {
  EXPECT_EQ(Show("same([abs(quaternion(1, 2, 2, 4)) qnorm(quaternion(1, 2, 2, 4))], [5 25])"),
            "true");
  EXPECT_EQ(Show("same(real(quaternion([1 2], [3 4], [5 6], [7 8])), [1 2])"), "true");
  EXPECT_EQ(Show("qd(log(quaternion(-1)), quaternion(0, pi, 0, 0)) == 0"), "true");
  EXPECT_EQ(Show("qd(sqrt(quaternion(0, 0, 0, -4)), quaternion(sqrt(2), 0, 0, -sqrt(2))) < 1e-15"),
            "true");
  EXPECT_EQ(Show("qd(sqrt(quaternion(-4)), quaternion(0, 2, 0, 0)) == 0"), "true");
  Run("e = exp(quaternion(2));");
  EXPECT_EQ(Show("e.x == 0 && e.y == 0 && e.z == 0 && e.w == exp(2)"), "true");
  Run("q = quaternion([0.3 -1], [0.2 2], [-0.5 0.1], [0.7 -0.4]);");
  EXPECT_EQ(Show("qd(exp(log(q)), q) < 1e-14 && qd(sqrt(q) .* sqrt(q), q) < 1e-14"), "true");
  EXPECT_EQ(Show("qd(sin(q) .^ 2 + cos(q) .^ 2, quaternion([1 1])) < 1e-13"), "true");
  EXPECT_EQ(Show("qd(conj(q), quaternion(q.w, -q.x, -q.y, -q.z)) == 0"), "true");
  EXPECT_EQ(Show("qd(qimag(q), quaternion([0 0], q.x, q.y, q.z)) == 0"), "true");
  EXPECT_EQ(Show("maxabs(abs(sign(q)) - 1) < 1e-15 && qd(qinv(q) .* q, quaternion([1 1])) < 1e-15"),
            "true");
  EXPECT_EQ(Show("all(isnan(double(sign(quaternion(0)))))"), "true");
}

TEST_F(Quaternions, RotationsAndSlerp) {
  EXPECT_EQ(Show("maxabs(q2mat(rpy2q(0, 0, pi/2)) - [0 -1 0; 1 0 0; 0 0 1]) < 1e-15"), "true");
  Run("[r, p, y] = q2rpy(rpy2q(0.1, 0.2, 0.3));");
  EXPECT_EQ(Show("maxabs([r p y] - [0.1 0.2 0.3]) < 1e-14"), "true");
  // At gimbal lock the roll is 0; a zero quaternion gives no rotation.
  Run("[r, p] = q2rpy(rpy2q(0, pi/2, 0)); [r0, p0, y0] = q2rpy(quaternion(0));");
  EXPECT_EQ(Show("same([r abs(p - pi/2) < 1e-7 r0 p0 y0], [0 1 0 0 0])"), "true");
  EXPECT_EQ(Show("same(q2mat(quaternion(1)), eye(3)) && same(q2mat(quaternion(0)), eye(3))"),
            "true");
  // Each angle over arrays, with scalar expansion.
  Run("q = rpy2q([0.1 0.4], 0.2, [-0.3 1]); [r, p, y] = q2rpy(q);");
  EXPECT_EQ(Show("maxabs([r; p; y] - [0.1 0.4; 0.2 0.2; -0.3 1]) < 1e-14"), "true");
  // The matrix rotates as q·v·q* does.
  Run("q = quaternion(0.3, -0.2, 0.5, 0.1); v = quaternion(0, 1, 2, 3);"
      "u = q * v * conj(q) / qnorm(q);");
  EXPECT_EQ(Show("maxabs(q2mat(q) * [1; 2; 3] - [u.x; u.y; u.z]) < 1e-14"), "true");
  Run("a = quaternion(2, 0, 0, 0); b = quaternion(0, 0, 3, 0);");
  EXPECT_EQ(
      Show("qd(qslerp(a, b, 0), 1) == 0 && qd(qslerp(a, b, 1), quaternion(0, 0, 1, 0)) < 1e-15"),
      "true");
  EXPECT_EQ(Show("qd(qslerp(a, b, 0.5), quaternion(sqrt(0.5), 0, sqrt(0.5), 0)) < 1e-15"), "true");
  // Nearly equal ends blend linearly; opposite ends still give a path.
  Run("c = quaternion(1, 0.01, 0, 0);");
  EXPECT_EQ(Show("qd(qslerp(1, c, 0.5), 0.5 + 0.5 * c / abs(c)) < 1e-15"), "true");
  EXPECT_EQ(Show("abs(abs(qslerp(quaternion(1), -1, 0.5)) - 1) < 1e-15"), "true");
  EXPECT_EQ(Show("same(size(qslerp(a, b, [0 0.5 1])), [1 3])"), "true");
}

TEST_F(Quaternions, IndexingAndAssignment) {
  Run("q = quaternion([1 2 3], [4 5 6], [7 8 9], [10 11 12]);");
  EXPECT_EQ(Show("q2str(q(2))"), "2+5i+8j+11k");
  EXPECT_EQ(Show("q2str(q(end))"), "3+6i+9j+12k");
  Run("v = q.v;");
  EXPECT_EQ(Show("same(q.x, [4 5 6]) && same(size(v), [1 3 3]) && same(v(:, :, 2), [7 8 9])"),
            "true");
  EXPECT_EQ(Show("same(quaternion(1, 2, 3, 4).v, [2; 3; 4])"), "true");
  Run("c = quaternion([1; 2], [3; 4], [5; 6], [7; 8]);");
  EXPECT_EQ(Show("same(c.v, [3 5 7; 4 6 8])"), "true");
  Run("q.x = 5; q(2) = quaternion(9, 9, 9, 9); q(4) = 7;");
  EXPECT_EQ(Show("same(q.x, [5 9 5 0]) && same(q.w, [1 9 3 7])"), "true");
  Run("q.z = [1 2 3 4]; q(1) = [];");
  EXPECT_EQ(Show("same(q.z, [2 3 4]) && numel(q) == 3"), "true");
  // end along one of several subscripts, and beyond the dimensions.
  Run("g = quaternion(reshape(1:6, 2, 3));");
  EXPECT_EQ(Show("same([real(g(end, 1)) real(g(1, end)) real(g(1, end, end))], [4 3 3])"), "true");
  EXPECT_EQ(Show("same(real(g(:, [true false true])), [1 3; 4 6])"), "true");
}

TEST_F(Quaternions, ArrayFunctionsAndConcatenation) {
  Run("a = quaternion(1, 2, 3, 4); b = quaternion(5, 6, 7, 8); g = quaternion(magic(3), ones(3), "
      "ones(3), ones(3));");
  EXPECT_EQ(Show("same(size([a, b, a]), [1 3]) && same(size([a; b]), [2 1])"), "true");
  EXPECT_EQ(Show("same(size(cat(3, a, b)), [1 1 2]) && same(real([a, 7]), [1 7])"), "true");
  Run("t = [a b]';");
  EXPECT_EQ(Show("same(size(t), [2 1]) && qd(t(2), conj(b)) == 0"), "true");
  EXPECT_EQ(Show("qd([a b].', [a; b]) == 0"), "true");
  EXPECT_EQ(Show("same(real(sum(g)), sum(magic(3))) && same(real(mean(g, 2)), mean(magic(3), 2))"),
            "true");
  EXPECT_EQ(Show("same(real(cumsum(g)), cumsum(magic(3))) && same(real(diff(g)), diff(magic(3)))"),
            "true");
  EXPECT_EQ(Show("same(real(reshape(g, 1, 9)), reshape(magic(3), 1, 9))"), "true");
  EXPECT_EQ(
      Show("same(real(rot90(g)), rot90(magic(3))) && same(real(flipud(g)), flipud(magic(3)))"),
      "true");
  EXPECT_EQ(
      Show(
          "same(real(fliplr(g)), fliplr(magic(3))) && same(real(flipdim(g, 2)), fliplr(magic(3)))"),
      "true");
  EXPECT_EQ(Show("same(size(repmat(a, 2, 3)), [2 3]) && same(size(squeeze(quaternion(ones(1, 1, "
                 "3)))), [3 1])"),
            "true");
  EXPECT_EQ(Show("same(size(permute(quaternion(ones(2, 3)), [2 1])), [3 2])"), "true");
  EXPECT_EQ(Show("same(size(ipermute(quaternion(ones(2, 3, 4)), [3 1 2])), [3 4 2])"), "true");
  EXPECT_EQ(Show("same(g.x, ones(3))"), "true");
}

TEST_F(Quaternions, CodesOfBadInput) {
  const std::pair<const char*, const char*> cases[] = {
      {"qnorm(3)", "error 121"},
      {"qslerp(1, 2, 0.5)", "error 121"},
      {"quaternion({1})", "error 44"},
      {"quaternion(1, 'ab', 3)", "error 20"},
      {"quaternion(zeros(2, 2), zeros(2, 2, 4))", "error 21"},
      {"quaternion(zeros(2, 2), zeros(2, 3, 3))", "error 20"},
      {"quaternion([1 2], [1 2 3])", "error 20"},
      {"quaternion([1; 2], [1 2 3])", "error 20"},
      {"quaternion([1 2], [3 4 5], [5 6])", "error 20"},
      {"quaternion(1) + {1}", "error 44"},
      {"quaternion([1 2]) + [1 2 3]", "error 20"},
      {"quaternion([1 2]) * quaternion([1 2])", "error 20"},
      {"quaternion(1) / quaternion([1 2])", "error 20"},
      {"quaternion([1 2]) \\ quaternion(1)", "error 20"},
      {"quaternion([1 2]) ^ 2", "error 20"},
      {"q2mat(quaternion([1 2]))", "error 21"},
      {"size(quaternion(1), 0)", "error 34"},
      {"qslerp(quaternion([1 2]), quaternion([1 2 3]), 0)", "error 20"},
      {"rpy2q([1 2], [1 2 3], 0)", "error 20"},
      {"rpy2q('a', {1}, 0)", "error 44"},
      {"double(quaternion(ones([ones(1, 15) 2])))", "error 109"},
      {"quaternion(ones([ones(1, 15) 2])).v", "error 109"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
  Run("q = quaternion([1 2]);");
  const std::pair<const char*, const char*> statements[] = {
      {"q.v = [1 2];", "error 39"},   {"q.a", "error 39"},         {"q{1}", "error 35"},
      {"q.x = [1 2 3];", "error 20"}, {"q(2) = {1};", "error 43"},
  };
  for (auto [text, code] : statements) {
    const ErrCode e = test::RunCommandLine(ctx, std::string(text) + "\n");
    EXPECT_EQ("error " + std::to_string(e), code) << text;
  }
  EXPECT_EQ(Show("same(double(q), cat(3, [1 2], zeros(1, 2), zeros(1, 2), zeros(1, 2)))"), "true");
}

// The assignment routine: each component assigned in turn with the
// subscripts, then the four joined by the constructor through builtin.
TEST(QuaternionAssignRoutine, WordsAssignEachComponentThenConstruct) {
  EXPECT_EQ(test::Disassemble(kQuaternionAssignCode, kQuaternionAssignWords),
            "roll 8 1 dup 9 1 roll 6 1 subsasgn "
            "roll 8 7 roll 6 1 dup 7 1 roll 5 1 subsasgn "
            "roll 6 5 roll 4 1 dup 5 1 roll 4 1 subsasgn "
            "roll 4 3 roll 2 1 roll 3 2 subsasgn "
            "pushstr 'quaternion' roll 5 4 builtin 5 1");
}

// Calls through the name of a function find the type's native too.
TEST_F(Quaternions, CallsByName) {
  Run("a = quaternion(1, 2, 3, 4);");
  EXPECT_EQ(Show("q2str(feval('plus', a, 1))"), "2+2i+3j+4k");
  EXPECT_EQ(Show("same(cellfun(@qnorm, {a, quaternion(2)}), [30 4])"), "true");
  EXPECT_EQ(Show("feval('qnorm', 3)"), "error 121");
}

// With one word less than the new value takes, a native fails with 3 and
// leaves its arguments; with that word it succeeds.
TEST(QuaternionRoom, OneWordShortFailsAndLeavesTheArguments) {
  // The header's three words, four blocks of three, and the word a push
  // needs beyond its data.
  constexpr int64_t kNeed = 3 + 4 * 3 + 1;
  for (int64_t free : {kNeed - 1, kNeed}) {
    test::TestHost host;
    EngineContext* ctx = host.ctx();
    const NativeFunctionRecord* r = FindLibraryRecord(ctx, "quaternion", nullptr, 0, nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_NO_FATAL_FAILURE(test::PushFiller(ctx, 3 * 4, free));
    for (int k = 0; k < 4; k++) {
      double* re;
      ASSERT_EQ(PushNewMatrix(ctx, 1, 3, &re, nullptr), kOk);
      re[0] = re[1] = re[2] = k;
    }
    const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
    const ErrCode e = CallNativeRecord(ctx, r, 4, 1);
    if (free < kNeed) {
      EXPECT_EQ(e, kErrDataOverflow);
      EXPECT_EQ(ctx->descTop, descTop);
      EXPECT_EQ(ctx->dataTop, dataTop);
    } else {
      EXPECT_EQ(e, kOk);
      EXPECT_EQ(ctx->descTop, descTop - 9);
    }
  }
}

}  // namespace
}  // namespace vke
