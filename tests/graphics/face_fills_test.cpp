// The fills of 3-D faces: the two halves of a four-cornered face joined into
// one fill, the cases kept apart, the convexity test behind the join, and
// on the cairo port that faces meeting along an edge leave no seam.
#include "graphics/face_fills.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "decoration_fixture.hpp"
#include "graphics/port_cairo.hpp"
#include "graphics/port_recording.hpp"
#include "pixels.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

constexpr PlotStyle kSmoothGrey{kStyleFilled | kStyleSmooth, 90, 90, 90, 0};
constexpr PlotStyle kEdgeStyle{0, 0, 0, 0, 0};

// A triangle of face `face` with one drawn edge from its first corner.
FaceTriangle Half(uint32_t face, V x, V y, PlotStyle fill = kSmoothGrey) {
  return FaceTriangle{{face, 0, 0}, true, true,         {x[0], x[1], x[2]}, {y[0], y[1], y[2]},
                      fill,         2,    {x[0], x[1]}, {y[0], y[1]},       kEdgeStyle};
}

// The halves of the square 10..50 cut along its diagonal, corners in the
// depth pool's order (any).
FaceTriangle Lower(uint32_t face = 1) {
  return Half(face, {50, 10, 50}, {10, 10, 50});
}
FaceTriangle Upper(uint32_t face = 1) {
  return Half(face, {10, 50, 10}, {50, 50, 10});
}

size_t PolylinePoints(const PortCall& c) {
  return (c.values.size() - 5) / 2;
}

TEST(FaceFills, HalvesOfOneFaceFillOnce) {
  RecordingPort rec;
  FaceFills fills(rec.port(), rec.target());
  fills.Draw(Lower());
  EXPECT_TRUE(rec.calls().empty());  // held
  fills.Draw(Upper());
  fills.Release();
  const auto drawn = test::CallsOf(rec, PortSlot::drawPolyline);
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_EQ(PolylinePoints(drawn[0]), 4u);  // the square, then both halves' edges
  EXPECT_EQ(test::Polylines(rec)[1], (V{50, 10, 10, 10}));
  EXPECT_EQ(test::Polylines(rec)[2], (V{10, 50, 50, 50}));
  // The square's corners go round it.
  const V square = test::Polylines(rec)[0];
  double x[4];
  double y[4];
  for (int k = 0; k < 4; ++k) {
    x[k] = square[2 * k];
    y[k] = square[2 * k + 1];
  }
  EXPECT_NE(ConvexTurn(x, y, 4), 0);
}

TEST(FaceFills, OtherPairsFillApart) {
  const auto fills = [](const std::vector<FaceTriangle>& triangles) {
    RecordingPort rec;
    FaceFills f(rec.port(), rec.target());
    for (const FaceTriangle& t : triangles) f.Draw(t);
    f.Release();
    std::vector<size_t> points;
    for (const PortCall& c : test::CallsOf(rec, PortSlot::drawPolyline)) {
      if (static_cast<uint32_t>(c.values[1]) & kStyleFilled) points.push_back(PolylinePoints(c));
    }
    return points;
  };
  const std::vector<size_t> apart{3, 3};
  EXPECT_EQ(fills({Lower(1), Upper(2)}), apart);  // two faces
  // Folded: the second half lies on the first one's side of the diagonal.
  EXPECT_EQ(fills({Lower(), Half(1, {50, 10, 40}, {10, 50, 15})}), apart);
  // Sharing one corner only.
  EXPECT_EQ(fills({Lower(), Half(1, {50, 90, 90}, {50, 50, 90})}), apart);
  // Pixel-exact fills gain nothing and are drawn at once.
  PlotStyle exact = kSmoothGrey;
  exact.flags = kStyleFilled;
  RecordingPort rec;
  FaceFills f(rec.port(), rec.target());
  f.Draw(Half(1, {50, 10, 50}, {10, 10, 50}, exact));
  EXPECT_EQ(test::CountCalls(rec, PortSlot::drawPolyline), 2u);
  // Halves of a triangle's own face are not held either.
  FaceTriangle lone = Lower();
  lone.joinable = false;
  f.Draw(lone);
  EXPECT_EQ(test::CountCalls(rec, PortSlot::drawPolyline), 4u);
}

TEST(FaceFills, ConvexTurn) {
  const double sx[4] = {0, 1, 1, 0};
  const double sy[4] = {0, 0, 1, 1};
  EXPECT_EQ(ConvexTurn(sx, sy, 4), 1);
  const double rx[4] = {0, 0, 1, 1};
  const double ry[4] = {0, 1, 1, 0};
  EXPECT_EQ(ConvexTurn(rx, ry, 4), -1);
  const double bowX[4] = {0, 1, 0, 1};  // crossed
  EXPECT_EQ(ConvexTurn(bowX, sy, 4), 0);
  const double dentX[4] = {0, 1, 0.2, 0};  // a corner turned inward
  const double dentY[4] = {0, 0, 0.2, 1};
  EXPECT_EQ(ConvexTurn(dentX, dentY, 4), 0);
  const double lineY[3] = {0, 0, 0};
  EXPECT_EQ(ConvexTurn(sx, lineY, 3), 0);
  const double nanX[3] = {0, NAN, 1};
  EXPECT_EQ(ConvexTurn(nanX, sy, 3), 0);
  EXPECT_EQ(ConvexTurn(sx, sy, 2), 0);  // too few corners
  EXPECT_EQ(ConvexTurn(sx, sy, 0), 0);
}

// Smooth faces meeting along an edge cover it fully, and reach at most about
// a unit beyond their outline.
TEST(FaceFills, NeighboursLeaveNoSeam) {
  for (bool joined : {false, true}) {
    auto image = test::NewImage(60, 60);
    FaceFills fills(ScreenPort(), image.get());
    const PlotStyle black{kStyleFilled | kStyleSmooth, 0, 0, 0, 0};
    FaceTriangle lower = Half(1, {50, 10, 50}, {10, 10, 50}, black);
    FaceTriangle upper = Half(joined ? 1 : 2, {10, 50, 10}, {50, 50, 10}, black);
    lower.edgePoints = upper.edgePoints = 0;
    fills.Draw(lower);
    fills.Draw(upper);
    fills.Release();
    for (int32_t y = 0; y < 60; ++y) {
      for (int32_t x = 0; x < 60; ++x) {
        const uint32_t rgb = test::PixelAt(*image, x, y);
        // The corners of the grown outline are cut off: their pixels only
        // nearly covered.
        const bool corner = (x == 10 || x == 50) && (y == 10 || y == 50);
        if (x >= 10 && x <= 50 && y >= 10 && y <= 50 && !corner) {
          EXPECT_EQ(rgb, 0u) << joined << " at " << x << ", " << y;
        } else if (x < 8 || x > 52 || y < 8 || y > 52) {
          EXPECT_EQ(rgb, 0xFFFFFFu) << joined << " at " << x << ", " << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vke
