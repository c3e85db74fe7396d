// interp1 and interpn from source text: the methods at and between nodes,
// points outside the coordinates, series by column, grids in several
// dimensions, values made by GNU Octave, and the codes of bad calls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "tests/numerics/linalg_fixture.hpp"

namespace vke {
namespace {

class Interpolation : public test::LinalgFixture {
 protected:
  void SetUp() override {
    LinalgFixture::SetUp();
    // close(a, b): same NaNs, the other elements within 1e-13.
    Run("function r = close(a, b)\n"
        "  r = same(size(a), size(b)) && same(isnan(a), isnan(b)) && "
        "maxabs(a(~isnan(a)) - b(~isnan(b))) < 1e-13;\nendfunction");
  }
  // Runs the assignments of a file in tests/data.
  void RunDataFile(const char* name) {
    const char* dir = std::getenv("VKE_TEST_DATA");
    ASSERT_NE(dir, nullptr);
    std::ifstream in(std::string(dir) + "/" + name);
    ASSERT_TRUE(in) << name;
    std::stringstream text;
    text << in.rdbuf();
    Run(text.str());
  }
};

TEST_F(Interpolation, MethodsBetweenAndAtNodes) {
  EXPECT_EQ(Show("close(interp1([1 2 3], [10 20 30], [2.5 4 1]), [25 NaN 10])"), "true");
  EXPECT_EQ(Show("interp1([1 2 3], [10 20 30], 4, 'linear', 0)"), "0");
  EXPECT_EQ(Show("same(interp1([1 2 3], [10 20 30], [2.4 2.6 2.5], 'nearest'), [20 30 20])"),
            "true");
  EXPECT_EQ(Show("interp1([1 2], [10 20], 1.5, 'l')"), "15");
  // The node at or before a point, and at or after it, also at the ends.
  EXPECT_EQ(Show("same(interp1([1 2 3], [10 20 30], [1 2 2.5 3], '<'), [10 20 20 30])"), "true");
  EXPECT_EQ(Show("same(interp1([1 2 3], [10 20 30], [1 2 2.5 3], '>'), [10 20 30 30])"), "true");
  EXPECT_EQ(Show("same(interpn([1 2 3], [10 20 30], [1 2 2.5 3], '<'), [10 20 20 30])"), "true");
  EXPECT_EQ(Show("same(interpn([1 2 3], [10 20 30], [1 2 2.5 3], '>'), [10 20 30 30])"), "true");
  EXPECT_EQ(Show("same(interpn([3 2 1], [30 20 10], [1 2 2.5 3], '>'), [10 20 20 30])"), "true");
  // A repeated last node takes its value; one node or none makes every
  // point outside.
  EXPECT_EQ(Show("interp1([1 2 2], [10 20 30], 2, 'l')"), "30");
  EXPECT_EQ(Show("close(interp1(5, 7, [5 6], 'l', -1), [-1 -1])"), "true");
  EXPECT_EQ(Show("isnan(interp1(zeros(1, 0), zeros(1, 0), 2, 'l'))"), "true");
  // Complex values; a real extrapolation value gives +0i outside.
  EXPECT_EQ(Show("same(interp1([1 2], [1i 3], [1.5 9], 'l', 4), [1.5+0.5i 4])"), "true");
  EXPECT_EQ(Show("same(interp1([1 2], [1 3], 9, 'l', 2i), 2i)"), "true");
  // Integer and logical arguments count as doubles.
  EXPECT_EQ(Show("interp1(int8([1 2 3]), [10 20 30], 2.5, 'l')"), "25");
}

TEST_F(Interpolation, SeriesByColumnAndTheirShapes) {
  Run("y = [10 1; 20 2; 30 3];");
  EXPECT_EQ(Show("same(interp1(y, [1.5 2.5], 'l'), [15 1.5; 25 2.5])"), "true");
  EXPECT_EQ(Show("same(interp1([1 2 3], y, [1.5; 3]), [15 1.5; 30 3])"), "true");
  // Points per column when xi is a matrix of y's columns.
  EXPECT_EQ(Show("same(interp1([1 2 3], y, [1.5 2; 2.5 3]), [15 2; 25 3])"), "true");
  // Pages are series too.
  Run("z = zeros(3, 1, 2); z(:, :, 1) = [1; 2; 3]; z(:, :, 2) = [4; 5; 6];");
  EXPECT_EQ(Show("same(reshape(interp1([1 2 3], z, 1.5), 1, 2), [1.5 4.5])"), "true");
}

TEST_F(Interpolation, GridsInSeveralDimensions) {
  EXPECT_EQ(Show("abs(interpn([1 2], [1 2], [1 2; 3 4], 1.25, 1.5) - 2) < 1e-15"), "true");
  // A plane is exact everywhere, ascending or descending coordinates.
  Run("[a, b] = meshgrid(0:3, [5 4 2 1]); v = 2 * b + 3 * a;");
  EXPECT_EQ(Show("close(interpn([5 4 2 1], 0:3, v, [1.5 4.2 6], [0.5 2.9 1]), [4.5 17.1 NaN])"),
            "true");
  Run("v = reshape(1:24, [2 3 4]);");
  EXPECT_EQ(Show("interpn(1:2, 1:3, 1:4, v, 2, 3, 4)"), "24");
  EXPECT_EQ(Show("close(interpn(1:2, 1:3, 1:4, v, [1 1.5], [1 2], [2 2.5], 'l', -1), "
                 "[v(1, 1, 2) (v(1, 2, 2) + v(2, 2, 2) + v(1, 2, 3) + v(2, 2, 3)) / 4])"),
            "true");
  EXPECT_EQ(Show("interpn(1:2, 1:3, 1:4, v, 3, 1, 1, 'n', -1)"), "-1");
  // A dimension of one coordinate is outside everywhere.
  EXPECT_EQ(Show("isnan(interpn(1, 1:2, [3 4], 1, 1.5))"), "true");
}

TEST_F(Interpolation, AgreeWithOctave) {
  ASSERT_NO_FATAL_FAILURE(RunDataFile("interp_reference.vke"));
  EXPECT_EQ(Show("close(interp1(i1x, i1y, i1xi, 'linear'), i1linear)"), "true");
  EXPECT_EQ(Show("close(interp1(i1x, i1y, i1xi, 'nearest'), i1nearest)"), "true");
  EXPECT_EQ(Show("close(interp1(i1x, i1y, i1xi, '<'), i1previous)"), "true");
  EXPECT_EQ(Show("close(interp1(i1x, i1y, i1xi, '>'), i1next)"), "true");
  EXPECT_EQ(Show("close(interp1(i1x, i1y(:, 2), i1xi, 'linear', -5), i1extrap)"), "true");
  EXPECT_EQ(Show("close(interpn(g1, g2, g3, gV, p1, p2, p3), gLinear)"), "true");
  EXPECT_EQ(Show("close(interpn(g1, g2, g3, gV, p1, p2, p3, 'nearest'), gNearest)"), "true");
}

// The result takes the place of the inputs, so that the loop around a call
// finds its own entries as it left them: three rounds over a range, over a
// matrix's columns and over a list.
TEST_F(Interpolation, CallsInsideLoops) {
  const char* calls[] = {
      "r = interp1([1 2 3], [4 5 6], 1.5);",
      "r = interp1([4 5 6], 1.5, 'n');",
      "r = interp1([1 2 3], [4 5 6], 5, 'l', 0);",
      "r = interp1([1 2 3], [4 5; 6 7; 8 9], [1.5 2]);",
      "r = interpn([1 2 3], [4 5 6], 1.5);",
      "r = interpn([1 2], [1 2 3], [1 2 3; 4 5 6], 1.5, 2, 'n', 0);",
  };
  for (const char* call : calls) {
    for (const char* over : {"1:3", "[4 5 6]", "{1, 'a', []}"}) {
      Run(std::string("n = 0; for k = ") + over + ", " + call + " n = n + 1; end");
      EXPECT_EQ(Show("n"), "3") << call << " over " << over;
    }
  }
  Run("for k = [2 3], s(k - 1) = interp1([1 2 3], [4 5 6], k - 0.5); end");
  EXPECT_EQ(Show("same(s, [4.5 5.5])"), "true");
}

TEST_F(Interpolation, CodesOfBadCalls) {
  const std::pair<const char*, const char*> cases[] = {
      {"interp1([1 2 3], [1 2 3], 2, 'cubic')", "error 108"},
      {"interpn([1 2], [1 2], 1.5, 'spline')", "error 108"},
      {"interp1({1}, [1 2 3], 2)", "error 43"},
      {"interpn([1 2], {1 2}, 1.5)", "error 43"},
      {"interp1([1 2 3], [1 2 3], 2, 'l', [1 2])", "error 104"},
      {"interp1([1 2], [1 2 3; 4 5 6; 7 8 9], 2)", "error 34"},
      {"interp1([1 2 3], [1 2 3], ones(2, 2))", "error 34"},
      {"interp1([1 2 3], 'l', 0)", "error 125"},
      {"interpn([1 2], [1 2 3], 1.5)", "error 21"},
      {"interpn([1 2], [1 2], [1 2; 3 4], 1, [1 2])", "error 21"},
      {"interpn(1:2, 1:2, ones(2, 2, 2), 1, 1)", "error 34"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
  // Seventeen coordinate vectors are too many.
  std::string args;
  for (int k = 0; k < 34; k++) args += k ? ", 1" : "1";
  EXPECT_EQ(Show("interpn(" + args + ")"), "error 34");
}

}  // namespace
}  // namespace vke
