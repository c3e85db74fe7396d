// The walk of one contour line through the cells of the grid, its closing
// along the border in fill mode, and the header of a traced line.
#include <algorithm>
#include <cmath>

#include "graphics/contour.hpp"

namespace vke {
namespace {

// Corners of a cell (ci, cj), counter-clockwise from its lowest: (ci, cj),
// (ci, cj + 1), (ci + 1, cj + 1), (ci + 1, cj). Edge k joins corners k and
// k + 1: 0 below, 1 right, 2 above, 3 left.
constexpr int32_t kCornerRow[4] = {0, 0, 1, 1};
constexpr int32_t kCornerColumn[4] = {0, 1, 1, 0};
// The edge of the cell through which each direction enters it.
constexpr int32_t kEntryEdge[4] = {3, 0, 1, 2};

struct Tracer {
  const ContourGrid& g;
  double level;
  double dx;
  double dy;

  double Z(int32_t i, int32_t j) const { return g.z[int64_t{i} * g.n + j]; }

  // The fraction of the way from height za to zb at which the level lies.
  double Fraction(double za, double zb) const {
    if (za == level || zb == za) return 0;
    const double t = (level - za) / (zb - za);
    return t >= 0 ? std::min(t, 1.0) : 0;
  }

  static bool Horizontal(int32_t direction) {
    return direction == kContourUp || direction == kContourDown;
  }

  // The crossing on the edge at (row, column) that `direction` crosses.
  void Crossing(int32_t row, int32_t column, int32_t direction, double* x, double* y,
                double* t) const {
    if (Horizontal(direction)) {
      *t = Fraction(Z(row, column), Z(row, column + 1));
      *x = g.xmin + (column + *t) * dx;
      *y = g.ymin + row * dy;
    } else {
      *t = Fraction(Z(row, column), Z(row + 1, column));
      *x = g.xmin + column * dx;
      *y = g.ymin + (row + *t) * dy;
    }
  }

  // Whether the edge lies on the grid's border.
  bool OnBorder(int32_t row, int32_t column, bool horizontal) const {
    return horizontal ? row == 0 || row == g.m - 1 : column == 0 || column == g.n - 1;
  }

  // Position along the border, clockwise from grid point (0, 0): up the
  // first column, along the last row, down the last column, back along the
  // first row; in grid steps.
  double BorderPosition(int32_t row, int32_t column, bool horizontal, double t) const {
    const double up = g.m - 1;
    const double across = g.n - 1;
    if (horizontal) {
      return row == g.m - 1 ? up + column + t : 2 * up + across + (across - column - t);
    }
    return column == 0 ? row + t : up + across + (up - row - t);
  }

  // Goes clockwise along the border from position `from` to the line's
  // start at position `to`, adding the grid corners passed and the start.
  void CloseAlongBorder(double from, double to, double startX, double startY,
                        ContourPoints* p) const {
    const double up = g.m - 1;
    const double across = g.n - 1;
    const double perimeter = 2 * (up + across);
    const double corners[4] = {0, up, up + across, 2 * up + across};
    const int32_t cornerRow[4] = {0, g.m - 1, g.m - 1, 0};
    const int32_t cornerColumn[4] = {0, 0, g.n - 1, g.n - 1};
    const auto ahead = [&](double s) { return std::fmod(s - from + 2 * perimeter, perimeter); };
    const double end = ahead(to);
    int32_t order[4] = {0, 1, 2, 3};
    std::sort(order, order + 4,
              [&](int32_t a, int32_t b) { return ahead(corners[a]) < ahead(corners[b]); });
    for (int32_t k : order) {
      const double d = ahead(corners[k]);
      if (d <= 0 || d >= end) continue;
      if (!Add(p, g.xmin + cornerColumn[k] * dx, g.ymin + cornerRow[k] * dy)) return;
    }
    Add(p, startX, startY);
  }

  static bool Add(ContourPoints* p, double x, double y) {
    if (p->count >= p->capacity) {
      p->cut = true;
      return false;
    }
    p->x[p->count] = x;
    p->y[p->count] = y;
    ++p->count;
    return true;
  }
};

}  // namespace

void ContourFollow(const ContourGrid& grid, double level, bool fill, int32_t row, int32_t column,
                   int32_t* direction, uint8_t* visited, ContourPoints* points) {
  const Tracer tr{grid, level, (grid.xmax - grid.xmin) / (grid.n - 1),
                  (grid.ymax - grid.ymin) / (grid.m - 1)};
  int32_t dir = *direction;
  double x;
  double y;
  double t;
  tr.Crossing(row, column, dir, &x, &y, &t);
  const bool startOnBorder = tr.OnBorder(row, column, Tracer::Horizontal(dir));
  const double start =
      startOnBorder ? tr.BorderPosition(row, column, Tracer::Horizontal(dir), t) : 0;
  const double startX = x;
  const double startY = y;
  if (!Tracer::Add(points, x, y)) return;
  if (dir == kContourRight) visited[int64_t{row} * grid.n + column] = 1;
  // Each edge is crossed at most once per line; the bound only guards the
  // walk.
  const int64_t steps = 2 * int64_t{grid.m} * grid.n + 8;
  for (int64_t step = 0; step < steps; ++step) {
    int32_t ci = row;
    int32_t cj = column;
    if (dir == kContourLeft) --cj;
    if (dir == kContourDown) --ci;
    if (ci < 0 || cj < 0 || ci > grid.m - 2 || cj > grid.n - 2) {
      if (fill && startOnBorder) {
        tr.CloseAlongBorder(tr.BorderPosition(row, column, Tracer::Horizontal(dir), t), start,
                            startX, startY, points);
      }
      break;
    }
    bool high[4];
    bool numbers = true;
    for (int32_t k = 0; k < 4; ++k) {
      const double z = tr.Z(ci + kCornerRow[k], cj + kCornerColumn[k]);
      numbers = numbers && !std::isnan(z);
      high[k] = z >= level;
    }
    if (!numbers) break;
    // Out through the first edge, turning left from the entry, whose
    // corners lie on both sides of the level.
    const int32_t entry = kEntryEdge[dir];
    int32_t exit = -1;
    for (int32_t d = 1; d <= 3 && exit < 0; ++d) {
      const int32_t k = (entry - d + 4) % 4;
      if (high[k] != high[(k + 1) % 4]) exit = k;
    }
    if (exit < 0) break;
    switch (exit) {
      case 0:
        row = ci, column = cj, dir = kContourDown;
        break;
      case 1:
        row = ci, column = cj + 1, dir = kContourRight;
        break;
      case 2:
        row = ci + 1, column = cj, dir = kContourUp;
        break;
      default:
        row = ci, column = cj, dir = kContourLeft;
        break;
    }
    tr.Crossing(row, column, dir, &x, &y, &t);
    if (!Tracer::Add(points, x, y)) break;
    if (dir == kContourRight) {
      uint8_t& seen = visited[int64_t{row} * grid.n + column];
      if (seen) break;
      seen = 1;
    }
  }
  *direction = dir;
}

void WriteContourHeader(std::byte* buffer, uint32_t* used, uint32_t end, int32_t code,
                        const PlotStyle& style) {
  WriteCommandHeader(buffer + size_t{*used} * 8,
                     {code, -1, -1, style.flags, StyleColour(style),
                      static_cast<int32_t>(end - *used - kCommandHeaderDoubles)});
  *used = end;
}

}  // namespace vke
