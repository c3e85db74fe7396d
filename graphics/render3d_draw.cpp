// The drawing of a 3-D subplot's depth pool, far to near: markers and 3-D
// text at points, segments of polylines, and the triangles of polygon sets,
// each face shaded from its colour data or height through the colour map,
// by the material in force and the group's lights.
#include <algorithm>
#include <cmath>

#include "graphics/face_fills.hpp"
#include "graphics/polygon_payload.hpp"
#include "graphics/render_call.hpp"
#include "graphics/renderer.hpp"

namespace vke {
namespace {

// The material of faces drawn without one.
constexpr double kDefaultAmbient = 0.2;
constexpr double kDefaultDiffuse = 0.8;
// Doubles per light: the direction toward it, then its colour.
constexpr int32_t kLightDoubles = 6;
// The style word of a face filled in its shaded colour, and of its edges.
constexpr uint32_t kFaceFill = kStyleFilled;
constexpr uint32_t kFaceEdge = 0;

// The command a primitive came from, read again at drawing time.
struct Source {
  CommandHeader header;
  const std::byte* data;
  PlotStyle style;
};

// The context of the flush's callbacks.
struct Painter {
  RenderCall& call;
  FaceFills faces;
};

bool ReadSource(const RenderCall& call, const uint32_t user[3], Source* out) {
  const uint32_t at = user[kPoolCommand];
  if (!ReadCommandAt(call.list, call.end, at, &out->header)) return false;
  out->data = call.list + (size_t{at} + kCommandHeaderDoubles) * 8;
  out->style = CommandStyle(call, out->header);
  return true;
}

void DrawPoint(void* context, const uint32_t user[3], float x, float y, float) {
  Painter& painter = *static_cast<Painter*>(context);
  painter.faces.Release();
  const RenderCall& call = painter.call;
  Source s;
  if (!ReadSource(call, user, &s)) return;
  const double X = x;
  const double Y = y;
  switch (s.header.code) {
    case kCmdPolyline:
    case kCmdFrequencyPolyline:
    case kCmdPolyline3:
    case kCmdPolygons3:
      if (call.port.drawPolyline != nullptr)
        call.port.drawPolyline(&X, &Y, 1, &s.style, call.target);
      break;
    case kCmdLastText: {
      if (call.port.drawText == nullptr || s.header.length < 5) break;
      const int32_t length = PayloadCount(PayloadDouble(s.data, 4));
      if (length < 0 || 5 + PackedDoubles(length) > s.header.length) break;
      const uint8_t rgb[3] = {static_cast<uint8_t>(s.header.colour >> 16),
                              static_cast<uint8_t>(s.header.colour >> 8),
                              static_cast<uint8_t>(s.header.colour)};
      call.port.drawText(X, Y, reinterpret_cast<const char*>(s.data + 5 * 8), length,
                         TruncToInt32(PayloadDouble(s.data, 3)), rgb, call.target);
      break;
    }
    default:
      break;
  }
}

void DrawSegment(void* context, const uint32_t user[3], const float* x, const float* y,
                 const float*, const uint32_t*) {
  Painter& painter = *static_cast<Painter*>(context);
  painter.faces.Release();
  const RenderCall& call = painter.call;
  Source s;
  if (call.port.drawPolyline == nullptr || !ReadSource(call, user, &s)) return;
  switch (s.header.code) {
    case kCmdPolyline:
    case kCmdFrequencyPolyline:
    case kCmdPolyline3:
    case kCmdInfiniteLine3:
    case kCmdPolygons3: {
      const double X[2] = {x[0], x[1]};
      const double Y[2] = {y[0], y[1]};
      call.port.drawPolyline(X, Y, 2, &s.style, call.target);
      break;
    }
    default:
      break;
  }
}

// The face's normal in data units: from its first three vertices, or, when
// they lie on one line, summed over all its edges.
bool FaceNormal(const PolygonPayload& p, int64_t face, double n[3]) {
  const auto at = [&](int32_t k, int axis) {
    const uint32_t i = p.Index(face, k);
    return axis == 0 ? p.x[i] : axis == 1 ? p.y[i] : p.z[i];
  };
  double u[3];
  double v[3];
  for (int a = 0; a < 3; ++a) {
    u[a] = at(1, a) - at(0, a);
    v[a] = at(2, a) - at(0, a);
  }
  n[0] = u[1] * v[2] - u[2] * v[1];
  n[1] = u[2] * v[0] - u[0] * v[2];
  n[2] = u[0] * v[1] - u[1] * v[0];
  double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 0)) {
    n[0] = n[1] = n[2] = 0;
    for (int32_t k = 0; k < p.perFace; ++k) {
      const int32_t l = (k + 1) % p.perFace;
      n[0] += (at(k, 1) - at(l, 1)) * (at(k, 2) + at(l, 2));
      n[1] += (at(k, 2) - at(l, 2)) * (at(k, 0) + at(l, 0));
      n[2] += (at(k, 0) - at(l, 0)) * (at(k, 1) + at(l, 1));
    }
    length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  }
  if (!(length > 0) || !std::isfinite(length)) return false;
  for (int a = 0; a < 3; ++a) n[a] /= length;
  return true;
}

// Light falling on the face: ambient plus the diffuse share of each light
// the face turns toward, at most 1; full without lights.
double FaceIntensity(const RenderCall& call, const PolygonPayload& p, int64_t face,
                     uint32_t materialAt, bool front) {
  CommandHeader light;
  if (call.lightAt < 0 ||
      !ReadCommandAt(call.list, call.end, static_cast<uint32_t>(call.lightAt), &light)) {
    return 1.0;
  }
  const int32_t lights = light.length / kLightDoubles;
  if (lights <= 0) return 1.0;
  double ambient = kDefaultAmbient;
  double diffuse = kDefaultDiffuse;
  CommandHeader material;
  if (materialAt != kNoPoolMaterial && ReadCommandAt(call.list, call.end, materialAt, &material) &&
      material.length >= 2) {
    const std::byte* m = call.list + (size_t{materialAt} + kCommandHeaderDoubles) * 8;
    ambient = PayloadDouble(m, 0);
    diffuse = PayloadDouble(m, 1);
  }
  double n[3];
  if (!FaceNormal(p, face, n)) return 1.0;
  if (!front) {
    for (int a = 0; a < 3; ++a) n[a] = -n[a];
  }
  const std::byte* l = call.list + (static_cast<size_t>(call.lightAt) + kCommandHeaderDoubles) * 8;
  double intensity = ambient;
  for (int32_t i = 0; i < lights; ++i) {
    const uint32_t d = static_cast<uint32_t>(i * kLightDoubles);
    const double facing = n[0] * PayloadDouble(l, d) + n[1] * PayloadDouble(l, d + 1) +
                          n[2] * PayloadDouble(l, d + 2);
    if (facing > 0) intensity += facing * diffuse;
  }
  return std::isfinite(intensity) ? std::clamp(intensity, 0.0, 1.0) : 1.0;
}

uint8_t ScaledByte(double v) {
  return static_cast<uint8_t>(v > 0 ? std::min(v, 255.0) : 0.0);
}

// The mean over the face's vertices of plane values[nv x plane ...].
double FaceMean(const PolygonPayload& p, int64_t face, const double* values) {
  double sum = 0;
  for (int32_t k = 0; k < p.perFace; ++k) sum += values[p.Index(face, k)];
  return sum / p.perFace;
}

// The face's colour at intensity i.
void FaceColour(const RenderCall& call, const PolygonPayload& p, int64_t face, double i,
                uint8_t rgb[3]) {
  const bool one = p.flags & kPolyOneColour;
  if (p.flags & kPolyRgb) {
    for (int c = 0; c < 3; ++c) {
      const double v = one ? p.colour[c] : FaceMean(p, face, p.colour + int64_t{c} * p.vertices);
      rgb[c] = ScaledByte(v * i * 255.9999);
    }
    return;
  }
  double v = p.flags & kPolyValues ? (one ? p.colour[0] : FaceMean(p, face, p.colour))
                                   : FaceMean(p, face, p.z);
  if (p.range != nullptr) {
    const double span = p.range[1] - p.range[0];
    v = span > 0 && std::isfinite(span) ? (v - p.range[0]) / span : 0;
  }
  ColormapLookup(call.colormap, call.colormapCount, v, rgb);
  for (int c = 0; c < 3; ++c) rgb[c] = ScaledByte(std::floor(rgb[c] * i + 0.5));
}

// The drawn edges as one polyline: closed when all three are drawn, else
// open, starting after a hidden edge that a drawn one follows.
int32_t EdgePath(const float* x, const float* y, const uint32_t* edges, double* X, double* Y) {
  int32_t start = -1;
  for (int32_t e = 0; e < 3 && start < 0; ++e) {
    if (edges[e] != kEdgeDrawn && edges[(e + 1) % 3] == kEdgeDrawn) start = (e + 1) % 3;
  }
  int32_t n = 0;
  if (start < 0) {
    if (edges[0] != kEdgeDrawn) return 0;
    for (int32_t k = 0; k <= 3; ++k) {
      X[n] = x[k % 3];
      Y[n++] = y[k % 3];
    }
    return n;
  }
  X[n] = x[start];
  Y[n++] = y[start];
  for (int32_t e = start; edges[e] == kEdgeDrawn; e = (e + 1) % 3) {
    X[n] = x[(e + 1) % 3];
    Y[n++] = y[(e + 1) % 3];
  }
  return n;
}

void DrawTriangle(void* context, const uint32_t user[3], const float* x, const float* y,
                  const float*, const uint32_t* edges, bool front) {
  Painter& painter = *static_cast<Painter*>(context);
  const RenderCall& call = painter.call;
  Source s;
  PolygonPayload p;
  if (call.port.drawPolyline == nullptr || !ReadSource(call, user, &s) ||
      s.header.code != kCmdPolygons3 || !ReadPolygonPayload(s.data, s.header.length, &p)) {
    return;
  }
  const int64_t face = user[kPoolIndex];
  if (face >= p.faces || p.perFace < 3 || !p.FaceIsValid(face)) return;
  const bool fill = (p.flags & kPolyFaces) && (p.flags & (kPolyFillShaded | kPolyFillStyled));
  const bool edge = (p.flags & kPolyEdges) && (p.flags & (kPolyEdgesShaded | kPolyEdgesStyled));
  // Shaded faces are drawn anti-aliased whenever their command is.
  PlotStyle shaded{kFaceFill | (s.style.flags & kStyleSmooth), 0, 0, 0, 0};
  if ((fill && (p.flags & kPolyFillShaded)) || (edge && (p.flags & kPolyEdgesShaded))) {
    const double i = FaceIntensity(call, p, face, user[kPoolMaterial], front);
    uint8_t rgb[3];
    FaceColour(call, p, face, i, rgb);
    shaded.red = rgb[0];
    shaded.green = rgb[1];
    shaded.blue = rgb[2];
  }
  FaceTriangle t{{user[0], user[1], user[2]},
                 front,
                 p.perFace == 4,
                 {x[0], x[1], x[2]},
                 {y[0], y[1], y[2]},
                 p.flags & kPolyFillShaded ? shaded : s.style,
                 0,
                 {},
                 {},
                 s.style};
  if (edge) {
    t.edgePoints = EdgePath(x, y, edges, t.edgeX, t.edgeY);
    if (p.flags & kPolyEdgesShaded) {
      t.line = shaded;
      t.line.flags = kFaceEdge;
    }
  }
  if (!fill) {
    painter.faces.Release();
    if (t.edgePoints >= 2) {
      call.port.drawPolyline(t.edgeX, t.edgeY, t.edgePoints, &t.line, call.target);
    }
    return;
  }
  painter.faces.Draw(t);
}

}  // namespace

void Render3DFlush(RenderCall& call) {
  // The commands' half of the scratch is free by now: the flush's work area,
  // or memory of the call's own when a grown pool needs more. Without it
  // the flush draws the same, only slower.
  const size_t need = (DepthSortWorkBytes(call.pool) + 7) / 8;
  double* work = call.scratch;
  size_t doubles = call.capacity;
  if (need > doubles) {
    work = CallMemory(call, need);
    doubles = work != nullptr ? need : 0;
  }
  Painter painter{call, FaceFills(call.port, call.target)};
  DepthSortFlush(call.pool, DepthSortCallbacks{&DrawPoint, &DrawSegment, &DrawTriangle}, &painter,
                 work, doubles * sizeof(double));
  painter.faces.Release();
}

}  // namespace vke
