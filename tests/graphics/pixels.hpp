// Test helpers for image targets: reading pixels, comparing regions and
// collecting the pixels that differ from white.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "engine/errors/errors.hpp"
#include "graphics/cairo_target.hpp"

namespace vke::test {

inline std::unique_ptr<CairoTarget> NewImage(int32_t width = 64, int32_t height = 64) {
  std::unique_ptr<CairoTarget> t;
  EXPECT_EQ(CairoTarget::CreateImage(width, height, &t), kOk);
  return t;
}

// 0xRRGGBB of one pixel.
inline uint32_t PixelAt(CairoTarget& t, int32_t x, int32_t y) {
  cairo_surface_flush(t.surface());
  const unsigned char* data = cairo_image_surface_get_data(t.surface());
  const int stride = cairo_image_surface_get_stride(t.surface());
  return Load<uint32_t>(data + y * stride + x * 4) & 0xFFFFFF;
}

// All pixels, row by row.
inline std::vector<uint32_t> Snapshot(CairoTarget& t) {
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < t.height(); ++y) {
    for (int32_t x = 0; x < t.width(); ++x) pixels.push_back(PixelAt(t, x, y));
  }
  return pixels;
}

using PixelSet = std::set<std::pair<int32_t, int32_t>>;

// The (x, y) of every pixel that is not white.
inline PixelSet Ink(CairoTarget& t) {
  PixelSet ink;
  for (int32_t y = 0; y < t.height(); ++y) {
    for (int32_t x = 0; x < t.width(); ++x) {
      if (PixelAt(t, x, y) != 0xFFFFFF) ink.insert({x, y});
    }
  }
  return ink;
}

struct Box {
  int32_t left, top, right, bottom;  // inclusive
};

// Bounding box of the ink; left > right when there is none.
inline Box InkBox(CairoTarget& t) {
  Box box{t.width(), t.height(), -1, -1};
  for (const auto& [x, y] : Ink(t)) {
    box.left = std::min(box.left, x);
    box.right = std::max(box.right, x);
    box.top = std::min(box.top, y);
    box.bottom = std::max(box.bottom, y);
  }
  return box;
}

}  // namespace vke::test
