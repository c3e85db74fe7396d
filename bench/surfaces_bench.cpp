// Milliseconds per redraw of area-filling figures at 800 x 600: a lit surf
// of a 100 x 100 grid in orthographic and in perspective projection, an
// image of 1000 x 1000 colour cells resampled linearly, and the contour
// lines of a 200 x 200 grid at 10 levels. One redraw is the figure's draw
// handler (its data kept in the application's variables) and one paint.
// For the surface also the paint alone after the camera turned, as a mouse
// drag of the camera repaints. bench/compare_surfaces.sh sets the times
// beside the same figures drawn by matplotlib.
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/packed_figure.hpp"
#include "graphics/camera.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

constexpr const char* kDescription = R"(title "Surfaces bench"
source "surfaces.vke"
var a b c
init (a, b, c) = start()
figure "Plot"
  draw show(a, b, c)
)";

// The data of each case: peaks over a square grid of n points, and a
// colour gradient.
constexpr const char* kPeaks = R"(function (a, b, c) = peaks(n)
  a = -3 + 6 * (0:n - 1) / (n - 1);
  b = a;
  x = repmat(a, n, 1);
  y = x';
  c = 3 * (1 - x) .^ 2 .* exp(-x .^ 2 - (y + 1) .^ 2) ...
      - 10 * (x / 5 - x .^ 3 - y .^ 5) .* exp(-x .^ 2 - y .^ 2) ...
      - exp(-(x + 1) .^ 2 - y .^ 2) / 3;

function m = bluetoyellow
  t = (0:63)' / 63;
  m = [min(1, 2 * t .^ 2), 0.2 + 0.7 * t, 0.6 * (1 - t) + 0.1];
)";

// The lit surface of both projections.
constexpr const char* kSurface = R"(function (a, b, c) = start
  (a, b, c) = peaks(100);

function show(a, b, c)
  colormap(bluetoyellow());
  surf(a, b, c);
  lightangle(-2.2, 0.7);
)";

struct Case {
  const char* key;  // the case's name in the peer's output
  const char* name;
  const char* source;  // start and show, which ends with `more`
  const char* more;
  bool turns;  // also time the paint after a camera turn
};

constexpr Case kCases[] = {
    {"surf_ortho", "surf 100x100 orthographic", kSurface, "", true},
    {"surf_persp", "surf 100x100 perspective", kSurface, "camproj('p');", true},
    {"image", "image 1000x1000 linear", R"(function (a, b, c) = start
  g = repmat((0:999) / 999, 1000, 1);
  a = g;
  b = g';
  c = 0.5 * (g + g');

function show(a, b, c)
  image(a, b, c, '1');
)",
     "", false},
    {"contour", "contour 200x200 10 levels", R"(function (a, b, c) = start
  (a, b, c) = peaks(200);

function show(a, b, c)
  contour(c, [-3 3 -3 3], 10);
)",
     "", false},
};

using vke::bench::MillisecondsPer;

void Measure(const Case& c) {
  vke::bench::PackedFigure figure(kDescription, "surfaces",
                                  std::string(kPeaks) + c.source + "  " + c.more + "\n", kWidth,
                                  kHeight);
  const double redraw = MillisecondsPer([&] {
    vke::bench::Check(vke::RunDrawHandlers(figure.slot(), 0) == vke::kOk, "draw");
    vke::DrawInstanceSubplots(figure.block(), 0);
  });
  std::printf("%s %.2f ms per redraw: %s\n", c.key, redraw, c.name);
  if (!c.turns) return;
  const double turned = MillisecondsPer([&] {
    vke::CameraOrbit(&figure.subplot(0), 0.02, 0);
    vke::DrawInstanceSubplots(figure.block(), 0);
  });
  std::printf("%s_turn %.2f ms per paint after the camera turned (target 16): %s\n", c.key, turned,
              c.name);
}

}  // namespace

// With an argument only the case of that key runs (for a profiler).
int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    if (argc < 2 || std::string(argv[1]) == c.key) Measure(c);
  }
  return 0;
}
