// The natives of area-filling objects run as draw handlers: the polygon
// sets of plotpoly, mesh and surf in the one layout the renderer reads (and
// drawn by it), images, pseudo-colour cells and the colour map, with their
// argument errors and their room checks near the end of a small store.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/block.hpp"
#include "engine/values/values.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/object_store.hpp"
#include "graphics/polygon_payload.hpp"
#include "graphics/port_recording.hpp"
#include "graphics/renderer.hpp"
#include "tests/graphics/room_guard.hpp"
#include "tests/host/figure_harness.hpp"
#include "tests/host/value_io.hpp"

namespace vke {
namespace {

using test::FigureHarness;
using Doubles = std::vector<double>;
using Indices = std::vector<uint32_t>;

// Runs the body as subplot 0's draw handler on an emptied object.
ErrCode Fresh(FigureHarness& h, const std::string& body) {
  h.Open();
  return h.Draw(0, body);
}

// Each body fails with its code and writes nothing.
void ExpectErrorsWriteNothing(FigureHarness& h,
                              const std::vector<std::pair<const char*, ErrCode>>& cases) {
  for (const auto& [body, code] : cases) {
    EXPECT_EQ(Fresh(h, body), code) << body;
    EXPECT_TRUE(h.Commands(0).empty()) << body;
  }
}

// The only command of subplot 0.
test::FigureCommand Only(const FigureHarness& h) {
  const auto cmds = h.Commands(0);
  EXPECT_EQ(cmds.size(), 1u);
  return cmds.empty() ? test::FigureCommand{} : cmds[0];
}

// The polygon payload of a command: flags, p, nv and the face indices.
struct Polygons {
  explicit Polygons(const test::FigureCommand& c) {
    data = c.data;
    EXPECT_TRUE(ReadPolygonPayload(reinterpret_cast<const std::byte*>(data.data()),
                                   static_cast<int64_t>(data.size()), &p));
    EXPECT_EQ(PolygonPayloadDoubles(p.flags, p.vertices, p.perFace, p.faces),
              static_cast<int64_t>(data.size()));
  }
  Indices Faces() const {
    Indices out;
    for (int64_t f = 0; f < p.faces; ++f) {
      for (int32_t k = 0; k < p.perFace; ++k) out.push_back(p.Index(f, k));
    }
    return out;
  }
  Doubles Colour() const {
    return Doubles(p.colour, p.colour + PolygonColourDoubles(p.flags, p.vertices));
  }
  Doubles data;
  PolygonPayload p{};
};

TEST(PolygonNatives, FansStripsAndIndexLists) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "plotpoly(1:5, [0 1 2 1 0], zeros(1, 5), 'fan')"), kOk);
  Polygons fan(Only(h));
  EXPECT_EQ(fan.p.flags, uint32_t{kPolyFaces | kPolyFillShaded | kPolyByRange});
  EXPECT_EQ(fan.Faces(), (Indices{0, 1, 2, 0, 2, 3, 0, 3, 4}));
  EXPECT_EQ(Only(h).header.style, kKindNone);
  EXPECT_TRUE(h.subplot(0).is3d);

  ASSERT_EQ(Fresh(h, "plotpoly(1:5, 1:5, 1:5, 'strip', 'b', 'r-', 7)"), kOk);
  Polygons strip(Only(h));
  EXPECT_EQ(strip.Faces(), (Indices{0, 1, 2, 2, 1, 3, 2, 3, 4}));
  EXPECT_EQ(strip.p.flags,
            uint32_t{kPolyEdges | kPolyEdgesStyled | kPolyFillShaded | kPolyByRange});
  EXPECT_EQ(Only(h).header.id, 7);
  EXPECT_EQ(Only(h).header.colour, 0xFF0000u);

  // A colour per vertex (also before a triangulation text), and index
  // lists of four, which may be concave, cut by ear clipping.
  ASSERT_EQ(Fresh(h, "plotpoly(1:4, 1:4, 1:4, [0.1 0.2 0.3 0.4], 'fan', '*')"), kOk);
  Polygons valued(Only(h));
  EXPECT_EQ(valued.p.flags,
            uint32_t{kPolyFaces | kPolyEdges | kPolyVertices | kPolyValues | kPolyFillShaded});
  EXPECT_EQ(valued.Colour(), (Doubles{0.1, 0.2, 0.3, 0.4}));
  ASSERT_EQ(Fresh(h, "plotpoly(1:4, 1:4, 1:4, [1 0 0; 0 1 0; 0 0 1; 1 1 1], [1 2 3 4])"), kOk);
  Polygons rgb(Only(h));
  EXPECT_EQ(rgb.p.flags, uint32_t{kPolyFaces | kPolyRgb | kPolyFillShaded | kPolyEarClip});
  EXPECT_EQ(rgb.Colour(), (Doubles{1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1}));
  EXPECT_EQ(rgb.Faces(), (Indices{0, 1, 2, 3}));
  ASSERT_EQ(Fresh(h, "plotpoly(1:3, 1:3, 1:3, [1 0.5 0], [1 2 3], 'f', 'rf')"), kOk);
  EXPECT_EQ(Polygons(Only(h)).p.flags,
            uint32_t{kPolyFaces | kPolyRgb | kPolyOneColour | kPolyFillShaded});
  ASSERT_EQ(Fresh(h, "plotpoly(1:3, 1:3, 1:3, [1 2 3], '', 'rf')"), kOk);
  EXPECT_EQ(Polygons(Only(h)).p.flags, uint32_t{kPolyFaces | kPolyFillStyled | kPolyByRange});
}

TEST(PolygonNatives, ArgumentErrorsWriteNothing) {
  FigureHarness h;
  const std::vector<std::pair<const char*, ErrCode>> cases = {
      {"plotpoly(1:3, 1:3, 1:3, [0 1 2])", kErrIndexOutOfRange},
      {"plotpoly(1:3, 1:3, 1:3, [1 4 2])", kErrIndexOutOfRange},
      {"plotpoly(1:3, 1:3, 1:3, [1 2.5 3])", kErrNonIntegerIndex},
      {"plotpoly(1:3, 1:3, 1:3, [1 2; 2 3])", kErrBadSize},
      {"plotpoly(1:3, 1:3, 1:3, 'zigzag')", kErrUnknownOpt},
      {"plotpoly(1:3, 1:3, 1:3, [1 2 3], 'x')", kErrUnknownOpt},
      {"plotpoly(1:3, 1:2, 1:3, [1 2 3])", kErrIncompSize},
      {"plotpoly(1:3, 1:3, 1:3, [1 2], [1 2 3])", kErrIncompSize},
      {"plotpoly(1:3, 1:3, 1:3, [1 2 3], 'f', 'q')", kErrUnknownOpt},
  };
  ExpectErrorsWriteNothing(h, cases);
}

TEST(MeshNatives, QuadsColoursAndModes) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "surf([1 2 3; 4 5 6])"), kOk);
  Polygons surf(Only(h));
  EXPECT_EQ(surf.p.flags, uint32_t{kPolyFaces | kPolyEdges | kPolyByRange | kPolyFillShaded});
  EXPECT_EQ(surf.p.perFace, 4);
  EXPECT_EQ(surf.Faces(), (Indices{0, 1, 4, 3, 1, 2, 5, 4}));
  EXPECT_EQ((Doubles{surf.p.range[0], surf.p.range[1]}), (Doubles{1, 6}));
  EXPECT_EQ(Doubles(surf.p.x, surf.p.x + 6), (Doubles{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(Doubles(surf.p.y, surf.p.y + 6), (Doubles{1, 1, 1, 2, 2, 2}));

  // One colour for all is one triple; x and y as vectors or per node.
  ASSERT_EQ(Fresh(h, "mesh([0 1], [5; 6], [1 2; 3 4], [1 0 0])"), kOk);
  Polygons mesh(Only(h));
  EXPECT_EQ(mesh.p.flags,
            uint32_t{kPolyFaces | kPolyEdges | kPolyRgb | kPolyOneColour | kPolyEdgesShaded});
  EXPECT_EQ(mesh.Colour(), (Doubles{1, 0, 0}));
  EXPECT_EQ(Doubles(mesh.p.y, mesh.p.y + 4), (Doubles{5, 5, 6, 6}));
  ASSERT_EQ(Fresh(h, "mesh([0 1; 2 3], [5 6; 7 8], [1 2; 3 4], 'b', 'r-')"), kOk);
  Polygons styled(Only(h));
  EXPECT_EQ(styled.p.flags, uint32_t{kPolyEdges | kPolyByRange | kPolyEdgesStyled});
  EXPECT_EQ(Doubles(styled.p.x, styled.p.x + 4), (Doubles{0, 1, 2, 3}));

  // A colour per node, or three layers of them.
  ASSERT_EQ(Fresh(h, "c = zeros(2, 2, 3); c(:, :, 2) = 1; surf(1:2, 1:2, [1 2; 3 4], c)"), kOk);
  Polygons layered(Only(h));
  EXPECT_EQ(layered.p.flags & (kPolyRgb | kPolyOneColour | kPolyByRange), uint32_t{kPolyRgb});
  EXPECT_EQ(layered.Colour(), (Doubles{0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0}));

  // A grid without cells writes nothing.
  ASSERT_EQ(Fresh(h, "mesh([1 2 3 4 5]); surf(1:5, 1, [1 2 3 4 5])"), kOk);
  EXPECT_TRUE(h.Commands(0).empty());

  const std::vector<std::pair<const char*, ErrCode>> errors = {
      {"mesh([1 2; 3 4], '*')", kErrUnknownOpt},
      {"mesh(1:3, 1:2, [1 2; 3 4])", kErrIncompSize},
      {"surf(1:2, 1:2, [1 2; 3 4], zeros(2, 2, 4))", kErrBadSize},
      {"surf(1:2, 1:2, [1 2; 3 4], [1 2])", kErrIncompSize},
      {"surf(1:2, [1 2; 3 4])", kErrBadArg},
  };
  ExpectErrorsWriteNothing(h, errors);
}

// The writer's layout is the renderer's: a surf of 3 x 3 heights, rendered
// in its 3-D subplot, fills two shaded triangles per cell.
TEST(MeshNatives, SurfaceIsDrawnAsTwoTrianglesPerCell) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "surf([1 2 3; 2 3 4; 3 4 5])"), kOk);
  ASSERT_EQ(h.Close(), kOk);
  Doubles payload = h.Payload();
  std::vector<double> scratch(20000);
  RecordingPort rec;
  SubplotRecord s = h.subplot(0);
  uint32_t position = 0;
  RenderObjectList(reinterpret_cast<std::byte*>(payload.data()),
                   static_cast<uint32_t>(payload.size()), scratch.data(),
                   static_cast<uint32_t>(scratch.size()), &s, &position, RenderStyles{},
                   kNoTextFieldEdit, false, rec.port(), rec.target());
  int32_t triangles = 0;
  for (const PortCall& c : rec.calls()) {
    if (c.slot == PortSlot::drawPolyline && c.values[0] == 3 &&
        (static_cast<uint32_t>(c.values[1]) & kStyleFilled)) {
      ++triangles;
    }
  }
  EXPECT_EQ(triangles, 8);
}

TEST(ImageNatives, BytesOfEachTypeAndThePlacement) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "image(logical([1 0; 0 1]))"), kOk);
  auto c = Only(h);
  EXPECT_EQ(c.header.code, kCmdImageCells);
  EXPECT_EQ(Doubles(c.data.begin(), c.data.begin() + 7), (Doubles{0, 2, 2, 0, 0, 2, 2}));
  ASSERT_EQ(c.data.size(), 8u);
  uint8_t bytes[8];
  std::memcpy(bytes, &c.data[7], 8);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(std::vector<int>(bytes + 4, bytes + 8), (std::vector<int>{0, 0, 0, 0}));

  // Colour layers, uint8 bytes as they are, a placement and the options.
  ASSERT_EQ(Fresh(h, "image(uint8([1 2 3]), single([0 0.5 1]), [0 1 2], [10 16 2 4], 'e1', 5)"),
            kOk);
  c = Only(h);
  EXPECT_EQ(c.header.id, 5);
  EXPECT_EQ(Doubles(c.data.begin(), c.data.begin() + 7), (Doubles{1 | 2, 1, 3, 10, 2, 6, 2}));
  std::memcpy(bytes, &c.data[7], 8);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 8), (std::vector<int>{1, 2, 3, 0, 127, 255, 0, 255}));
  const SubplotRecord& s = h.subplot(0);
  EXPECT_EQ((Doubles{s.limits[0], s.limits[3], s.limits[1], s.limits[4]}), (Doubles{10, 16, 2, 4}));
  ASSERT_EQ(Fresh(h, "c = zeros(1, 1, 3); c(1, 1, 3) = 1; image(c, '3')"), kOk);
  c = Only(h);
  EXPECT_EQ(c.data[0], 1 | 12);
  std::memcpy(bytes, &c.data[7], 8);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 3), (std::vector<int>{0, 0, 255}));

  const std::vector<std::pair<const char*, ErrCode>> errors = {
      {"image(int16([1 2]))", kErrWrongType},
      {"image(zeros(2, 2, 2))", kErrBadSize},
      {"image(1:2, 1:3, 1:2)", kErrIncompSize},
      {"image(1:2, [0 1 2])", kErrBadSize},
      {"image(1:2, [0 1 0 1], 'e', 1, 2)", kErrTooManyArgin},
  };
  ExpectErrorsWriteNothing(h, errors);
}

TEST(PcolorNatives, CellsWithOrWithoutTheirGrid) {
  FigureHarness h;
  ASSERT_EQ(Fresh(h, "pcolor([1 2; 3 4])"), kOk);
  auto c = Only(h);
  EXPECT_EQ(c.header.code, kCmdPseudoColour);
  EXPECT_EQ(c.header.style, kKindNone);
  EXPECT_EQ(c.data, (Doubles{0, 2, 2, 1, 2, 3, 4}));
  ASSERT_EQ(Fresh(h, "pcolor([0 1], [0 1; 2 3], [1 2; 3 4], 'r', 3)"), kOk);
  c = Only(h);
  EXPECT_EQ(c.data, (Doubles{1 | 8, 2, 2, 0, 1, 0, 1, 2, 3, 1, 2, 3, 4}));
  EXPECT_EQ(c.header.id, 3);
  EXPECT_EQ(c.header.colour, 0xFF0000u);
  const SubplotRecord& s = h.subplot(0);
  EXPECT_EQ((Doubles{s.limits[0], s.limits[3], s.limits[1], s.limits[4]}), (Doubles{0, 1, 0, 3}));
  EXPECT_EQ(Fresh(h, "pcolor(1:3, 1:2, [1 2; 3 4])"), kErrIncompSize);
  EXPECT_EQ(Fresh(h, "pcolor([1 2; 3 4], 5)"), kErrWrongType);
}

TEST(ColormapNative, OneMapPerSubplotReplacedAndQueried) {
  FigureHarness h(1, 2);
  ASSERT_EQ(Fresh(h, "colormap([0 0 0; 1 1 1]); plot(1:2); colormap([1 0 0; 0 1 0; 0 0 1]);"), kOk);
  auto cmds = h.Commands(0);
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(cmds[0].header.code, kCmdPolyline);
  EXPECT_EQ(cmds[1].header.code, kCmdColourMap);
  EXPECT_EQ(cmds[1].data, (Doubles{3, 1, 0, 0, 0, 1, 0, 0, 0, 1}));

  // Another subplot's map leaves this one's alone.
  ASSERT_EQ(h.Draw(1, "colormap([0 0 0; 1 1 1]);"), kOk);
  EXPECT_EQ(h.Commands(0).size(), 2u);
  EXPECT_EQ(h.Commands(1)[0].data, (Doubles{2, 0, 1, 0, 1, 0, 1}));

  // The query gives the current subplot's map as n x 3.
  h.SelectSubplot(0);
  ASSERT_EQ(h.Call("colormap", 0, 1), kOk);
  EXPECT_EQ(test::PopNumbers(h.ctx()), (Doubles{1, 0, 0, 0, 1, 0, 0, 0, 1}));

  EXPECT_EQ(h.Draw(0, "colormap([0 0 1.5]);"), kErrOutOfRangeArg);
  EXPECT_EQ(h.Draw(0, "colormap([0 0; 1 1]);"), kErrBadSize);
  EXPECT_EQ(h.Draw(0, "colormap({1});"), kErrWrongTypeOverload);

  // A new map that does not fit keeps the old one.
  ASSERT_EQ(Fresh(h, "colormap([0 0 0; 1 1 1]);"), kOk);
  h.LimitRoom(0);
  EXPECT_EQ(h.Draw(0, "colormap(zeros(4, 3));"), kErrPlotOverflow);
  ASSERT_EQ(h.Commands(0).size(), 1u);
  EXPECT_EQ(h.Commands(0)[0].data, (Doubles{2, 0, 1, 0, 1, 0, 1}));
}

// surf with a colour per node over a 3 x 3 grid needs 6 + 3 + 27 + 9 + 1 +
// 8 doubles: one less answers 10001 and writes nothing.
TEST(SurfaceNatives, RoomCountsTheColoursAndTheRange) {
  test::ExpectExactRoom("surf(1:3, 1:3, magic(3), magic(3) / 9)",
                        kObjectBeginDoubles + 6 + 3 + 27 + 9 + 1 + 8);
  // Without colours the height range takes their place.
  test::ExpectExactRoom("surf(magic(3))", kObjectBeginDoubles + 6 + 3 + 27 + 2 + 1 + 8);
}

// A random mix of the natives into a store left with little room: every
// call answers, nothing passes the room and the store stays well formed.
TEST(SurfaceNatives, RandomMixKeepsTheStoreValid) {
  test::ExpectRandomMixKeepsStoreValid(
      {
          "plotpoly(1:5, [0 1 2 1 0], 1:5, 'fan', '*', 'ro')",
          "plotpoly(1:4, 1:4, 1:4, [1 0 0; 0 1 0; 0 0 1; 1 1 1], [1 2 3 4; 4 3 2 1])",
          "mesh(magic(4))",
          "surf(1:3, 1:3, magic(3), magic(3) / 9, 'fb', 'k_', 2)",
          "image(rand(5, 7), [0 1 0 1], '1')",
          "image(uint8(magic(4)), uint8(magic(4)), uint8(magic(4)))",
          "pcolor(rand(4, 5), 'k')",
          "colormap([0 0 0; 0.5 0.5 0.5; 1 1 1]);",
          "contour(magic(6), [], 5, 'bf,rf')",
          "contour3(magic(5), [0 1 0 1], [3 9 12])",
      },
      43, 160);
}

}  // namespace
}  // namespace vke
