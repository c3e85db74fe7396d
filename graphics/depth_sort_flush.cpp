// The flush of the depth pool: the far-to-near order, the reordering of
// items that overlap, the splits that break crossings and cycles, and the
// calls of the drawing callbacks.
//
// The order array holds the items not yet drawn sorted nearest first (by
// maximum depth, ties by item index), so the item drawn next is the last
// entry. An item found that must be drawn before the one being placed is
// moved: it joins a chain on top of the last entry, linked through the
// items' moved words, and its entry stays in the sorted order as a hole the
// searches pass over. The chain stands for the order with the moved items
// taken out and put behind the last entry one after another. When the top
// of the chain has been drawn, the item below it goes on with its search
// from where it found the top instead of starting again: nothing before that
// point has changed, so putting the moved items back in place and moving
// them again would lead to the same place. A split puts every moved item
// back and sorts the pieces in.
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VKE_DEPTH_WIDE 1
#endif

#include "graphics/depth_sort_internal.hpp"

namespace vke {
namespace {

// Positions the keyed search tests at once.
constexpr int32_t kBlock = 16;

// Moved words: the bottom of the chain, and the position of the item below
// plus kChainLink.
constexpr uint32_t kChainBottom = 1;
constexpr uint32_t kChainLink = 2;
// The moved word of an item drawn from the bottom of the chain.
constexpr uint32_t kDrawn = UINT32_MAX;

// How the search of the chain's top goes on: from the start (the moved
// items below it, then the sorted entries), from its memo (the moved items
// below it were found clear), or through the sorted entries from a
// position.
enum Next { kFresh, kRecall, kResume };

// Memos of searches: none yet, and nothing found.
constexpr uint32_t kNoMemo = UINT32_MAX;
constexpr uint32_t kNoConflict = UINT32_MAX - 1;
// Items added since a memo beyond which searching again is cheaper.
constexpr uint32_t kMostNew = 256;

// Copies of what the search for conflicts reads of the item at each
// position, kept in the order array's order in the caller's work area so
// that the search runs through memory in sequence: the bounding box and the
// minimum depth (+infinity for a removed or moved item, which then overlaps
// nothing in depth).
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
    back[position] =
        item.kind == kDepthRemoved || item.moved != 0 ? INFINITY : item.z[item.vertexCount - 1];
  }
};

#if defined(VKE_DEPTH_WIDE)
// Blocks the wide tests do at once.
constexpr int32_t kWideBlocks = 8;

// The box and depth tests of blocks whole blocks from position base on,
// eight positions at a time: bit k of masks[b] for position base + 16 b + k.
[[gnu::target("avx2")]] void WideBlockTests(const PositionKeys& keys, float front, float xMin,
                                            float xMax, float yMin, float yMax, int32_t base,
                                            int32_t blocks, uint32_t* masks) {
  const __m256 f = _mm256_set1_ps(front);
  const __m256 x0 = _mm256_set1_ps(xMin);
  const __m256 x1 = _mm256_set1_ps(xMax);
  const __m256 y0 = _mm256_set1_ps(yMin);
  const __m256 y1 = _mm256_set1_ps(yMax);
  for (int32_t b = 0; b < blocks; ++b) {
    uint32_t pass = 0;
    for (int32_t k = 0; k < kBlock; k += 8) {
      const int32_t j = base + b * kBlock + k;
      __m256 m = _mm256_cmp_ps(_mm256_loadu_ps(keys.back + j), f, _CMP_LT_OQ);
      m = _mm256_and_ps(m, _mm256_cmp_ps(x0, _mm256_loadu_ps(keys.xMax + j), _CMP_LT_OQ));
      m = _mm256_and_ps(m, _mm256_cmp_ps(_mm256_loadu_ps(keys.xMin + j), x1, _CMP_LT_OQ));
      m = _mm256_and_ps(m, _mm256_cmp_ps(y0, _mm256_loadu_ps(keys.yMax + j), _CMP_LT_OQ));
      m = _mm256_and_ps(m, _mm256_cmp_ps(_mm256_loadu_ps(keys.yMin + j), y1, _CMP_LT_OQ));
      pass |= static_cast<uint32_t>(_mm256_movemask_ps(m)) << k;
    }
    masks[b] = pass;
  }
}

bool Wide() {
  static const bool wide = __builtin_cpu_supports("avx2");
  return wide;
}
#endif

struct Flush {
  DepthSortPool* pool;
  DepthSortItem* items;
  uint32_t* order;
  // For each position, the smallest minimum depth of the entries at it and
  // before it when the positions were last laid out (the spare array): how
  // far back those items reach. Entries only leave the order in between, so
  // it never promises more than holds.
  float* reach;
  bool keyed;  // keys holds a copy for every position in use
  PositionKeys keys;
  uint32_t* scratch;  // the work area seen as words, for the first sort
  // Per item, from its last search of the sorted entries (in the work
  // area): the item found, or kNoConflict, and the item count then. Every
  // entry that search passed was clear of the item, and so it stays but for
  // items added since.
  uint32_t* memoFound = nullptr;
  uint32_t* memoCount = nullptr;
  // The chain: the position of its top, how the top's search goes on, and
  // where in the sorted entries when it resumes.
  int32_t top = -1;
  Next next = kFresh;
  int32_t resume = 0;
  int32_t firstGone = INT32_MAX;  // lowest position a moved or a cut item may have left
  uint32_t pieces[3] = {};        // the last split's pieces
  int32_t made = 0;

  const DepthSortItem& At(int32_t position) const { return items[order[position]]; }

  // The sort key: larger maximum depth first, then lower item index. It is
  // a total order, so the sorted order is the same however it was reached.
  static uint32_t Rank(float z) {
    const auto bits = std::bit_cast<uint32_t>(z + 0.0f);  // -0 as +0
    return ~(bits >> 31 ? ~bits : bits | 0x80000000u);
  }
  bool Before(uint32_t a, uint32_t b) const {
    const uint32_t ra = Rank(items[a].z[0]);
    const uint32_t rb = Rank(items[b].z[0]);
    return ra < rb || (ra == rb && a < b);
  }

  // The position below a moved item's in the chain, -1 below the bottom.
  int32_t Below(int32_t position) const {
    const uint32_t link = At(position).moved;
    return link == kChainBottom ? -1 : static_cast<int32_t>(link - kChainLink);
  }

  // Sets the keys and the reach of positions from..active-1 from the items.
  void Refresh(int32_t from) {
    for (int32_t i = from; i < pool->active; ++i) {
      const DepthSortItem& item = At(i);
      const float back = item.z[item.vertexCount - 1];
      reach[i] = i > 0 ? std::min(reach[i - 1], back) : back;
      if (keyed) keys.Set(i, item);
    }
  }

  // Every item in the order, sorted; none moved.
  void SortAll() {
    const int32_t n = pool->count;
    for (int32_t k = 0; k < n; ++k) {
      FinishItem(&items[k]);
      items[k].moved = 0;
      order[k] = static_cast<uint32_t>(k);
    }
    pool->active = n;
    if (memoFound != nullptr) std::fill_n(memoFound, n, kNoMemo);
    if (keyed) {
      // Four stable passes of a byte of the key each, the keys in the work
      // area and the item indexes between the order and the spare array.
      uint32_t* rank = scratch;
      uint32_t* rankTo = scratch + n;
      uint32_t* index = order;
      uint32_t* indexTo = reinterpret_cast<uint32_t*>(reach);
      for (int32_t k = 0; k < n; ++k) rank[k] = Rank(items[k].z[0]);
      for (int shift = 0; shift < 32; shift += 8) {
        int32_t start[257] = {};
        for (int32_t k = 0; k < n; ++k) ++start[(rank[k] >> shift & 255) + 1];
        for (int d = 0; d < 256; ++d) start[d + 1] += start[d];
        for (int32_t k = 0; k < n; ++k) {
          const int32_t to = start[rank[k] >> shift & 255]++;
          rankTo[to] = rank[k];
          indexTo[to] = index[k];
        }
        std::swap(rank, rankTo);
        std::swap(index, indexTo);
      }
    } else {
      std::sort(order, order + n, [this](uint32_t a, uint32_t b) { return Before(a, b); });
    }
    Refresh(0);
  }

  // Drops the entries of drawn and removed items from position `from` on.
  void Compact(int32_t from) {
    int32_t to = from;
    for (int32_t i = from; i < pool->active; ++i) {
      const DepthSortItem& item = At(i);
      if (item.moved == 0 && item.kind != kDepthRemoved) order[to++] = order[i];
    }
    pool->active = to;
  }

  // The position of the item in the sorted order, or where it would be.
  int32_t Position(uint32_t item) const {
    const uint32_t* at = std::lower_bound(order, order + pool->active, item,
                                          [this](uint32_t a, uint32_t b) { return Before(a, b); });
    return static_cast<int32_t>(at - order);
  }

  // Puts the last split's pieces into the sorted order, moving each entry
  // once, and moves the chain's positions along.
  void InsertPieces() {
    uint32_t piece[3];
    int32_t at[3];  // where each goes among the entries as they were
    for (int32_t k = 0; k < made; ++k) {
      int32_t i = k;
      for (; i > 0 && Before(pieces[k], piece[i - 1]); --i) piece[i] = piece[i - 1];
      piece[i] = pieces[k];
    }
    for (int32_t k = 0; k < made; ++k) at[k] = Position(piece[k]);
    const int32_t end = pool->active;
    const auto shift = [&](auto* a) {
      for (int32_t k = made - 1; k >= 0; --k) {
        const int32_t to = k + 1 < made ? at[k + 1] : end;
        std::memmove(a + at[k] + k + 1, a + at[k], sizeof(*a) * static_cast<size_t>(to - at[k]));
      }
    };
    shift(order);
    shift(reach);
    if (keyed) {
      for (float* a : {keys.xMin, keys.xMax, keys.yMin, keys.yMax, keys.back}) shift(a);
    }
    pool->active += made;
    // Each piece reaches as far back as it goes at its position and after.
    float back = INFINITY;
    for (int32_t k = 0; k < made; ++k) {
      const int32_t position = at[k] + k;
      const DepthSortItem& item = items[piece[k]];
      order[position] = piece[k];
      if (keyed) keys.Set(position, item);
      if (memoFound != nullptr) memoFound[piece[k]] = kNoMemo;
      back = std::min(back, item.z[item.vertexCount - 1]);
      reach[position] = position > 0 ? std::min(reach[position - 1], back) : back;
      const int32_t to = k + 1 < made ? at[k + 1] + k + 1 : pool->active;
      // The reach falls along the positions: once it is below the piece's,
      // it stays so.
      for (int32_t i = position + 1; i < to && !(reach[i] <= back); ++i) reach[i] = back;
    }
    const auto moved = [&](int32_t position) {
      int32_t by = 0;
      while (by < made && at[by] <= position) ++by;
      return position + by;
    };
    if (top < 0) return;
    top = moved(top);
    for (int32_t i = top;;) {
      DepthSortItem& item = items[order[i]];
      if (item.moved == kChainBottom) break;
      i = moved(static_cast<int32_t>(item.moved - kChainLink));
      item.moved = static_cast<uint32_t>(i) + kChainLink;
    }
  }

  // The pieces of the last split in the sorted entries nearer the top than
  // `before`, in conflict with x (not drawn before it when it was searched).
  bool PieceConflicts(uint32_t x, uint32_t before) const {
    const DepthSortItem& p = items[x];
    for (int32_t k = 0; k < made; ++k) {
      const DepthSortItem& q = items[pieces[k]];
      if (q.moved != 0 || !Before(before, pieces[k]) || !MayCover(p, q)) continue;
      bool cross = false;
      if (Conflicts(p, IsTriangle(p) ? PlaneOf(p) : DepthPlane{}, q, &cross)) return true;
    }
    return false;
  }

  // The moved items above position `keep` go back in place (all of them
  // for -1).
  void Unwind(int32_t keep) {
    while (top != keep) {
      const int32_t below = Below(top);
      items[order[top]].moved = 0;
      if (keyed) keys.Set(top, At(top));
      top = below;
    }
  }

  // After a split (of an item at `cut` or in the chain): the cut item's
  // entry stays as a removed one and the pieces are sorted in. Putting every
  // moved item back in place and starting again from the last entry would
  // move the same items again as far as each item of the chain would find
  // the one above it again: up to an item that was cut, or one for which a
  // piece now comes first. The chain stands up to there; the item there
  // searches again from its memo (which the pieces follow), or the top from
  // the start when what it found was in the chain.
  void Reset(int32_t cut, bool foundInChain) {
    if (keyed) keys.Set(cut, At(cut));
    firstGone = std::min(firstGone, cut);
    InsertPieces();
    if (top < 0) return;
    int32_t keep = top;
    next = foundInChain ? kFresh : kRecall;
    int32_t bottom = top;
    for (int32_t at = top, above = -1; at >= 0; above = at, at = Below(at)) {
      const uint32_t x = order[at];
      bottom = at;
      if (items[x].kind == kDepthRemoved) {
        keep = Below(at);
        next = kRecall;
      } else if (above >= 0 && PieceConflicts(x, order[above])) {
        keep = at;
        next = kRecall;
      }
    }
    if (bottom != pool->active - 1 || keep < 0) {
      Unwind(-1);
      return;
    }
    Unwind(keep);
    for (int32_t at = top; at >= 0; at = Below(at)) {
      if (memoFound != nullptr && at != top)
        memoCount[order[at]] = static_cast<uint32_t>(pool->count);
    }
  }

  // The item at `position` is to be drawn before the top: it goes on the
  // chain, leaving a hole in the sorted entries.
  void Push(int32_t position) {
    items[order[position]].moved = static_cast<uint32_t>(top) + kChainLink;
    if (keyed) keys.back[position] = INFINITY;
    firstGone = std::min(firstGone, position);
    top = position;
    next = kFresh;
  }

  // The top has been drawn. A moved item's entry stays until the chain is
  // gone, and the item below goes on with its search after the top's
  // position.
  void Pop() {
    DepthSortItem& item = items[order[top]];
    if (item.moved != kChainBottom) {
      const int32_t below = Below(top);
      resume = top - 1;
      top = below;
      next = kResume;
      return;
    }
    item.moved = kDrawn;
    pool->active = top;
    top = -1;
    if (firstGone < pool->active) {
      Compact(firstGone);
      Refresh(firstGone);
    }
    firstGone = INT32_MAX;
  }

  // Depth ranges and bounding boxes overlap, strictly.
  static bool MayOverlap(const DepthSortItem& p, const DepthSortItem& q) {
    return p.z[0] > q.z[q.vertexCount - 1] && q.z[0] > p.z[p.vertexCount - 1] && p.xMin < q.xMax &&
           q.xMin < p.xMax && p.yMin < q.yMax && q.yMin < p.yMax;
  }

  // q is in use, reaches back behind p and overlaps it in x and y.
  static bool MayCover(const DepthSortItem& p, const DepthSortItem& q) {
    return q.kind != kDepthRemoved && p.z[0] > q.z[q.vertexCount - 1] && p.xMin < q.xMax &&
           q.xMin < p.xMax && p.yMin < q.yMax && q.yMin < p.yMax;
  }

  // The position of the first item that must be drawn before the top,
  // looking from the top down: first the moved items below it (*inChain),
  // then the sorted entries; -1 for none.
  int32_t FindConflict(bool* cross, bool* inChain) {
    const uint32_t x = order[top];
    const DepthSortItem& p = items[x];
    const DepthPlane plane = IsTriangle(p) ? PlaneOf(p) : DepthPlane{};
    *inChain = false;
    int32_t j = -1;
    if (next == kFresh) {
      for (int32_t at = Below(top); at >= 0; at = Below(at)) {
        const DepthSortItem& q = At(at);
        if (MayCover(p, q) && Conflicts(p, plane, q, cross)) {
          *inChain = true;
          return at;
        }
      }
      next = kRecall;
    }
    if (next == kRecall) {
      j = Recall(x, plane, cross);
    } else {
      j = Scan(p, plane, resume, cross);
    }
    resume = j - 1;
    if (memoFound != nullptr) {
      memoFound[x] = j >= 0 ? order[j] : kNoConflict;
      memoCount[x] = static_cast<uint32_t>(pool->count);
    }
    return j;
  }

  int32_t Scan(const DepthSortItem& p, const DepthPlane& plane, int32_t from, bool* cross) const {
    return keyed ? FindKeyedConflict(p, plane, from, cross)
                 : FindSortedConflict(p, plane, from, cross);
  }

  // The first sorted entry in conflict with item x, from the memo of its
  // last search where that holds: only the items added since can come
  // before the one found then.
  int32_t Recall(uint32_t x, const DepthPlane& plane, bool* cross) const {
    const DepthSortItem& p = items[x];
    const auto count = static_cast<uint32_t>(pool->count);
    if (memoFound == nullptr || memoFound[x] == kNoMemo || count - memoCount[x] > kMostNew) {
      return Scan(p, plane, pool->active - 2, cross);
    }
    const uint32_t found = memoFound[x];
    uint32_t first = kNoConflict;  // of the items added since, the one met first
    for (uint32_t k = memoCount[x]; k < count; ++k) {
      const DepthSortItem& q = items[k];
      if (q.moved != 0 || !MayCover(p, q)) continue;
      if ((found != kNoConflict && !Before(found, k)) ||
          (first != kNoConflict && !Before(first, k))) {
        continue;
      }
      bool crossing = false;
      if (Conflicts(p, plane, q, &crossing)) {
        first = k;
        *cross = crossing;
      }
    }
    if (first != kNoConflict) return Position(first);
    if (found == kNoConflict) return -1;
    const int32_t at = Position(found);
    const DepthSortItem& q = items[found];
    if (q.kind != kDepthRemoved && q.moved == 0) {
      Conflicts(p, plane, q, cross);  // still in conflict: whether they cross
      return at;
    }
    return Scan(p, plane, at - 1, cross);
  }

  // The first sorted entry at or below `from` that must be drawn before p.
  int32_t FindSortedConflict(const DepthSortItem& p, const DepthPlane& plane, int32_t from,
                             bool* cross) const {
    for (int32_t j = from; j >= 0; --j) {
      // Once nothing up to j reaches back behind p, nothing further down
      // does.
      if (!(reach[j] < p.z[0])) break;
      const DepthSortItem& q = At(j);
      if (q.moved != 0 || !MayCover(p, q)) continue;
      if (Conflicts(p, plane, q, cross)) return j;
    }
    return -1;
  }

  // Bit k tells for position base + k whether the item there overlaps the
  // depth range and the box given.
  uint32_t BlockTests(float front, float xMin, float xMax, float yMin, float yMax,
                      int32_t base) const {
    uint32_t pass = 0;
#if defined(__SSE2__)
    const __m128 f = _mm_set1_ps(front);
    const __m128 x0 = _mm_set1_ps(xMin);
    const __m128 x1 = _mm_set1_ps(xMax);
    const __m128 y0 = _mm_set1_ps(yMin);
    const __m128 y1 = _mm_set1_ps(yMax);
    for (int32_t k = 0; k < kBlock; k += 4) {
      const int32_t j = base + k;
      __m128 m = _mm_cmplt_ps(_mm_loadu_ps(keys.back + j), f);
      m = _mm_and_ps(m, _mm_cmplt_ps(x0, _mm_loadu_ps(keys.xMax + j)));
      m = _mm_and_ps(m, _mm_cmplt_ps(_mm_loadu_ps(keys.xMin + j), x1));
      m = _mm_and_ps(m, _mm_cmplt_ps(y0, _mm_loadu_ps(keys.yMax + j)));
      m = _mm_and_ps(m, _mm_cmplt_ps(_mm_loadu_ps(keys.yMin + j), y1));
      pass |= static_cast<uint32_t>(_mm_movemask_ps(m)) << k;
    }
#else
    for (int32_t k = 0; k < kBlock; ++k) {
      const int32_t j = base + k;
      pass |= uint32_t{front > keys.back[j] && xMin < keys.xMax[j] && keys.xMin[j] < xMax &&
                       yMin < keys.yMax[j] && keys.yMin[j] < yMax}
              << k;
    }
#endif
    return pass;
  }

  // FindSortedConflict through the keys: the same tests in the same order,
  // a block of positions at a time without branches, then the positions
  // that passed from the top of the block down.
  int32_t FindKeyedConflict(const DepthSortItem& p, const DepthPlane& plane, int32_t from,
                            bool* cross) const {
    const float front = p.z[0];
    const float xMin = p.xMin, xMax = p.xMax, yMin = p.yMin, yMax = p.yMax;
    // The reach only falls along the positions: the search ends above the
    // last position up to which nothing reaches back behind p.
    const auto end = static_cast<int32_t>(
        std::partition_point(reach, reach + from + 1, [front](float r) { return !(r < front); }) -
        reach);
#if defined(VKE_DEPTH_WIDE)
    // Masks of blocks from wideBase on, tested ahead when the processor
    // has the wide instructions.
    uint32_t masks[kWideBlocks];
    int32_t wideBase = INT32_MAX;
    const bool wide = Wide();
#endif
    for (int32_t last = from; last >= end; last -= kBlock) {
      const int32_t base = last - kBlock + 1;
      uint32_t candidates = 0;
      if (base >= 0) {
#if defined(VKE_DEPTH_WIDE)
        if (wide) {
          if (base < wideBase) {
            const int32_t blocks = std::min(kWideBlocks, base / kBlock + 1);
            wideBase = base - kBlock * (blocks - 1);
            WideBlockTests(keys, front, xMin, xMax, yMin, yMax, wideBase, blocks, masks);
          }
          candidates = masks[(base - wideBase) / kBlock];
        } else {
          candidates = BlockTests(front, xMin, xMax, yMin, yMax, base);
        }
#else
        candidates = BlockTests(front, xMin, xMax, yMin, yMax, base);
#endif
        if (base < end) candidates &= ~0u << (end - base);
      } else {
        for (int32_t j = end; j <= last; ++j) {
          candidates |= uint32_t{(front > keys.back[j]) && xMin < keys.xMax[j] &&
                                 keys.xMin[j] < xMax && yMin < keys.yMax[j] && keys.yMin[j] < yMax}
                        << (j - base);
        }
      }
      for (uint32_t bits = candidates; bits != 0;) {
        const int k = 31 - std::countl_zero(bits);
        const int32_t j = base + k;
        if (Conflicts(p, plane, At(j), cross)) return j;
        bits &= ~(1u << k);
      }
    }
    return -1;
  }

  // Cuts the item at b by the plane of the triangle at a.
  bool CutBy(int32_t a, int32_t b) {
    if (!IsTriangle(At(a))) return false;
    made = SplitByPlane(pool, order[b], PlaneOf(At(a)), pieces);
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

  // A cycle through the top and the moved item at j: a split of the pair,
  // of the top against another moved item in conflict with it, or of any
  // pair of moved items in conflict, from the top of the chain down.
  bool BreakCycle(int32_t j) {
    const int32_t i = top;
    if (SplitPair(i, j, true)) return true;
    for (int32_t k = Below(i); k >= 0; k = Below(k)) {
      if (k != j && Ordered(i, k) && SplitPair(i, k, true)) return true;
    }
    for (int32_t a = i; a >= 0; a = Below(a)) {
      for (int32_t b = Below(a); b >= 0; b = Below(b)) {
        if (Ordered(a, b) && SplitPair(a, b, true)) return true;
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
          work != nullptr && workBytes >= DepthSortWorkBytes(pool),
          {},
          static_cast<uint32_t*>(work)};
  if (f.keyed) {
    const auto n = static_cast<size_t>(pool->capacity);
    float* at = static_cast<float*>(work);
    f.keys = PositionKeys{at, at + n, at + 2 * n, at + 3 * n, at + 4 * n};
    f.memoFound = f.scratch + 5 * n;
    f.memoCount = f.scratch + 6 * n;
  }
  f.SortAll();
  while (pool->active > 0) {
    if (f.top < 0) {
      const int32_t last = pool->active - 1;
      if (f.At(last).kind == kDepthRemoved || f.At(last).moved != 0) {
        --pool->active;
        continue;
      }
      // The item drawn next heads the chain: meeting it again closes a
      // cycle.
      f.top = last;
      f.next = kFresh;
      f.items[f.order[last]].moved = kChainBottom;
    }
    bool cross = false;
    bool inChain = false;
    const int32_t j = f.FindConflict(&cross, &inChain);
    if (j >= 0) {
      if (cross && f.SplitPair(f.top, j, false)) {
        f.Reset(inChain ? pool->active - 1 : j, inChain);
        continue;
      }
      if (!inChain) {
        f.Push(j);
        continue;
      }
      if (f.BreakCycle(j)) {
        f.Reset(pool->active - 1, true);
        continue;
      }
      // Drawn as it is when nothing could be split.
    }
    f.Draw(f.At(f.top), callbacks, context);
    f.Pop();
  }
}

}  // namespace vke
