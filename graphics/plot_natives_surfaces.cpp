// Polygon sets in 3-D: plotpoly (vertices and faces given by index lists,
// strips or fans) and mesh and surf (one quad per cell of a grid), all
// written as command 15 in the layout of graphics/polygon_payload.hpp.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "engine/errors/errors.hpp"
#include "engine/values/value_read.hpp"
#include "engine/values/values.hpp"
#include "graphics/polygon_payload.hpp"
#include "graphics/scale.hpp"
#include "graphics/setting_args.hpp"
#include "graphics/surface_natives.hpp"

namespace vke {
namespace {

// The default style word of polygon sets: no line, no marker.
constexpr uint32_t kPolygonStyleWord = kKindNone;

// The colour argument as the payload holds it: value (plane, vertex) lies
// at plane x planeStride + vertex x vertexStride of the argument.
struct VertexColours {
  uint32_t flags = 0;  // kPolyValues or kPolyRgb, with kPolyOneColour
  NumericView view;
  int64_t planeStride = 0;
  int64_t vertexStride = 0;

  double At(int32_t plane, int64_t vertex) const {
    return ArrayElement(view, plane * planeStride + vertex * vertexStride);
  }
};

// The kind text: "f" faces, "b" edges and, where allowed, "*" vertices ("*"
// alone: all three). Empty or absent: `fallback`.
ErrCode ParseKindText(const StyleArg& kind, bool vertices, uint32_t fallback, uint32_t* flags) {
  const std::string_view text(kind.text, static_cast<size_t>(kind.length));
  if (text.empty()) {
    *flags = fallback;
    return kOk;
  }
  if (vertices && text == "*") {
    *flags = kPolyFaces | kPolyEdges | kPolyVertices;
    return kOk;
  }
  uint32_t out = 0;
  for (char c : text) {
    if (c == 'f') {
      out |= kPolyFaces;
    } else if (c == 'b') {
      out |= kPolyEdges;
    } else if (c == '*' && vertices) {
      out |= kPolyVertices;
    } else {
      return kErrUnknownOpt;
    }
  }
  *flags = out;
  return kOk;
}

// Drawing modes of plotpoly and surf: edges in the style when a style that
// does not fill is given; faces shaded, or in the style's own fill when it
// fills and no colours are given.
uint32_t SurfaceModes(bool styled, const PlotStyle& style, bool coloured) {
  const bool fills = (style.flags & kStyleWidthMask) == kStyleFilled;
  uint32_t modes = !coloured && fills ? kPolyFillStyled : kPolyFillShaded;
  if (styled && !fills) modes |= kPolyEdgesStyled;
  return modes;
}

// Drawing modes of mesh: edges in the style when one is given without
// colours, else in the face colour.
uint32_t WireframeModes(bool styled, bool coloured) {
  return styled && !coloured ? kPolyEdgesStyled : kPolyEdgesShaded;
}

// Writes one command 15 after checking its room. vertex(k, axis) gives the
// coordinates, face(f, k) the 0-based vertex k of face f.
template <typename Vertex, typename Face>
ErrCode WritePolygonSet(PlotTarget& t, int32_t id, const PlotStyle& style, uint32_t flags,
                        int64_t nv, int32_t perFace, int64_t faces, Vertex vertex,
                        const VertexColours& colours, Face face) {
  const uint64_t need =
      RoomFor(1, kCommandHeaderDoubles,
              static_cast<uint64_t>(PolygonPayloadDoubles(flags, nv, perFace, faces)));
  if (ErrCode e = ReservePlotRoom(t, need)) return e;
  CommandWriter w(t, kCmdPolygons3, id, 1, style.flags, StyleColour(style));
  w.Put(flags);
  w.Put(perFace);
  w.Put(static_cast<double>(nv));
  for (int32_t axis = 0; axis < 3; ++axis) {
    for (int64_t k = 0; k < nv; ++k) w.Put(vertex(k, axis));
  }
  const int32_t planes = flags & kPolyRgb ? 3 : flags & kPolyValues ? 1 : 0;
  const int64_t perPlane = flags & kPolyOneColour ? 1 : nv;
  for (int32_t plane = 0; plane < planes; ++plane) {
    for (int64_t k = 0; k < perPlane; ++k) w.Put(colours.At(plane, k));
  }
  if (flags & kPolyByRange) {
    double low;
    double high;
    NumberRange(w.Data() + kPolygonHeadDoubles + 2 * nv, nv, &low, &high);
    if (low > high) low = high = 0;
    w.Put(low);
    w.Put(high);
  }
  w.Put(static_cast<double>(faces));
  for (int64_t f = 0; f < faces; ++f) {
    for (int32_t k = 0; k < perFace; ++k) {
      const uint32_t index = face(f, k);
      char bytes[4];
      std::memcpy(bytes, &index, 4);
      w.PutBytes(bytes, 4);
    }
  }
  const double* data = w.Data();
  if (ErrCode e = w.Commit()) return e;
  t.subplot->is3d = 1;
  const double* x = data + kPolygonHeadDoubles;
  UpdateAutoLimits(t.subplot, x, x + nv, x + 2 * nv, static_cast<int32_t>(nv));
  return kOk;
}

// The text at `depth` equals one of the triangulations; *fan tells which.
ErrCode ReadTriangulation(EngineContext* ctx, int32_t depth, bool* fan) {
  return WithText(ctx, depth, [&](const char* text, int32_t length) {
    const std::string_view word(text, static_cast<size_t>(length));
    if (word != "strip" && word != "fan") return kErrUnknownOpt;
    *fan = word == "fan";
    return kOk;
  });
}

bool NamesTriangulation(EngineContext* ctx, int32_t depth) {
  bool fan = false;
  return IsCharArray(ctx, depth) && ReadTriangulation(ctx, depth, &fan) == kOk;
}

// The kind text, style and id at kindAt, kindAt + 1 and kindAt + 2 where
// the call gives them; the kind and the style must be texts.
ErrCode ReadKindStyleId(EngineContext* ctx, int32_t nargin, int32_t kindAt, StyleArg* kind,
                        StyleArg* style, int32_t* id) {
  if (nargin > kindAt + 3) return kErrTooManyArgin;
  for (int32_t a = kindAt; a < std::min(nargin, kindAt + 2); ++a) {
    if (!IsCharArray(ctx, ArgDepth(nargin, a))) return kErrWrongType;
    if (ErrCode e = ReadStyleArg(ctx, ArgDepth(nargin, a), a == kindAt ? kind : style)) return e;
  }
  if (kindAt + 2 < nargin)
    return ReadIdArg(ctx, ArgDepth(nargin, kindAt + 2), kErrNonScalarArg, id);
  return kOk;
}

// plotpoly's colour argument for nv vertices: one value, one triple, a
// value per vertex, or a triple per vertex as nv x 3 or 3 x nv.
ErrCode ReadPolygonColours(EngineContext* ctx, int32_t depth, int64_t nv, VertexColours* out) {
  if (ErrCode e = ReadRealArray(ctx, depth, &out->view)) return e;
  const Shape& shape = out->view.shape;
  const int64_t count = shape.count;
  if (count == 1) {
    out->flags = kPolyValues | kPolyOneColour;
  } else if (count == 3) {
    out->flags = kPolyRgb | kPolyOneColour;
    out->planeStride = 1;
  } else if (count == nv) {
    out->flags = kPolyValues;
    out->vertexStride = 1;
  } else if (count == 3 * nv && shape.ndims == 2 && shape.dims[0] == nv && shape.dims[1] == 3) {
    out->flags = kPolyRgb;
    out->planeStride = 1;
    out->vertexStride = 3;
  } else if (count == 3 * nv && shape.ndims == 2 && shape.dims[0] == 3 && shape.dims[1] == nv) {
    out->flags = kPolyRgb;
    out->planeStride = nv;
    out->vertexStride = 1;
  } else {
    return kErrIncompSize;
  }
  return kOk;
}

// An index matrix of np x p 1-based vertex numbers.
ErrCode CheckFaceIndices(const MatrixArg& ind, int64_t nv) {
  if (ind.cols != 0 && ind.cols < 3) return kErrBadSize;
  for (int64_t k = 0; k < ind.Count(); ++k) {
    const double v = ind.At(k);
    if (v != std::floor(v)) return kErrNonIntegerIndex;
    if (!(v >= 1 && v <= static_cast<double>(nv))) return kErrIndexOutOfRange;
  }
  return kOk;
}

// mesh and surf: where each grid line lies along one axis, from a vector
// (one per column of x or row of y), a matrix (one per node) or nothing
// (the 1-based column or row numbers).
struct GridAxis {
  const double* values = nullptr;
  bool matrix = false;

  double At(int32_t i, int32_t j, int32_t n, bool isX) const {
    if (values == nullptr) return (isX ? j : i) + 1;
    if (matrix) return values[int64_t{i} * n + j];
    return values[isX ? j : i];
  }
};

// x (isX) or y of an m x n grid: `lines` values or one per node.
ErrCode ReadGridAxis(EngineContext* ctx, int32_t depth, int32_t m, int32_t n, bool isX,
                     GridAxis* out) {
  MatrixArg a;
  if (ErrCode e = ReadMatrixArg(ctx, depth, &a)) return e;
  const int32_t lines = isX ? n : m;
  out->values = a.re;
  if (a.Count() == lines && (a.rows == 1 || a.cols == 1)) return kOk;
  if (a.rows == m && a.cols == n) {
    out->matrix = true;
    return kOk;
  }
  return kErrIncompSize;
}

// The colour argument of mesh and surf over an m x n grid: one triple, a
// value per node, or m x n x 3 triples.
ErrCode ReadGridColours(EngineContext* ctx, int32_t depth, int32_t m, int32_t n,
                        VertexColours* out) {
  if (ErrCode e = ReadRealArray(ctx, depth, &out->view)) return e;
  const Shape& shape = out->view.shape;
  const bool grid = shape.dims[0] == m && shape.dims[1] == n;
  if (shape.count == 3) {
    out->flags = kPolyRgb | kPolyOneColour;
    out->planeStride = 1;
  } else if (grid && shape.ndims == 2) {
    out->flags = kPolyValues;
    out->vertexStride = 1;
  } else if (grid && shape.ndims == 3 && shape.dims[2] == 3) {
    out->flags = kPolyRgb;
    out->planeStride = int64_t{m} * n;
    out->vertexStride = 1;
  } else if (grid && shape.ndims >= 3) {
    return kErrBadSize;
  } else {
    return kErrIncompSize;
  }
  return kOk;
}

}  // namespace

ErrCode AddPolygonObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t) {
  if (nargin < 4) return kErrTooFewArgin;
  const bool coloured = nargin >= 5 && (!IsCharArray(ctx, ArgDepth(nargin, 4)) ||
                                        NamesTriangulation(ctx, ArgDepth(nargin, 4)));
  const int32_t indAt = coloured ? 4 : 3;
  // Faces from a triangulation text, or an index matrix.
  const int32_t indDepth = ArgDepth(nargin, indAt);
  const bool triangulated = IsCharArray(ctx, indDepth);
  bool fan = false;
  if (triangulated) {
    if (ErrCode e = ReadTriangulation(ctx, indDepth, &fan)) return e;
  }
  int32_t id = kNoPlotId;
  StyleArg kindText;
  StyleArg style;
  if (ErrCode e = ReadKindStyleId(ctx, nargin, indAt + 1, &kindText, &style, &id)) return e;
  MatrixArg xyz[3];
  for (int32_t a = 0; a < 3; ++a) {
    if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, a), &xyz[a])) return e;
  }
  const int64_t nv = xyz[0].Count();
  VertexColours colours;
  if (coloured) {
    if (ErrCode e = ReadPolygonColours(ctx, ArgDepth(nargin, 3), nv, &colours)) return e;
  }
  MatrixArg ind;
  if (!triangulated) {
    if (ErrCode e = ReadMatrixArg(ctx, indDepth, &ind)) return e;
    if (ErrCode e = CheckFaceIndices(ind, nv)) return e;
  }
  uint32_t flags = 0;
  if (ErrCode e = ParseKindText(kindText, true, kPolyFaces, &flags)) return e;
  if (xyz[1].Count() != nv || xyz[2].Count() != nv) return kErrIncompSize;
  PlotStyle ps;
  if (ErrCode e = SeriesStyle(style, 0, kPolygonStyleWord, &ps)) return e;

  const int32_t perFace = triangulated ? 3 : ind.cols;
  const int64_t faces = triangulated ? std::max<int64_t>(nv - 2, 0) : (ind.cols > 0 ? ind.rows : 0);
  flags |= colours.flags | SurfaceModes(style.length > 0, ps, coloured);
  if (!coloured) flags |= kPolyByRange;
  // Faces given by their own vertex lists may be concave.
  if (!triangulated && perFace >= 4) flags |= kPolyEarClip;
  const auto vertex = [&](int64_t k, int32_t axis) { return xyz[axis].At(k); };
  const auto face = [&](int64_t f, int32_t k) -> uint32_t {
    if (!triangulated) return static_cast<uint32_t>(ind.At(f * perFace + k) - 1);
    if (fan) return static_cast<uint32_t>(k == 0 ? 0 : f + k);
    // Strips turn every other triangle so that all face one way.
    static constexpr int32_t kEven[3] = {0, 1, 2};
    static constexpr int32_t kOdd[3] = {1, 0, 2};
    return static_cast<uint32_t>(f + (f % 2 == 0 ? kEven[k] : kOdd[k]));
  };
  if (nv == 0) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  if (ErrCode e = WritePolygonSet(t, id, ps, flags, nv, perFace, faces, vertex, colours, face)) {
    return e;
  }
  return FinishPlotCall(ctx, nargin);
}

ErrCode AddMeshObject(EngineContext* ctx, int32_t nargin, PlotTarget& t, uint32_t flag) {
  const bool surface = flag == kMeshSurface;
  const int32_t numeric = FirstTextArgument(ctx, nargin);
  if (numeric != 1 && numeric != 3 && numeric != 4) return kErrBadArg;
  int32_t id = kNoPlotId;
  StyleArg kindText;
  StyleArg style;
  if (ErrCode e = ReadKindStyleId(ctx, nargin, numeric, &kindText, &style, &id)) return e;
  MatrixArg z;
  if (ErrCode e = ReadMatrixArg(ctx, ArgDepth(nargin, numeric == 1 ? 0 : 2), &z)) return e;
  const int32_t m = z.rows;
  const int32_t n = z.cols;
  GridAxis xs;
  GridAxis ys;
  if (numeric >= 3) {
    if (ErrCode e = ReadGridAxis(ctx, ArgDepth(nargin, 0), m, n, true, &xs)) return e;
    if (ErrCode e = ReadGridAxis(ctx, ArgDepth(nargin, 1), m, n, false, &ys)) return e;
  }
  const bool coloured = numeric == 4;
  VertexColours colours;
  if (coloured) {
    if (ErrCode e = ReadGridColours(ctx, ArgDepth(nargin, 3), m, n, &colours)) return e;
  }
  uint32_t flags = 0;
  if (ErrCode e = ParseKindText(kindText, false, kPolyFaces | kPolyEdges, &flags)) return e;
  PlotStyle ps;
  if (ErrCode e = SeriesStyle(style, 0, kPolygonStyleWord, &ps)) return e;
  if (m < 2 || n < 2) {
    if (ErrCode e = ReservePlotRoom(t, 0)) return e;
    return FinishPlotCall(ctx, nargin);
  }
  const bool styled = style.length > 0;
  flags |= colours.flags |
           (surface ? SurfaceModes(styled, ps, coloured) : WireframeModes(styled, coloured));
  if (!coloured) flags |= kPolyByRange;
  const auto vertex = [&](int64_t k, int32_t axis) {
    const auto i = static_cast<int32_t>(k / n);
    const auto j = static_cast<int32_t>(k % n);
    if (axis == 0) return xs.At(i, j, n, true);
    if (axis == 1) return ys.At(i, j, n, false);
    return z.At(k);
  };
  // The quad of cell (i, j) runs around it: (i, j), (i, j + 1),
  // (i + 1, j + 1), (i + 1, j).
  const auto face = [&](int64_t f, int32_t k) -> uint32_t {
    const int64_t i = f / (n - 1) + (k >= 2 ? 1 : 0);
    const int64_t j = f % (n - 1) + (k == 1 || k == 2 ? 1 : 0);
    return static_cast<uint32_t>(i * n + j);
  };
  const int64_t faces = int64_t{m - 1} * (n - 1);
  if (ErrCode e =
          WritePolygonSet(t, id, ps, flags, int64_t{m} * n, 4, faces, vertex, colours, face)) {
    return e;
  }
  return FinishPlotCall(ctx, nargin);
}

}  // namespace vke
