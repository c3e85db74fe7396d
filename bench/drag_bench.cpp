// Milliseconds per step of a manipulate drag on a figure of 800 x 600 with
// one line of 10,000 points, whose "mousedrag" handler moves the point
// taken: one step is FigureMouseDrag, the handler, the draw handlers and
// one paint of the figure, as the view makes it. "bench/compare_matplotlib.sh
// drag" sets it beside the same drag in matplotlib.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/figure_png.hpp"
#include "app/headless_view.hpp"
#include "app/instances.hpp"
#include "bench/packed_figure.hpp"
#include "graphics/figure_codes.hpp"
#include "graphics/scale.hpp"

namespace {

using vke::bench::Check;
using vke::bench::PackForBench;

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr int32_t kPoints = 10000;

constexpr const char* kDescription = R"(title "Drag bench"
source "drag.vke"
var x y
init (x, y) = start()
figure "Line"
  draw show(x, y)
  mousedrag y = move(y, _ix, _y)
)";

constexpr const char* kSource = R"(function (x, y) = start
  x = (0:9999) / 9999;
  y = sin(12 * pi * x) .* exp(-2 * x);

function show(x, y)
  scale([0 1 -1.5 1.5]);
  plot(x, y, 'b', 1);

function y = move(y, ix, v)
  y(ix) = v;
)";

}  // namespace

int main() {
  vke::kvpack::ToolHost host;
  PackForBench(&host, kDescription, "drag", kSource);
  vke::HeadlessFigureView view(host.slot(), 0);
  Check(view.Create(kWidth, kHeight) == vke::kOk, "image");
  Check(vke::DrawFigureImage(host.slot(), 0, view.image(), true) == vke::kOk, "draw");

  // The press takes the point in the middle of the line.
  const vke::SubplotRecord& s = vke::FindInstance(host.block(), 0)->figure.subplots[0];
  const double px = vke::DataXToDevice(s, 5000.0 / (kPoints - 1));
  const double py = vke::DataYToDevice(s, 0);
  const double top = vke::DataYToDevice(s, 1), bottom = vke::DataYToDevice(s, -1);
  Check(view.Press(px, py, false) == vke::kStatusRepaint, "press");

  int32_t steps = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || steps < 10) {
    const double y = steps % 2 == 0 ? top : bottom;
    Check(view.Move(px, y + (steps % 7), vke::kViewLeft) == vke::kStatusRepaint, "drag");
    ++steps;
    spent = std::chrono::steady_clock::now() - start;
  }
  view.Release(false);
  std::printf("drag step on 10,000 points at %dx%d: %.2f ms per step (target 16)\n", kWidth,
              kHeight, 1000 * spent.count() / steps);
  return 0;
}
