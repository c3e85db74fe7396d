// Frames per second of the figure renderer through the screen port at
// 800 x 600: a figure of 10 subplots of 10,000 points each, and one line of
// 100,000 points. A frame is one paint of the whole figure: background,
// grids, data, frames, ticks and labels.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/draw_cycle.hpp"
#include "bench/figure_frames.hpp"
#include "bench/grid_figure.hpp"
#include "graphics/port.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

using vke::bench::Check;

double FramesPerSecond(vke::KVContextBlock* block) {
  return 1 / vke::bench::SecondsPerFrame(block, kWidth, kHeight);
}

}  // namespace

int main() {
  std::unique_ptr<void, decltype(&std::free)> memory(
      std::aligned_alloc(16, vke::bench::kGridBlockBytes), &std::free);
  const double grid =
      FramesPerSecond(vke::bench::MakeGridFigure(memory.get(), 2, 5, 10000, kWidth, kHeight));
  std::printf("10 subplots x 10,000 points at %dx%d: %.1f frames per second (target 60)\n", kWidth,
              kHeight, grid);
  const double single =
      FramesPerSecond(vke::bench::MakeGridFigure(memory.get(), 1, 1, 100000, kWidth, kHeight));
  std::printf("1 line of 100,000 points at %dx%d: %.1f frames per second\n", kWidth, kHeight,
              single);
  return 0;
}
