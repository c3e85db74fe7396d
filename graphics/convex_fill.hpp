// Anti-aliased fills of small convex polygons written straight into 32-bit
// xRGB pixel rows: the fast way of the many shaded faces of a 3-D plot onto
// an image target. Each pixel is blended toward the colour by the share of
// its area that the polygon covers, as cairo's own anti-aliased fills
// blend, within a clip box.
#pragma once

#include <cstdint>
#include <vector>

namespace vke {

// Most corners of a polygon the direct fill takes.
inline constexpr int32_t kMaxDirectCorners = 8;
// Corners farther from the origin are left to the caller.
inline constexpr double kDirectCoordLimit = 16777216;

// Pixels of an image: pixel (i, j) is the 32-bit word at data + j * stride +
// 4 * i and covers the unit square [i, i+1) x [j, j+1). Only pixels inside
// the clip box (right and bottom exclusive, within the image) are written.
struct PixelRows {
  uint8_t* data;
  int32_t stride;
  int32_t left, top, right, bottom;
};

// Fills the polygon of n corners (3..kMaxDirectCorners; convex, or at least
// not crossing itself, turning either way) with the opaque colour 0xRRGGBB.
// Collinear corners and a polygon without area are accepted (the latter
// draws nothing); false, and nothing drawn, for n out of range or a corner
// that is not finite or lies beyond +-kDirectCoordLimit, where the caller
// fills another way. scratch holds the coverage of one pixel row.
bool FillConvexPolygon(const PixelRows& rows, const double* x, const double* y, int32_t n,
                       uint32_t rgb, std::vector<float>* scratch);

}  // namespace vke
