// The depth pool's flush against the plain statement of its rules on random
// scenes: sort by maximum depth (ties by item index), place the last item,
// move an item that must come first behind it and place that one, split
// crossings and cycles, and after every draw or split put the moved items
// back in order and start again from the last. The flush keeps its moved
// items as a chain, resumes searches and remembers their results; whatever
// it draws must be exactly what the plain rules draw, with its work area
// and without.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/depth_sort.hpp"
#include "graphics/depth_sort_internal.hpp"

namespace vke {
namespace {

// What was drawn, in order: user word, kind and the coordinates' bits.
using Trace = std::vector<uint32_t>;

void Record(Trace* t, const uint32_t user[3], uint32_t kind, const float* x, const float* y,
            const float* z, int n) {
  t->push_back(user[0]);
  t->push_back(kind);
  for (const float* v : {x, y, z}) {
    for (int i = 0; i < n; ++i) {
      uint32_t bits = 0;
      std::memcpy(&bits, &v[i], 4);
      t->push_back(bits);
    }
  }
}

void OnPoint(void* c, const uint32_t user[3], float x, float y, float z) {
  Record(static_cast<Trace*>(c), user, 1, &x, &y, &z, 1);
}
void OnSegment(void* c, const uint32_t user[3], const float* x, const float* y, const float* z,
               const uint32_t*) {
  Record(static_cast<Trace*>(c), user, 2, x, y, z, 2);
}
void OnTriangle(void* c, const uint32_t user[3], const float* x, const float* y, const float* z,
                const uint32_t*, bool front) {
  Record(static_cast<Trace*>(c), user, front ? 3 : 4, x, y, z, 3);
}

// The rules applied literally, over a copy of the pool's order.
struct PlainFlush {
  DepthSortPool* pool;
  DepthSortItem* items;
  std::vector<uint32_t> order;
  std::vector<bool> moved;
  Trace drawn;

  const DepthSortItem& At(size_t i) const { return items[order[i]]; }

  void Sort() {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      const float za = items[a].z[0] + 0.0f, zb = items[b].z[0] + 0.0f;
      return za > zb || (za == zb && a < b);
    });
    moved.assign(static_cast<size_t>(pool->capacity), false);
  }

  bool Conflict(size_t i, size_t j, bool* cross) const {
    const DepthSortItem& p = At(i);
    const DepthSortItem& q = At(j);
    if (q.kind == kDepthRemoved || !(p.z[0] > q.z[q.vertexCount - 1])) return false;
    if (!(p.xMin < q.xMax && q.xMin < p.xMax && p.yMin < q.yMax && q.yMin < p.yMax)) return false;
    return Conflicts(p, IsTriangle(p) ? PlaneOf(p) : DepthPlane{}, q, cross);
  }

  // Cuts the item at b by the triangle's at a; the pieces join the order.
  bool Cut(size_t a, size_t b) {
    if (!IsTriangle(At(a))) return false;
    uint32_t pieces[3];
    const int32_t n = SplitByPlane(pool, order[b], PlaneOf(At(a)), pieces);
    order.insert(order.end(), pieces, pieces + n);
    return n > 0;
  }

  bool Split(size_t far, size_t near, bool either) {
    const bool farSegment = At(far).kind == kDepthSegment;
    if (farSegment && At(near).kind == kDepthSegment) return false;
    return Cut(far, near) || ((either || farSegment) && Cut(near, far));
  }

  bool EitherWay(size_t a, size_t b) const {
    const DepthSortItem& p = At(a);
    const DepthSortItem& q = At(b);
    if (p.kind == kDepthRemoved || q.kind == kDepthRemoved) return false;
    if (!(p.z[0] > q.z[q.vertexCount - 1] && q.z[0] > p.z[p.vertexCount - 1])) return false;
    bool cross = false;
    return Conflict(a, b, &cross) || Conflict(b, a, &cross);
  }

  bool BreakCycle(size_t i, size_t j) {
    if (Split(i, j, true)) return true;
    for (size_t k = i; k-- > 0;) {
      if (k != j && moved[order[k]] && EitherWay(i, k) && Split(i, k, true)) return true;
    }
    for (size_t a = i + 1; a-- > 0;) {
      for (size_t b = a; moved[order[a]] && b-- > 0;) {
        if (moved[order[b]] && EitherWay(a, b) && Split(a, b, true)) return true;
      }
    }
    return false;
  }

  void Run() {
    for (uint32_t k = 0; k < static_cast<uint32_t>(pool->count); ++k) {
      FinishItem(&items[k]);
      order.push_back(k);
    }
    Sort();
    while (!order.empty()) {
      const size_t i = order.size() - 1;
      if (At(i).kind == kDepthRemoved) {
        order.pop_back();
        continue;
      }
      moved[order[i]] = true;
      bool split = false;
      for (;;) {
        bool cross = false;
        size_t j = i;
        while (j-- > 0 && !Conflict(i, j, &cross)) {
        }
        if (j == SIZE_MAX) break;
        if (cross && Split(i, j, false)) {
          split = true;
          break;
        }
        if (moved[order[j]]) {
          split = BreakCycle(i, j);
          break;
        }
        std::rotate(order.begin() + static_cast<ptrdiff_t>(j),
                    order.begin() + static_cast<ptrdiff_t>(j) + 1, order.end());
        moved[order[i]] = true;
      }
      if (!split) {
        const DepthSortItem& p = At(i);
        const auto kind = static_cast<uint32_t>(p.kind);
        if (kind == kDepthPoint) OnPoint(&drawn, p.user, p.x[0], p.y[0], p.z[0]);
        if (kind == kDepthSegment) OnSegment(&drawn, p.user, p.x, p.y, p.z, p.edges);
        if (IsTriangle(p)) OnTriangle(&drawn, p.user, p.x, p.y, p.z, p.edges, kind == 3);
        order.pop_back();
      }
      Sort();
    }
  }
};

// A pool of random triangles, with segments, points and ties in depth.
std::vector<uint64_t> Scene(uint32_t seed, int32_t triangles, int32_t spare) {
  std::mt19937 rng(seed);
  const int32_t capacity = triangles + 20 + spare;
  std::vector<uint64_t> memory((48 + kDepthItemBytes * static_cast<size_t>(capacity)) / 8 + 1);
  DepthSortPool* pool = DepthSortInit(memory.data(), memory.size() * 8, false);
  std::uniform_real_distribution<float> centre(0, 300), offset(-60, 60);
  std::uniform_int_distribution<int> level(-20, 20);
  for (uint32_t k = 0; k < static_cast<uint32_t>(triangles); ++k) {
    const float cx = centre(rng), cy = centre(rng), cz = static_cast<float>(level(rng) * 5);
    float x[3], y[3], z[3];
    for (int v = 0; v < 3; ++v) {
      x[v] = cx + offset(rng);
      y[v] = cy + offset(rng);
      // Depths on a coarse grid: many items share their maximum depth.
      z[v] = cz + static_cast<float>(level(rng));
    }
    const uint32_t user[3] = {k, 0, 0};
    DepthSortAddTriangle(pool, user, x, y, z, true, true, k % 8);
  }
  for (uint32_t k = 0; k < 10; ++k) {
    const uint32_t user[3] = {10000 + k, 0, 0};
    DepthSortAddLine(pool, user, centre(rng), centre(rng), offset(rng), centre(rng), centre(rng),
                     offset(rng));
    DepthSortAddPoint(pool, user, centre(rng), centre(rng), k == 0 ? INFINITY : offset(rng));
  }
  return memory;
}

Trace Flushed(std::vector<uint64_t> memory, bool work) {
  auto* pool = reinterpret_cast<DepthSortPool*>(memory.data());
  std::vector<uint32_t> area(work ? DepthSortWorkBytes(pool) / 4 : 0);
  Trace t;
  DepthSortFlush(pool, DepthSortCallbacks{&OnPoint, &OnSegment, &OnTriangle}, &t, area.data(),
                 area.size() * 4);
  return t;
}

TEST(DepthSortChain, DrawsWhatThePlainRulesDraw) {
  int32_t splitScenes = 0;
  for (uint32_t seed = 1; seed <= 14; ++seed) {
    // Room for every split, for a few, and for none; small scenes and
    // large ones.
    for (int32_t spare : {4000, 25, 0}) {
      const std::vector<uint64_t> memory = Scene(seed, seed <= 12 ? 120 : 400, spare);
      std::vector<uint64_t> copy = memory;
      auto* pool = reinterpret_cast<DepthSortPool*>(copy.data());
      PlainFlush plain{pool, DepthSortItems(pool), {}, {}, {}};
      plain.Run();
      splitScenes += pool->count > (seed <= 12 ? 140 : 420);
      EXPECT_EQ(Flushed(memory, true), plain.drawn) << "seed " << seed << " spare " << spare;
      EXPECT_EQ(Flushed(memory, false), plain.drawn) << "seed " << seed << " spare " << spare;
    }
  }
  EXPECT_GT(splitScenes, 12);  // the scenes do split
}

}  // namespace
}  // namespace vke
