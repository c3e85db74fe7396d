// The flush of the depth pool: the far-to-near order, the reordering of
// items that overlap, the splits that break crossings and cycles, and the
// calls of the drawing callbacks.
//
// The order array holds the items not yet drawn, nearest first, so the item
// drawn next is always the last entry. Moves happen between positions
// `lowest` and the last; everything below `lowest` stays sorted by maximum
// depth.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/depth_sort_internal.hpp"

namespace vke {
namespace {

// Positions the keyed search tests at once.
constexpr int32_t kBlock = 16;

// Copies of what the search for conflicts reads of the item at each
// position, kept in the order array's order in the caller's work area so
// that the search runs through memory in sequence: the bounding box and the
// minimum depth (+infinity for a removed item, which then overlaps nothing
// in depth).
struct PositionKeys {
  float* xMin;
  float* xMax;
  float* yMin;
  float* yMax;
  float* back;

  void Set(int32_t position, const DepthSortItem& item) const {
    xMin[position] = item.xMin;
    xMax[position] = item.xMax;
    yMin[position] = item.yMin;
    yMax[position] = item.yMax;
    back[position] = item.kind == kDepthRemoved ? INFINITY : item.z[item.vertexCount - 1];
  }
  // The key at j goes to i, those at j + 1 .. i one place down.
  void Shift(int32_t j, int32_t i) const {
    for (float* a : {xMin, xMax, yMin, yMax, back}) {
      const float v = a[j];
      std::memmove(a + j, a + j + 1, sizeof(float) * static_cast<size_t>(i - j));
      a[i] = v;
    }
  }
};

struct Flush {
  DepthSortPool* pool;
  DepthSortItem* items;
  uint32_t* order;
  // For each position, the smallest minimum depth of the items at it and
  // before it (the spare array): how far back those items reach.
  float* reach;
  int32_t lowestCut;  // the lowest position a split put pieces at
  bool keyed;         // keys holds a copy for every position in use
  PositionKeys keys;

  const DepthSortItem& At(int32_t position) const { return items[order[position]]; }

  void SetOrder(int32_t position, uint32_t item) {
    order[position] = item;
    if (keyed) keys.Set(position, items[item]);
  }

  // Shell sort of positions from..active-1 by decreasing maximum depth;
  // clears the moved flags there.
  void Sort(int32_t from) {
    const int32_t to = pool->active;
    const int32_t n = to - from;
    // With keys the maximum depths are sorted along beside the order, in
    // the place of the keys set again below.
    float* front = keyed ? keys.back : nullptr;
    if (front != nullptr) {
      for (int32_t i = from; i < to; ++i) front[i] = items[order[i]].z[0];
    }
    const auto frontAt = [&](int32_t j) { return front != nullptr ? front[j] : items[order[j]].z[0]; };
    int32_t h = 1;
    while (h < n / 3) h = 3 * h + 1;
    for (; h > 0; h /= 3) {
      for (int32_t i = from + h; i < to; ++i) {
        const uint32_t v = order[i];
        const float z = frontAt(i);
        int32_t j = i;
        for (; j - h >= from && frontAt(j - h) < z; j -= h) {
          order[j] = order[j - h];
          if (front != nullptr) front[j] = front[j - h];
        }
        order[j] = v;
        if (front != nullptr) front[j] = z;
      }
    }
    for (int32_t i = from; i < to; ++i) {
      const DepthSortItem& item = items[order[i]];
      items[order[i]].moved = 0;
      const float back = item.z[item.vertexCount - 1];
      reach[i] = i > 0 ? std::min(reach[i - 1], back) : back;
      if (keyed) keys.Set(i, item);
    }
  }

  // Depth ranges and bounding boxes overlap, strictly.
  static bool MayOverlap(const DepthSortItem& p, const DepthSortItem& q) {
    return p.z[0] > q.z[q.vertexCount - 1] && q.z[0] > p.z[p.vertexCount - 1] && p.xMin < q.xMax &&
           q.xMin < p.xMax && p.yMin < q.yMax && q.yMin < p.yMax;
  }

  // The position of the first item below position i that must be drawn
  // before the item at i, or -1.
  int32_t FindConflict(int32_t i, int32_t lowest, bool* cross) const {
    const DepthSortItem& p = At(i);
    const DepthPlane plane = IsTriangle(p) ? PlaneOf(p) : DepthPlane{};
    if (keyed) return FindKeyedConflict(p, plane, i, lowest, cross);
    for (int32_t j = i - 1; j >= 0; --j) {
      const DepthSortItem& q = At(j);
      // Below `lowest` the order is sorted: once nothing up to j reaches
      // back behind p, nothing further down does.
      if (j < lowest && !(reach[j] < p.z[0])) break;
      if (q.kind == kDepthRemoved) continue;
      if (!(p.z[0] > q.z[q.vertexCount - 1])) continue;
      if (!(p.xMin < q.xMax && q.xMin < p.xMax && p.yMin < q.yMax && q.yMin < p.yMax)) continue;
      if (Conflicts(p, plane, q, cross)) return j;
    }
    return -1;
  }

  // Bit k tells for position base + k whether the item there overlaps the
  // depth range and the box given (candidates), and whether the items up to
  // it reach no further back than `front` (stops).
  void BlockTests(float front, float xMin, float xMax, float yMin, float yMax, int32_t base,
                  uint32_t* candidates, uint32_t* stops) const {
#if defined(__SSE2__)
    const __m128 f = _mm_set1_ps(front);
    const __m128 x0 = _mm_set1_ps(xMin);
    const __m128 x1 = _mm_set1_ps(xMax);
    const __m128 y0 = _mm_set1_ps(yMin);
    const __m128 y1 = _mm_set1_ps(yMax);
    uint32_t pass = 0;
    uint32_t stop = 0;
    for (int32_t k = 0; k < kBlock; k += 4) {
      const int32_t j = base + k;
      __m128 m = _mm_cmplt_ps(_mm_loadu_ps(keys.back + j), f);
      m = _mm_and_ps(m, _mm_cmplt_ps(x0, _mm_loadu_ps(keys.xMax + j)));
      m = _mm_and_ps(m, _mm_cmplt_ps(_mm_loadu_ps(keys.xMin + j), x1));
      m = _mm_and_ps(m, _mm_cmplt_ps(y0, _mm_loadu_ps(keys.yMax + j)));
      m = _mm_and_ps(m, _mm_cmplt_ps(_mm_loadu_ps(keys.yMin + j), y1));
      pass |= static_cast<uint32_t>(_mm_movemask_ps(m)) << k;
      // Not less: true also for NaN, as !(reach < front).
      stop |= static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpnlt_ps(_mm_loadu_ps(reach + j), f)))
              << k;
    }
    *candidates = pass;
    *stops = stop;
#else
    uint32_t pass = 0;
    uint32_t stop = 0;
    for (int32_t k = 0; k < kBlock; ++k) {
      const int32_t j = base + k;
      pass |= uint32_t{front > keys.back[j] && xMin < keys.xMax[j] && keys.xMin[j] < xMax &&
                       yMin < keys.yMax[j] && keys.yMin[j] < yMax}
              << k;
      stop |= uint32_t{!(reach[j] < front)} << k;
    }
    *candidates = pass;
    *stops = stop;
#endif
  }

  // FindConflict through the keys: the same tests in the same order, a
  // block of positions at a time without branches, then the positions
  // that passed (or end the search) from the top of the block down.
  int32_t FindKeyedConflict(const DepthSortItem& p, const DepthPlane& plane, int32_t i,
                            int32_t lowest, bool* cross) const {
    const float front = p.z[0];
    const float xMin = p.xMin, xMax = p.xMax, yMin = p.yMin, yMax = p.yMax;
    for (int32_t top = i - 1; top >= 0; top -= kBlock) {
      const int32_t base = top - kBlock + 1;
      uint32_t candidates = 0;
      uint32_t stops = 0;
      if (base >= 0) {
        BlockTests(front, xMin, xMax, yMin, yMax, base, &candidates, &stops);
        const int32_t below = lowest - base;  // positions of the block below `lowest`
        stops &= below >= kBlock ? ~0u : below <= 0 ? 0u : (1u << below) - 1;
      } else {
        for (int32_t j = 0; j <= top; ++j) {
          const int32_t k = j - base;
          candidates |= uint32_t{(front > keys.back[j]) && xMin < keys.xMax[j] &&
                                 keys.xMin[j] < xMax && yMin < keys.yMax[j] && keys.yMin[j] < yMax}
                        << k;
          stops |= uint32_t{j < lowest && !(reach[j] < front)} << k;
        }
      }
      for (uint32_t bits = candidates | stops; bits != 0;) {
        const int k = 31 - std::countl_zero(bits);
        if (stops >> k & 1) return -1;
        const int32_t j = base + k;
        if (Conflicts(p, plane, At(j), cross)) return j;
        bits &= ~(1u << k);
      }
    }
    return -1;
  }

  // Puts the pieces in place of the cut item's entry and behind the last.
  void Place(int32_t position, const uint32_t* pieces, int32_t made) {
    lowestCut = std::min(lowestCut, position);
    SetOrder(position, pieces[0]);
    for (int32_t k = 1; k < made; ++k) SetOrder(pool->active++, pieces[k]);
  }

  // Cuts the item at b by the plane of the triangle at a.
  bool CutBy(int32_t a, int32_t b) {
    if (!IsTriangle(At(a))) return false;
    uint32_t pieces[3];
    const int32_t made = SplitByPlane(pool, order[b], PlaneOf(At(a)), pieces);
    if (made > 0) Place(b, pieces, made);
    return made > 0;
  }

  // Splits one of the pair at positions far (p) and near (q): q by p's
  // plane, a segment p by q's plane, and with `either` also p by q's plane.
  bool SplitPair(int32_t far, int32_t near, bool either) {
    const DepthSortItem& p = At(far);
    const DepthSortItem& q = At(near);
    if (p.kind == kDepthSegment && q.kind == kDepthSegment) return false;
    if (CutBy(far, near)) return true;
    return (either || p.kind == kDepthSegment) && CutBy(near, far);
  }

  // A cycle through the item at i and the moved item at j: a split of the
  // pair, of the item at i against another moved item in conflict with it,
  // or of any pair of moved items in conflict.
  bool BreakCycle(int32_t i, int32_t j, int32_t lowest) {
    if (SplitPair(i, j, true)) return true;
    for (int32_t k = i - 1; k >= lowest; --k) {
      if (k != j && At(k).moved && Ordered(i, k) && SplitPair(i, k, true)) return true;
    }
    for (int32_t a = i; a >= lowest; --a) {
      if (!At(a).moved) continue;
      for (int32_t b = a - 1; b >= lowest; --b) {
        if (At(b).moved && Ordered(a, b) && SplitPair(a, b, true)) return true;
      }
    }
    return false;
  }

  // The items at positions a and b overlap so that one of them must be
  // drawn first: a pair that may close a cycle.
  bool Ordered(int32_t a, int32_t b) const {
    const DepthSortItem& p = At(a);
    const DepthSortItem& q = At(b);
    if (p.kind == kDepthRemoved || q.kind == kDepthRemoved || !MayOverlap(p, q)) return false;
    bool cross = false;
    return Conflicts(p, IsTriangle(p) ? PlaneOf(p) : DepthPlane{}, q, &cross) ||
           Conflicts(q, IsTriangle(q) ? PlaneOf(q) : DepthPlane{}, p, &cross);
  }

  void Draw(const DepthSortItem& p, const DepthSortCallbacks& cb, void* context) const {
    switch (p.kind) {
      case kDepthPoint:
        if (cb.point != nullptr) cb.point(context, p.user, p.x[0], p.y[0], p.z[0]);
        break;
      case kDepthSegment:
        if (cb.segment != nullptr) cb.segment(context, p.user, p.x, p.y, p.z, p.edges);
        break;
      case kDepthFrontTriangle:
      case kDepthBackTriangle:
        if (cb.triangle != nullptr) {
          cb.triangle(context, p.user, p.x, p.y, p.z, p.edges, p.kind == kDepthFrontTriangle);
        }
        break;
      default:
        break;
    }
  }
};

}  // namespace

void DepthSortFlush(DepthSortPool* pool, const DepthSortCallbacks& callbacks, void* context,
                    void* work, size_t workBytes) {
  if (pool == nullptr) return;
  Flush f{pool,
          DepthSortItems(pool),
          DepthSortOrder(pool),
          reinterpret_cast<float*>(reinterpret_cast<std::byte*>(pool) + pool->spareAt),
          0,
          work != nullptr && workBytes >= DepthSortWorkBytes(pool),
          {}};
  if (f.keyed) {
    const auto n = static_cast<size_t>(pool->capacity);
    float* at = static_cast<float*>(work);
    f.keys = PositionKeys{at, at + n, at + 2 * n, at + 3 * n, at + 4 * n};
  }
  for (int32_t k = 0; k < pool->count; ++k) {
    FinishItem(&f.items[k]);
    f.order[k] = static_cast<uint32_t>(k);
  }
  pool->active = pool->count;
  f.Sort(0);
  while (pool->active > 0) {
    const int32_t i = pool->active - 1;
    if (f.At(i).kind == kDepthRemoved) {
      --pool->active;
      continue;
    }
    int32_t lowest = i;
    bool split = false;
    f.lowestCut = i;
    // The item drawn next counts as moved: meeting it again closes a cycle.
    f.items[f.order[i]].moved = 1;
    for (;;) {
      bool cross = false;
      const int32_t j = f.FindConflict(i, lowest, &cross);
      if (j < 0) break;
      if (cross && f.SplitPair(i, j, false)) {
        split = true;
        break;
      }
      const uint32_t q = f.order[j];
      if (f.items[q].moved) {
        split = f.BreakCycle(i, j, lowest);
        break;  // drawn as it is when nothing could be split
      }
      // q goes behind the item at i and is tested in its place.
      if (f.keyed) f.keys.Shift(j, i);
      std::memmove(f.order + j, f.order + j + 1, sizeof(uint32_t) * static_cast<size_t>(i - j));
      f.order[i] = q;
      f.items[q].moved = 1;
      lowest = std::min(lowest, j);
    }
    if (split) {
      // The pieces lie no nearer than the item they came from, so the order
      // below both the moves and the cut item stands.
      f.Sort(std::min(lowest, f.lowestCut));
      continue;
    }
    f.Draw(f.At(i), callbacks, context);
    pool->active = i;
    if (lowest < i) f.Sort(lowest);
  }
}

}  // namespace vke
