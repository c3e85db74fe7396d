// Pictures of printed pages for the tests that check them: a PNG (a page
// rasterised by pdftoppm) or a bitmap read as 0xRRGGBB pixels, the boxes of
// the pixels that pass a test, the figure's frame and red markers found on
// it, and two pictures compared but for their rasterisers' anti-aliasing.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vke::test {

class Picture {
 public:
  // Read from a PNG file.
  explicit Picture(const std::string& path);
  // The pixels of an image surface (RGB24 or ARGB32), shared with it.
  explicit Picture(cairo_surface_t* image);
  // width x height pixels of three bytes each, row by row (a toolkit image).
  Picture(const unsigned char* rgb, int width, int height);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  bool ok() const;
  int width() const;
  int height() const;
  uint32_t At(int x, int y) const;

 private:
  cairo_surface_t* surface_;
};

inline int Red(uint32_t p) {
  return static_cast<int>(p >> 16 & 0xFF);
}
inline int Green(uint32_t p) {
  return static_cast<int>(p >> 8 & 0xFF);
}
inline int Blue(uint32_t p) {
  return static_cast<int>(p & 0xFF);
}
// Any ink at all: a shade off white.
bool Ink(uint32_t p);
// Dark grey to black: the frame, ticks and labels.
bool Dark(uint32_t p);
// The markers' red.
bool Reddish(uint32_t p);

struct Box {
  int left = 1 << 30;
  int top = 1 << 30;
  int right = -1;
  int bottom = -1;
  void Add(int x, int y);
  bool empty() const { return right < 0; }
};

using PixelTest = bool (*)(uint32_t);
// The box of every pixel that passes the test.
Box BoxOf(const Picture& p, PixelTest test);
// The 8-connected groups of pixels that pass the test, as boxes.
std::vector<Box> Blobs(const Picture& p, PixelTest test);
// The red markers: groups of red pixels, those less than a few pixels apart
// (the pieces of an anti-aliased ring) taken as one.
std::vector<Box> Markers(const Picture& p);
// Columns (vertical) or rows whose dark pixels fill at least half the
// picture's other side less the margins at both ends: the frame's edges.
std::vector<int> FrameLines(const Picture& p, bool vertical, double margin);

// Pixels where two pictures of one size differ but for their rasterisers'
// anti-aliasing (poppler snaps a thin line to whole pixels where cairo
// spreads it over two, and hints glyphs): the colours averaged over each
// pixel's 5 x 5 neighbourhood are more than a light shade apart. *drawn
// counts the pixels dark or red in either.
int DifferingPixels(const Picture& a, const Picture& b, int* drawn);

}  // namespace vke::test
