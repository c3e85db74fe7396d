// Frames per second of the figure renderer through the screen port at
// 800 x 600: a figure of 10 subplots of 10,000 points each, and one line of
// 100,000 points. A frame is one paint of the whole figure: background,
// grids, data, frames, ticks and labels.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/draw_cycle.hpp"
#include "bench/grid_figure.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

using vke::bench::Check;

double FramesPerSecond(vke::KVContextBlock* block) {
  std::unique_ptr<vke::CairoTarget> image;
  Check(vke::CairoTarget::CreateImage(kWidth, kHeight, &image) == vke::kOk, "image");
  vke::InitScreenPortMetrics();
  vke::SetGraphicsPortFunctions(block, &vke::ScreenPort());
  vke::SetGraphicsPortTarget(block, image.get());
  vke::DrawInstanceSubplots(block, 0);  // lays the subplots out for the port
  int32_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || frames < 5) {
    vke::DrawInstanceSubplots(block, 0);
    ++frames;
    spent = std::chrono::steady_clock::now() - start;
  }
  return frames / spent.count();
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
