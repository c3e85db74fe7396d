// Moving subplots with the mouse: how far a grid selection may shift, which
// plot each cell shows after the move, and free-layout edges on the grid.
#include "graphics/subplot_drag.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "graphics/mouse_tools.hpp"

namespace vke {
namespace {

std::vector<int32_t> Sources(uint32_t mask, int32_t rows, int32_t columns, int32_t dc, int32_t dr,
                             bool keep) {
  std::vector<int32_t> source(static_cast<size_t>(rows * columns));
  MoveSourceCells(mask, rows, columns, dc, dr, keep, source.data());
  return source;
}

TEST(GridMove, DisplacedPlotsFillTheCellsLeftUnlessShiftKeepsThem) {
  // Cells 0 and 1 of a 2 x 3 grid one column right: cell 2's plot is
  // displaced into cell 0.
  EXPECT_EQ(Sources(0b11, 2, 3, 1, 0, false), (std::vector<int32_t>{2, 0, 1, 3, 4, 5}));
  EXPECT_EQ(Sources(0b11, 2, 3, 1, 0, true), (std::vector<int32_t>{0, 0, 1, 3, 4, 5}));
  // Two cells of a column down one row: the displaced plots fill the top
  // cells in grid order.
  EXPECT_EQ(Sources(0b1001, 3, 3, 0, 1, false), (std::vector<int32_t>{6, 1, 2, 0, 4, 5, 3, 7, 8}));
  // No shift: every cell keeps its plot.
  EXPECT_EQ(Sources(0b11, 2, 3, 0, 0, false), (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
}

TEST(GridMove, ShiftsAreClampedToTheGrid) {
  int32_t dc = 3, dr = 1;
  ClampSelectionShift(0b110, 2, 3, &dc, &dr);  // cells 1 and 2 of row 0
  EXPECT_EQ(dc, 0);
  EXPECT_EQ(dr, 1);
  dc = -3;
  dr = -2;
  ClampSelectionShift(0b110, 2, 3, &dc, &dr);
  EXPECT_EQ(dc, -1);
  EXPECT_EQ(dr, 0);
  dc = dr = 5;
  ClampSelectionShift(0, 2, 3, &dc, &dr);
  EXPECT_EQ(dc, 0);
  EXPECT_EQ(dr, 0);
  EXPECT_EQ(ShiftCellMask(0b110, 2, 3, -1, 1), 0b011000u);
  EXPECT_EQ(ShiftCellMask(0b100, 2, 3, 1, 0), 0u);  // off the grid
}

TEST(FreeLayoutDrag, EdgesLandOnTheGridAndKeepTheMinimumSize) {
  const double p[4] = {12, 112, 20, 80};  // left, right, top, bottom
  double out[4];
  // A move snaps the left and top edges; the others follow.
  DragSubplotPosition(p, kCornerNone, 7, 4.9, 10, 20, 20, true, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{20, 120, 20, 80}));
  DragSubplotPosition(p, kCornerNone, 2.9, 5, 10, 20, 20, true, out);  // half rounds up
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{10, 110, 30, 90}));
  // The bottom-right corner snaps the width and height instead.
  DragSubplotPosition(p, kCornerBottomRight, 14, -3, 10, 20, 20, true, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{12, 122, 20, 80}));
  // Edges never make the subplot smaller than its margins.
  DragSubplotPosition(p, kCornerTopLeft, 200, 100, 10, 30, 25, true, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{82, 112, 55, 80}));
  DragSubplotPosition(p, kCornerBottomRight, -200, -100, 10, 30, 25, true, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{12, 42, 20, 45}));
  // With y up the height runs from top down to bottom.
  const double up[4] = {0, 100, 80, 20};
  DragSubplotPosition(up, kCornerBottomLeft, 0, 100, 0, 10, 15, false, out);
  EXPECT_EQ(out[kBottom], 65);
  // No grid step: the edges follow the pointer exactly.
  DragSubplotPosition(p, kCornerTopRight, 0.25, 0.5, 0, 1, 1, true, out);
  EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{12, 112.25, 20.5, 80}));
}

}  // namespace
}  // namespace vke
