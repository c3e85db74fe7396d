// Direct anti-aliased fills: the polygon is cut to the clip box, then, one
// pixel row at a time, each edge leaves the exact area it bounds within
// every pixel as differences in a row of cells; their running sum is the
// covered share of each pixel, which blends the colour over it.
#include "graphics/convex_fill.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vke {
namespace {

// The coverage of at most this many cells, in as many pixel rows, is
// gathered before the rows are blended.
constexpr int32_t kBandCells = 16384;
constexpr int32_t kMaxBandRows = 64;
// Pixels blended at a time.
constexpr int32_t kRunPixels = 256;
// Widths of the rows blended whole, without a branch per pixel.
constexpr int32_t kNarrowTile = 8;
constexpr int32_t kWideTile = 16;
// Room for the corners a cut to the clip box adds.
constexpr int32_t kMaxCutCorners = 2 * kMaxDirectCorners + 8;

struct Outline {
  int32_t n = 0;
  double x[kMaxCutCorners];
  double y[kMaxCutCorners];
};

// The part of `in` on the inner side of the line {x or y} = bound (at or
// above it when `lower`); false when the corners would not fit.
bool Cut(const Outline& in, bool onX, double bound, bool lower, Outline* out) {
  out->n = 0;
  const auto inside = [&](int32_t i) {
    const double v = onX ? in.x[i] : in.y[i];
    return lower ? v >= bound : v <= bound;
  };
  const auto add = [&](double x, double y) {
    if (out->n == kMaxCutCorners) return false;
    out->x[out->n] = x;
    out->y[out->n] = y;
    ++out->n;
    return true;
  };
  for (int32_t i = 0; i < in.n; ++i) {
    const int32_t j = i + 1 == in.n ? 0 : i + 1;
    const bool keepI = inside(i);
    if (keepI && !add(in.x[i], in.y[i])) return false;
    if (keepI == inside(j)) continue;
    // The crossing, placed exactly on the line.
    const double from = onX ? in.x[i] : in.y[i];
    const double to = onX ? in.x[j] : in.y[j];
    const double t = (bound - from) / (to - from);
    const double x = onX ? bound : in.x[i] + t * (in.x[j] - in.x[i]);
    const double y = onX ? in.y[i] + t * (in.y[j] - in.y[i]) : bound;
    if (!add(x, y)) return false;
  }
  return true;
}

// An edge that is not level, top end first; winding +1 when the outline
// runs down it.
struct Edge {
  double xTop, yTop, yBottom;
  double dxdy;
  float winding;
};

// Adds the area right of the edge's piece from (xa, ya) to (xb, yb) within
// one pixel row, in each cell from the cells' origin, times `d` (the
// piece's height with the edge's winding). Reads the cell of the running
// sum: cell c holds how much more of pixel c than of pixel c - 1 lies
// right of the piece. Extends [*lo, *hi] over the cells written.
void AddPiece(float* cells, double xa, double xb, double d, int32_t* lo, int32_t* hi) {
  // Both ends lie at or right of the cells' origin: truncation is floor.
  const double left = std::min(xa, xb);
  const double right = std::max(xa, xb);
  const auto first = static_cast<int32_t>(left);
  auto last = static_cast<int32_t>(right);
  if (last < right) ++last;
  *lo = std::min(*lo, first);
  if (last <= first + 1) {
    // Within one column: the share right of its mean position.
    const double mid = 0.5 * (xa + xb) - first;
    cells[first] += static_cast<float>(d * (1 - mid));
    cells[first + 1] += static_cast<float>(d * mid);
    *hi = std::max(*hi, first + 1);
    return;
  }
  // Across columns: triangles in the end columns, equal steps between.
  const double step = 1 / (right - left);
  const double inFirst = 1 - (left - first);
  const double firstArea = 0.5 * step * inFirst * inFirst;
  const double inLast = right - (last - 1);
  const double lastArea = 0.5 * step * inLast * inLast;
  cells[first] += static_cast<float>(d * firstArea);
  if (last == first + 2) {
    cells[first + 1] += static_cast<float>(d * (1 - firstArea - lastArea));
  } else {
    const double second = step * (inFirst + 0.5);
    cells[first + 1] += static_cast<float>(d * (second - firstArea));
    const auto middle = static_cast<float>(d * step);
    for (int32_t c = first + 2; c < last - 1; ++c) cells[c] += middle;
    const double beforeLast = second + (last - first - 3) * step;
    cells[last - 1] += static_cast<float>(d * (1 - beforeLast - lastArea));
  }
  cells[last] += static_cast<float>(d * lastArea);
  *hi = std::max(*hi, last);
}

// dst moved toward src by alpha / 255 in each byte, rounded to nearest.
uint32_t Blend(uint32_t src, uint32_t alpha, uint32_t dst) {
  const uint32_t rest = 255 - alpha;
  const auto lanes = [&](uint32_t s, uint32_t d) {
    const uint32_t t = (s & 0x00FF00FF) * alpha + (d & 0x00FF00FF) * rest + 0x00800080;
    return ((t + ((t >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
  };
  return lanes(src, dst) | (lanes(src >> 8, dst >> 8) << 8);
}

// Blends n pixels toward src, each by its share (0..255): four at a time in
// 16-bit lanes where the processor has them, without a branch per pixel.
void BlendRun(uint32_t src, const uint16_t* shares, uint32_t* pixels, int32_t n) {
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i full = _mm_set1_epi16(255);
  const __m128i half = _mm_set1_epi16(128);
  const __m128i colour = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int32_t>(src)), zero);
  // Two pixels' bytes in 16-bit lanes, each moved by its share.
  const auto blend = [&](__m128i dst, __m128i share) {
    const __m128i t = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(colour, share),
                                                  _mm_mullo_epi16(dst, _mm_sub_epi16(full, share))),
                                    half);
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
  };
  for (; i + 4 <= n; i += 4) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(shares + i));
    const __m128i pairs = _mm_unpacklo_epi16(a, a);
    const __m128i low = blend(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi32(pairs, pairs));
    const __m128i high = blend(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi32(pairs, pairs));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), _mm_packus_epi16(low, high));
  }
#endif
  for (; i < n; ++i) pixels[i] = Blend(src, shares[i], pixels[i]);
}

// The share (0..255) of a pixel whose cells add up to sum.
uint16_t Share(float sum) {
  return static_cast<uint16_t>(std::min(std::fabs(sum), 1.0f) * 255 + 0.5f);
}

// Blends the `width` pixels of a row by the running sum of their cells and
// clears the cells, the two past them included.
template <int32_t width>
void BlendTileRow(uint32_t src, float* cells, uint32_t* pixels) {
  uint16_t shares[width];
  float sum = 0;
  for (int32_t i = 0; i < width; ++i) {
    sum += cells[i];
    shares[i] = Share(sum);
  }
  std::fill(cells, cells + width + 2, 0.0f);
  BlendRun(src, shares, pixels, width);
}

}  // namespace

bool FillConvexPolygon(const PixelRows& rows, const double* x, const double* y, int32_t n,
                       uint32_t rgb, std::vector<float>* scratch) {
  if (n < 3 || n > kMaxDirectCorners) return false;
  Outline a;
  a.n = n;
  double minX = x[0];
  double maxX = x[0];
  double minY = y[0];
  double maxY = y[0];
  for (int32_t i = 0; i < n; ++i) {
    if (!(std::fabs(x[i]) <= kDirectCoordLimit && std::fabs(y[i]) <= kDirectCoordLimit)) {
      return false;
    }
    a.x[i] = x[i];
    a.y[i] = y[i];
    minX = std::min(minX, x[i]);
    maxX = std::max(maxX, x[i]);
    minY = std::min(minY, y[i]);
    maxY = std::max(maxY, y[i]);
  }
  if (rows.right <= rows.left || rows.bottom <= rows.top) return true;
  if (maxX <= rows.left || minX >= rows.right || maxY <= rows.top || minY >= rows.bottom) {
    return true;
  }
  if (minX < rows.left || maxX > rows.right || minY < rows.top || maxY > rows.bottom) {
    Outline b;
    if (!Cut(a, true, rows.left, true, &b) || !Cut(b, true, rows.right, false, &a) ||
        !Cut(a, false, rows.top, true, &b) || !Cut(b, false, rows.bottom, false, &a)) {
      return false;
    }
    if (a.n < 3) return true;
    const auto [lowX, highX] = std::minmax_element(a.x, a.x + a.n);
    const auto [lowY, highY] = std::minmax_element(a.y, a.y + a.n);
    minX = *lowX;
    maxX = *highX;
    minY = *lowY;
    maxY = *highY;
  }

  Edge edges[kMaxCutCorners];
  int32_t edgeCount = 0;
  for (int32_t i = 0; i < a.n; ++i) {
    const int32_t j = i + 1 == a.n ? 0 : i + 1;
    if (a.y[i] == a.y[j]) continue;
    const bool down = a.y[i] < a.y[j];
    const int32_t top = down ? i : j;
    const int32_t bottom = down ? j : i;
    edges[edgeCount++] =
        Edge{a.x[top], a.y[top], a.y[bottom], (a.x[bottom] - a.x[top]) / (a.y[bottom] - a.y[top]),
             down ? 1.0f : -1.0f};
  }
  // A narrow outline is blended a fixed width at a time from a column that
  // keeps that width inside the clip: the pixels it does not cover take a
  // share of nothing and stay as they are.
  const auto left = static_cast<int32_t>(std::floor(minX));
  const auto right = static_cast<int32_t>(std::ceil(maxX));
  const int32_t clipWidth = rows.right - rows.left;
  const int32_t tile = right - left <= kNarrowTile && clipWidth >= kNarrowTile ? kNarrowTile
                       : right - left <= kWideTile && clipWidth >= kWideTile   ? kWideTile
                                                                               : 0;
  const int32_t originX = tile != 0 ? std::min(left, rows.right - tile) : left;
  const int32_t pitch = (tile != 0 ? tile : right - originX) + 2;
  const auto firstRow = static_cast<int32_t>(std::floor(minY));
  const auto endRow = static_cast<int32_t>(std::ceil(maxY));
  const int32_t bandRows = std::clamp(kBandCells / pitch, 1, kMaxBandRows);
  const auto cellCount = static_cast<size_t>(bandRows) * static_cast<size_t>(pitch);
  if (scratch->size() < cellCount) scratch->resize(cellCount, 0.0f);
  const uint32_t src = 0xFF000000u | (rgb & 0xFFFFFFu);
  uint16_t shares[kRunPixels];

  for (int32_t bandTop = firstRow; bandTop < endRow; bandTop += bandRows) {
    const int32_t bandEnd = std::min(endRow, bandTop + bandRows);
    int32_t lo[kMaxBandRows];
    int32_t hi[kMaxBandRows];
    std::fill(lo, lo + (bandEnd - bandTop), INT32_MAX);
    std::fill(hi, hi + (bandEnd - bandTop), INT32_MIN);
    // Each edge leaves its pieces in the rows it crosses.
    for (int32_t k = 0; k < edgeCount; ++k) {
      const Edge& e = edges[k];
      const double from = std::max<double>(e.yTop, bandTop);
      const double to = std::min<double>(e.yBottom, bandEnd);
      if (from >= to) continue;
      for (auto row = static_cast<int32_t>(from); row < to; ++row) {
        const double ya = std::max<double>(row, e.yTop);
        const double yb = std::min<double>(row + 1, e.yBottom);
        const double xa = e.xTop + (ya - e.yTop) * e.dxdy;
        const double xb = e.xTop + (yb - e.yTop) * e.dxdy;
        const int32_t r = row - bandTop;
        // Kept within the outline's columns whatever the rounding.
        AddPiece(scratch->data() + static_cast<size_t>(r) * static_cast<size_t>(pitch),
                 std::clamp(xa, minX, maxX) - originX, std::clamp(xb, minX, maxX) - originX,
                 e.winding * (yb - ya), &lo[r], &hi[r]);
      }
    }
    for (int32_t r = 0; r < bandEnd - bandTop; ++r) {
      float* cells = scratch->data() + static_cast<size_t>(r) * static_cast<size_t>(pitch);
      auto* pixel = reinterpret_cast<uint32_t*>(
                        rows.data + static_cast<std::ptrdiff_t>(bandTop + r) * rows.stride) +
                    originX;
      if (tile == kNarrowTile) {
        BlendTileRow<kNarrowTile>(src, cells, pixel);
        continue;
      }
      if (tile == kWideTile) {
        BlendTileRow<kWideTile>(src, cells, pixel);
        continue;
      }
      if (lo[r] > hi[r]) continue;
      // Past the last cell written the sum is back to nothing.
      const int32_t end = std::min(hi[r], rows.right - originX);
      // The covered share of each pixel, then the blends, a run at a time.
      float sum = 0;
      for (int32_t from = lo[r]; from < end; from += kRunPixels) {
        const int32_t count = std::min(kRunPixels, end - from);
        for (int32_t i = 0; i < count; ++i) {
          sum += cells[from + i];
          cells[from + i] = 0;
          shares[i] = Share(sum);
        }
        BlendRun(src, shares, pixel + from, count);
      }
      for (int32_t c = end; c <= hi[r]; ++c) cells[c] = 0;
    }
  }
  return true;
}

}  // namespace vke
