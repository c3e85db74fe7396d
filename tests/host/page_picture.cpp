// Pictures of printed pages: reading, pixel tests, blobs, frame lines and
// the comparison of two pictures by their neighbourhoods' mean colours.
#include "tests/host/page_picture.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace vke::test {

Picture::Picture(const std::string& path)
    : surface_(cairo_image_surface_create_from_png(path.c_str())) {}

Picture::Picture(cairo_surface_t* image) : surface_(cairo_surface_reference(image)) {
  cairo_surface_flush(surface_);
}

Picture::Picture(const unsigned char* rgb, int width, int height)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)) {
  if (!ok()) return;
  unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = rgb + 3 * (static_cast<size_t>(y) * width + x);
      row[x] = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
  }
  cairo_surface_mark_dirty(surface_);
}

Picture::~Picture() {
  cairo_surface_destroy(surface_);
}

bool Picture::ok() const {
  return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
}
int Picture::width() const {
  return ok() ? cairo_image_surface_get_width(surface_) : 0;
}
int Picture::height() const {
  return ok() ? cairo_image_surface_get_height(surface_) : 0;
}
uint32_t Picture::At(int x, int y) const {
  const unsigned char* row =
      cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
  uint32_t pixel;
  std::memcpy(&pixel, row + 4 * x, 4);
  return pixel & 0xFFFFFF;
}

bool Ink(uint32_t p) {
  return std::min({Red(p), Green(p), Blue(p)}) < 235;
}
bool Dark(uint32_t p) {
  return std::max({Red(p), Green(p), Blue(p)}) < 128;
}
bool Reddish(uint32_t p) {
  return Red(p) > 160 && Green(p) < 110 && Blue(p) < 110;
}

void Box::Add(int x, int y) {
  left = std::min(left, x);
  right = std::max(right, x);
  top = std::min(top, y);
  bottom = std::max(bottom, y);
}

Box BoxOf(const Picture& p, PixelTest test) {
  Box box;
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x)
      if (test(p.At(x, y))) box.Add(x, y);
  return box;
}

std::vector<Box> Blobs(const Picture& p, PixelTest test) {
  const int w = p.width();
  std::vector<char> seen(static_cast<size_t>(w) * p.height(), 0);
  const auto visit = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= w || y >= p.height()) return false;
    char& s = seen[static_cast<size_t>(y) * w + x];
    if (s || !test(p.At(x, y))) return false;
    s = 1;
    return true;
  };
  std::vector<Box> blobs;
  for (int y0 = 0; y0 < p.height(); ++y0) {
    for (int x0 = 0; x0 < w; ++x0) {
      if (!visit(x0, y0)) continue;
      Box box;
      std::vector<std::pair<int, int>> stack{{x0, y0}};
      while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        box.Add(x, y);
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (visit(x + dx, y + dy)) stack.emplace_back(x + dx, y + dy);
      }
      blobs.push_back(box);
    }
  }
  return blobs;
}

std::vector<Box> Markers(const Picture& p) {
  constexpr int kGap = 3;
  std::vector<Box> markers;
  for (const Box& b : Blobs(p, Reddish)) {
    bool joined = false;
    for (Box& m : markers) {
      if (b.left <= m.right + kGap && m.left <= b.right + kGap && b.top <= m.bottom + kGap &&
          m.top <= b.bottom + kGap) {
        m.Add(b.left, b.top);
        m.Add(b.right, b.bottom);
        joined = true;
        break;
      }
    }
    if (!joined) markers.push_back(b);
  }
  return markers;
}

std::vector<int> FrameLines(const Picture& p, bool vertical, double margin) {
  std::vector<int> lines;
  const int along = vertical ? p.height() : p.width();
  const int across = vertical ? p.width() : p.height();
  for (int k = 0; k < across; ++k) {
    int dark = 0;
    for (int i = 0; i < along; ++i) dark += Dark(vertical ? p.At(k, i) : p.At(i, k));
    if (dark >= 0.5 * (along - 2 * margin)) lines.push_back(k);
  }
  return lines;
}

namespace {

// The mean of each colour channel over the square of pixels within r of
// each pixel (cut at the edges), from sums over the rectangles from the
// picture's corner.
class BoxMeans {
 public:
  BoxMeans(const Picture& p, int r) : w_(p.width()), h_(p.height()), r_(r) {
    for (auto& sums : sums_) sums.assign(static_cast<size_t>(w_ + 1) * (h_ + 1), 0);
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_; ++x) {
        const uint32_t pixel = p.At(x, y);
        const int values[3] = {Red(pixel), Green(pixel), Blue(pixel)};
        for (int c = 0; c < 3; ++c) {
          Sum(c, x + 1, y + 1) = values[c] + Sum(c, x, y + 1) + Sum(c, x + 1, y) - Sum(c, x, y);
        }
      }
    }
  }
  double At(int x, int y, int c) const {
    const int x0 = std::max(0, x - r_);
    const int y0 = std::max(0, y - r_);
    const int x1 = std::min(w_, x + r_ + 1);
    const int y1 = std::min(h_, y + r_ + 1);
    const double total =
        static_cast<double>(Sum(c, x1, y1) - Sum(c, x0, y1) - Sum(c, x1, y0) + Sum(c, x0, y0));
    return total / ((x1 - x0) * (y1 - y0));
  }

 private:
  int64_t& Sum(int c, int x, int y) { return sums_[c][static_cast<size_t>(y) * (w_ + 1) + x]; }
  int64_t Sum(int c, int x, int y) const { return sums_[c][static_cast<size_t>(y) * (w_ + 1) + x]; }

  int w_;
  int h_;
  int r_;
  std::vector<int64_t> sums_[3];
};

}  // namespace

int DifferingPixels(const Picture& a, const Picture& b, int* drawn) {
  constexpr int kRadius = 2;
  constexpr double kShade = 40;
  *drawn = 0;
  if (a.width() != b.width() || a.height() != b.height()) return a.width() * a.height();
  const BoxMeans meansA(a, kRadius);
  const BoxMeans meansB(b, kRadius);
  int differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const uint32_t pa = a.At(x, y);
      const uint32_t pb = b.At(x, y);
      *drawn += Dark(pa) || Dark(pb) || Reddish(pa) || Reddish(pb);
      bool apart = false;
      for (int c = 0; c < 3; ++c)
        apart |= std::fabs(meansA.At(x, y, c) - meansB.At(x, y, c)) > kShade;
      differing += apart;
    }
  }
  return differing;
}

}  // namespace vke::test
