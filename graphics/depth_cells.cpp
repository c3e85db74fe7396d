// The screen-area index of the depth pool's items: the choice of cells and
// the listing of the items in them.
#include "graphics/depth_cells.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vke {
namespace {

bool Finite(float xMin, float xMax, float yMin, float yMax) {
  return std::isfinite(xMin) && std::isfinite(xMax) && std::isfinite(yMin) && std::isfinite(yMax);
}

// Cells along one side: about a mean extent each, at most `most`.
int32_t CellsAlong(double span, double meanExtent, int32_t most) {
  if (!(span > 0) || !(meanExtent > 0)) return 1;
  return static_cast<int32_t>(std::clamp(span / meanExtent, 1.0, double(most)));
}

}  // namespace

bool DepthCells::SpanOf(float xMin, float xMax, float yMin, float yMax, Span* s) const {
  if (!Finite(xMin, xMax, yMin, yMax)) return false;
  const auto cell = [](float v, float origin, float scale, int32_t n) {
    const float at = (v - origin) * scale;
    return at <= 0 ? 0 : at >= static_cast<float>(n - 1) ? n - 1 : static_cast<int32_t>(at);
  };
  s->x0 = cell(xMin, x0_, xScale_, columns_);
  s->x1 = cell(xMax, x0_, xScale_, columns_);
  s->y0 = cell(yMin, y0_, yScale_, rows_);
  s->y1 = cell(yMax, y0_, yScale_, rows_);
  return true;
}

uint32_t DepthCells::ItemOf(const float* entry) {
  uint32_t index = 0;
  std::memcpy(&index, entry + 5, sizeof index);
  return index;
}

int32_t DepthCells::ListOf(const DepthSortItem& item) const {
  Span s;
  if (!SpanOf(item.xMin, item.xMax, item.yMin, item.yMax, &s) || s.x1 - s.x0 >= kMostItemSpan ||
      s.y1 - s.y0 >= kMostItemSpan) {
    return columns_ * rows_;
  }
  return s.y0 * columns_ + s.x0;
}

bool DepthCells::Build(uint32_t* words, size_t capacity, const DepthSortItem* items,
                       int32_t count) {
  usable_ = false;
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  double width = 0, height = 0;
  int32_t finite = 0;
  for (int32_t k = 0; k < count; ++k) {
    const DepthSortItem& item = items[k];
    if (!Finite(item.xMin, item.xMax, item.yMin, item.yMax)) continue;
    x0 = std::min(x0, double{item.xMin});
    x1 = std::max(x1, double{item.xMax});
    y0 = std::min(y0, double{item.yMin});
    y1 = std::max(y1, double{item.yMax});
    width += double{item.xMax} - item.xMin;
    height += double{item.yMax} - item.yMin;
    ++finite;
  }
  if (finite < 256) return false;  // a search through the positions is as quick
  const auto most = static_cast<int32_t>(std::min<size_t>(capacity / 2, 1024));
  columns_ = CellsAlong(x1 - x0, width / finite, most);
  rows_ = CellsAlong(y1 - y0, height / finite, most);
  while (size_t(columns_) * size_t(rows_) > capacity / 2) {
    columns_ = std::max(1, columns_ / 2);
    rows_ = std::max(1, rows_ / 2);
  }
  x0_ = static_cast<float>(x0);
  y0_ = static_cast<float>(y0);
  xScale_ = x1 > x0 ? static_cast<float>(columns_ / (x1 - x0)) : 0.0f;
  yScale_ = y1 > y0 ? static_cast<float>(rows_ / (y1 - y0)) : 0.0f;
  const int32_t wide = columns_ * rows_;
  start_ = words;
  added_ = start_ + wide + 2;
  entries_ = reinterpret_cast<float*>(added_ + kMostAdded);
  addedCount_ = 0;
  // Entries per list, then where each list starts, then the entries.
  std::fill_n(start_, wide + 2, 0u);
  for (int32_t k = 0; k < count; ++k) ++start_[ListOf(items[k]) + 1];
  for (int32_t c = 0; c <= wide; ++c) start_[c + 1] += start_[c];
  for (int32_t k = 0; k < count; ++k) {
    const DepthSortItem& item = items[k];
    float* e = entries_ + size_t{start_[ListOf(item)]++} * kEntryWords;
    e[0] = item.xMin;
    e[1] = -item.xMax;
    e[2] = item.yMin;
    e[3] = -item.yMax;
    e[4] = item.z[item.vertexCount - 1];
    const auto index = static_cast<uint32_t>(k);
    std::memcpy(e + 5, &index, sizeof index);
  }
  // Each list's cursor ended where the next starts.
  for (int32_t c = wide + 1; c > 0; --c) start_[c] = start_[c - 1];
  start_[0] = 0;
  usable_ = true;
  return true;
}

void DepthCells::Add(uint32_t index) {
  if (!usable_) return;
  if (addedCount_ == kMostAdded) {
    usable_ = false;
    return;
  }
  added_[addedCount_++] = index;
}

}  // namespace vke
