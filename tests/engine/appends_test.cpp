// Appends in place: s = [s x] and v(end + 1) = x give what the copying
// path gives, for every kind of piece, from empty starts, for rows and
// columns, and where the value must take the ordinary path; the heap stays
// sound while two values grow side by side.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunForOutput;
using test::TestHost;

TEST(Appends, GiveWhatConcatenationGives) {
  TestHost host;
  // Strings from '' with 8-bit and 16-bit literals and a char variable; a
  // copy taken before keeps its value.
  EXPECT_EQ(RunForOutput(host,
                         "s = ''; w = char([300 66]);\n"
                         "for k = 1:3, s = [s 'ab']; s = [s w]; end\n"
                         "t = s; s = [s 'z'];\n"
                         "disp(double(s(1:4))), disp(size(s)), disp(size(t)), disp(class(s))\n"),
            "        97        98       300        66\n         1        13\n         1        "
            "12\nchar\n");
  // Double rows from [] with scalars, literals and a row variable.
  EXPECT_EQ(RunForOutput(host,
                         "v = []; r = [7 8];\n"
                         "for k = 1:3, v = [v k]; v = [v 0.5]; end\n"
                         "v = [v r]; disp(v)\n"),
            "         1       0.5         2       0.5         3       0.5         7         8\n");
  // Pieces of another class, or a value of the wrong shape, take the
  // ordinary path: char with a number and a number with char (both give
  // double), a column, the variable with itself.
  EXPECT_EQ(RunForOutput(host,
                         "a = 'x'; a = [a 65]; b = [1 2]; b = [b 'A'];\n"
                         "c = [1; 2]; ok = 0; try, c = [c 3]; catch, ok = 1; end\n"
                         "d = 'ab'; d = [d d];\n"
                         "disp(a), disp(class(b)), disp(ok), disp(d)\n"),
            "       120        65\ndouble\n         1\nabab\n");
}

TEST(Appends, EndPlusOneGrowsRowsAndColumns) {
  TestHost host;
  EXPECT_EQ(RunForOutput(host,
                         "v = []; for k = 1:5, v(end + 1) = k * 2; end\n"
                         "c = [1; 2]; c(end + 1) = 3; o = 4; o(end + 1) = 5;\n"
                         "disp(v), disp(size(c)), disp(o)\n"
                         "u = v; for k = v, u(end + 1) = k; end, disp(numel(u)), disp(numel(v))\n"),
            "         2         4         6         8        10\n         3         1\n"
            "         4         5\n        10\n         5\n");
  // Two values grown in turn cannot both grow in place: they move, and
  // every element survives.
  EXPECT_EQ(RunForOutput(host,
                         "p = []; q = ''; for k = 1:2000, p(end + 1) = k; q = [q 'xy']; end\n"
                         "disp(sum(p) == 2001000), disp(numel(q)), disp(all(q(2:2:end) == 'y'))\n"),
            "true\n      4000\ntrue\n");
}

}  // namespace
}  // namespace vke
