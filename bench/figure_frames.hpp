// The benchmarks' frame loop: an instance's figure drawn again and again
// through the screen port into an image of the given size, for at least two
// seconds and five frames.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/block.hpp"
#include "app/draw_cycle.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/port.hpp"

namespace vke::bench {

// Seconds per frame of instance 0's figure.
inline double SecondsPerFrame(KVContextBlock* block, int32_t width, int32_t height) {
  std::unique_ptr<CairoTarget> image;
  if (CairoTarget::CreateImage(width, height, &image) != kOk) {
    std::fprintf(stderr, "image failed\n");
    std::exit(1);
  }
  InitScreenPortMetrics();
  SetGraphicsPortFunctions(block, &ScreenPort());
  SetGraphicsPortTarget(block, image.get());
  DrawInstanceSubplots(block, 0);  // lays the subplots out for the port
  int32_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || frames < 5) {
    DrawInstanceSubplots(block, 0);
    ++frames;
    spent = std::chrono::steady_clock::now() - start;
  }
  return spent.count() / frames;
}

}  // namespace vke::bench
