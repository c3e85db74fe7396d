// Layout of a figure's subplots: the grid and its changes, the cell
// rectangles, selection lookups, and the reordering and deletion of
// free-layout subplots.
#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/errors/errors.hpp"
#include "graphics/figure_state.hpp"

namespace vke {

namespace {

int32_t MaxSubplots(const FigureState& fig) {
  return std::clamp(fig.maxSubplots, 1, kMaxSubplots);
}

bool Selected(const FigureState& fig, int32_t k) {
  return (fig.selection >> k) & 1u;
}

// Moves subplot `from` (record and springs) to index `to`.
void MoveSubplot(FigureState* fig, int32_t from, int32_t to) {
  if (from == to) return;
  fig->subplots[to] = fig->subplots[from];
  fig->springs[to] = fig->springs[from];
}

void SwapSubplots(FigureState* fig, int32_t a, int32_t b) {
  std::swap(fig->subplots[a], fig->subplots[b]);
  std::swap(fig->springs[a], fig->springs[b]);
  uint32_t bits = (1u << a) | (1u << b);
  if (Selected(*fig, a) != Selected(*fig, b)) fig->selection ^= bits;
}

// Free layout keeps one column of rows x columns subplots.
int32_t MakeOneColumn(FigureState* fig) {
  int32_t n = ActiveSubplotCount(*fig);
  fig->rows = n;
  fig->columns = 1;
  return n;
}

// Moves the subplots of the old grid to their row and column in the new
// one; cells without an old subplot become empty. Walks backward when the
// rows get longer, so that no record is overwritten before it moved.
void KeepRowsAndColumns(FigureState* fig, int32_t rows, int32_t columns) {
  int32_t oldRows = fig->rows;
  int32_t oldColumns = fig->columns;
  int32_t cells = rows * columns;
  bool backward = columns > oldColumns;
  for (int32_t i = 0; i < cells; ++i) {
    int32_t k = backward ? cells - 1 - i : i;
    int32_t r = k / columns;
    int32_t c = k % columns;
    int64_t old = int64_t{r} * oldColumns + c;
    if (r < oldRows && c < oldColumns && old < kMaxSubplots) {
      MoveSubplot(fig, static_cast<int32_t>(old), k);
    } else {
      SubplotRecordClear(&fig->subplots[k]);
    }
  }
}

// Packs the subplots that stay (the selected ones, or all when none is
// selected) into the first indexes; the cells behind them become empty.
void PackSubplots(FigureState* fig, int32_t cells) {
  int32_t n = ActiveSubplotCount(*fig);
  int32_t kept = 0;
  for (int32_t k = 0; k < n; ++k) {
    if (fig->selection == 0 || Selected(*fig, k)) MoveSubplot(fig, k, kept++);
  }
  for (int32_t k = kept; k < cells; ++k) SubplotRecordClear(&fig->subplots[k]);
  fig->freeLayout = 0;
}

}  // namespace

int32_t ActiveSubplotCount(const FigureState& fig) {
  if (fig.rows <= 0 || fig.columns <= 0) return 0;
  int64_t n = int64_t{fig.rows} * fig.columns;
  return static_cast<int32_t>(std::min<int64_t>(n, MaxSubplots(fig)));
}

int32_t SingleSelectedSubplot(const FigureState& fig) {
  if (fig.rows == 1 && fig.columns == 1) return 0;
  if (std::popcount(fig.selection) != 1) return kNoSubplot;
  int32_t k = std::countr_zero(fig.selection);
  return k < ActiveSubplotCount(fig) ? k : kNoSubplot;
}

int32_t SubplotAt(const FigureState& fig, int32_t row, int32_t column) {
  if (row < 0 || column < 0) return SingleSelectedSubplot(fig);
  if (row >= fig.rows || column >= fig.columns) return kNoSubplot;
  int64_t k = int64_t{row} * fig.columns + column;
  return k < ActiveSubplotCount(fig) ? static_cast<int32_t>(k) : kNoSubplot;
}

int32_t GetSubplotPlotId(const FigureState* fig, int32_t row, int32_t column) {
  if (!fig) return kPlotIdNoInstance;
  int32_t k = SubplotAt(*fig, row, column);
  return k < 0 ? kNoSubplot : fig->subplots[k].plotId;
}

ErrCode SetSubplotLayout(FigureState* fig, int32_t rows, int32_t columns) {
  if (rows < 1 || columns < 1) return kErrOutOfRangeArg;
  if (!fig->freeLayout && rows == fig->rows && columns == fig->columns) return kOk;
  int32_t max = MaxSubplots(*fig);
  rows = std::min(rows, max);
  columns = std::min(columns, max);
  while (rows * columns > max) {
    if (columns > rows) {
      --columns;
    } else {
      --rows;
    }
  }
  bool smaller = rows < fig->rows || columns < fig->columns;
  if (fig->freeLayout || (fig->selection != 0 && smaller)) {
    PackSubplots(fig, rows * columns);
  } else {
    KeepRowsAndColumns(fig, rows, columns);
  }
  fig->rows = rows;
  fig->columns = columns;
  for (int32_t k = rows * columns; k < max; ++k) SubplotRecordClear(&fig->subplots[k]);
  fig->selection = 0;
  ComputeSubplotViewports(fig);
  return kOk;
}

ErrCode ApplySubplotLayout(FigureState* fig, FigureHost& host, int32_t rows, int32_t columns) {
  if (ErrCode rc = host.PushUndoVersion()) return rc;
  if (ErrCode rc = SetSubplotLayout(fig, rows, columns)) return rc;
  return host.RunDrawHandlers();
}

void ComputeSubplotViewports(FigureState* fig) {
  int32_t n = ActiveSubplotCount(*fig);
  const double* f = fig->rect;
  double width = (f[kRight] - f[kLeft]) / std::max(fig->columns, 1);
  double height = std::fabs(f[kTop] - f[kBottom]) / std::max(fig->rows, 1);
  double down = f[kTop] <= f[kBottom] ? 1.0 : -1.0;
  for (int32_t k = 0; k < n; ++k) {
    SubplotRecord* s = &fig->subplots[k];
    if (fig->freeLayout) {
      SetSubplotViewport(s, s->position[kLeft], s->position[kRight], s->position[kTop],
                         s->position[kBottom]);
      continue;
    }
    int32_t r = k / fig->columns;
    int32_t c = k % fig->columns;
    SetSubplotViewport(s, f[kLeft] + c * width, f[kLeft] + (c + 1) * width,
                       f[kTop] + down * r * height, f[kTop] + down * (r + 1) * height);
  }
}

void ClearSubplots(FigureState* fig) {
  int32_t max = MaxSubplots(*fig);
  for (int32_t k = 0; k < max; ++k) {
    SubplotRecord* s = &fig->subplots[k];
    s->plotId = kPlotNone;
    s->handlers[kHandlerDraw] = kNoHandler;
    SubplotRecordReset(s, true);
  }
}

void ResetInstanceSubplots(FigureState* fig) {
  int32_t n = ActiveSubplotCount(*fig);
  for (int32_t k = 0; k < n; ++k) fig->subplots[k].layoutPending = 1;
}

void GetLayoutExtent(const FigureState& fig, double extent[4]) {
  // Per axis: the edge nearest the figure's near side and the one farthest
  // along the axis direction.
  auto axis = [&](int nearSide, int farSide, double* lo, double* hi) {
    double dir = fig.rect[farSide] >= fig.rect[nearSide] ? 1.0 : -1.0;
    *lo = fig.rect[nearSide];
    *hi = fig.rect[farSide];
    int32_t n = ActiveSubplotCount(fig);
    for (int32_t k = 0; k < n; ++k) {
      const double* p = fig.subplots[k].position;
      if (k == 0 || (p[nearSide] - *lo) * dir < 0) *lo = p[nearSide];
      if (k == 0 || (p[farSide] - *hi) * dir > 0) *hi = p[farSide];
    }
  };
  axis(kLeft, kRight, &extent[0], &extent[1]);
  axis(kTop, kBottom, &extent[2], &extent[3]);
}

ErrCode MakeLayoutFree(FigureState* fig, FigureHost& host, bool anchored) {
  if (ErrCode rc = host.PushUndoVersion()) return rc;
  MakeOneColumn(fig);
  fig->freeLayout = 1;
  static constexpr double kProportional[6] = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
  static constexpr double kAnchored[6] = {1, 1, 0, 1, 1, 0};
  for (SpringRecord& spring : fig->springs) {
    std::copy_n(anchored ? kAnchored : kProportional, 6, spring.stiffness);
  }
  return host.SaveFigureState();
}

bool QueryFreeLayout(const FigureState& fig, bool* anchored, bool* proportional) {
  if (!fig.freeLayout) return false;
  *anchored = *proportional = true;
  int32_t n = ActiveSubplotCount(fig);
  for (int32_t k = 0; k < n; ++k) {
    const double* s = fig.springs[k].stiffness;
    for (int axis = 0; axis <= kSpringY; axis += kSpringY) {
      if (s[axis + kSpringNear] != 1 || s[axis + kSpringSize] != 1) *anchored = false;
    }
    if (!std::all_of(s, s + 6, [](double v) { return v == 0.5; })) *proportional = false;
  }
  return true;
}

void MoveSelectedSubplotsLast(FigureState* fig, int32_t* tracked) {
  if (!fig->freeLayout) return;
  int32_t n = MakeOneColumn(fig);
  for (bool moved = true; moved;) {
    moved = false;
    for (int32_t k = 0; k + 1 < n; ++k) {
      if (!Selected(*fig, k) || Selected(*fig, k + 1)) continue;
      SwapSubplots(fig, k, k + 1);
      if (*tracked == k) {
        *tracked = k + 1;
      } else if (*tracked == k + 1) {
        *tracked = k;
      }
      moved = true;
    }
  }
}

void DeleteSelectedSubplots(FigureState* fig) {
  int32_t n = MakeOneColumn(fig);
  fig->freeLayout = 1;
  int32_t kept = 0;
  for (int32_t k = 0; k < n; ++k) {
    if (!Selected(*fig, k)) {
      MoveSubplot(fig, k, kept++);
    } else if (k == n - 1 && kept == 0) {
      MoveSubplot(fig, k, 0);
      SubplotRecord* s = &fig->subplots[0];
      SubplotRecordReset(s, true);
      s->plotId = kPlotNone;
      std::fill_n(s->handlers, kSubplotHandlerCount, kNoHandler);
      kept = 1;
    }
  }
  fig->rows = std::max(kept, 1);
  fig->selection = 0;
}

}  // namespace vke
