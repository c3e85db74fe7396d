// Cutting one polygon face into triangles for the depth pool: fans from the
// first vertex, or ear clipping in device x and y for faces that may be
// concave. Each triangle names three vertices by their place in the face
// and says which of its edges lie on the face's boundary (bit 0: first to
// second, bit 1: second to third, bit 2: third to first), so that the cuts
// are never drawn as edges.
#pragma once

#include <cstdint>

namespace vke {

using EmitFaceTriangle = void (*)(void* context, int32_t a, int32_t b, int32_t c,
                                  uint32_t boundary);

// The v - 2 triangles (0, k + 1, k + 2) of a face of v >= 3 vertices.
void FanTriangulate(int32_t v, EmitFaceTriangle emit, void* context);

// Scratch doubles that EarClipTriangulate needs for a face of v vertices.
inline int64_t EarClipScratch(int32_t v) {
  return 3 * int64_t{v};
}

// Ear clipping of the face whose v >= 4 device points are x[], y[]: the
// vertex turning most in the face's own direction is cut off first, passing
// over a few ears that hold another vertex, until three remain (or no vertex
// turns that way; the first three remaining then make the last triangle).
void EarClipTriangulate(const double* x, const double* y, int32_t v, double* scratch,
                        EmitFaceTriangle emit, void* context);

}  // namespace vke
