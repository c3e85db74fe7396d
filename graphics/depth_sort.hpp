// The painter's-algorithm pool of 3-D primitives: points, segments and
// triangles already projected to device x, y and a depth z (larger is
// nearer) are collected in a caller's byte buffer and flushed far to near,
// with overlapping primitives reordered and, where they cross or form a
// cycle, split. Nothing is allocated: the header, the items and two index
// arrays are carved from the buffer, and the header holds byte offsets from
// its own start, so the pool has no pointers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

// Kinds of pool items.
enum DepthItemKind : uint32_t {
  kDepthRemoved = 0,
  kDepthPoint = 1,
  kDepthSegment = 2,
  kDepthFrontTriangle = 3,
  kDepthBackTriangle = 4,
};

// Edge states of a triangle's edges (edge i runs from vertex i to i + 1).
inline constexpr uint32_t kEdgeHidden = 2;
inline constexpr uint32_t kEdgeDrawn = 3;

// Results of the adds.
inline constexpr int32_t kDepthAdded = 0;  // added, or ignored (NaN, clipped, facing away)
inline constexpr int32_t kDepthNoPool = 1;
inline constexpr int32_t kDepthPoolFull = 2;

struct DepthSortItem {
  uint32_t kind;         // DepthItemKind
  uint32_t vertexCount;  // 1, 2 or 3
  float x[3];            // device x of the vertices, nearest first
  float y[3];
  float z[3];
  uint32_t edges[3];  // triangles: edge states; segments: the ends' original order
  float xMin, xMax, yMin, yMax;
  uint32_t moved;    // moved in the order during the current pass
  uint32_t user[3];  // the caller's words, handed back unchanged
};
static_assert(sizeof(DepthSortItem) == 88);

struct DepthSortPool {
  uint32_t itemsAt;  // byte offsets from the pool's start
  uint32_t orderAt;  // draw order: item indexes
  uint32_t spareAt;  // a second index array
  int32_t capacity;
  int32_t count;
  int32_t active;     // entries of the order array in use
  uint32_t flip;      // swaps front and back faces
  uint32_t clipping;  // the clip rectangle is in force
  float clipXMin, clipXMax, clipYMin, clipYMax;
};
static_assert(sizeof(DepthSortPool) == 48);

// Bytes each item costs: the item and its two index entries.
inline constexpr size_t kDepthItemBytes = sizeof(DepthSortItem) + 2 * sizeof(uint32_t);

// The pool over `bytes` bytes of `buffer` (4-byte aligned), with capacity
// (bytes - 48) / 96; null when bytes < 48.
DepthSortPool* DepthSortInit(void* buffer, size_t bytes, bool flip);

// Bytes of a pool of `capacity` items.
inline size_t DepthSortBytes(size_t capacity) {
  return sizeof(DepthSortPool) + kDepthItemBytes * capacity;
}

// The pool moved into `bytes` bytes of `buffer` (4-byte aligned, apart from
// the old pool's): its items, flip flag and clip rectangle, with the
// capacity the new buffer gives. Null when that capacity cannot hold the
// items.
DepthSortPool* DepthSortMove(const DepthSortPool* from, void* buffer, size_t bytes);

// Primitives wholly beyond one side of the rectangle are ignored from now on.
void DepthSortSetClip(DepthSortPool* pool, float xMin, float xMax, float yMin, float yMax);

int32_t DepthSortAddPoint(DepthSortPool* pool, const uint32_t user[3], float x, float y, float z);
int32_t DepthSortAddLine(DepthSortPool* pool, const uint32_t user[3], float x0, float y0, float z0,
                         float x1, float y1, float z1);
// Bit i of hiddenEdges hides edge i; a front-facing triangle is kept only
// with drawFront, a back-facing one only with drawBack.
int32_t DepthSortAddTriangle(DepthSortPool* pool, const uint32_t user[3], const float x[3],
                             const float y[3], const float z[3], bool drawFront, bool drawBack,
                             uint32_t hiddenEdges);

// The drawing of each kind; a null callback skips its kind.
struct DepthSortCallbacks {
  void (*point)(void* context, const uint32_t user[3], float x, float y, float z);
  void (*segment)(void* context, const uint32_t user[3], const float* x, const float* y,
                  const float* z, const uint32_t* edges);
  void (*triangle)(void* context, const uint32_t user[3], const float* x, const float* y,
                   const float* z, const uint32_t* edges, bool front);
};

// Orders the primitives far to near, splitting where needed and room is
// left, and draws each through its callback. A null pool draws nothing.
// A work area of DepthSortWorkBytes(pool) bytes or more (4-byte aligned;
// its contents are overwritten) makes the search for overlapping items run
// through compact copies of their bounds and remember what it found; the
// order drawn is the same without it.
void DepthSortFlush(DepthSortPool* pool, const DepthSortCallbacks& callbacks, void* context,
                    void* work = nullptr, size_t workBytes = 0);

// Bytes of the work area that speeds up the flush of the pool.
inline size_t DepthSortWorkBytes(const DepthSortPool* pool) {
  return pool == nullptr ? 0 : 7 * sizeof(float) * static_cast<size_t>(pool->capacity);
}

// The items and the order array of a pool.
DepthSortItem* DepthSortItems(DepthSortPool* pool);
uint32_t* DepthSortOrder(DepthSortPool* pool);

}  // namespace vke
