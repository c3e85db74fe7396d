// The computational geometry shared by the triangulation, Voronoi and
// point-location natives: circumspheres, the incremental triangulation of
// the point matrix on top of the stack, and barycentric point location.
// Points are the rows of an m x n matrix stored row by row.
#pragma once

#include <cstdint>

#include "engine/errors/errors.hpp"
#include "engine/values/value.hpp"

namespace vke {

// ---- Circumspheres ----
// Doubles of scratch Circumsphere takes in n dimensions.
int64_t CircumsphereScratch(int32_t n);
// The centre (n doubles) and, when asked, the squared radius of the sphere
// through the n + 1 points given by their indices: the minimum-norm least-
// squares solution of the bisecting hyperplanes of every pair of them,
// through the singular values above n^2 s1 5000 eps.
void Circumsphere(const double* points, int32_t n, const int32_t* vertices, double* centre,
                  double* radius2, double* scratch);

// ---- Triangulation ----
// Replaces the m x n real matrix of points on top of the stack by the
// triangulation's simplices, a k x (n + 1) matrix of 1-based point indices,
// and with hull set first pushes below it the m x 1 logical vector of the
// points on the convex hull. 3 when the data stack cannot hold the
// simplices, 501 on a break; the points stay on failure.
ErrCode TriangulateTop(EngineContext* ctx, bool hull);

// Pushes the m x 2 matrix [x(:) y(:)] of the real arrays at the depths;
// 20 when their element counts differ.
ErrCode PushPointPairs(EngineContext* ctx, int32_t xDepth, int32_t yDepth);

// ---- Point location ----
// A real double array argument; 44 for anything else.
struct RealArray {
  Shape shape;
  double* re = nullptr;

  int32_t Rows() const { return shape.dims[0]; }
  int32_t Cols() const { return shape.dims[1]; }
  bool IsMatrix() const { return shape.ndims == 2; }
};
ErrCode GetRealArrayArg(EngineContext* ctx, int32_t depth, RealArray* out);

// The simplex of each of q points (1-based, 0 for none) and its
// barycentric coordinates (q x (n + 1), or null), given the points X
// (m x n), the simplices T (k x (n + 1)) and the query points XI (q x n):
// each point belongs to the first simplex in T's order whose coordinates
// all lie in [0, 1]. Scratch: LocateScratch doubles. 29 for a vertex index
// outside 1..m.
int64_t LocateScratch(int32_t n, int32_t q);
ErrCode LocatePoints(const RealArray& x, const RealArray& t, const RealArray& xi, int32_t* simplex,
                     double* barycentric, double* scratch);

}  // namespace vke
