// Figures drawn headless: data curves and markers come out anti-aliased,
// while the frame and its ticks stay pixel-exact and crisp.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "app/figure_png.hpp"
#include "app/instances.hpp"
#include "tests/app/figure_app.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

TEST(SmoothCurves, DataIsAntiAliasedAndTheFrameIsNot) {
  test::FigureApp app(1, 1);
  ASSERT_EQ(app.Draw(0, "plot([0 1], [0 0.37], 'k');\nplot(0.5, 0.8, 'ko');"), kOk)
      << app.TakeOutput();
  ASSERT_EQ(app.Close(), kOk);
  auto image = test::NewImage(640, 480);
  KVContextBlock* slot = app.block();
  ASSERT_EQ(DrawFigureImage(&slot, 0, image.get(), false), kOk);
  const SubplotRecord& s = FindInstance(app.block(), 0)->figure.subplots[0];
  const auto left = static_cast<int32_t>(s.viewport[kLeft]);
  const auto right = static_cast<int32_t>(s.viewport[kRight]);
  const auto top = static_cast<int32_t>(std::min(s.viewport[kTop], s.viewport[kBottom]));
  const auto bottom = static_cast<int32_t>(std::max(s.viewport[kTop], s.viewport[kBottom]));
  // Inside the frame, the slanted line and the circle leave greys between
  // black and the white plot area.
  std::set<uint32_t> shades;
  for (int32_t y = top + 4; y < bottom - 4; ++y) {
    for (int32_t x = left + 4; x < right - 4; ++x) shades.insert(test::PixelAt(*image, x, y));
  }
  EXPECT_GT(shades.size(), 20u);
  // The frame's bottom edge is one row of black, with ticks in black above
  // it and nothing grey beside them, away from where the line starts.
  int32_t frameRow = -1;
  for (int32_t y = bottom - 2; y <= bottom + 1; ++y) {
    if (test::PixelAt(*image, (left + right) / 2, y) == 0) frameRow = y;
  }
  ASSERT_GE(frameRow, 0);
  for (int32_t x = (left + right) / 4; x < right - 1; ++x) {
    for (int32_t y = frameRow - 8; y <= frameRow; ++y) {
      const uint32_t p = test::PixelAt(*image, x, y);
      EXPECT_TRUE(p == 0 || p == 0xFFFFFF) << x << ", " << y << ": " << std::hex << p;
    }
  }
}

}  // namespace
}  // namespace vke
