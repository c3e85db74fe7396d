// Direct fills of convex polygons into image pixels, against cairo's own
// anti-aliased fills of the same shapes: random polygons of every size, cut
// by the clip box and by the image's edges, the shapes without pixels or
// area, and corners it must leave to cairo; and through the port, smooth
// faces on an image against the same faces drawn by cairo alone.
#include "graphics/convex_fill.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "graphics/port.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

constexpr int32_t kSide = 48;
constexpr uint32_t kWhite = 0xFFFFFFFF;
// cairo samples a pixel row with a corner in it at fifteen heights, where
// the direct fill takes the exact area: an edge pixel's shade may differ
// by a fifteenth of the colour step, and by rounding.
constexpr int32_t kEdgeShade = 255 / 15 + 1;

// An image of xRGB words, white, and the rows that reach all of it.
struct Pixels {
  std::vector<uint32_t> words = std::vector<uint32_t>(kSide * kSide, kWhite);
  PixelRows Rows(int32_t l = 0, int32_t t = 0, int32_t r = kSide, int32_t b = kSide) {
    return PixelRows{reinterpret_cast<uint8_t*>(words.data()), kSide * 4, l, t, r, b};
  }
};

// The polygon filled by cairo, anti-aliased, on white, clipped to the box.
std::vector<uint32_t> CairoFill(const std::vector<double>& x, const std::vector<double>& y,
                                uint32_t rgb, int32_t l = 0, int32_t t = 0, int32_t r = kSide,
                                int32_t b = kSide) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSide, kSide);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_rectangle(cr, l, t, r - l, b - t);
  cairo_clip(cr);
  cairo_set_source_rgb(cr, (rgb >> 16) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
  for (size_t i = 0; i < x.size(); ++i) cairo_line_to(cr, x[i], y[i]);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_surface_flush(s);
  std::vector<uint32_t> words(kSide * kSide);
  const unsigned char* data = cairo_image_surface_get_data(s);
  for (int32_t row = 0; row < kSide; ++row) {
    std::copy_n(reinterpret_cast<const uint32_t*>(data + row * cairo_image_surface_get_stride(s)),
                kSide, words.begin() + row * kSide);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return words;
}

// The largest difference of one colour byte between two images.
int32_t LargestDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int32_t largest = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int32_t d = std::abs(static_cast<int32_t>((a[i] >> shift) & 0xFF) -
                                 static_cast<int32_t>((b[i] >> shift) & 0xFF));
      largest = std::max(largest, d);
    }
  }
  return largest;
}

// A convex polygon of n corners on a circle, turning either way.
void RandomConvex(std::mt19937* rng, int32_t n, double cx, double cy, double radius,
                  std::vector<double>* x, std::vector<double>* y) {
  std::uniform_real_distribution<double> turn(0, 2 * std::numbers::pi);
  std::vector<double> angles(static_cast<size_t>(n));
  for (double& a : angles) a = turn(*rng);
  std::sort(angles.begin(), angles.end());
  if ((*rng)() % 2 != 0) std::reverse(angles.begin(), angles.end());
  x->clear();
  y->clear();
  for (double a : angles) {
    x->push_back(cx + radius * std::cos(a));
    y->push_back(cy + radius * std::sin(a));
  }
}

TEST(ConvexFill, MatchesCairoOnRandomPolygons) {
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> place(-10, kSide + 10);
  std::uniform_real_distribution<double> size(0.2, 30);
  std::vector<float> scratch;  // shared: left clean by every fill
  std::vector<double> x;
  std::vector<double> y;
  int32_t largest = 0;
  for (int k = 0; k < 400; ++k) {
    const auto n = static_cast<int32_t>(3 + k % (kMaxDirectCorners - 2));
    RandomConvex(&rng, n, place(rng), place(rng), size(rng), &x, &y);
    const uint32_t rgb = rng() & 0xFFFFFF;
    Pixels own;
    ASSERT_TRUE(FillConvexPolygon(own.Rows(), x.data(), y.data(), n, rgb, &scratch));
    largest = std::max(largest, LargestDifference(own.words, CairoFill(x, y, rgb)));
  }
  EXPECT_LE(largest, kEdgeShade);
}

TEST(ConvexFill, KeepsToTheClipBox) {
  std::mt19937 rng(5);
  std::vector<float> scratch;
  std::vector<double> x;
  std::vector<double> y;
  struct Clip {
    int32_t l, t, r, b;
  };
  // Wider than the rows blended whole, and narrower.
  for (const Clip c : {Clip{10, 13, 31, 40}, Clip{20, 5, 26, 44}}) {
    for (int k = 0; k < 60; ++k) {
      RandomConvex(&rng, 6, 24, 24, 2 + k % 20, &x, &y);
      Pixels own;
      ASSERT_TRUE(FillConvexPolygon(own.Rows(c.l, c.t, c.r, c.b), x.data(), y.data(), 6, 0x204060,
                                    &scratch));
      const std::vector<uint32_t> theirs = CairoFill(x, y, 0x204060, c.l, c.t, c.r, c.b);
      EXPECT_LE(LargestDifference(own.words, theirs), kEdgeShade);
      for (int32_t i = 0; i < kSide * kSide; ++i) {
        const int32_t px = i % kSide;
        const int32_t py = i / kSide;
        if (px < c.l || px >= c.r || py < c.t || py >= c.b) {
          ASSERT_EQ(own.words[i], kWhite);
        }
      }
    }
  }
}

TEST(ConvexFill, SmallAndEmptyShapes) {
  std::vector<float> scratch;
  // A square of a fifth of a unit inside one pixel: that pixel a twenty-fifth
  // of the way to black, nothing else.
  Pixels dot;
  const double sx[4] = {5.3, 5.5, 5.5, 5.3};
  const double sy[4] = {7.2, 7.2, 7.4, 7.4};
  ASSERT_TRUE(FillConvexPolygon(dot.Rows(), sx, sy, 4, 0, &scratch));
  for (int32_t i = 0; i < kSide * kSide; ++i) {
    const uint32_t expected = i == 7 * kSide + 5 ? 0xFFF5F5F5 : kWhite;
    ASSERT_EQ(dot.words[i], expected) << i;
  }
  // Whole-unit corners fill whole pixels, exactly.
  Pixels square;
  const double qx[4] = {2, 6, 6, 2};
  const double qy[4] = {3, 3, 5, 5};
  ASSERT_TRUE(FillConvexPolygon(square.Rows(), qx, qy, 4, 0x123456, &scratch));
  for (int32_t i = 0; i < kSide * kSide; ++i) {
    const bool inside = i % kSide >= 2 && i % kSide < 6 && i / kSide >= 3 && i / kSide < 5;
    ASSERT_EQ(square.words[i], inside ? 0xFF123456 : kWhite) << i;
  }
  // Off the image, collinear corners, a clip box without pixels: nothing.
  const std::vector<uint32_t> white(kSide * kSide, kWhite);
  Pixels none;
  const double farX[3] = {-50, -10, -30};
  const double farY[3] = {10, 10, 30};
  EXPECT_TRUE(FillConvexPolygon(none.Rows(), farX, farY, 3, 0, &scratch));
  const double lineX[3] = {1, 20, 39};
  const double lineY[3] = {1, 10, 19};
  EXPECT_TRUE(FillConvexPolygon(none.Rows(), lineX, lineY, 3, 0, &scratch));
  EXPECT_TRUE(FillConvexPolygon(none.Rows(20, 5, 20, 30), qx, qy, 4, 0, &scratch));
  EXPECT_EQ(none.words, white);
  EXPECT_TRUE(std::all_of(scratch.begin(), scratch.end(), [](float c) { return c == 0; }));
}

TEST(ConvexFill, LeavesToTheCallerWhatItCannotFill) {
  std::vector<float> scratch;
  Pixels none;
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {nan, inf, -inf, 2 * kDirectCoordLimit}) {
    const double x[3] = {1, bad, 20};
    const double y[3] = {1, 10, 20};
    EXPECT_FALSE(FillConvexPolygon(none.Rows(), x, y, 3, 0, &scratch)) << bad;
    EXPECT_FALSE(FillConvexPolygon(none.Rows(), y, x, 3, 0, &scratch)) << bad;
  }
  const double x[kMaxDirectCorners + 1] = {1, 9, 9, 1, 1, 1, 1, 1, 1};
  const double y[kMaxDirectCorners + 1] = {1, 1, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_FALSE(FillConvexPolygon(none.Rows(), x, y, 2, 0, &scratch));
  EXPECT_FALSE(FillConvexPolygon(none.Rows(), x, y, kMaxDirectCorners + 1, 0, &scratch));
  EXPECT_EQ(none.words, std::vector<uint32_t>(kSide * kSide, kWhite));
}

// Smooth faces through the screen port: on an image they are filled
// directly, in a copy's image by cairo; under a clip and after it the two
// agree.
TEST(ConvexFill, PortFacesLikeCairos) {
  std::unique_ptr<CairoTarget> image;
  std::unique_ptr<CairoTarget> copy;
  ASSERT_EQ(CairoTarget::CreateImage(kSide, kSide, &image), kOk);
  ASSERT_EQ(CairoTarget::CreateCopyDocuments(kSide, kSide, 96, &copy), kOk);
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> place(-5, kSide + 5);
  std::vector<double> x;
  std::vector<double> y;
  for (CairoTarget* t : {image.get(), copy.get()}) ScreenPort().clipRect(3, 40, 6, 44, t);
  for (int k = 0; k < 40; ++k) {
    RandomConvex(&rng, 3 + k % 2, place(rng), place(rng), 4, &x, &y);
    const auto grey = static_cast<uint8_t>(rng() % 200);
    const PlotStyle face{kStyleFilled | kStyleSmooth, grey, grey, static_cast<uint8_t>(grey + 50),
                         0};
    for (CairoTarget* t : {image.get(), copy.get()}) {
      ScreenPort().drawPolyline(x.data(), y.data(), static_cast<int32_t>(x.size()), &face, t);
    }
  }
  // With the clip given back, a face in the corner outside it is drawn.
  const double cornerX[3] = {0, 5, 0};
  const double cornerY[3] = {0, 0, 5};
  const PlotStyle black{kStyleFilled | kStyleSmooth, 0, 0, 0, 0};
  for (CairoTarget* t : {image.get(), copy.get()}) {
    ScreenPort().restoreClip(t);
    ScreenPort().drawPolyline(cornerX, cornerY, 3, &black, t);
  }
  EXPECT_EQ(test::PixelAt(*image, 1, 1), 0u);
  std::string png;
  ASSERT_EQ(copy->PngText(&png), kOk);
  cairo_surface_t* drawn = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        auto* rest = static_cast<std::string*>(closure);
        if (rest->size() < length) return CAIRO_STATUS_READ_ERROR;
        std::copy_n(rest->begin(), length, data);
        rest->erase(0, length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  ASSERT_EQ(cairo_surface_status(drawn), CAIRO_STATUS_SUCCESS);
  const std::vector<uint32_t> own = test::Snapshot(*image);
  int32_t largest = 0;
  for (int32_t py = 0; py < kSide; ++py) {
    for (int32_t px = 0; px < kSide; ++px) {
      const uint32_t theirs = Load<uint32_t>(cairo_image_surface_get_data(drawn) +
                                             py * cairo_image_surface_get_stride(drawn) + px * 4);
      const uint32_t mine = own[static_cast<size_t>(py * kSide + px)];
      if ((px < 3 || px >= 40 || py < 6 || py >= 44) && px + py > 7) {
        ASSERT_EQ(mine, 0xFFFFFFu);
      }
      largest = std::max(largest, LargestDifference({mine}, {theirs & 0xFFFFFF}));
    }
  }
  cairo_surface_destroy(drawn);
  EXPECT_LE(largest, kEdgeShade);
}

}  // namespace
}  // namespace vke
