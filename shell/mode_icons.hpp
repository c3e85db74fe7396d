// The tool bar's pictures of the five figure modes, drawn with cairo as
// small vector pictures at the size the bar asks for: manipulate (a pointer
// at a point), zoom (a magnifier with a plus), zoom along x (a magnifier
// over a horizontal double arrow), drag (a four-way arrow) and select (a
// dashed rectangle with corner handles, as a selected subplot shows). The
// strokes take the ink of the bar's text, so that the icons read on light
// and dark themes alike; the details take one accent colour that stands out
// on both.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

namespace vke {

// In the order of the figure modes 1 to 5.
enum class ModeIcon { kManipulate, kZoom, kZoomX, kDrag, kSelect };
inline constexpr int kModeIconCount = 5;

// A colour with channels from 0 to 1.
struct IconInk {
  double red, green, blue;
};
// The details' colour: a mid blue, readable on light and dark bars.
inline constexpr IconInk kIconAccent{0.21, 0.52, 0.89};

// Draws the icon into the square from (0, 0) to (size, size) of the context.
void DrawModeIcon(cairo_t* c, ModeIcon icon, double size, const IconInk& ink);
// The icon at size x size pixels on a transparent ground: rows of straight
// (not premultiplied) red, green, blue and alpha bytes.
std::vector<uint8_t> ModeIconRgba(ModeIcon icon, int size, const IconInk& ink);

}  // namespace vke
