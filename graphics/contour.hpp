// Contour lines of a matrix of heights over a rectangular grid: the natives
// contour and contour3 (each traced line becomes a polyline command, 1 in
// 2-D, 13 at the height of its level in 3-D), the follower that walks one
// line from cell to cell, and the header writer of a traced line.
//
// Grid point (i, j) lies at x = xmin + j dx, y = ymin + i dy. A line is
// walked so that the lower heights stay on its left; in fill mode a line
// that reaches the border goes on along it, clockwise, back to where it
// started, so that it encloses the heights at and above its level.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/plot_frame.hpp"

namespace vke {

// contour(z), contour(z, position), contour(z, position, levels),
// contour(z, position, levels, style); contour3 with flag kPlot3d.
ErrCode TraceContours(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);

struct ContourGrid {
  const double* z;  // m x n, row by row
  int32_t m;        // rows, along y
  int32_t n;        // columns, along x
  double xmin, xmax, ymin, ymax;
};

// Directions of travel: across a vertical cell edge toward more or fewer
// columns, across a horizontal one toward more or fewer rows.
enum ContourDirection : int32_t {
  kContourRight = 0,
  kContourUp = 1,
  kContourLeft = 2,
  kContourDown = 3,
};

// The points of one line.
struct ContourPoints {
  double* x;
  double* y;
  int32_t capacity;
  int32_t count;
  bool cut = false;  // a point did not fit
};

// Follows one line from the crossing on the start edge: the vertical edge
// (row, column)-(row + 1, column) for kContourRight and kContourLeft, the
// horizontal edge (row, column)-(row, column + 1) otherwise. Stops when the
// line closes on a visited edge (one byte per grid point: the vertical edge
// below it crossed toward more columns), leaves the grid (in fill mode:
// after closing along the border), enters a cell with a height that is no
// number, or the points are full. *direction is the last one travelled.
void ContourFollow(const ContourGrid& grid, double level, bool fill, int32_t row, int32_t column,
                   int32_t* direction, uint8_t* visited, ContourPoints* points);

// Writes the header of the line whose data run from *used + 6 to `end`
// (id and index -1, the style's word and colour) and takes it into the
// object.
void WriteContourHeader(std::byte* buffer, uint32_t* used, uint32_t end, int32_t code,
                        const PlotStyle& style);

}  // namespace vke
