// The depth pool: its capacity, the adds, the far-to-near order, splits of
// crossing triangles, cycles, and a randomized check of the painter's order.
#include "graphics/depth_sort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace vke {
namespace {

// One drawn primitive.
struct Drawn {
  uint32_t user;
  int vertices;
  float x[3], y[3], z[3];
  uint32_t edges[3];
  bool front;
};

struct Log {
  std::vector<Drawn> drawn;
};

void OnPoint(void* context, const uint32_t user[3], float x, float y, float z) {
  static_cast<Log*>(context)->drawn.push_back({user[0], 1, {x}, {y}, {z}, {}, true});
}

void OnSegment(void* context, const uint32_t user[3], const float* x, const float* y,
               const float* z, const uint32_t* edges) {
  static_cast<Log*>(context)->drawn.push_back(
      {user[0], 2, {x[0], x[1]}, {y[0], y[1]}, {z[0], z[1]}, {edges[0], edges[1]}, true});
}

void OnTriangle(void* context, const uint32_t user[3], const float* x, const float* y,
                const float* z, const uint32_t* edges, bool front) {
  static_cast<Log*>(context)->drawn.push_back({user[0],
                                               3,
                                               {x[0], x[1], x[2]},
                                               {y[0], y[1], y[2]},
                                               {z[0], z[1], z[2]},
                                               {edges[0], edges[1], edges[2]},
                                               front});
}

constexpr DepthSortCallbacks kLogCallbacks{&OnPoint, &OnSegment, &OnTriangle};

struct Pool {
  explicit Pool(int32_t capacity) : bytes(48 + kDepthItemBytes * static_cast<size_t>(capacity)) {
    memory.resize(bytes / 8 + 1);
    pool = DepthSortInit(memory.data(), bytes, false);
  }
  int32_t Triangle(uint32_t id, std::vector<float> xyz, uint32_t hidden = 0) {
    const uint32_t user[3] = {id, 0, 0};
    const float x[3] = {xyz[0], xyz[3], xyz[6]};
    const float y[3] = {xyz[1], xyz[4], xyz[7]};
    const float z[3] = {xyz[2], xyz[5], xyz[8]};
    return DepthSortAddTriangle(pool, user, x, y, z, true, true, hidden);
  }
  // Without and with the work area that speeds the flush up.
  std::vector<Drawn> Flush(bool work = false) {
    Log log;
    std::vector<uint32_t> area(work ? DepthSortWorkBytes(pool) / 4 : 0);
    DepthSortFlush(pool, kLogCallbacks, &log, area.data(), area.size() * 4);
    return log.drawn;
  }
  size_t bytes;
  std::vector<uint64_t> memory;
  DepthSortPool* pool;
};

std::vector<uint32_t> Users(const std::vector<Drawn>& drawn) {
  std::vector<uint32_t> out;
  for (const Drawn& d : drawn) out.push_back(d.user);
  return out;
}

TEST(DepthSort, CapacityAndAdds) {
  std::vector<uint64_t> memory(64);
  EXPECT_EQ(DepthSortInit(memory.data(), 47, false), nullptr);
  for (int32_t k : {0, 1, 3}) {
    DepthSortPool* pool = DepthSortInit(memory.data(), 48 + 96 * static_cast<size_t>(k), false);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->capacity, k);
  }
  const uint32_t user[3] = {1, 2, 3};
  EXPECT_EQ(DepthSortAddPoint(nullptr, user, 0, 0, 0), kDepthNoPool);
  Pool p(2);
  EXPECT_EQ(DepthSortAddPoint(p.pool, user, NAN, 0, 0), kDepthAdded);  // ignored
  EXPECT_EQ(p.pool->count, 0);
  EXPECT_EQ(DepthSortAddPoint(p.pool, user, 1, 2, 3), kDepthAdded);
  EXPECT_EQ(DepthSortAddLine(p.pool, user, 0, 0, 5, 10, 0, 6), kDepthAdded);
  EXPECT_EQ(p.Triangle(7, {0, 0, 0, 1, 0, 0, 0, 1, 0}), kDepthPoolFull);
  const auto drawn = p.Flush();
  ASSERT_EQ(drawn.size(), 2u);  // only the triangle was lost
  EXPECT_EQ(drawn[0].vertices, 1);
  EXPECT_EQ(drawn[1].vertices, 2);
  EXPECT_EQ(drawn[1].z[0], 6);  // nearest vertex first, its end index along
  EXPECT_EQ(drawn[1].edges[0], 1u);
}

TEST(DepthSort, FullPoolMovedIntoMoreRoom) {
  Pool p(2);
  DepthSortSetClip(p.pool, 0, 100, 0, 100);
  const uint32_t user[3] = {1, 2, 3};
  ASSERT_EQ(DepthSortAddPoint(p.pool, user, 1, 2, 3), kDepthAdded);
  ASSERT_EQ(DepthSortAddLine(p.pool, user, 0, 0, 5, 10, 0, 6), kDepthAdded);
  ASSERT_EQ(p.Triangle(7, {0, 0, 0, 1, 0, 0, 0, 1, 0}), kDepthPoolFull);
  std::vector<uint64_t> small(DepthSortBytes(1) / 8 + 1);
  EXPECT_EQ(DepthSortMove(p.pool, small.data(), DepthSortBytes(1)), nullptr);
  std::vector<uint64_t> room(DepthSortBytes(4) / 8);
  DepthSortPool* moved = DepthSortMove(p.pool, room.data(), DepthSortBytes(4));
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->capacity, 4);
  EXPECT_EQ(moved->count, 2);
  // The clip rectangle goes along: a point beyond it is still ignored.
  EXPECT_EQ(DepthSortAddPoint(moved, user, 200, 2, 3), kDepthAdded);
  EXPECT_EQ(moved->count, 2);
  const uint32_t lost[3] = {7, 0, 0};
  const float x[3] = {0, 1, 0}, y[3] = {0, 0, 1}, z[3] = {0, 0, 0};
  EXPECT_EQ(DepthSortAddTriangle(moved, lost, x, y, z, true, true, 0), kDepthAdded);
  Log log;
  DepthSortFlush(moved, kLogCallbacks, &log);
  EXPECT_EQ(log.drawn.size(), 3u);
  // The flip flag goes along too.
  Pool flipped(1);
  flipped.pool->flip = 1;
  EXPECT_EQ(DepthSortMove(flipped.pool, room.data(), DepthSortBytes(4))->flip, 1u);
}

TEST(DepthSort, FacingFlipAndHiddenEdges) {
  Pool p(4);
  const uint32_t user[3] = {0, 0, 0};
  const float x[3] = {0, 10, 0};
  const float y[3] = {0, 0, 10};
  const float z[3] = {1, 2, 3};
  // Counter-clockwise in x-y is front-facing; the flip turns it round.
  EXPECT_EQ(DepthSortAddTriangle(p.pool, user, x, y, z, true, false, 0b010), kDepthAdded);
  p.pool->flip = 1;
  EXPECT_EQ(DepthSortAddTriangle(p.pool, user, x, y, z, true, false, 0), kDepthAdded);
  EXPECT_EQ(p.pool->count, 1);
  const auto drawn = p.Flush();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_TRUE(drawn[0].front);
  // Vertices nearest first: (0,10,3), (10,0,2), (0,0,1); the hidden edge
  // (10,0)-(0,10) now runs from vertex 0 to vertex 1.
  EXPECT_EQ(drawn[0].z[0], 3);
  EXPECT_EQ(drawn[0].edges[0], kEdgeHidden);
  EXPECT_EQ(drawn[0].edges[1], kEdgeDrawn);
  EXPECT_EQ(drawn[0].edges[2], kEdgeDrawn);
}

TEST(DepthSort, SeparateDepthsDrawFarFirst) {
  Pool p(8);
  p.Triangle(1, {0, 0, 10, 100, 0, 11, 0, 100, 12});
  p.Triangle(2, {0, 0, 1, 100, 0, 2, 0, 100, 3});
  p.Triangle(3, {0, 0, 5, 100, 0, 6, 0, 100, 7});
  EXPECT_EQ(Users(p.Flush()), (std::vector<uint32_t>{2, 3, 1}));
}

TEST(DepthSort, CrossingTriangleIsSplit) {
  Pool p(16);
  // A flat triangle at depth 5 and a steep one through its plane.
  p.Triangle(1, {0, 0, 5, 100, 0, 5, 0, 100, 5});
  p.Triangle(2, {10, 10, 0, 60, 10, 10, 10, 60, 10});
  const auto drawn = p.Flush();
  ASSERT_GT(drawn.size(), 2u);
  // Pieces of 2 behind the plane, then 1, then the pieces in front.
  size_t flat = 0;
  while (flat < drawn.size() && drawn[flat].user != 1) ++flat;
  ASSERT_LT(flat, drawn.size());
  for (size_t k = 0; k < drawn.size(); ++k) {
    if (k == flat) continue;
    const Drawn& d = drawn[k];
    for (int v = 0; v < 3; ++v) {
      if (k < flat) {
        EXPECT_LE(d.z[v], 5 + 1e-3);
      }
      if (k > flat) {
        EXPECT_GE(d.z[v], 5 - 1e-3);
      }
    }
    // Cut edges are not drawn.
    int hidden = 0;
    for (uint32_t e : d.edges) hidden += e == kEdgeHidden;
    EXPECT_GE(hidden, 1);
  }
}

TEST(DepthSort, CyclicTrianglesTerminate) {
  for (int32_t capacity : {3, 64}) {
    Pool p(capacity);
    // Three long triangles, each over the next at one end and under it at
    // the other.
    for (uint32_t k = 0; k < 3; ++k) {
      const double a = k * 2 * M_PI / 3;
      const float cx = static_cast<float>(std::cos(a)), cy = static_cast<float>(std::sin(a));
      const float tx = -cy, ty = cx;
      p.Triangle(k, {100 * cx - 80 * tx, 100 * cy - 80 * ty, 0, 100 * cx + 80 * tx - 10 * cx,
                     100 * cy + 80 * ty - 10 * cy, 10, -60 * cx, -60 * cy, 5});
    }
    const auto drawn = p.Flush();
    EXPECT_GE(drawn.size(), 3u);
    if (capacity == 3) {
      EXPECT_EQ(drawn.size(), 3u);
    }
  }
}

// ---- randomized ----

// Depth of a drawn triangle's plane at (x, y).
double DepthAt(const Drawn& t, double x, double y) {
  const double e1[3] = {t.x[1] - t.x[0], t.y[1] - t.y[0], t.z[1] - t.z[0]};
  const double e2[3] = {t.x[2] - t.x[0], t.y[2] - t.y[0], t.z[2] - t.z[0]};
  const double a = e1[1] * e2[2] - e1[2] * e2[1];
  const double b = e1[2] * e2[0] - e1[0] * e2[2];
  const double c = e1[0] * e2[1] - e1[1] * e2[0];
  return t.z[0] - (a * (x - t.x[0]) + b * (y - t.y[0])) / c;
}

double Edge(const Drawn& t, int i, double x, double y) {
  const int j = (i + 1) % 3;
  return (t.x[j] - t.x[i]) * (y - t.y[i]) - (t.y[j] - t.y[i]) * (x - t.x[i]);
}

// (x, y) lies well inside the triangle.
bool Inside(const Drawn& t, double x, double y) {
  const double area = Edge(t, 0, t.x[2], t.y[2]);
  if (std::fabs(area) < 1e-3) return false;
  for (int i = 0; i < 3; ++i) {
    if (Edge(t, i, x, y) / area < 0.01) return false;
  }
  return true;
}

struct Box {
  float x0, x1, y0, y1;
};

Box BoxOf(const Drawn& d) {
  const auto [x0, x1] = std::minmax({d.x[0], d.x[1], d.x[2]});
  const auto [y0, y1] = std::minmax({d.y[0], d.y[1], d.y[2]});
  return {x0, x1, y0, y1};
}

// The later of two triangles drawn over the earlier at a sample point both
// cover, where the earlier is nearer.
bool WrongOrder(const Drawn& early, const Drawn& late, std::mt19937* rng) {
  std::uniform_real_distribution<double> unit(0, 1);
  for (int s = 0; s < 8; ++s) {
    double u = unit(*rng), v = unit(*rng);
    if (u + v > 1) u = 1 - u, v = 1 - v;
    const double x = late.x[0] + u * (late.x[1] - late.x[0]) + v * (late.x[2] - late.x[0]);
    const double y = late.y[0] + u * (late.y[1] - late.y[0]) + v * (late.y[2] - late.y[0]);
    if (!Inside(early, x, y) || !Inside(late, x, y)) continue;
    if (DepthAt(early, x, y) > DepthAt(late, x, y) + 1e-2) return true;
  }
  return false;
}

// Overlapping pairs drawn in the wrong order, found by a sweep over x.
int WrongOrders(const std::vector<Drawn>& drawn, std::mt19937* rng) {
  std::vector<Box> boxes;
  for (const Drawn& d : drawn) boxes.push_back(BoxOf(d));
  std::vector<size_t> byX(drawn.size());
  for (size_t k = 0; k < byX.size(); ++k) byX[k] = k;
  std::sort(byX.begin(), byX.end(), [&](size_t a, size_t b) { return boxes[a].x0 < boxes[b].x0; });
  int wrong = 0;
  for (size_t i = 0; i < byX.size(); ++i) {
    const Box& a = boxes[byX[i]];
    for (size_t j = i + 1; j < byX.size() && boxes[byX[j]].x0 < a.x1; ++j) {
      const Box& b = boxes[byX[j]];
      if (!(a.y0 < b.y1 && b.y0 < a.y1)) continue;
      const size_t early = std::min(byX[i], byX[j]);
      const size_t late = std::max(byX[i], byX[j]);
      wrong += WrongOrder(drawn[early], drawn[late], rng);
    }
  }
  return wrong;
}

bool operator==(const Drawn& a, const Drawn& b) {
  const auto same = [](const auto& u, const auto& v) { return std::memcmp(u, v, sizeof u) == 0; };
  return a.user == b.user && a.vertices == b.vertices && same(a.x, b.x) && same(a.y, b.y) &&
         same(a.z, b.z) && same(a.edges, b.edges) && a.front == b.front;
}

// n random triangles around centres in 0..800 at depths -100..100.
void AddRandomTriangles(Pool* p, int32_t n, float size, std::mt19937* rng) {
  std::uniform_real_distribution<float> centre(0, 800);
  std::uniform_real_distribution<float> depth(-100, 100);
  std::uniform_real_distribution<float> offset(-size, size);
  for (uint32_t k = 0; k < static_cast<uint32_t>(n); ++k) {
    const float cx = centre(*rng), cy = centre(*rng), cz = depth(*rng);
    std::vector<float> xyz;
    for (int v = 0; v < 3; ++v) {
      xyz.push_back(cx + offset(*rng));
      xyz.push_back(cy + offset(*rng));
      xyz.push_back(cz + offset(*rng));
    }
    ASSERT_EQ(p->Triangle(k, xyz), kDepthAdded);
  }
}

TEST(DepthSort, RandomTrianglesDrawInPainterOrder) {
  std::mt19937 rng(25);
  for (int32_t spare : {50000, 20}) {
    const int32_t n = 2000;
    Pool p(n + spare);
    AddRandomTriangles(&p, n, 40, &rng);
    const auto drawn = p.Flush();
    EXPECT_GE(drawn.size(), static_cast<size_t>(n));
    for (const Drawn& d : drawn) {
      for (int v = 0; v < d.vertices; ++v) {
        ASSERT_TRUE(std::isfinite(d.x[v]) && std::isfinite(d.y[v]) && std::isfinite(d.z[v]));
      }
    }
    // With room for every split the order is right; a pool that filled up
    // may leave cycles it could not cut.
    if (p.pool->count + 2 < p.pool->capacity) {
      EXPECT_EQ(WrongOrders(drawn, &rng), 0);
    }
  }
}

// The work area changes nothing of what is drawn: splits, cycles, a pool
// that fills up, segments and points among the triangles, and an infinite
// depth.
TEST(DepthSort, WorkAreaDrawsTheSame) {
  std::mt19937 rng(3);
  for (int32_t spare : {40000, 30, 0}) {
    std::vector<Drawn> drawn[2];
    for (bool work : {false, true}) {
      std::mt19937 same = rng;
      Pool p(600 + spare);
      AddRandomTriangles(&p, 600, 60, &same);
      const uint32_t user[3] = {5000, 0, 0};
      DepthSortAddLine(p.pool, user, 0, 0, -200, 800, 800, 200);
      DepthSortAddLine(p.pool, user, 0, 800, 0, 800, 0, 0);
      DepthSortAddPoint(p.pool, user, 400, 400, 0);
      DepthSortAddPoint(p.pool, user, 410, 400, INFINITY);
      drawn[work] = p.Flush(work);
    }
    EXPECT_GT(drawn[0].size(), spare > 0 ? 604u : 500u);  // splits were made
    EXPECT_TRUE(drawn[0] == drawn[1]) << spare;
  }
}

}  // namespace
}  // namespace vke
