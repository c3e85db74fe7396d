// Scalar elements of real matrices read and written in place by x(i) and
// x(i, j) with variables or small integers as subscripts: the same values
// as the general indexing paths (whose subscripts are expressions), and the
// same errors, growth and conversions where the elements are not plain.
#include <gtest/gtest.h>

#include <string>

#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestHost;

// The text's output, or its error output after a failure.
std::string Outcome(const std::string& text) {
  TestHost host;
  const ErrCode e = RunCommandLine(host.ctx(), text);
  return e == kOk ? host.Output(1) : "error: " + host.Output(2);
}

TEST(ElementForms, ReadsAndWritesMatchTheGeneralPaths) {
  // Every element of a matrix, a row and a column, read and written through
  // variables and literals, against the subscripts as expressions.
  EXPECT_EQ(Outcome("A = [1 2 3; 4 5 6]; bad = 0;\n"
                    "for i = 1:2, for j = 1:3\n"
                    "  if A(i, j) ~= A(i + 0, j + 0), bad = bad + 1; end\n"
                    "  A(i, j) = 10 * i + j;\n"
                    "end, end\n"
                    "for k = 1:6, A(k) = A(k) - k; end\n"
                    "x = A(2, 3); y = A(1, 2); z = A(5);\n"
                    "disp(bad), disp(A), disp([x y z])\n"),
            Outcome("B = [1 2 3; 4 5 6];\n"
                    "for i = 1:2, for j = 1:3, B(i + 0, j + 0) = 10 * i + j; end, end\n"
                    "for k = 1:6, B(k + 0) = B(k + 0) - k; end\n"
                    "x = B(2 + 0, 3 + 0); y = B(1 + 0, 2 + 0); z = B(5 + 0);\n"
                    "disp(0), disp(B), disp([x y z])\n"));
  EXPECT_EQ(Outcome("v = zeros(1, 4); c = (1:3)';\n"
                    "for k = 1:4, v(k) = k * k; end\n"
                    "for k = 1:3, c(k, 1) = c(k) + v(k); end\n"
                    "disp(v), disp(c')\n"),
            Outcome("disp([1 4 9 16]), disp([2 6 12])\n"));
}

TEST(ElementForms, OtherSubscriptsAndValuesTakeTheirOwnPaths) {
  // Out of range, not whole, zero, unset: the general path's errors.
  const struct {
    const char* fast;
    const char* general;
  } errors[] = {
      {"v = [1 2 3]; k = 4; x = v(k);", "v = [1 2 3]; k = 4; x = v(k + 0);"},
      {"v = [1 2 3]; k = 1.5; x = v(k);", "v = [1 2 3]; k = 1.5; x = v(k + 0);"},
      {"v = [1 2 3]; k = 0; x = v(k);", "v = [1 2 3]; k = 0; x = v(k + 0);"},
      {"A = eye(2); i = 3; j = 1; x = A(i, j);", "A = eye(2); i = 3; j = 1; x = A(i + 0, j);"},
      {"A = eye(2); i = 1; j = 3; x = A(i, j);", "A = eye(2); i = 1; j = 3; x = A(i, j + 0);"},
      {"v = [1 2 3]; k = 0; v(k) = 1;", "v = [1 2 3]; k = 0; v(k + 0) = 1;"},
      {"clear w; k = 1; x = w(k);", "clear w; k = 1; x = w(k + 0);"},
  };
  for (const auto& c : errors) {
    const std::string fast = Outcome(c.fast);
    EXPECT_EQ(fast, Outcome(c.general)) << c.fast;
    EXPECT_EQ(fast.rfind("error: ", 0), 0u) << c.fast;
  }
  // Growth, a complex matrix, an integer matrix, a string, a complex value
  // stored, a global.
  EXPECT_EQ(Outcome("v = [1 2]; k = 4; v(k) = 7; disp(v)\n"
                    "z = [1i 2]; k = 2; z(k) = 3; disp(z(k) + z(1))\n"
                    "n = int8([1 2]); k = 2; n(k) = 100; disp(n(k))\n"
                    "s = 'ab'; k = 1; s(k) = 'x'; disp(s)\n"
                    "w = [1 2]; k = 1; w(k) = 2i; disp(w)\n"
                    "global g\ng = [5 6]; k = 2; g(k) = 8; disp(g(k))\n"),
            Outcome("disp([1 2 0 7]), disp(3 + 1i), disp(int8(100)), disp('xb'),"
                    "disp([2i 2]), disp(8)\n"));
}

// Elements inside runs of scalar instructions (read among the operands,
// compared for a branch, assigned a run's result): the values, errors and
// growth of the instructions one by one, which subscripts as expressions
// take.
TEST(ElementForms, ElementsInsideScalarRunsMatchTheGeneralPaths) {
  EXPECT_EQ(Outcome("v = zeros(1, 4); A = magic(3); s = 0;\n"
                    "for i = 1:30\n"
                    "  k = mod(i, 4) + 1; j = mod(i, 3) + 1;\n"
                    "  if v(k) > 2, v(k) = 0; else, v(k) = v(k) + 0.75; end\n"
                    "  A(j, k - (k > 3)) = A(j, 1) * 0.5 + v(k) - s / 100;\n"
                    "  s = s + v(k) * 2 - A(j, 2);\n"
                    "  x = v(1) + v(2) + v(3) + v(4) + A(2, 2);\n"
                    "  while v(k) < 1, v(k) = v(k) + 0.5; end\n"
                    "end\n"
                    "disp(s), disp(v), disp(A), disp(x)\n"),
            Outcome("v = zeros(1, 4); A = magic(3); s = 0;\n"
                    "for i = 1:30\n"
                    "  k = mod(i, 4) + 1; j = mod(i, 3) + 1;\n"
                    "  if v(k + 0) > 2, v(k + 0) = 0; else, v(k + 0) = v(k + 0) + 0.75; end\n"
                    "  A(j + 0, k - (k > 3)) = A(j + 0, 1) * 0.5 + v(k + 0) - s / 100;\n"
                    "  s = s + v(k + 0) * 2 - A(j + 0, 2);\n"
                    "  x = v(1 + 0) + v(2 + 0) + v(3 + 0) + v(4 + 0) + A(2 + 0, 2);\n"
                    "  while v(k + 0) < 1, v(k + 0) = v(k + 0) + 0.5; end\n"
                    "end\n"
                    "disp(s), disp(v), disp(A), disp(x)\n"));
  const struct {
    const char* fast;
    const char* general;
  } cases[] = {
      // An element out of range in the middle of a run, and as the target.
      {"v = [1 2 3]; k = 4; x = 1 + v(1) * v(k);", "v = [1 2 3]; k = 4; x = 1 + v(1) * v(k + 0);"},
      {"v = [1 2 3]; k = 2.5; if v(k) > 1, disp(1); end",
       "v = [1 2 3]; k = 2.5; if v(k + 0) > 1, disp(1); end"},
      {"v = [1 2 3]; k = 0; v(k) = v(1) + 1;", "v = [1 2 3]; k = 0; v(k + 0) = v(1) + 1;"},
      // Growth, a string and a scalar that is no matrix as the target.
      {"v = [1 2]; k = 5; v(k) = v(2) * 3; disp(v)",
       "v = [1 2]; k = 5; v(k + 0) = v(2) * 3; disp(v)"},
      {"t = 'ab'; k = 2; t(k) = t(1) + 1; disp(t)",
       "t = 'ab'; k = 2; t(k + 0) = t(1) + 1; disp(t)"},
      {"u = 4; k = 1; u(k) = u(1) - 1; disp(u)", "u = 4; k = 1; u(k + 0) = u(1) - 1; disp(u)"},
      // The element assigned is one read before, or another one.
      {"v = [1 2 3]; k = 2; j = 2; v(k) = v(k) * 2 + v(j); disp(v)",
       "v = [1 2 3]; k = 2; j = 2; v(k + 0) = v(k + 0) * 2 + v(j + 0); disp(v)"},
      {"A = magic(3); i = 1; j = 2; A(i, j) = A(j, i) - A(i, j); disp(A)",
       "A = magic(3); i = 1; j = 2; A(i + 0, j) = A(j + 0, i) - A(i + 0, j); disp(A)"},
      {"w = int8([1 2]); k = 2; x = w(k) + 1.5; disp(x)",
       "w = int8([1 2]); k = 2; x = w(k + 0) + 1.5; disp(x)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Outcome(c.fast), Outcome(c.general)) << c.fast;
}

// A subscript of 1 compiles to an instruction of its own (a literal one):
// the element forms take it as they take other small integers, with the
// general path's values and errors.
TEST(ElementForms, TheLiteralOneAsASubscript) {
  EXPECT_EQ(Outcome("v = [5 6 7]; A = magic(3); s = 0;\n"
                    "for i = 1:3\n"
                    "  v(1) = v(1) + i; A(1, i) = A(i, 1) * 2 + v(1);\n"
                    "  if v(1) > 8, s = s + A(1, 1); else, s = s - v(1); end\n"
                    "end\n"
                    "disp(v), disp(A), disp(s)\n"),
            Outcome("v = [5 6 7]; A = magic(3); s = 0; o = 1;\n"
                    "for i = 1:3\n"
                    "  v(o + 0) = v(o + 0) + i; A(o + 0, i) = A(i, o + 0) * 2 + v(o + 0);\n"
                    "  if v(o + 0) > 8, s = s + A(o + 0, o + 0); else, s = s - v(o + 0); end\n"
                    "end\n"
                    "disp(v), disp(A), disp(s)\n"));
  const struct {
    const char* fast;
    const char* general;
  } cases[] = {
      {"v = []; x = v(1);", "v = []; o = 1; x = v(o + 0);"},
      {"A = zeros(0, 3); x = A(1, 2);", "A = zeros(0, 3); o = 1; x = A(o + 0, 2);"},
      {"v = []; v(1) = 4; disp(v)", "v = []; o = 1; v(o + 0) = 4; disp(v)"},
      {"A = [1 2]; A(1, 3) = 9; disp(A)", "A = [1 2]; o = 1; A(o + 0, 3) = 9; disp(A)"},
      {"t = 'ab'; x = t(1) + 1; disp(x)", "t = 'ab'; o = 1; x = t(o + 0) + 1; disp(x)"},
      {"s.a = 1; x = s(1);", "s.a = 1; o = 1; x = s(o + 0);"},
      // A loop whose body is one statement, done whole per round.
      {"v = [2 3]; s = 0; for k = 1:5, s = s + v(1) * k - v(1, 2); end, disp(s)",
       "v = [2 3]; s = 0; o = 1; for k = 1:5, s = s + v(o + 0) * k - v(o + 0, 2); end, disp(s)"},
      {"v = []; s = 0; for k = 1:5, s = s + v(1); end",
       "v = []; s = 0; o = 1;"
       " for k = 1:5, s = s + v(o + 0); end"},
  };
  for (const auto& c : cases) EXPECT_EQ(Outcome(c.fast), Outcome(c.general)) << c.fast;
}

}  // namespace
}  // namespace vke
