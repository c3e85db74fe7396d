// What hides what in 3-D figures drawn headless, in both projections: faces
// written in either order give the same picture, a cube shows the face
// turned toward each of six cameras, and a surface turned by the camera
// looks the same written backwards.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/figure_png.hpp"
#include "app/instances.hpp"
#include "graphics/camera.hpp"
#include "tests/app/figure_app.hpp"
#include "tests/graphics/pixels.hpp"

namespace vke {
namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

// A figure drawn by running the body as subplot 0's draw handler, on an
// image, with the subplot as it was drawn.
struct Picture {
  explicit Picture(const std::string& body, bool perspective = false) {
    test::FigureApp app(1, 1);
    EXPECT_EQ(app.Draw(0, body + (perspective ? "\ncamproj('p');" : "")), kOk) << app.TakeOutput();
    EXPECT_EQ(app.Close(), kOk);
    image = test::NewImage(kWidth, kHeight);
    KVContextBlock* slot = app.block();
    EXPECT_EQ(DrawFigureImage(&slot, 0, image.get(), false), kOk);
    subplot = FindInstance(app.block(), 0)->figure.subplots[0];
  }
  // The colour where the data point lands.
  uint32_t At(double x, double y, double z) const {
    double X = 0, Y = 0, w = 0;
    ProjectPoint(subplot, x, y, z, true, &X, &Y, &w);
    return test::PixelAt(*image, static_cast<int32_t>(X), static_cast<int32_t>(Y));
  }
  std::unique_ptr<CairoTarget> image;
  SubplotRecord subplot{};
};

// A unit square in the plane x = at, over y and z in 0..1, filled with rgb.
std::string Square(double at, const char* rgb) {
  return "plotpoly([" + std::to_string(at) + " " + std::to_string(at) + " " + std::to_string(at) +
         " " + std::to_string(at) + "], [0 1 1 0], [0 0 1 1], " + rgb + ", [1 2 3 4], 'f');";
}

TEST(HiddenFaces, NearSquareCoversTheFarOneInEitherOrder) {
  const std::string red = Square(0, "[1 0 0]");
  const std::string blue = Square(2, "[0 0 1]");
  for (bool perspective : {false, true}) {
    const Picture redFirst(red + "\n" + blue, perspective);
    const Picture blueFirst(blue + "\n" + red, perspective);
    EXPECT_EQ(test::Snapshot(*redFirst.image), test::Snapshot(*blueFirst.image)) << perspective;
    // The default camera looks from -x: the red square is the near one and
    // covers the middle of the picture, where both overlap.
    EXPECT_EQ(blueFirst.At(0, 0.5, 0.5), 0xFF0000u) << perspective;
  }
}

// A unit cube of six faces, each its own colour: -x, +x, -y, +y, -z, +z.
constexpr uint32_t kFaceColours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};

std::string Cube() {
  // The corners: bit 0 x, bit 1 y, bit 2 z; each face's four corners
  // around it.
  const int faces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                           {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
  std::string body;
  for (int f = 0; f < 6; ++f) {
    std::string xs, ys, zs;
    for (int corner : faces[f]) {
      xs += std::to_string(corner & 1) + " ";
      ys += std::to_string((corner >> 1) & 1) + " ";
      zs += std::to_string((corner >> 2) & 1) + " ";
    }
    const uint32_t c = kFaceColours[f];
    body += "plotpoly([" + xs + "], [" + ys + "], [" + zs + "], [" + std::to_string(c >> 16) + " " +
            std::to_string((c >> 8) & 255) + " " + std::to_string(c & 255) +
            "] / 255, [1 2 3 4], 'f');\n";
  }
  return body;
}

TEST(HiddenFaces, CubeShowsTheFaceTurnedToEachCamera) {
  // Each camera looks mostly along one axis, a little off it, so that the
  // face on that side covers the middle of the picture, where the cube's
  // centre lands.
  const char* cameras[6] = {"[-3 0.4 0.3]", "[3 0.4 0.3]",  "[0.4 -3 0.3]",
                            "[0.4 3 0.3]",  "[0.4 0.3 -3]", "[0.4 0.3 3]"};
  for (bool perspective : {false, true}) {
    for (int f = 0; f < 6; ++f) {
      // In perspective the position is a point: put it well away from the
      // cube along the same direction.
      const std::string camera =
          perspective ? std::string(cameras[f]) + " * 3 + 0.5" : std::string(cameras[f]);
      const Picture cube(Cube() + (perspective ? "camproj('p');\n" : "") + "campos(" + camera +
                         ");");
      EXPECT_EQ(cube.At(0.5, 0.5, 0.5), kFaceColours[f])
          << "camera " << cameras[f] << (perspective ? " in perspective" : "");
    }
  }
}

// Pixels that differ between two pictures.
int32_t Differing(const Picture& a, const Picture& b) {
  const std::vector<uint32_t> pa = test::Snapshot(*a.image);
  const std::vector<uint32_t> pb = test::Snapshot(*b.image);
  int32_t n = 0;
  for (size_t i = 0; i < pa.size(); ++i) n += pa[i] != pb[i];
  return n;
}

TEST(HiddenFaces, TurnedSurfaceLooksTheSameWrittenBackwards) {
  // A peak over a flat base, coloured by height, written cell by cell from
  // either corner of the grid (the same triangles in the opposite order):
  // after any turn of the camera both give one picture, but for the
  // anti-aliased pixels on the edges shared by a red and a blue face (a base
  // painted over the peak differs by a thousand).
  const std::string grid =
      "[x, y] = meshgrid(-2:0.25:2);\n"
      "z = exp(-(x.^2 + y.^2));\n"
      "colormap([0 0 1; 1 0 0]);\n";
  for (bool perspective : {false, true}) {
    for (int turn = 0; turn < 360; turn += 45) {
      const std::string orbit = "camorbit(" + std::to_string(turn) + ", 0);";
      const Picture forward(grid + "surf(x, y, z, 'f');" + orbit, perspective);
      const Picture backward(grid + "surf(rot90(x, 2), rot90(y, 2), rot90(z, 2), 'f');" + orbit,
                             perspective);
      EXPECT_LT(Differing(forward, backward), 300)
          << "turn " << turn << (perspective ? " in perspective" : "");
    }
  }
}

}  // namespace
}  // namespace vke
