// The cairo port's shapes on an image target, checked pixel by pixel: lines,
// pens, markers, polygons, ellipses, clipping, fills, image cells and the
// inverting focus rectangle.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/port.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

using test::Ink;
using test::InkBox;
using test::NewImage;
using test::PixelAt;
using test::PixelSet;
using test::Snapshot;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PlotStyle Style(uint32_t flags, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
  return PlotStyle{flags, r, g, b, 0};
}

void Polyline(CairoTarget& t, std::vector<double> xy, uint32_t flags) {
  std::vector<double> x;
  std::vector<double> y;
  for (size_t i = 0; i + 1 < xy.size(); i += 2) {
    x.push_back(xy[i]);
    y.push_back(xy[i + 1]);
  }
  const PlotStyle s = Style(flags);
  ScreenPort().drawPolyline(x.data(), y.data(), static_cast<int32_t>(x.size()), &s, &t);
}

PixelSet Row(int32_t y, int32_t x0, int32_t x1) {
  PixelSet s;
  for (int32_t x = x0; x <= x1; ++x) s.insert({x, y});
  return s;
}

PixelSet Union(PixelSet a, const PixelSet& b) {
  a.insert(b.begin(), b.end());
  return a;
}

// Restores the shared port options whatever a test changed.
class CairoPort : public ::testing::Test {
 protected:
  void TearDown() override {
    SetDrawingOption(false);
    SetBackgroundColor(0xFFFFFF);
  }
};

TEST_F(CairoPort, ThinLinesDrawTheFirstPixelAndNotTheLast) {
  auto t = NewImage();
  Polyline(*t, {10, 10, 20, 10, 20, 20}, 0);
  PixelSet expected = Row(10, 10, 20);
  for (int32_t y = 10; y < 20; ++y) expected.insert({20, y});
  EXPECT_EQ(Ink(*t), expected);

  t = NewImage();
  Polyline(*t, {30, 30, 35, 35}, 0);
  EXPECT_EQ(Ink(*t), (PixelSet{{30, 30}, {31, 31}, {32, 32}, {33, 33}, {34, 34}}));

  // Coordinates truncate toward zero: -0.5 is column 0, not -1.
  t = NewImage();
  Polyline(*t, {-0.5, 50, -0.5, 53, 10.9, 53.7}, 0);
  EXPECT_EQ(Ink(*t), Union(PixelSet{{0, 50}, {0, 51}, {0, 52}}, Row(53, 0, 9)));
  EXPECT_EQ(PixelAt(*t, 0, 50), 0x000000u);
}

TEST_F(CairoPort, FarAndBadCoordinates) {
  auto t = NewImage();
  Polyline(*t, {-30000, 10, -25000, 40}, 0);
  EXPECT_TRUE(Ink(*t).empty());
  Polyline(*t, {-30000, 10, 100, 40}, 0);
  EXPECT_FALSE(Ink(*t).empty());

  // A point far away keeps the direction of the line towards it.
  t = NewImage();
  Polyline(*t, {10, 10, 1e12, 10, 1e12, 1e12}, 0);
  EXPECT_EQ(Ink(*t), Row(10, 10, 63));
  t = NewImage();
  Polyline(*t, {20, 5, 20, std::numeric_limits<double>::infinity()}, 0);
  EXPECT_EQ(InkBox(*t).top, 5);
  EXPECT_EQ(InkBox(*t).bottom, 63);

  // NaN, single points and missing arrays draw nothing they should not.
  t = NewImage();
  Polyline(*t, {kNaN, 5, kNaN, 6}, 0);
  Polyline(*t, {5, 5}, 0);
  Polyline(*t, {}, 0);
  const PlotStyle s = Style(0);
  ScreenPort().drawPolyline(nullptr, nullptr, 5, &s, t.get());
  double x[2] = {1, 9};
  ScreenPort().drawPolyline(x, x, 2, nullptr, t.get());
  EXPECT_TRUE(Ink(*t).empty());
}

TEST_F(CairoPort, PenWidthsAndDashes) {
  auto t = NewImage();
  Polyline(*t, {5, 20, 45, 20}, kKindDash);
  const size_t dashed = Ink(*t).size();
  EXPECT_GT(dashed, 10u);
  EXPECT_LT(dashed, 40u);

  // Thick: two rows, solid even when dashed.
  t = NewImage();
  Polyline(*t, {5, 20, 45, 20}, kStyleThick | kKindDash);
  for (int32_t x = 8; x <= 42; ++x) {
    ASSERT_EQ(PixelAt(*t, x, 19), 0u) << x;
    ASSERT_EQ(PixelAt(*t, x, 20), 0u) << x;
  }
  EXPECT_EQ(InkBox(*t).top, 19);
  EXPECT_EQ(InkBox(*t).bottom, 20);

  // The thick-lines option: a dashed normal line becomes solid width 2,
  // a thick one width 4; width bits 0x30 stay one unit and dashed.
  SetDrawingOption(true);
  t = NewImage();
  Polyline(*t, {5, 20, 45, 20}, kKindDash);
  EXPECT_EQ(InkBox(*t).bottom - InkBox(*t).top, 1);
  EXPECT_EQ(PixelAt(*t, 25, 19), 0u);
  for (int32_t x = 8; x <= 42; ++x) ASSERT_EQ(PixelAt(*t, x, 20), 0u) << x;
  t = NewImage();
  Polyline(*t, {5, 20, 45, 20}, kStyleThick);
  EXPECT_EQ(InkBox(*t).top, 18);
  EXPECT_EQ(InkBox(*t).bottom, 21);
  t = NewImage();
  Polyline(*t, {5, 20, 45, 20}, 0x30 | kKindDash);
  EXPECT_EQ(Ink(*t).size(), dashed);
}

TEST_F(CairoPort, MarkersAtTheirPixelOffsets) {
  auto drawAt = [](uint32_t kind) {
    auto t = NewImage(32, 32);
    Polyline(*t, {10, 10, 20.7, 20.2}, kind);
    return t;
  };
  auto shifted = [](const PixelSet& at10) {
    PixelSet both = at10;
    for (const auto& [x, y] : at10) both.insert({x + 10, y + 10});
    return both;
  };
  EXPECT_EQ(Ink(*drawAt(kKindPoint)), shifted({{10, 10}}));
  PixelSet cross;
  PixelSet plus;
  PixelSet box;
  PixelSet diamond;
  for (int k = -3; k <= 3; ++k) {
    cross.insert({10 + k, 10 + k});
    cross.insert({10 - k, 10 + k});
    plus.insert({10 + k, 10});
    plus.insert({10, 10 + k});
    box.insert({10 + k, 7});
    box.insert({10 + k, 13});
    box.insert({7, 10 + k});
    box.insert({13, 10 + k});
    diamond.insert({10 + k, 10 + (3 - std::abs(k))});
    diamond.insert({10 + k, 10 - (3 - std::abs(k))});
  }
  EXPECT_EQ(Ink(*drawAt(kKindCross)), shifted(cross));
  EXPECT_EQ(Ink(*drawAt(kKindPlus)), shifted(plus));
  EXPECT_EQ(Ink(*drawAt(kKindBox)), shifted(box));
  EXPECT_EQ(Ink(*drawAt(kKindDiamond)), shifted(diamond));

  // The other shapes stay inside their 7 x 7 cell and touch its corners.
  const struct {
    uint32_t kind;
    std::pair<int32_t, int32_t> corner;
  } others[] = {{kKindCircle, {7, 10}},
                {kKindStar, {8, 7}},
                {kKindTriangleUp, {10, 7}},
                {kKindTriangleDown, {10, 13}}};
  for (const auto& o : others) {
    auto t = drawAt(o.kind);
    const PixelSet ink = Ink(*t);
    EXPECT_TRUE(ink.count(o.corner)) << o.kind;
    for (const auto& [x, y] : ink) {
      const int32_t dx = x < 15 ? x - 10 : x - 20;
      const int32_t dy = y < 15 ? y - 10 : y - 20;
      EXPECT_TRUE(std::abs(dx) <= 3 && std::abs(dy) <= 3) << o.kind << " " << x << "," << y;
    }
  }
  // A filled circle marker is filled; an unfilled one is a ring.
  EXPECT_EQ(PixelAt(*drawAt(kKindCircle), 10, 10), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*drawAt(kKindCircle | kStyleFilled), 10, 10), 0u);
  // "Nothing" kinds draw nothing at all.
  EXPECT_TRUE(Ink(*drawAt(kKindNone)).empty());
  EXPECT_TRUE(Ink(*drawAt(kKindHidden)).empty());
  EXPECT_TRUE(Ink(*drawAt(kKindNone | kStyleFilled)).empty());
}

TEST_F(CairoPort, FilledPolygonsAndColours) {
  auto t = NewImage();
  Polyline(*t, {10, 10, 50, 10, 10, 50}, kStyleFilled | 4);
  EXPECT_EQ(PixelAt(*t, 15, 15), 0xFF0000u);
  EXPECT_EQ(PixelAt(*t, 10, 10), 0xFF0000u);
  EXPECT_EQ(PixelAt(*t, 10, 49), 0xFF0000u);
  EXPECT_EQ(PixelAt(*t, 45, 45), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*t, 9, 20), 0xFFFFFFu);

  // The port's own green and cyan; index 0 takes the explicit bytes.
  const struct {
    PlotStyle style;
    uint32_t rgb;
  } colours[] = {{Style(2), 0x009900},
                 {Style(3), 0x00CCFF},
                 {Style(7), 0xFFFFFF},
                 {Style(0, 12, 34, 56), 0x0C2238}};
  for (const auto& c : colours) {
    t = NewImage();
    SetBackgroundColor(0x000000);
    ScreenPort().fillBackground(0, 0, 64, 64, 0, t.get());
    double x[2] = {5, 30};
    double y[2] = {5, 5};
    ScreenPort().drawPolyline(x, y, 2, &c.style, t.get());
    EXPECT_EQ(PixelAt(*t, 10, 5), c.rgb);
  }
}

TEST_F(CairoPort, Ellipses) {
  auto t = NewImage();
  PlotStyle filled = Style(kStyleFilled | 1);
  ScreenPort().drawCircle(32, 32, 10, 10, &filled, t.get());
  EXPECT_EQ(PixelAt(*t, 32, 32), 0x0000FFu);
  const test::Box box = InkBox(*t);
  EXPECT_EQ(box.left, 22);
  EXPECT_EQ(box.right, 41);
  EXPECT_EQ(box.top, 22);
  EXPECT_EQ(box.bottom, 41);

  // An outline only: the centre stays white; negative radii are the same.
  t = NewImage();
  PlotStyle ring = Style(0);
  ScreenPort().drawCircle(32, 32, -10, -6, &ring, t.get());
  EXPECT_EQ(PixelAt(*t, 32, 32), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*t, 22, 32), 0u);
  EXPECT_EQ(InkBox(*t).top, 26);

  t = NewImage();
  ScreenPort().drawCircle(32, 32, 5001, 10, &ring, t.get());
  ScreenPort().drawCircle(32, 32, 10, kNaN, &ring, t.get());
  ScreenPort().drawCircle(kNaN, 32, 10, 10, &ring, t.get());
  ScreenPort().drawCircle(32, 32, 10, 10, nullptr, t.get());
  EXPECT_TRUE(Ink(*t).empty());
}

TEST_F(CairoPort, ClipAndRestore) {
  auto t = NewImage();
  GraphicsPort& port = ScreenPort();
  port.clipRect(10, 20, 10, 30, t.get());  // left, right, top, bottom
  Polyline(*t, {0, 15, 63, 15}, 0);
  EXPECT_EQ(Ink(*t), Row(15, 10, 19));
  port.clipRect(15, 40, 0, 64, t.get());  // nested: the intersection
  Polyline(*t, {0, 16, 63, 16}, 0);
  EXPECT_EQ(Ink(*t), Union(Row(15, 10, 19), Row(16, 15, 19)));
  port.restoreClip(t.get());
  Polyline(*t, {0, 17, 63, 17}, 0);
  port.restoreClip(t.get());
  // Unmatched restores are ignored and drawing goes on.
  port.restoreClip(t.get());
  port.restoreClip(t.get());
  Polyline(*t, {0, 18, 63, 18}, 0);
  EXPECT_EQ(Ink(*t),
            Union(Union(Row(15, 10, 19), Row(16, 15, 19)), Union(Row(17, 10, 19), Row(18, 0, 62))));
}

TEST_F(CairoPort, BackgroundFill) {
  auto t = NewImage();
  SetBackgroundColor(0x00FF8000);  // 0x00BBGGRR
  EXPECT_EQ(GetBackgroundColor(), 0x00FF8000u);
  ScreenPort().fillBackground(0, 0, 64, 64, 0, t.get());
  EXPECT_EQ(PixelAt(*t, 0, 0), 0x0080FFu);
  EXPECT_EQ(PixelAt(*t, 63, 63), 0x0080FFu);
  // Corners in any order; right and bottom exclusive; flag 1 is white.
  ScreenPort().fillBackground(20.9, 30, 10, 10, 1, t.get());
  EXPECT_EQ(PixelAt(*t, 10, 10), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*t, 19, 29), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(*t, 20, 29), 0x0080FFu);
  EXPECT_EQ(PixelAt(*t, 19, 30), 0x0080FFu);
  EXPECT_EQ(PixelAt(*t, 9, 10), 0x0080FFu);
  // Other flags mean the background colour.
  ScreenPort().fillBackground(0, 0, 64, 64, 2, t.get());
  EXPECT_EQ(PixelAt(*t, 15, 15), 0x0080FFu);
}

TEST_F(CairoPort, ImageCells) {
  const uint8_t red[6] = {10, 20, 30, 40, 50, 60};
  const uint8_t green[6] = {1, 2, 3, 4, 5, 6};
  const uint8_t blue[6] = {100, 110, 120, 130, 140, 150};
  auto t = NewImage();
  ScreenPort().drawImageCells(5.7, 7.2, 3, 2, 4, 3, red, green, blue, t.get());
  for (int32_t y = 6; y <= 13; ++y) {
    for (int32_t x = 4; x <= 17; ++x) {
      const bool inside = x >= 5 && x < 17 && y >= 7 && y < 13;
      uint32_t expected = 0xFFFFFF;
      if (inside) {
        const int k = (y - 7) / 3 * 3 + (x - 5) / 4;
        expected = (uint32_t{red[k]} << 16) | (uint32_t{green[k]} << 8) | blue[k];
      }
      ASSERT_EQ(PixelAt(*t, x, y), expected) << x << "," << y;
    }
  }

  // One plane is grey; the image may start left of and above the target.
  t = NewImage();
  ScreenPort().drawImageCells(-6, -2, 3, 2, 4, 4, red, nullptr, blue, t.get());
  EXPECT_EQ(PixelAt(*t, 0, 0), 0x141414u);  // column 1, row 0
  EXPECT_EQ(PixelAt(*t, 2, 2), 0x3C3C3Cu);  // column 2, row 1
  EXPECT_EQ(PixelAt(*t, 6, 0), 0xFFFFFFu);

  // Inside a clip only the clipped part changes.
  t = NewImage();
  ScreenPort().clipRect(8, 10, 8, 9, t.get());
  ScreenPort().drawImageCells(0, 0, 3, 2, 10, 10, red, green, blue, t.get());
  ScreenPort().restoreClip(t.get());
  EXPECT_EQ(Ink(*t), (PixelSet{{8, 8}, {9, 8}}));

  t = NewImage();
  ScreenPort().drawImageCells(0, 0, 3, 2, 0, 3, red, green, blue, t.get());
  ScreenPort().drawImageCells(0, 0, 3, 2, 4, -1, red, green, blue, t.get());
  ScreenPort().drawImageCells(0, 0, 3, 2, 4, 3, nullptr, green, blue, t.get());
  ScreenPort().drawImageCells(0, 0, -3, 2, 4, 3, red, green, blue, t.get());
  ScreenPort().drawImageCells(kNaN, 0, 3, 2, 4, 3, red, green, blue, t.get());
  EXPECT_TRUE(Ink(*t).empty());
}

TEST_F(CairoPort, FocusRectangleDrawnTwiceErases) {
  auto t = NewImage();
  uint8_t grey[64];
  for (int i = 0; i < 64; ++i) grey[i] = static_cast<uint8_t>(i * 4);
  ScreenPort().drawImageCells(0, 0, 8, 8, 8, 8, grey, nullptr, nullptr, t.get());
  Polyline(*t, {0, 0, 63, 40}, 4);
  const std::vector<uint32_t> before = Snapshot(*t);

  ScreenPort().drawFocusRect(10, 10, 30, 20, 0, t.get());
  EXPECT_NE(Snapshot(*t), before);
  // Every other frame pixel is inverted; the inside is untouched.
  EXPECT_EQ(PixelAt(*t, 10, 10), 0xFFFFFFu ^ before[10 * 64 + 10]);
  EXPECT_EQ(PixelAt(*t, 11, 10), before[10 * 64 + 11]);
  EXPECT_EQ(PixelAt(*t, 29, 19), 0xFFFFFFu ^ before[19 * 64 + 29]);
  EXPECT_EQ(PixelAt(*t, 15, 15), before[15 * 64 + 15]);
  // The same rectangle given corner first undoes it.
  ScreenPort().drawFocusRect(30.5, 20.2, 10, 10, 0, t.get());
  EXPECT_EQ(Snapshot(*t), before);

  ScreenPort().drawFocusRect(-50, -50, -10, -10, 0, t.get());
  ScreenPort().drawFocusRect(70, 0, 90, 20, 0, t.get());
  ScreenPort().drawFocusRect(10, 10, 10, 30, 0, t.get());
  EXPECT_EQ(Snapshot(*t), before);

  // Far parts of a wide target get their marks as well.
  auto wide = NewImage(2400, 40);
  ScreenPort().drawFocusRect(2100, 5, 2300, 30, 0, wide.get());
  EXPECT_EQ(PixelAt(*wide, 2101, 5), 0u);
}

}  // namespace
}  // namespace vke
