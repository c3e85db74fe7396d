// Fans and ear clipping of polygon faces.
#include "graphics/face_triangles.hpp"

#include <algorithm>
#include <cmath>

namespace vke {
namespace {

// Ears tried per cut, sharpest first, before the sharpest is cut even with
// a vertex inside it.
constexpr int32_t kEarTries = 8;

// Edge-boundary bits of a triangle.
constexpr uint32_t kFirstEdge = 1;
constexpr uint32_t kSecondEdge = 2;
constexpr uint32_t kThirdEdge = 4;

// The ring of vertices still in the face, kept in the scratch: per vertex
// its turning angle, its neighbours and whether its outgoing edge is on the
// face's boundary.
struct Ring {
  double* angle;
  int32_t* prev;
  int32_t* next;
  double* boundary;
  const double* x;
  const double* y;

  void Turn(int32_t k) {
    const int32_t p = prev[k];
    const int32_t n = next[k];
    const double ix = x[k] - x[p];
    const double iy = y[k] - y[p];
    const double ox = x[n] - x[k];
    const double oy = y[n] - y[k];
    angle[k] = std::atan2(ix * oy - iy * ox, ix * ox + iy * oy);
  }

  // Whether a vertex of the ring other than the ear's own three lies in
  // the ear at k or on its sides.
  bool EarHoldsVertex(int32_t k, int32_t head, int32_t left) const {
    const int32_t a = prev[k];
    const int32_t c = next[k];
    const auto side = [&](int32_t from, int32_t to, int32_t q) {
      return (x[to] - x[from]) * (y[q] - y[from]) - (y[to] - y[from]) * (x[q] - x[from]);
    };
    int32_t q = head;
    for (int32_t i = 0; i < left; ++i, q = next[q]) {
      if (q == a || q == k || q == c) continue;
      const double d[3] = {side(a, k, q), side(k, c, q), side(c, a, q)};
      const bool below = d[0] < 0 || d[1] < 0 || d[2] < 0;
      const bool above = d[0] > 0 || d[1] > 0 || d[2] > 0;
      if (!(below && above)) return true;
    }
    return false;
  }

  // The vertex to cut: the one turning most in the face's direction
  // (`total`) whose ear holds no other vertex, among the sharpest few; else
  // the sharpest; -1 when none turns that way.
  int32_t PickEar(int32_t head, int32_t left, double total) const {
    int32_t tried[kEarTries];
    int32_t sharpest = -1;
    for (int32_t attempt = 0; attempt < kEarTries; ++attempt) {
      int32_t pick = -1;
      double best = 0;
      int32_t k = head;
      for (int32_t i = 0; i < left; ++i, k = next[k]) {
        const double product = angle[k] * total;
        if (product > best && std::find(tried, tried + attempt, k) == tried + attempt) {
          best = product;
          pick = k;
        }
      }
      if (pick < 0) break;
      if (sharpest < 0) sharpest = pick;
      if (!EarHoldsVertex(pick, head, left)) return pick;
      tried[attempt] = pick;
    }
    return sharpest;
  }
};

}  // namespace

void FanTriangulate(int32_t v, EmitFaceTriangle emit, void* context) {
  if (v == 3) {
    emit(context, 0, 1, 2, kFirstEdge | kSecondEdge | kThirdEdge);
    return;
  }
  for (int32_t k = 0; k + 2 < v; ++k) {
    uint32_t boundary = kSecondEdge;
    if (k == 0) boundary |= kFirstEdge;
    if (k + 3 == v) boundary |= kThirdEdge;
    emit(context, 0, k + 1, k + 2, boundary);
  }
}

void EarClipTriangulate(const double* x, const double* y, int32_t v, double* scratch,
                        EmitFaceTriangle emit, void* context) {
  Ring ring{scratch,
            reinterpret_cast<int32_t*>(scratch + v),
            reinterpret_cast<int32_t*>(scratch + v) + v,
            scratch + 2 * int64_t{v},
            x,
            y};
  // The links share one run of v doubles: prev in its first half, next in
  // its second.
  for (int32_t k = 0; k < v; ++k) {
    ring.prev[k] = k == 0 ? v - 1 : k - 1;
    ring.next[k] = k + 1 == v ? 0 : k + 1;
    ring.boundary[k] = 1;
  }
  double total = 0;
  for (int32_t k = 0; k < v; ++k) {
    ring.Turn(k);
    total += ring.angle[k];
  }
  int32_t head = 0;
  int32_t left = v;
  while (left > 3) {
    const int32_t pick = ring.PickEar(head, left, total);
    if (pick < 0) break;
    const int32_t p = ring.prev[pick];
    const int32_t n = ring.next[pick];
    uint32_t boundary = 0;
    if (ring.boundary[p] != 0) boundary |= kFirstEdge;
    if (ring.boundary[pick] != 0) boundary |= kSecondEdge;
    emit(context, p, pick, n, boundary);
    ring.next[p] = n;
    ring.prev[n] = p;
    ring.boundary[p] = 0;  // the cut
    if (head == pick) head = n;
    --left;
    ring.Turn(p);
    ring.Turn(n);
  }
  const int32_t a = head;
  const int32_t b = ring.next[a];
  const int32_t c = ring.next[b];
  uint32_t boundary = 0;
  if (ring.boundary[a] != 0) boundary |= kFirstEdge;
  if (ring.boundary[b] != 0) boundary |= kSecondEdge;
  if (ring.boundary[c] != 0) boundary |= kThirdEdge;
  emit(context, a, b, c, boundary);
}

}  // namespace vke
