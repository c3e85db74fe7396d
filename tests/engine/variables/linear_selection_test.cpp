// Linear selections from a variable by a row of positions: stretches of
// consecutive positions and any other positions give the same elements, and
// positions outside the array or not whole fail as before.
#include <gtest/gtest.h>

#include <string>

#include "engine/errors/errors.hpp"
#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

using test::RunCommandLine;
using test::TestHost;

TEST(LinearSelection, StretchesAndScatteredPositionsAgree) {
  TestHost host;
  ASSERT_EQ(RunCommandLine(host.ctx(),
                           "v = (1:8) * 10; z = v + 2i;\n"
                           "a = v(3:6); b = v([3 4 5 6]); disp(all(a == b) && numel(a) == 4)\n"
                           "disp(v(5:8))\n"
                           "disp(v([2 3 5]))\n"
                           "disp(v(4:-1:2))\n"
                           "c = z(2:3); disp(real(c)), disp(imag(c))\n"
                           "m = [1 2; 3 4]; disp(m(2:3)), disp(m(int32([2 3])))\n"),
            kOk)
      << host.Output(2);
  EXPECT_EQ(
      host.Output(1),
      "true\n        50        60        70        80\n"
      "        20        30        50\n        40        30        20\n"
      "        20        30\n         2         2\n         2         3\n         2         3\n");
}

TEST(LinearSelection, PositionsOutsideOrNotWholeFail) {
  for (const char* text : {"v = 1:5; w = v(3:6);\n", "v = 1:5; w = v(0:2);\n",
                           "v = 1:5; w = v(1.5:3.5);\n", "v = 1:5; w = v([4 5 6]);\n"}) {
    TestHost host;
    EXPECT_NE(RunCommandLine(host.ctx(), text), kOk) << text;
    EXPECT_FALSE(host.Output(2).empty()) << text;
  }
}

}  // namespace
}  // namespace vke
