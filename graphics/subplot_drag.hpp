// The rules of moving and resizing subplots with the mouse in Select mode:
// in a grid, how far a selection may shift and which cell's plot each cell
// shows afterwards; in a free layout, where a dragged edge or corner lands
// on the port's grid.
#pragma once

#include <cstdint>

#include "graphics/figure_state.hpp"

namespace vke {

// Clamps a column and row shift so that every cell of the mask (bit
// row x columns + column) stays inside the grid.
void ClampSelectionShift(uint32_t mask, int32_t rows, int32_t columns, int32_t* dc, int32_t* dr);

// The mask with every cell moved by the shift (cells that leave the grid
// are dropped).
uint32_t ShiftCellMask(uint32_t mask, int32_t rows, int32_t columns, int32_t dc, int32_t dr);

// For each of the rows x columns cells, in row-major order, the cell whose
// plot it shows after the cells of the mask moved by (dc, dr): a moved
// cell's source; without keep, a vacated cell takes the next plot the move
// displaced (one running cursor over the grid); any other cell keeps its
// own. `source` holds rows x columns entries.
void MoveSourceCells(uint32_t mask, int32_t rows, int32_t columns, int32_t dc, int32_t dr,
                     bool keep, int32_t* source);

// The position (left, right, top, bottom) of a subplot after a drag of
// (dx, dy) pixels on a corner (ResizeCorner; 0 moves the whole rectangle).
// A moving left or top edge lands on a multiple of the grid step (rounded
// half up), a right or bottom edge moving alone makes the width or height a
// multiple; no step (0 or less) leaves them unsnapped. A width or height
// below the minimum is held at the minimum; yDown tells which way the
// height runs.
void DragSubplotPosition(const double position[4], int32_t corner, double dx, double dy,
                         double step, double minWidth, double minHeight, bool yDown, double out[4]);

}  // namespace vke
