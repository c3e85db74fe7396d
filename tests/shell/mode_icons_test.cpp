// The figure modes' icons: each draws a picture of its own at every size the
// tool bar may ask for, in the ink given (so light and dark themes both read
// it) and with its details in the accent colour.
#include "shell/mode_icons.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vke {
namespace {

constexpr IconInk kDark{0.1, 0.1, 0.1};
constexpr IconInk kLight{0.95, 0.95, 0.95};

ModeIcon Icon(int k) {
  return static_cast<ModeIcon>(k);
}

// Pixels at least half covered.
std::vector<bool> Covered(const std::vector<uint8_t>& rgba) {
  std::vector<bool> covered;
  for (size_t i = 3; i < rgba.size(); i += 4) covered.push_back(rgba[i] >= 128);
  return covered;
}

// Pixels at least half covered whose colour lies within a shade of the
// colour.
int PixelsOf(const std::vector<uint8_t>& rgba, const IconInk& ink) {
  int n = 0;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    if (rgba[i + 3] < 128) continue;
    const double d = std::fabs(rgba[i] / 255.0 - ink.red) +
                     std::fabs(rgba[i + 1] / 255.0 - ink.green) +
                     std::fabs(rgba[i + 2] / 255.0 - ink.blue);
    n += d < 0.05;
  }
  return n;
}

TEST(ModeIcons, EachSizeShowsAPictureOfItsOwn) {
  for (int size : {16, 22, 24, 32, 48}) {
    std::vector<std::vector<bool>> pictures;
    for (int k = 0; k < kModeIconCount; k++) {
      const std::vector<uint8_t> rgba = ModeIconRgba(Icon(k), size, kDark);
      ASSERT_EQ(rgba.size(), static_cast<size_t>(size * size * 4));
      const std::vector<bool> covered = Covered(rgba);
      int inked = 0;
      for (bool b : covered) inked += b;
      // Neither a speck nor a blot.
      EXPECT_GT(inked, size * size / 10) << k << " at " << size;
      EXPECT_LT(inked, size * size * 6 / 10) << k << " at " << size;
      for (const std::vector<bool>& other : pictures) {
        int differing = 0;
        for (size_t i = 0; i < covered.size(); i++) differing += covered[i] != other[i];
        EXPECT_GT(differing, size * size / 20) << k << " at " << size;
      }
      pictures.push_back(covered);
    }
  }
}

TEST(ModeIcons, StrokesTakeTheInkAndDetailsTheAccent) {
  for (int k = 0; k < kModeIconCount; k++) {
    for (const IconInk& ink : {kDark, kLight}) {
      const std::vector<uint8_t> rgba = ModeIconRgba(Icon(k), 24, ink);
      EXPECT_GT(PixelsOf(rgba, ink), 20) << k;
      EXPECT_GT(PixelsOf(rgba, kIconAccent), 8) << k;
    }
  }
  EXPECT_TRUE(ModeIconRgba(ModeIcon::kZoom, 0, kDark).empty());
}

}  // namespace
}  // namespace vke
