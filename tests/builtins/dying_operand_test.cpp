// Arithmetic that writes its result into an operand dying with it: the
// values are those of the copying path, a power that turns complex still
// comes out complex, and no variable, copy or operand of another kind is
// ever changed.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunForOutput;
using test::TestHost;

TEST(DyingOperands, PowersGiveTheValuesOfTheCopyingPath) {
  TestHost host;
  // A scalar exponent into the base, an array exponent into itself, the
  // square as the product, and special values.
  EXPECT_EQ(RunForOutput(host,
                         "x = [-2 -0.5 0 3 Inf NaN];\n"
                         "disp((x + 0) .^ 3), disp(2 .^ (x + 1))\n"
                         "y = [-2.3 -0.7 0 3.1 1e200 1e-170];\n"
                         "disp(all((y * 1.1) .^ 2 == (y * 1.1) .* (y * 1.1)))\n"),
            "        -8    -0.125         0        27       inf       nan\n"
            "       0.5    1.4142         2        16       inf       nan\n"
            "true\n");
  // Negative bases under non-integer exponents still give complex values,
  // from an array base and from an array exponent.
  EXPECT_EQ(RunForOutput(host,
                         "x = [-4 9];\n"
                         "v = (x + 0) .^ 0.5; w = (-8) .^ (x * 0 + 1/3);\n"
                         "disp(imag(v)), disp(real(v)), disp(all(imag(w) > 0))\n"),
            "         2         0\n 1.2246e-16         3\ntrue\n");
}

TEST(DyingOperands, NoVariableCopyOrOtherKindIsChanged) {
  TestHost host;
  // Variables, a copy, an anonymous function's argument and the operands
  // of the whole statement keep their values.
  EXPECT_EQ(RunForOutput(host,
                         "x = [-2 0.5 3]; y = x; f = @(a) a .^ 2 + a;\n"
                         "z = sin(x) .* x + x .^ 2; u = f(x); u = f(y) - u; v = x .^ 0.5;\n"
                         "disp(all(x == [-2 0.5 3]) && all(y == x)), disp(u)\n"
                         "disp(all(z == sin(x) .* x + x .* x))\n"),
            "true\n         0         0         0\ntrue\n");
  // Single, integer, char, logical and complex operands keep their class
  // rules (a double scalar makes the result double) and their values.
  EXPECT_EQ(RunForOutput(
                host,
                "s = single([1.5 2]); c = 'ab'; l = [true false]; q = [1i 2];\n"
                "disp(class(s .^ 2)), disp(class(c .^ 1)), disp(c .^ 1)\n"
                "disp(class(l .* 2)), disp(l .* 2), disp(q .^ 2), disp(class(int8([2 3]) .* 2))\n"
                "disp(class(s)), disp(c), disp(l), disp(q)\n"),
            "double\ndouble\n        97        98\ndouble\n         2         0\n"
            "      -1 +1.2246e-16j       4         \ndouble\nsingle\nab\n T F\n"
            "       0 +      1j       2         \n");
}

}  // namespace
}  // namespace vke
