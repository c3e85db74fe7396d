// The renderer on the cairo screen port: a dense solid curve, which the
// renderer thins to the first, lowest, highest and last point of each
// device column, holds in each column about the ink of the whole curve
// drawn smooth through the port, thin or thick.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "graphics/port_cairo.hpp"
#include "graphics/renderer.hpp"
#include "pixels.hpp"

namespace vke {
namespace {

using V = std::vector<double>;

// A noisy curve of n points over 0..10, many to a device column.
void Curve(int32_t n, V* x, V* y) {
  uint32_t seed = 7;
  for (int32_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    x->push_back(10.0 * i / (n - 1));
    y->push_back(std::sin(x->back()) + 0.3 * ((seed >> 16) % 100) / 100.0);
  }
}

// The sum of a pixel's three bytes.
int32_t Intensity(uint32_t rgb) {
  return int32_t(rgb >> 16) + int32_t((rgb >> 8) & 0xFF) + int32_t(rgb & 0xFF);
}

TEST(RenderPixels, DenseSolidCurvesKeepTheirPixels) {
  V x, y;
  Curve(5000, &x, &y);
  for (uint32_t style : {0u, kKindPlain | 4u, kStyleThick | 1u}) {
    SubplotRecord s = test::MakeSubplot(50, 250, 20, 140);
    s.optionWord &= ~kOptFrame;
    test::AddPoints(&s, x, y);
    test::CommandList list;
    list.Begin(0).Add(kCmdPolyline, test::Join(test::Join({double(x.size())}, x), y), style);
    V scratch(3 * x.size());
    auto rendered = test::NewImage(300, 160);
    uint32_t position = 0;
    RenderObjectList(list.bytes(), list.size(), scratch.data(),
                     static_cast<uint32_t>(scratch.size()), &s, &position, {}, kNoTextFieldEdit,
                     false, ScreenPort(), rendered.get());
    // The same points, every one of them, straight through the port.
    auto direct = test::NewImage(300, 160);
    V X(x.size()), Y(y.size());
    DataToDevice(s, x.data(), y.data(), nullptr, static_cast<int32_t>(x.size()), X.data(), Y.data(),
                 nullptr);
    CairoClipRect(50, 250, 20, 140, direct.get());
    CairoFillBackground(50, 20, 250, 140, 2, direct.get());
    const PlotStyle ps{style | kStyleSmooth, 0, 0, 0, 0};
    CairoDrawPolyline(X.data(), Y.data(), static_cast<int32_t>(X.size()), &ps, direct.get());
    CairoRestoreClip(direct.get());
    // Anti-aliased, the shades at the curve's edges may differ, but not the
    // ink each column holds: gaps between the points kept would lose some.
    const std::vector<uint32_t> a = test::Snapshot(*rendered);
    const std::vector<uint32_t> b = test::Snapshot(*direct);
    const int32_t background = Intensity(a[20 * 300 + 50]);
    int64_t inkA = 0;
    int64_t inkB = 0;
    for (int32_t column = 60; column < 240; ++column) {  // inside the curve's ends
      int64_t ca = 0;
      int64_t cb = 0;
      for (int32_t row = 20; row < 140; ++row) {
        ca += background - Intensity(a[row * 300 + column]);
        cb += background - Intensity(b[row * 300 + column]);
      }
      EXPECT_LT(std::abs(ca - cb), cb / 4 + 1000) << style << " column " << column;
      inkA += ca;
      inkB += cb;
    }
    EXPECT_LT(std::abs(inkA - inkB), inkB / 30) << style;
    EXPECT_GT(test::Ink(*rendered).size(), 400u);
  }
}

}  // namespace
}  // namespace vke
