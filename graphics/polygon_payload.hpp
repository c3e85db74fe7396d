// The payload of the polygon-set command (15), one layout for its writers
// (plotpoly, mesh, surf) and the renderer:
//
//   flags, p (vertices per face), nv (vertex count), x[nv], y[nv], z[nv],
//   the colour data the flags announce, zmin and zmax with kPolyByRange,
//   np (face count), then np x p vertex indices (0-based, unsigned 32-bit,
//   packed two to a double, the last double padded with zeros).
//
// The flag bits below are the only meanings of the flags word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vke {

enum PolygonFlag : uint32_t {
  kPolyFaces = 0x01,         // the faces are filled (drawing mode below)
  kPolyEdges = 0x02,         // the edges are drawn (drawing mode below)
  kPolyVertices = 0x04,      // a marker in the command's style at each vertex
  kPolyEarClip = 0x08,       // faces of 4 or more vertices are cut by ear clipping, not fans
  kPolyByRange = 0x10,       // the colour value is normalised by zmin..zmax
  kPolyValues = 0x20,        // one colour value per vertex
  kPolyRgb = 0x40,           // one RGB triple per vertex, as three planes of nv
  kPolyOneColour = 0x80,     // with kPolyValues or kPolyRgb: one value or triple for all
  kPolyEdgesShaded = 0x100,  // edges in the face colour
  kPolyEdgesStyled = 0x200,  // edges in the command's style
  kPolyFillShaded = 0x400,   // faces filled in their shaded colour
  kPolyFillStyled = 0x800,   // faces filled with the command's style
};

// Doubles before the coordinates: flags, p and nv.
inline constexpr int64_t kPolygonHeadDoubles = 3;

// Doubles of colour data that `flags` announce for nv vertices.
int64_t PolygonColourDoubles(uint32_t flags, int64_t nv);

// Doubles of a whole payload.
int64_t PolygonPayloadDoubles(uint32_t flags, int64_t nv, int64_t perFace, int64_t faces);

// A payload read in place.
struct PolygonPayload {
  uint32_t flags;
  int32_t perFace;   // p
  int32_t vertices;  // nv
  const double* x;
  const double* y;
  const double* z;
  const double* colour;  // PolygonColourDoubles(flags, nv) doubles
  const double* range;   // zmin, zmax; null without kPolyByRange
  int32_t faces;
  const std::byte* indices;

  // Vertex k of face f, as stored (not checked).
  uint32_t Index(int64_t f, int32_t k) const;
  // Whether every index of face f names a vertex.
  bool FaceIsValid(int64_t f) const;
};

// Reads the payload of `length` doubles at `data`; false when its counts
// are negative or its parts run past the length.
bool ReadPolygonPayload(const std::byte* data, int64_t length, PolygonPayload* out);

}  // namespace vke
