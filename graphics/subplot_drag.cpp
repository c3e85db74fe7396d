// Moving and resizing subplots with the mouse: grid shifts and free-layout
// snapping.
#include "graphics/subplot_drag.hpp"

#include <algorithm>
#include <cmath>

#include "graphics/mouse_tools.hpp"

namespace vke {
namespace {

bool Has(uint32_t mask, int32_t cell) {
  return cell >= 0 && cell < 32 && ((mask >> cell) & 1u) != 0;
}

// The cell (r, c) when it lies inside the grid, else -1.
int32_t CellAt(int32_t rows, int32_t columns, int32_t r, int32_t c) {
  return r >= 0 && r < rows && c >= 0 && c < columns ? r * columns + c : -1;
}

double Snap(double value, double step) {
  return step > 0 ? std::floor(value / step + 0.5) * step : value;
}

// One axis of a drag: the near edge moves (with the far one when both
// move), or the far edge alone moves; d is +1 when the axis runs from near
// to far in value, else -1.
void DragAxis(double nearEdge, double farEdge, bool nearMoves, bool farMoves, double delta,
              double step, double minSize, double d, double* outNear, double* outFar) {
  *outNear = nearEdge;
  *outFar = farEdge;
  if (nearMoves) {
    const double moved = Snap(nearEdge + delta, step);
    *outNear = moved;
    if (farMoves) {
      *outFar = farEdge + (moved - nearEdge);
    } else if (d * (farEdge - moved) < minSize) {
      *outNear = farEdge - d * minSize;
    }
  } else if (farMoves) {
    double size = Snap(farEdge - nearEdge + delta, step);
    if (d * size < minSize) size = d * minSize;
    *outFar = nearEdge + size;
  }
}

}  // namespace

void ClampSelectionShift(uint32_t mask, int32_t rows, int32_t columns, int32_t* dc, int32_t* dr) {
  int32_t minR = rows, maxR = -1, minC = columns, maxC = -1;
  for (int32_t cell = 0; cell < rows * columns && cell < 32; ++cell) {
    if (!Has(mask, cell)) continue;
    minR = std::min(minR, cell / columns);
    maxR = std::max(maxR, cell / columns);
    minC = std::min(minC, cell % columns);
    maxC = std::max(maxC, cell % columns);
  }
  if (maxR < 0) {
    *dc = *dr = 0;
    return;
  }
  *dc = std::clamp(*dc, -minC, columns - 1 - maxC);
  *dr = std::clamp(*dr, -minR, rows - 1 - maxR);
}

uint32_t ShiftCellMask(uint32_t mask, int32_t rows, int32_t columns, int32_t dc, int32_t dr) {
  uint32_t out = 0;
  for (int32_t cell = 0; cell < rows * columns && cell < 32; ++cell) {
    if (!Has(mask, cell)) continue;
    const int32_t to = CellAt(rows, columns, cell / columns + dr, cell % columns + dc);
    if (to >= 0 && to < 32) out |= 1u << to;
  }
  return out;
}

void MoveSourceCells(uint32_t mask, int32_t rows, int32_t columns, int32_t dc, int32_t dr,
                     bool keep, int32_t* source) {
  const int32_t n = rows * columns;
  // A displaced plot: a cell the move covers that was not moved itself.
  const auto displaced = [&](int32_t cell) {
    return !Has(mask, cell) &&
           Has(mask, CellAt(rows, columns, cell / columns - dr, cell % columns - dc));
  };
  int32_t cursor = 0;
  for (int32_t cell = 0; cell < n; ++cell) {
    const int32_t from = CellAt(rows, columns, cell / columns - dr, cell % columns - dc);
    source[cell] = cell;
    if (Has(mask, from)) {
      source[cell] = from;
    } else if (!keep && Has(mask, cell)) {
      while (cursor < n && !displaced(cursor)) ++cursor;
      if (cursor < n) source[cell] = cursor++;
    }
  }
}

void DragSubplotPosition(const double p[4], int32_t corner, double dx, double dy, double step,
                         double minWidth, double minHeight, bool yDown, double out[4]) {
  const bool all = corner == kCornerNone;
  const bool left = all || corner == kCornerTopLeft || corner == kCornerBottomLeft;
  const bool right = all || corner == kCornerTopRight || corner == kCornerBottomRight;
  const bool top = all || corner == kCornerTopLeft || corner == kCornerTopRight;
  const bool bottom = all || corner == kCornerBottomLeft || corner == kCornerBottomRight;
  DragAxis(p[kLeft], p[kRight], left, right, dx, step, minWidth, 1, &out[kLeft], &out[kRight]);
  DragAxis(p[kTop], p[kBottom], top, bottom, dy, step, minHeight, yDown ? 1 : -1, &out[kTop],
           &out[kBottom]);
}

}  // namespace vke
