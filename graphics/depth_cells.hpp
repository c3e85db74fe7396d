// Internal to the depth pool: a screen-area index of the items the flush
// starts with, for its search of items that overlap another. The area they
// cover is cut into cells of about the items' mean size and each item is
// listed, with a copy of its bounds and minimum depth, in the cell of its
// box's lower corner when the box spans no more than three cells each way (a
// larger one, or one that is not finite, in a list of its own that every
// query passes), so that a query reads the cells in sequence.
// Items added later (pieces of splits) are kept in a short list of their
// own; when that fills up, the index is no longer used. Everything lives in
// the flush's work area; items no longer in use stay listed.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "graphics/depth_sort.hpp"

namespace vke {

class DepthCells {
 public:
  // Words of work area the index takes for a pool of `capacity` items.
  static size_t Words(size_t capacity) {
    return kEntryWords * capacity + capacity / 2 + 2 + kMostAdded;
  }

  // An index of items 0..count-1 over `words` (Words(capacity) of them);
  // false when it would not pay or does not fit, and it is not used.
  bool Build(uint32_t* words, size_t capacity, const DepthSortItem* items, int32_t count);

  // Lists an item added since; the index is no longer used once the list
  // of added items is full.
  void Add(uint32_t index);

  bool Usable() const { return usable_; }

  // Calls visit(index) once for every listed item whose bounds overlap p's
  // strictly and that reaches back behind p's maximum depth, and for every
  // item added since the start; false, visiting nothing, when p's box
  // covers too many cells for that to pay.
  template <class Visit>
  bool ForEachNear(const DepthSortItem& p, Visit visit) const {
    Span near;
    if (!SpanOf(p.xMin, p.xMax, p.yMin, p.yMax, &near) || near.x1 - near.x0 > kMostQuerySpan ||
        near.y1 - near.y0 > kMostQuerySpan) {
      return false;
    }
#if defined(__SSE2__)
    const __m128 bounds = _mm_setr_ps(p.xMax, -p.xMin, p.yMax, -p.yMin);
    const auto passes = [&](const float* e) {
      return _mm_movemask_ps(_mm_cmplt_ps(_mm_loadu_ps(e), bounds)) == 15 && p.z[0] > e[4];
    };
#else
    const auto passes = [&](const float* e) {
      return e[0] < p.xMax && e[1] < -p.xMin && e[2] < p.yMax && e[3] < -p.yMin && p.z[0] > e[4];
    };
#endif
    // The lists of cells first..last, which follow each other.
    const auto lists = [&](int32_t first, int32_t last) {
      for (uint32_t n = start_[first]; n < start_[last + 1]; ++n) {
        const float* e = entries_ + size_t{n} * kEntryWords;
        if (passes(e)) visit(ItemOf(e));
      }
    };
    // Items listed up to kMostItemSpan - 1 cells before p's lower corner
    // reach into its box.
    constexpr int32_t kBack = kMostItemSpan - 1;
    for (int32_t y = near.y0 > kBack ? near.y0 - kBack : 0; y <= near.y1; ++y) {
      const int32_t row = y * columns_;
      lists(row + (near.x0 > kBack ? near.x0 - kBack : 0), row + near.x1);
    }
    lists(columns_ * rows_, columns_ * rows_);
    for (uint32_t k = 0; k < addedCount_; ++k) visit(added_[k]);
    return true;
  }

 private:
  // An entry: x min, -x max, y min, -y max (so that one comparison of four
  // tells whether boxes overlap), minimum depth, item index.
  static constexpr size_t kEntryWords = 6;
  static constexpr uint32_t kMostAdded = 128;
  static constexpr int32_t kMostItemSpan = 3;   // cells each way of a listed item
  static constexpr int32_t kMostQuerySpan = 3;  // cells beyond the first, each way

  struct Span {
    int32_t x0, x1, y0, y1;
  };
  // The cells a box meets; false for a box that is not finite.
  bool SpanOf(float xMin, float xMax, float yMin, float yMax, Span* s) const;
  static uint32_t ItemOf(const float* entry);
  // The list an item goes in: its lower corner's cell, or the wide items'.
  int32_t ListOf(const DepthSortItem& item) const;

  float* entries_ = nullptr;
  uint32_t* start_ = nullptr;  // per cell and the wide list, where its entries start; then the end
  uint32_t* added_ = nullptr;
  uint32_t addedCount_ = 0;
  int32_t columns_ = 0;
  int32_t rows_ = 0;
  float x0_ = 0, y0_ = 0;
  float xScale_ = 0, yScale_ = 0;  // cells per unit
  bool usable_ = false;
};

}  // namespace vke
