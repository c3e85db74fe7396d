// The depth pool's buffer layout and the adding of points, segments and
// triangles.
#include "graphics/depth_sort.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <utility>

#include "graphics/depth_sort_internal.hpp"

namespace vke {
namespace {

DepthSortItem* NewItem(DepthSortPool* pool, const uint32_t user[3], uint32_t kind,
                       uint32_t vertexCount) {
  DepthSortItem* item = &DepthSortItems(pool)[pool->count++];
  *item = DepthSortItem{};
  item->kind = kind;
  item->vertexCount = vertexCount;
  std::copy_n(user, 3, item->user);
  return item;
}

bool AnyNaN(const float* v, int n) {
  for (int i = 0; i < n; ++i) {
    if (std::isnan(v[i])) return true;
  }
  return false;
}

// All n vertices lie beyond one side of the clip rectangle.
bool Clipped(const DepthSortPool& pool, const float* x, const float* y, int n) {
  if (!pool.clipping) return false;
  const auto all = [&](const float* v, auto beyond) {
    for (int i = 0; i < n; ++i) {
      if (!beyond(v[i])) return false;
    }
    return true;
  };
  return all(x, [&](float v) { return v < pool.clipXMin; }) ||
         all(x, [&](float v) { return v > pool.clipXMax; }) ||
         all(y, [&](float v) { return v < pool.clipYMin; }) ||
         all(y, [&](float v) { return v > pool.clipYMax; });
}

// Null, NaN and full checks shared by the adds; *take is false when the
// primitive is not stored.
int32_t Admit(DepthSortPool* pool, const float* xyz, int n, bool* take) {
  *take = false;
  if (pool == nullptr) return kDepthNoPool;
  if (AnyNaN(xyz, n)) return kDepthAdded;
  if (pool->count >= pool->capacity) return kDepthPoolFull;
  *take = true;
  return kDepthAdded;
}

}  // namespace

DepthSortItem* DepthSortItems(DepthSortPool* pool) {
  return reinterpret_cast<DepthSortItem*>(reinterpret_cast<std::byte*>(pool) + pool->itemsAt);
}

uint32_t* DepthSortOrder(DepthSortPool* pool) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<std::byte*>(pool) + pool->orderAt);
}

DepthSortPool* DepthSortInit(void* buffer, size_t bytes, bool flip) {
  if (buffer == nullptr || bytes < sizeof(DepthSortPool)) return nullptr;
  // Offsets and counts are 32-bit: a larger buffer is used up to what they
  // reach.
  constexpr size_t kMostItems =
      (std::numeric_limits<uint32_t>::max() - sizeof(DepthSortPool)) / kDepthItemBytes;
  const size_t capacity = std::min((bytes - sizeof(DepthSortPool)) / kDepthItemBytes, kMostItems);
  auto* pool = static_cast<DepthSortPool*>(buffer);
  *pool = DepthSortPool{};
  pool->itemsAt = sizeof(DepthSortPool);
  pool->orderAt = static_cast<uint32_t>(pool->itemsAt + capacity * sizeof(DepthSortItem));
  pool->spareAt = static_cast<uint32_t>(pool->orderAt + capacity * sizeof(uint32_t));
  pool->capacity = static_cast<int32_t>(std::min<size_t>(capacity, INT32_MAX));
  pool->flip = flip ? 1 : 0;
  return pool;
}

DepthSortPool* DepthSortMove(const DepthSortPool* from, void* buffer, size_t bytes) {
  if (from == nullptr) return nullptr;
  DepthSortPool* pool = DepthSortInit(buffer, bytes, from->flip != 0);
  if (pool == nullptr || pool->capacity < from->count) return nullptr;
  pool->clipping = from->clipping;
  pool->clipXMin = from->clipXMin;
  pool->clipXMax = from->clipXMax;
  pool->clipYMin = from->clipYMin;
  pool->clipYMax = from->clipYMax;
  const auto* items = reinterpret_cast<const DepthSortItem*>(
      reinterpret_cast<const std::byte*>(from) + from->itemsAt);
  std::copy_n(items, from->count, DepthSortItems(pool));
  pool->count = from->count;
  return pool;
}

void DepthSortSetClip(DepthSortPool* pool, float xMin, float xMax, float yMin, float yMax) {
  if (pool == nullptr) return;
  pool->clipping = 1;
  pool->clipXMin = xMin;
  pool->clipXMax = xMax;
  pool->clipYMin = yMin;
  pool->clipYMax = yMax;
}

int32_t DepthSortAddPoint(DepthSortPool* pool, const uint32_t user[3], float x, float y, float z) {
  const float xyz[3] = {x, y, z};
  bool take = false;
  const int32_t rc = Admit(pool, xyz, 3, &take);
  if (!take || Clipped(*pool, &x, &y, 1)) return rc;
  DepthSortItem* item = NewItem(pool, user, kDepthPoint, 1);
  item->x[0] = x;
  item->y[0] = y;
  item->z[0] = z;
  FinishItem(item);
  return kDepthAdded;
}

int32_t DepthSortAddLine(DepthSortPool* pool, const uint32_t user[3], float x0, float y0, float z0,
                         float x1, float y1, float z1) {
  const float xyz[6] = {x0, y0, z0, x1, y1, z1};
  bool take = false;
  const int32_t rc = Admit(pool, xyz, 6, &take);
  const float x[2] = {x0, x1};
  const float y[2] = {y0, y1};
  if (!take || Clipped(*pool, x, y, 2)) return rc;
  DepthSortItem* item = NewItem(pool, user, kDepthSegment, 2);
  for (int i = 0; i < 2; ++i) {
    item->x[i] = xyz[3 * i];
    item->y[i] = xyz[3 * i + 1];
    item->z[i] = xyz[3 * i + 2];
    item->edges[i] = static_cast<uint32_t>(i);
  }
  FinishItem(item);
  return kDepthAdded;
}

int32_t DepthSortAddTriangle(DepthSortPool* pool, const uint32_t user[3], const float x[3],
                             const float y[3], const float z[3], bool drawFront, bool drawBack,
                             uint32_t hiddenEdges) {
  const float xyz[9] = {x[0], x[1], x[2], y[0], y[1], y[2], z[0], z[1], z[2]};
  bool take = false;
  const int32_t rc = Admit(pool, xyz, 9, &take);
  if (!take || Clipped(*pool, x, y, 3)) return rc;
  const double first = (double{x[2]} - x[0]) * (double{y[1]} - y[0]);
  const double second = (double{x[1]} - x[0]) * (double{y[2]} - y[0]);
  const bool front = (first < second) != (pool->flip != 0);
  if (front ? !drawFront : !drawBack) return kDepthAdded;
  DepthSortItem* item = NewItem(pool, user, front ? kDepthFrontTriangle : kDepthBackTriangle, 3);
  for (int i = 0; i < 3; ++i) {
    item->x[i] = x[i];
    item->y[i] = y[i];
    item->z[i] = z[i];
    item->edges[i] = hiddenEdges & (1u << i) ? kEdgeHidden : kEdgeDrawn;
  }
  FinishItem(item);
  return kDepthAdded;
}

void FinishItem(DepthSortItem* item) {
  const auto order = [&](int a, int b) {
    if (!(item->z[a] < item->z[b])) return;
    std::swap(item->x[a], item->x[b]);
    std::swap(item->y[a], item->y[b]);
    std::swap(item->z[a], item->z[b]);
    if (item->vertexCount == 3) {
      // The edge between a and b stays; the other two trade places.
      const int edgeAB = (a + 1) % 3 == b ? a : b;
      std::swap(item->edges[(edgeAB + 1) % 3], item->edges[(edgeAB + 2) % 3]);
    } else {
      std::swap(item->edges[a], item->edges[b]);
    }
  };
  if (item->vertexCount >= 2) order(0, 1);
  if (item->vertexCount == 3) {
    order(1, 2);
    order(0, 1);
  }
  const uint32_t n = item->vertexCount;
  item->xMin = *std::min_element(item->x, item->x + n);
  item->xMax = *std::max_element(item->x, item->x + n);
  item->yMin = *std::min_element(item->y, item->y + n);
  item->yMax = *std::max_element(item->y, item->y + n);
}

}  // namespace vke
