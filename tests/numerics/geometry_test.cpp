// Delaunay triangulation, Voronoi diagrams, point location and scattered
// interpolation from source text: small cases with known answers, the
// empty-circumsphere and area invariants on random sets, values made by
// GNU Octave, the codes of bad calls, and runs short of room or broken off.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "tests/numerics/linalg_fixture.hpp"
#include "tests/numerics/room_support.hpp"

namespace vke {
namespace {

class Geometry : public test::LinalgFixture {
 protected:
  void SetUp() override {
    LinalgFixture::SetUp();
    // areas(x, y, T): the area of each triangle.
    Run("function s = areas(x, y, T)\n"
        "  s = abs((x(T(:, 2)) - x(T(:, 1))) .* (y(T(:, 3)) - y(T(:, 1))) - "
        "(x(T(:, 3)) - x(T(:, 1))) .* (y(T(:, 2)) - y(T(:, 1)))) / 2;\nendfunction");
    // delaunay_holds(x, y): no point strictly inside a triangle's
    // circumcircle, and the triangles' areas add up to the hull's.
    Run("function ok = delaunay_holds(x, y)\n"
        "  [T, h] = delaunay(x, y); ok = true;\n"
        "  for t = 1:size(T, 1)\n"
        "    a = [x(T(t, 1)) y(T(t, 1))]; b = [x(T(t, 2)) y(T(t, 2))]; c = [x(T(t, 3)) y(T(t, "
        "3))];\n"
        "    d = 2 * (a(1) * (b(2) - c(2)) + b(1) * (c(2) - a(2)) + c(1) * (a(2) - b(2)));\n"
        "    ux = ((a * a') * (b(2) - c(2)) + (b * b') * (c(2) - a(2)) + (c * c') * (a(2) - b(2))) "
        "/ d;\n"
        "    uy = ((a * a') * (c(1) - b(1)) + (b * b') * (a(1) - c(1)) + (c * c') * (b(1) - a(1))) "
        "/ d;\n"
        "    r2 = (a(1) - ux) ^ 2 + (a(2) - uy) ^ 2;\n"
        "    if any((x - ux) .^ 2 + (y - uy) .^ 2 < r2 * (1 - 1e-9)), ok = false; end\n"
        "  end\n"
        "  hx = x(h); hy = y(h);\n"
        "  [s, k] = sort(atan2(hy - mean(hy), hx - mean(hx))); hx = hx(k); hy = hy(k);\n"
        "  hull = abs(sum(hx .* hy([2:end 1]) - hx([2:end 1]) .* hy)) / 2;\n"
        "  ok = ok && abs(sum(areas(x, y, T)) - hull) < 1e-12;\n"
        "endfunction");
  }
};

TEST_F(Geometry, SmallTriangulations) {
  Run("T = delaunay([0 1 1 0], [0 0 1 1]);");
  EXPECT_EQ(Show("same(size(T), [2 3]) && abs(sum(areas([0 1 1 0], [0 0 1 1], T)) - 1) < 1e-15"),
            "true");
  Run("x = [0 1 1 0 0.5]; y = [0 0 1 1 0.5]; T = delaunay(x, y);");
  EXPECT_EQ(Show("same(size(T), [4 3]) && abs(sum(areas(x, y, T)) - 1) < 1e-15"), "true");
  Run("[T, h] = delaunay([0 1 0], [0 0 1]);");
  EXPECT_EQ(Show("same(sort(T), [1 2 3]) && same(h, true(3, 1))"), "true");
  Run("[T, h] = delaunay(x, y);");
  EXPECT_EQ(Show("same(h, [true; true; true; true; false])"), "true");
  // Tetrahedra: the five points fill a volume of one half.
  Run("X = [0 0 0; 1 0 0; 0 1 0; 0 0 1; 1 1 1]; T = delaunayn(X); v = 0;"
      "for t = 1:size(T, 1), v = v + abs(det(X(T(t, 2:4), :) - X(T([t t t], 1), :))) / 6; end");
  EXPECT_EQ(Show("size(T, 2) == 4 && abs(v - 0.5) < 1e-15"), "true");
  // Too few points, or none, give no simplex; points on a line share a
  // coordinate range of zero in no direction but still give none.
  EXPECT_EQ(Show("same(size(delaunay([0 1], [0 1])), [0 3])"), "true");
  EXPECT_EQ(Show("same(size(delaunayn(zeros(0, 2))), [0 3])"), "true");
  EXPECT_EQ(Show("size(delaunay([0 1 2], [1 1 1]), 1)"), "0");
}

TEST_F(Geometry, RandomSetsAreDelaunay) {
  Run("rand('seed', 11); ok = true;"
      "for k = 1:50, x = rand(50, 1); y = rand(50, 1); ok = ok && delaunay_holds(x, y); end");
  EXPECT_EQ(Show("ok"), "true");
  // In three dimensions: no point inside any circumsphere (the Voronoi
  // vertices are the centres).
  Run("X = rand(30, 3); T = delaunayn(X); V = voronoin(X); ok = size(T, 1) > 0;"
      "for t = 1:size(T, 1), c = V(t + 1, :); r2 = sum((X(T(t, 1), :) - c) .^ 2);"
      "ok = ok && all(sum((X - c(ones(30, 1), :)) .^ 2, 2) >= r2 * (1 - 1e-9)); end");
  EXPECT_EQ(Show("ok"), "true");
}

TEST_F(Geometry, VoronoiCells) {
  Run("[V, C] = voronoin([0 0; 1 0; 0 1]);");
  EXPECT_EQ(Show("all(V(1, :) == Inf) && maxabs(V(2, :) - 0.5) < 1e-15 && same(C{1}, [1 2]) && "
                 "same(C{2}, [1 2]) && "
                 "same(C{3}, [1 2])"),
            "true");
  // In the plane each cell turns counter-clockwise about its point; the
  // point at infinity closes the cells of hull points.
  Run("x = [0 1 0 1 0.5]; y = [0 0 1 1 0.5]; [V, C] = voronoi(x, y);");
  Run("c = C{5}; a = mod(atan2(V(c, 2) - 0.5, V(c, 1) - 0.5), 2 * pi); s = sum(mod(diff(a), 2 * "
      "pi));");
  EXPECT_EQ(Show("numel(c) == 4 && abs(s - 1.5 * pi) < 1e-12"), "true");
  // A corner's cell: its two finite vertices and the point at infinity,
  // which stands where the angles leave the gap (where that is depends on
  // the rounding of the centres on the square's sides).
  EXPECT_EQ(Show("numel(C{1}) == 3 && sum(C{1} == 1) == 1"), "true");
  EXPECT_EQ(Show("same(size(voronoi(x, y)), size(V))"), "true");
}

TEST_F(Geometry, LocationAndScatteredInterpolation) {
  Run("X = [0 0; 1 0; 0 1; 1 1]; T = [1 2 3; 2 3 4];");
  // A shared vertex lies in the first simplex that has it.
  Run("[i, p] = tsearchn(X, T, [1 0; 0.25 0.25; 2 2]);");
  EXPECT_EQ(Show("same(double(i), [1; 1; 0]) && isa(i, 'int32')"), "true");
  EXPECT_EQ(Show("same(p(1:2, :), [0 1 0; 0.5 0.25 0.25]) && all(isnan(p(3, :)))"), "true");
  EXPECT_EQ(Show("same(tsearchn(X, T, [0.9 0.9; 5 5]), [2; NaN])"), "true");
  EXPECT_EQ(Show("same(tsearch([0 1 0 1], [0 0 1 1], T, [0.9 5], [0.9 5]), [2 NaN])"), "true");
  EXPECT_EQ(Show("abs(griddata([0 1 0], [0 0 1], [0 1 2], 0.25, 0.25) - 0.75) < 1e-14"), "true");
  EXPECT_EQ(Show("abs(griddatan([0 0; 1 0; 0 1], [0; 1; 2], [0.25 0.25]) - 0.75) < 1e-14"), "true");
  // A plane is exact inside the hull; outside is NaN; the result has xi's
  // shape; nearest takes the vertex of the largest weight.
  Run("rand('seed', 5); x = rand(40, 1); y = rand(40, 1); z = 3 * x - 2 * y + 1;"
      "[xi, yi] = meshgrid(0.3:0.1:0.7, 0.4:0.1:0.6);");
  EXPECT_EQ(Show("maxabs(griddata(x, y, z, xi, yi) - (3 * xi - 2 * yi + 1)) < 1e-13"), "true");
  EXPECT_EQ(Show("isnan(griddata(x, y, z, 2, 2)) && same(size(griddata(x, y, z, xi, yi)), [3 5])"),
            "true");
  EXPECT_EQ(Show("griddata([0 1 0], [0 0 1], [5 6 7], 0.6, 0.3, 'nearest')"), "6");
}

TEST_F(Geometry, SpaceAndTheLine) {
  // In space: the barycentric coordinates rebuild the point, and a linear
  // function is exact inside the hull.
  Run("rand('seed', 8); X = rand(25, 3); T = delaunayn(X); Q = 0.3 + 0.4 * rand(6, 3);"
      "[i, p] = tsearchn(X, T, Q); w = zeros(6, 3);"
      "for k = 1:6, w(k, :) = p(k, :) * X(T(i(k), :), :); end");
  EXPECT_EQ(Show("all(i > 0) && maxabs(w - Q) < 1e-13 && maxabs(sum(p, 2) - 1) < 1e-13"), "true");
  EXPECT_EQ(Show("maxabs(griddatan(X, X * [1; -2; 3] + 4, Q) - (Q * [1; -2; 3] + 4)) < 1e-12"),
            "true");
  // On the line the simplices are the gaps between neighbours.
  Run("T = delaunayn([1; 3; 2; 5]); g = sort(sort(T, 2) * [10; 1]);");
  EXPECT_EQ(Show("same(g, [13; 23; 24])"), "true");
}

TEST_F(Geometry, AgreeWithOctave) {
  const char* dir = std::getenv("VKE_TEST_DATA");
  ASSERT_NE(dir, nullptr);
  std::ifstream in(std::string(dir) + "/interp_reference.vke");
  std::stringstream text;
  text << in.rdbuf();
  Run(text.str());
  EXPECT_EQ(Show("maxabs(griddata(sx, sy, sz, qx, qy) - qLinear) < 1e-13"), "true");
  // The same triangles, whatever their order and the order of their
  // vertices.
  Run("S = sort(delaunay(sx, sy), 2); k = sort(S * [1e6; 1e3; 1]); r = sTriangles * [1e6; 1e3; "
      "1];");
  EXPECT_EQ(Show("same(k, r)"), "true");
}

TEST_F(Geometry, CodesOfBadCalls) {
  const std::pair<const char*, const char*> cases[] = {
      {"delaunayn({1})", "error 44"},
      {"delaunayn([1i 2; 3 4; 5 6])", "error 44"},
      {"delaunay([0 1 2], [0 1])", "error 20"},
      {"voronoi({1}, [1 2 3])", "error 44"},
      {"tsearchn([0 0; 1 0; 0 1], [1 2], [0 0])", "error 20"},
      {"tsearchn([0 0; 1 0; 0 1], [1 2 3], [0 0 0])", "error 20"},
      {"tsearchn([0 0; 1 0; 0 1], [1 2 4], [0 0])", "error 29"},
      {"griddatan([0 0; 1 0; 0 1], [1 2 3], [0 0])", "error 21"},
      {"griddatan([0 0; 1 0; 0 1], [1; 2; 3], [0 0 0])", "error 20"},
      {"griddata([0 1 0], [0 0 1], [1 2 3], 0.1, 0.1, 'cubic')", "error 108"},
      {"griddata([0 1 0], [0 0 1], [1 2 3], [0.1 0.2], 0.1)", "error 20"},
      {"griddata([0 1 0], [0 0 1], [1 2], 0.1, 0.1)", "error 21"},
      {"tsearch([0 1 0], [0 0 1], [1 2], 0.1, 0.1)", "error 20"},
  };
  for (auto [text, code] : cases) EXPECT_EQ(Show(text), code) << text;
}

// Each native leaves its results in place of its inputs, so that the loop
// around a call finds its own entries as it left them: three rounds over a
// range, over a matrix's columns and over a list.
TEST_F(Geometry, CallsInsideLoops) {
  const char* calls[] = {
      "r = delaunay([0 1 0], [0 0 1]);",
      "[r, h] = delaunay([0 1 0], [0 0 1]);",
      "[r, h] = delaunayn([0 0; 1 0; 0 1]);",
      "r = tsearchn([0 0; 1 0; 0 1], [1 2 3], [0.2 0.2]);",
      "[r, p] = tsearchn([0 0; 1 0; 0 1], [1 2 3], [0.2 0.2]);",
      "r = griddata([0 1 0], [0 0 1], [1 2 3], 0.2, 0.2);",
      "r = griddata([0 1 0], [0 0 1], [1 2 3], 0.2, 0.2, 'nearest');",
      "r = griddatan([0 0; 1 0; 0 1], [1; 2; 3], [0.2 0.2]);",
      "r = tsearch([0 1 0], [0 0 1], [1 2 3], 0.2, 0.2);",
      "[v, r] = voronoi([0 1 0], [0 0 1]);",
      "r = voronoi([0 1 0], [0 0 1]);",
  };
  for (const char* call : calls) {
    for (const char* over : {"1:3", "[4 5 6]", "{1, 'a', []}"}) {
      Run(std::string("n = 0; for k = ") + over + ", " + call + " n = n + 1; end");
      EXPECT_EQ(Show("n"), "3") << call << " over " << over;
    }
  }
  Run("for k = 1:2, r = griddata([0 1 0], [0 0 1], [1 2 3], 0.25, 0.5); s(k) = r; end");
  EXPECT_EQ(Show("all(abs(s - 2.25) < 1e-12)"), "true");
}

// A native of one argument (delaunayn, voronoin) with two outputs on
// `count` points of a spiral through its record, with `free` data words
// left above the argument; the stack as it was when it fails.
ErrCode RunOnSpiral(test::TestHost& host, const char* name, int32_t count, int64_t free) {
  EngineContext* ctx = host.ctx();
  const NativeFunctionRecord* r = FindLibraryRecord(ctx, name, nullptr, 0, nullptr);
  EXPECT_NE(r, nullptr);
  test::PushFiller(ctx, 2 * count, free);
  double* xy;
  EXPECT_EQ(PushNewMatrix(ctx, count, 2, &xy, nullptr), kOk);
  for (int32_t i = 0; i < count; i++) {
    xy[2 * i] = std::cos(0.7 * i) * (1 + 0.01 * i);
    xy[2 * i + 1] = std::sin(0.7 * i) * (1 + 0.01 * i);
  }
  const uint32_t descTop = ctx->descTop, dataTop = ctx->dataTop;
  const ErrCode e = CallNativeRecord(ctx, r, 1, 2);
  if (e) {
    EXPECT_EQ(ctx->descTop, descTop);
    EXPECT_EQ(ctx->dataTop, dataTop);
  }
  return e;
}

TEST_F(Geometry, PointsOutOfRangeAndFarOut) {
  // A point at infinity (or NaN) has no triangulation: a clear error.
  EXPECT_EQ(Show("delaunay([0 1 0 Inf], [0 0 1 1])"), "error 103");
  EXPECT_EQ(Show("delaunayn([0 0; 1 0; NaN 1])"), "error 103");
  // Coordinates whose squares leave the range of doubles triangulate as
  // their copies scaled by a power of two do, exactly; other factors give
  // the same triangles.
  Run("x = [0 1 0 1 0.3]; y = [0 0 1 1 0.6]; T = delaunay(x, y); S = sort(sort(T, 2) * [100; 10; "
      "1]);");
  for (const char* k : {"2^997", "2^-1000", "2^700"}) {
    EXPECT_EQ(Show(std::string("same(delaunay(x * ") + k + ", y * " + k + "), T)"), "true") << k;
  }
  for (const char* k : {"1e300", "-1e300", "1e-300"}) {
    EXPECT_EQ(Show(std::string("same(sort(sort(delaunay(x * ") + k + ", y * " + k +
                   "), 2) * [100; 10; 1]), S)"),
              "true")
        << k;
  }
  EXPECT_EQ(Show("same(delaunayn([0 0 0; 1 0 0; 0 1 0; 0 0 1] * 1e300), [1 2 3 4])"), "true");
}

// A point inserted in many dimensions makes many circumspheres: the break
// is asked for among them, not only once the point is in.
TEST(GeometryLimits, ABreakIsHeardWithinOneInsertion) {
  test::TestHost host(test::TestHostOptions{.areaBytes = 8u << 20});
  EngineContext* ctx = host.ctx();
  const NativeFunctionRecord* r = FindLibraryRecord(ctx, "delaunayn", nullptr, 0, nullptr);
  ASSERT_NE(r, nullptr);
  double* x;
  ASSERT_EQ(PushNewMatrix(ctx, 1, 64, &x, nullptr), kOk);
  for (int32_t k = 0; k < 64; k++) x[k] = 0.01 * k;
  const uint32_t descTop = ctx->descTop;
  host.ScriptBreaks({false, false, true});
  EXPECT_EQ(CallNativeRecord(ctx, r, 1, 1), kErrHalted);
  EXPECT_EQ(ctx->descTop, descTop);
}

TEST(GeometryLimits, ShortOfRoomOrBrokenOff) {
  {
    test::TestHost host;
    EXPECT_EQ(RunOnSpiral(host, "delaunayn", 20, 200), kErrDataOverflow);
  }
  {
    test::TestHost host;
    EXPECT_EQ(RunOnSpiral(host, "delaunayn", 20, 4000), kOk);
  }
  {
    test::TestHost host;
    host.ScriptBreaks({false, false, true});
    EXPECT_EQ(RunOnSpiral(host, "delaunayn", 20, 4000), kErrHalted);
  }
  {
    // A break among the cells, after the twenty points.
    test::TestHost host;
    std::vector<bool> polls(25, false);
    polls.push_back(true);
    host.ScriptBreaks(polls);
    EXPECT_EQ(RunOnSpiral(host, "voronoin", 20, 8000), kErrHalted);
  }
}

}  // namespace
}  // namespace vke
