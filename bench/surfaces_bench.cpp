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
#include <cstdlib>
#include <memory>
#include <string>

#include "app/draw_cycle.hpp"
#include "app/instance_figure.hpp"
#include "app/instances.hpp"
#include "app/reset_data.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/camera.hpp"
#include "graphics/port.hpp"
#include "tools/kvpack/pack.hpp"

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

struct Case {
  const char* key;  // the case's name in the peer's output
  const char* name;
  const char* source;  // start and show
  bool turns;          // also time the paint after a camera turn
};

constexpr Case kCases[] = {
    {"surf_ortho", "surf 100x100 orthographic", R"(function (a, b, c) = start
  (a, b, c) = peaks(100);

function show(a, b, c)
  colormap(bluetoyellow());
  surf(a, b, c);
  lightangle(-2.2, 0.7);
)",
     true},
    {"surf_persp", "surf 100x100 perspective", R"(function (a, b, c) = start
  (a, b, c) = peaks(100);

function show(a, b, c)
  colormap(bluetoyellow());
  surf(a, b, c);
  lightangle(-2.2, 0.7);
  camproj('p');
)",
     true},
    {"image", "image 1000x1000 linear", R"(function (a, b, c) = start
  g = repmat((0:999) / 999, 1000, 1);
  a = g;
  b = g';
  c = 0.5 * (g + g');

function show(a, b, c)
  image(a, b, c, '1');
)",
     false},
    {"contour", "contour 200x200 10 levels", R"(function (a, b, c) = start
  (a, b, c) = peaks(200);

function show(a, b, c)
  contour(c, [-3 3 -3 3], 10);
)",
     false},
};

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// Milliseconds per call of step, over at least two seconds and ten calls.
template <typename Step>
double MillisecondsPer(Step step) {
  int32_t runs = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || runs < 10) {
    step();
    ++runs;
    spent = std::chrono::steady_clock::now() - start;
  }
  return 1000 * spent.count() / runs;
}

void Measure(const Case& c) {
  vke::kvpack::ToolHost host;
  Check(host.Create() == vke::kOk, "block");
  host.Collect(true);  // the block's growth is no news here
  vke::kvpack::AppDescription app;
  vke::kvpack::PackError error;
  Check(vke::kvpack::ParseDescription(kDescription, "surfaces.kv", &app, &error.error), "parse");
  const std::string source = std::string(kPeaks) + c.source;
  const auto read = [&](const std::string&, std::string* text) {
    *text = source;
    return true;
  };
  Check(vke::kvpack::PackApplication(&host, app, "surfaces.kvd", read, &error), "pack");
  Check(vke::ResetInstanceData(host.slot(), 0) == vke::kOk, "reset");

  std::unique_ptr<vke::CairoTarget> image;
  Check(vke::CairoTarget::CreateImage(kWidth, kHeight, &image) == vke::kOk, "image");
  vke::InitScreenPortMetrics();
  vke::SetGraphicsPortFunctions(host.block(), &vke::ScreenPort());
  vke::SetGraphicsPortTarget(host.block(), image.get());
  vke::InstanceFigureHost figureHost(host.slot(), 0);
  vke::FigureState& fig = vke::FindInstance(host.block(), 0)->figure;
  vke::SetFigureRect(&fig, figureHost, 0, kWidth, 0, kHeight);
  vke::ResetInstanceSubplots(&fig);
  Check(vke::RunDrawHandlers(host.slot(), 0) == vke::kOk, "draw");
  vke::DrawInstanceSubplots(host.block(), 0);

  const double redraw = MillisecondsPer([&] {
    Check(vke::RunDrawHandlers(host.slot(), 0) == vke::kOk, "draw");
    vke::DrawInstanceSubplots(host.block(), 0);
  });
  std::printf("%s %.2f ms per redraw: %s\n", c.key, redraw, c.name);
  if (!c.turns) return;
  const double turned = MillisecondsPer([&] {
    vke::CameraOrbit(&vke::FindInstance(host.block(), 0)->figure.subplots[0], 0.02, 0);
    vke::DrawInstanceSubplots(host.block(), 0);
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
