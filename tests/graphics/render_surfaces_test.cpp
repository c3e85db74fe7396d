// The renderer's area-filling commands through the recording port: images
// resampled in each mode (and at the sizes where the resampling could
// divide by zero or read outside the source), pseudo-colour cells, the
// colour-map lookup, and in 3-D subplots the primitives that pass through
// the depth pool: points and segments of polylines, 3-D text, and polygon
// faces cut into triangles and shaded by material and lights.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "command_list.hpp"
#include "decoration_fixture.hpp"
#include "graphics/face_triangles.hpp"
#include "graphics/polygon_payload.hpp"
#include "graphics/renderer.hpp"

namespace vke {
namespace {

using test::CallsOf;
using test::CommandList;
using test::Join;
using test::Packed;
using test::Polylines;
using V = std::vector<double>;
using Bytes = std::vector<int>;

// A subplot without frame whose viewport (50..250, 20..120) maps data x to
// device x and data y to 200 - y: a 2-D subplot where one data unit is one
// pixel.
struct Scene {
  Scene() {
    s.optionWord &= ~kOptFrame;
    s.xFactor = 1;
    s.xOffset = 0;
    s.yFactor = -1;
    s.yOffset = 200;
  }
  // A 3-D subplot seen from the default camera, its box the cube of side k.
  Scene& Solid(double k = 1) {
    s = test::MakeSubplot(0, 400, 0, 300);
    s.optionWord &= ~kOptFrame;
    s.is3d = 1;
    const double corner[2] = {0, k};
    UpdateAutoLimits(&s, corner, corner, corner, 2);
    return *this;
  }
  void Run() {
    uint32_t position = 0;
    RenderObjectList(list.bytes(), list.size(), scratch.data(),
                     static_cast<uint32_t>(scratch.size()), &s, &position, RenderStyles{},
                     kNoTextFieldEdit, false, rec.port(), rec.target(), &error);
  }
  // The image rows handed to the port: x, y, band height and the bytes of
  // each plane given.
  struct Row {
    double x, y;
    int band;
    std::vector<Bytes> planes;
  };
  std::vector<Row> ImageRows() const {
    std::vector<Row> out;
    for (const PortCall& c : CallsOf(rec, PortSlot::drawImageCells)) {
      const auto width = static_cast<size_t>(c.values[2]);
      Row row{c.values[0], c.values[1], static_cast<int>(c.values[5]), {}};
      size_t at = 9;
      for (int p = 0; p < 3; ++p) {
        if (c.values[6 + p] == 0) continue;
        row.planes.emplace_back(c.values.begin() + static_cast<long>(at),
                                c.values.begin() + static_cast<long>(at + width));
        at += width;
      }
      out.push_back(row);
    }
    return out;
  }
  // The filled polygons drawn: their colour bytes.
  std::vector<Bytes> Fills() const {
    std::vector<Bytes> out;
    for (const PortCall& c : CallsOf(rec, PortSlot::drawPolyline)) {
      if (static_cast<uint32_t>(c.values[1]) & kStyleFilled) {
        out.push_back({static_cast<int>(c.values[2]), static_cast<int>(c.values[3]),
                       static_cast<int>(c.values[4])});
      }
    }
    return out;
  }

  SubplotRecord s = test::MakeSubplot(50, 250, 20, 120);
  CommandList list;
  RecordingPort rec;
  std::vector<double> scratch = std::vector<double>(4000);
  ErrCode error = kOk;
};

// An image payload: flags, rows, columns, placement and the bytes packed.
V ImagePayload(int flags, int rows, int cols, const V& box, const Bytes& bytes) {
  std::string packed(bytes.begin(), bytes.end());
  return Join(Join({double(flags), double(rows), double(cols)}, box), Packed(packed));
}

// A 2 x 2 grey image drawn into the 4 x 4 pixels at device (100..104,
// 96..100).
std::vector<Scene::Row> Resample(int mode) {
  Scene r;
  r.list.Begin(0).Add(kCmdImageCells,
                      ImagePayload(mode << 2, 2, 2, {100, 100, 4, 4}, {0, 30, 60, 90}));
  r.Run();
  return r.ImageRows();
}

TEST(RenderImage, EachResamplingModeOfATwoByTwoSource) {
  // Nearest: two bands of two rows.
  const auto nearest = Resample(0);
  ASSERT_EQ(nearest.size(), 2u);
  EXPECT_EQ(nearest[0].planes, (std::vector<Bytes>{{0, 0, 30, 30}}));
  EXPECT_EQ(nearest[1].planes, (std::vector<Bytes>{{60, 60, 90, 90}}));
  EXPECT_EQ((V{nearest[0].x, nearest[0].y, double(nearest[0].band)}), (V{100, 96, 2}));
  EXPECT_EQ(nearest[1].y, 98);

  // Linear: the corners exact, thirds between them.
  const auto linear = Resample(1);
  ASSERT_EQ(linear.size(), 4u);
  const std::vector<Bytes> linearRows = {
      {0, 10, 20, 30}, {20, 30, 40, 50}, {40, 50, 60, 70}, {60, 70, 80, 90}};
  for (size_t q = 0; q < 4; ++q) {
    EXPECT_EQ(linear[q].planes[0], linearRows[q]) << q;
    EXPECT_EQ(linear[q].y, 96 + double(q));
    EXPECT_EQ(linear[q].band, 1);
  }

  // Cubic: the edge cells repeated beyond the source, rounded.
  const auto cubic = Resample(3);
  ASSERT_EQ(cubic.size(), 4u);
  const std::vector<Bytes> cubicRows = {
      {0, 9, 21, 30}, {18, 27, 39, 48}, {42, 51, 63, 72}, {60, 69, 81, 90}};
  for (size_t q = 0; q < 4; ++q) EXPECT_EQ(cubic[q].planes[0], cubicRows[q]) << q;
}

TEST(RenderImage, SinglePixelsAndSingleRowsStayInsideTheSource) {
  for (int mode : {1, 3}) {
    // One output pixel takes the first cell.
    Scene one;
    one.list.Begin(0).Add(kCmdImageCells,
                          ImagePayload(mode << 2, 2, 3, {100, 100, 1, 1}, {7, 8, 9, 1, 2, 3}));
    one.Run();
    ASSERT_EQ(one.ImageRows().size(), 1u);
    EXPECT_EQ(one.ImageRows()[0].planes[0], (Bytes{7}));

    // A source of one row gives that row, interpolated along x, on every
    // output row.
    Scene flat;
    flat.list.Begin(0).Add(kCmdImageCells,
                           ImagePayload(mode << 2, 1, 2, {100, 100, 4, 3}, {0, 90}));
    flat.Run();
    const auto rows = flat.ImageRows();
    ASSERT_EQ(rows.size(), 3u);
    const Bytes expected = mode == 1 ? Bytes{0, 30, 60, 90} : Bytes{0, 27, 63, 90};
    for (const auto& row : rows) EXPECT_EQ(row.planes[0], expected) << mode;
  }
}

TEST(RenderImage, WholePixelsPerCellAreCentred) {
  Scene r;
  // Three columns over ten pixels: nine pixels, half a pixel in on each side.
  r.list.Begin(0).Add(kCmdImageCells, ImagePayload(2, 1, 3, {100, 100, 10, 1}, {1, 2, 3}));
  r.Run();
  const auto rows = r.ImageRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].x, 100.5);
  EXPECT_EQ(rows[0].planes[0], (Bytes{1, 1, 1, 2, 2, 2, 3, 3, 3}));
}

TEST(RenderImage, ColourMapsGreyPlanesAndTheViewportClips) {
  Scene r;
  // Two entries: grey 0 takes the first, 255 the last.
  r.list.Begin(0)
      .Add(kCmdColourMap, {2, 1, 0, 0, 0, 0, 1})
      .Add(kCmdImageCells, ImagePayload(0, 1, 2, {100, 100, 2, 1}, {0, 255}));
  r.Run();
  auto rows = r.ImageRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].planes, (std::vector<Bytes>{{255, 0}, {0, 0}, {0, 255}}));

  // Only the columns over the viewport (x 50..250) reach the port, in
  // their places.
  Scene wide;
  wide.list.Begin(0).Add(kCmdImageCells, ImagePayload(0, 1, 4, {0, 100, 400, 1}, {1, 2, 3, 4}));
  wide.Run();
  rows = wide.ImageRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].x, 50);
  EXPECT_EQ(rows[0].planes[0].size(), 200u);
  EXPECT_EQ(rows[0].planes[0][0], 1);
  EXPECT_EQ(rows[0].planes[0][50], 2);
  EXPECT_EQ(rows[0].planes[0][199], 3);

  // An image beside the viewport draws nothing.
  Scene beside;
  beside.list.Begin(0).Add(kCmdImageCells, ImagePayload(0, 1, 1, {300, 100, 5, 5}, {1}));
  beside.Run();
  EXPECT_TRUE(beside.ImageRows().empty());
}

TEST(RenderCells, CornerMeansThroughTheMapOrInGrey) {
  // V over the nodes (1..3, 1..3): the four cells' corner means are 0.25,
  // 0.5, 0.5 and 0.75.
  const V cells = Join({0, 3, 3}, {0, 0.25, 0.5, 0.25, 0.5, 0.75, 0.5, 0.75, 1});
  Scene grey;
  grey.list.Begin(0).Add(kCmdPseudoColour, cells, kKindNone);
  grey.Run();
  EXPECT_EQ(grey.Fills(),
            (std::vector<Bytes>{{63, 63, 63}, {127, 127, 127}, {127, 127, 127}, {191, 191, 191}}));
  const auto first = Polylines(grey.rec)[0];
  EXPECT_EQ(first, (V{1, 199, 2, 199, 2, 198, 1, 198}));

  Scene mapped;
  mapped.list.Begin(0)
      .Add(kCmdColourMap, {4, 0, 0.25, 0.5, 1, 0, 0, 0, 0, 1, 1, 1, 1})
      .Add(kCmdPseudoColour, cells, kKindNone);
  mapped.Run();
  EXPECT_EQ(mapped.Fills(),
            (std::vector<Bytes>{{63, 0, 255}, {127, 0, 255}, {127, 0, 255}, {255, 0, 255}}));

  // Grid lines of a line kind: three rows and three columns.
  Scene lined;
  lined.list.Begin(0).Add(kCmdPseudoColour, cells, kKindSolid);
  lined.Run();
  EXPECT_EQ(Polylines(lined.rec).size(), 4u + 6u);
}

TEST(RenderCells, ColourMapLookup) {
  uint8_t rgb[3];
  ColormapLookup(nullptr, 0, 0.5, rgb);
  EXPECT_EQ((Bytes{rgb[0], rgb[1], rgb[2]}), (Bytes{127, 127, 127}));
  ColormapLookup(nullptr, 0, NAN, rgb);
  EXPECT_EQ(rgb[0], 0);
  const V map = {0, 0.5, 1, 0, 0, 0, 1, 1, 1};  // three entries
  const auto* bytes = reinterpret_cast<const std::byte*>(map.data());
  for (double t : {-1.0, 0.0, 0.3, 0.34, 0.99, 1.0, 7.0, double(NAN)}) {
    ColormapLookup(bytes, 3, t, rgb);
    const int entry = !(t > 0) ? 0 : t >= 1 ? 2 : int(std::floor(3 * t));
    EXPECT_EQ(rgb[0], int(std::floor(map[entry] * 255.9999))) << t;
    EXPECT_EQ(rgb[2], 255) << t;
  }
}

// ---- 3-D ----

// A command-15 payload with the faces given as 0-based index rows.
V PolygonPayload(uint32_t flags, const V& x, const V& y, const V& z, const V& colour,
                 const std::vector<std::vector<uint32_t>>& faces) {
  const size_t perFace = faces.empty() ? 0 : faces[0].size();
  V out = {double(flags), double(perFace), double(x.size())};
  for (const V* a : {&x, &y, &z, &colour}) out.insert(out.end(), a->begin(), a->end());
  out.push_back(double(faces.size()));
  std::vector<uint32_t> indices;
  for (const auto& f : faces) indices.insert(indices.end(), f.begin(), f.end());
  indices.resize((indices.size() + 1) / 2 * 2, 0);
  V packed(indices.size() / 2);
  std::memcpy(packed.data(), indices.data(), indices.size() * 4);
  return Join(out, packed);
}

// A surface of side x side cells over the square of side k, two triangular
// faces each (filled one by one), seen from the default camera.
Scene& Surface(Scene& r, int side, double k = 1) {
  r.Solid(k);
  V x, y, z;
  for (int i = 0; i <= side; ++i) {
    for (int j = 0; j <= side; ++j) {
      x.push_back(k * i / side);
      y.push_back(k * j / side);
      z.push_back(k * (0.5 + 0.3 * std::sin(6.0 * i / side) * j / side));
    }
  }
  std::vector<std::vector<uint32_t>> faces;
  for (uint32_t i = 0; i < uint32_t(side); ++i) {
    for (uint32_t j = 0; j < uint32_t(side); ++j) {
      const uint32_t k = i * (side + 1) + j;
      faces.push_back({k, k + side + 1, k + side + 2});
      faces.push_back({k, k + side + 2, k + 1});
    }
  }
  r.list.Begin(0).Add(kCmdPolygons3,
                      PolygonPayload(kPolyFaces | kPolyFillShaded, x, y, z, {}, faces));
  return r;
}

TEST(Render3D, SurfacesLargerThanTheScratchAreDrawnWhole) {
  // 1,800 triangles and 961 vertices: neither the pool's half of the 4,000
  // doubles of scratch nor the commands' half holds them.
  Scene r;
  Surface(r, 30).Run();
  EXPECT_EQ(r.Fills().size(), 1800u);
  EXPECT_EQ(r.error, kOk);
  // When no memory is left, what the scratch held is drawn and the call
  // says that memory ran out.
  SetRenderMemoryBound(8);
  Scene starved;
  starved.scratch.resize(8000);
  Surface(starved, 30).Run();
  SetRenderMemoryBound(0);
  EXPECT_EQ(starved.error, kErrOutOfMem);
  EXPECT_GT(starved.Fills().size(), 0u);
  EXPECT_LT(starved.Fills().size(), 1800u);
}

TEST(Render3D, SurfacesLookAlikeAtEveryScale) {
  Scene unit;
  Surface(unit, 6).Run();
  const auto fills = Polylines(unit.rec);
  ASSERT_EQ(fills.size(), 72u);
  for (double k : {1e-200, 1e160}) {
    Scene scaled;
    Surface(scaled, 6, k).Run();
    const auto got = Polylines(scaled.rec);
    ASSERT_EQ(got.size(), fills.size()) << k;
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_EQ(got[i].size(), fills[i].size());
      for (size_t j = 0; j < got[i].size(); ++j) EXPECT_NEAR(got[i][j], fills[i][j], 1e-6) << k;
    }
  }
}

TEST(Render3D, PolylinesBecomeSegmentsOrPoints) {
  Scene lines;
  lines.Solid();
  const V points = {3, 0, 0.5, 1, 0, 0.5, 1, 0, 0.5, 1};
  lines.list.Begin(0).Add(kCmdPolyline3, points, kKindSolid);
  lines.Run();
  auto drawn = Polylines(lines.rec);
  ASSERT_EQ(drawn.size(), 2u);
  for (const V& p : drawn) EXPECT_EQ(p.size(), 4u);

  // The blank kind and the marker kinds add the points instead.
  for (uint32_t kind : {kKindNone, kKindCircle}) {
    Scene marks;
    marks.Solid();
    marks.list.Begin(0).Add(kCmdPolyline3, points, kind);
    marks.Run();
    drawn = Polylines(marks.rec);
    ASSERT_EQ(drawn.size(), 3u) << kind;
    for (const V& p : drawn) EXPECT_EQ(p.size(), 2u);
  }
}

TEST(Render3D, OnlyThreeDimensionalTextIsDrawn) {
  Scene r;
  r.Solid();
  r.list.Begin(0)
      .Add(56, Join({0.5, 0.5, 0.5, 0, 4}, Packed("flat")))
      .Add(57, Join({0.5, 0.5, 0.5, 0, 5}, Packed("solid")), 0, 0x00FF00);
  r.Run();
  const auto texts = CallsOf(r.rec, PortSlot::drawText);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "solid");
  EXPECT_EQ((V{texts[0].values[4], texts[0].values[5], texts[0].values[6]}), (V{0, 255, 0}));
}

TEST(Render3D, FansKeepTheDiagonalsOffTheEdges) {
  struct Triangle {
    int32_t a, b, c;
    uint32_t boundary;
    bool operator==(const Triangle&) const = default;
  };
  std::vector<Triangle> out;
  const EmitFaceTriangle collect = [](void* context, int32_t a, int32_t b, int32_t c,
                                      uint32_t boundary) {
    static_cast<std::vector<Triangle>*>(context)->push_back({a, b, c, boundary});
  };
  FanTriangulate(4, collect, &out);
  EXPECT_EQ(out, (std::vector<Triangle>{{0, 1, 2, 3}, {0, 2, 3, 6}}));
  out.clear();
  FanTriangulate(5, collect, &out);
  EXPECT_EQ(out, (std::vector<Triangle>{{0, 1, 2, 3}, {0, 2, 3, 2}, {0, 3, 4, 6}}));
  out.clear();
  FanTriangulate(3, collect, &out);
  EXPECT_EQ(out, (std::vector<Triangle>{{0, 1, 2, 7}}));

  // Ear clipping of a concave L: the triangles cover its area exactly,
  // and every edge of the outline is a boundary edge once.
  const double x[6] = {0, 2, 2, 1, 1, 0};
  const double y[6] = {0, 0, 1, 1, 2, 2};
  double scratch[18];
  out.clear();
  EarClipTriangulate(x, y, 6, scratch, collect, &out);
  ASSERT_EQ(out.size(), 4u);
  double area = 0;
  int boundaryEdges = 0;
  for (const Triangle& t : out) {
    area +=
        std::fabs((x[t.b] - x[t.a]) * (y[t.c] - y[t.a]) - (x[t.c] - x[t.a]) * (y[t.b] - y[t.a])) /
        2;
    boundaryEdges += std::popcount(t.boundary);
  }
  EXPECT_DOUBLE_EQ(area, 3);
  EXPECT_EQ(boundaryEdges, 6);
}

TEST(Render3D, QuadEdgesWithoutTheDiagonal) {
  Scene r;
  r.Solid();
  const uint32_t flags = kPolyEdges | kPolyEdgesStyled;
  r.list.Begin(0).Add(
      kCmdPolygons3,
      PolygonPayload(flags, {0, 1, 1, 0}, {0, 0, 1, 1}, {0, 0, 0, 0}, {}, {{0, 1, 2, 3}}),
      kKindSolid);
  r.Run();
  // Two open paths of two edges each: four edges, no diagonal.
  const auto drawn = Polylines(r.rec);
  ASSERT_EQ(drawn.size(), 2u);
  for (const V& p : drawn) EXPECT_EQ(p.size(), 6u);
  double X[4], Y[4];
  const double xs[4] = {0, 1, 1, 0}, ys[4] = {0, 0, 1, 1}, zs[4] = {0, 0, 0, 0};
  DataToDevice(r.s, xs, ys, zs, 4, X, Y, nullptr);
  const auto joins = [&](const V& p, int a, int b) {
    for (size_t i = 0; i + 3 < p.size(); i += 2) {
      const bool ab = std::fabs(p[i] - X[a]) < 1e-3 && std::fabs(p[i + 1] - Y[a]) < 1e-3 &&
                      std::fabs(p[i + 2] - X[b]) < 1e-3 && std::fabs(p[i + 3] - Y[b]) < 1e-3;
      const bool ba = std::fabs(p[i] - X[b]) < 1e-3 && std::fabs(p[i + 1] - Y[b]) < 1e-3 &&
                      std::fabs(p[i + 2] - X[a]) < 1e-3 && std::fabs(p[i + 3] - Y[a]) < 1e-3;
      if (ab || ba) return true;
    }
    return false;
  };
  for (const auto& [a, b] : std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {2, 3}, {3, 0}}) {
    EXPECT_TRUE(joins(drawn[0], a, b) || joins(drawn[1], a, b)) << a << b;
  }
  EXPECT_FALSE(joins(drawn[0], 0, 2) || joins(drawn[1], 0, 2));
}

// One triangle facing up (+z), filled in its shaded colour: one colour
// value of 0.5 through a one-entry map of orange.
struct LitFace : Scene {
  LitFace() {
    Solid();
    list.Begin(0).Add(kCmdColourMap, {1, 1, 0.5, 0});
  }
  Bytes Fill(const std::vector<V>& extra) {
    for (const V& command : extra)
      list.Add(int32_t(command[0]), V(command.begin() + 1, command.end()));
    const uint32_t flags = kPolyFaces | kPolyFillShaded | kPolyValues | kPolyOneColour;
    list.Add(kCmdPolygons3,
             PolygonPayload(flags, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, {0.5}, {{0, 1, 2}}));
    Run();
    const auto fills = Fills();
    return fills.size() == 1 ? fills[0] : Bytes{};
  }
};

TEST(Render3D, FacesShadedByLightsAndMaterial) {
  const V up = {kCmdLight, 0, 0, 1, 1, 1, 1};
  const V down = {kCmdLight, 0, 0, -1, 1, 1, 1};
  EXPECT_EQ(LitFace().Fill({}), (Bytes{255, 127, 0}));    // no lights: full
  EXPECT_EQ(LitFace().Fill({up}), (Bytes{255, 127, 0}));  // 0.2 + 0.8
  EXPECT_EQ(LitFace().Fill({down}), (Bytes{51, 25, 0}));  // ambient 0.2 only
  const V material = {kCmdMaterial, 0.5, 0.8, 1, 3, 1};
  EXPECT_EQ(LitFace().Fill({down, material}), (Bytes{128, 64, 0}));
  // A material after the face does not reach it.
  LitFace late;
  late.list.Add(kCmdLight, V(down.begin() + 1, down.end()));
  EXPECT_EQ(late.Fill({}), (Bytes{51, 25, 0}));
}

TEST(Render3D, FacesWithIndicesOutsideTheVerticesAreSkipped) {
  Scene r;
  r.Solid();
  const uint32_t flags = kPolyFaces | kPolyFillShaded;
  r.list.Begin(0).Add(kCmdPolygons3, PolygonPayload(flags, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, {},
                                                    {{0, 1, 2}, {0, 1, 3}, {0, 0xFFFFFFFF, 2}}));
  r.Run();
  EXPECT_EQ(r.Fills().size(), 1u);
  // A payload whose faces run past its length draws nothing.
  Scene cut;
  cut.Solid();
  V payload = PolygonPayload(flags, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, {}, {{0, 1, 2}});
  payload.pop_back();
  cut.list.Begin(0).Add(kCmdPolygons3, payload);
  cut.Run();
  EXPECT_TRUE(cut.Fills().empty());
}

TEST(Render3D, ColourByHeightSpansTheRange) {
  // Heights 0, 1, 2 with the range 0..2: the face mean 1 lies half way,
  // in the second of two grey entries... and a flat range takes the first.
  for (const auto& [range, expected] :
       std::vector<std::pair<V, Bytes>>{{{0, 2}, {255, 255, 255}}, {{1, 1}, {0, 0, 0}}}) {
    Scene r;
    r.Solid();
    r.list.Begin(0).Add(kCmdColourMap, {2, 0, 1, 0, 1, 0, 1});
    const uint32_t flags = kPolyFaces | kPolyFillShaded | kPolyByRange;
    r.list.Add(kCmdPolygons3,
               PolygonPayload(flags, {0, 1, 0}, {0, 0, 1}, {0, 1, 2}, range, {{0, 1, 2}}));
    r.Run();
    EXPECT_EQ(r.Fills(), (std::vector<Bytes>{expected}));
  }
}

}  // namespace
}  // namespace vke
