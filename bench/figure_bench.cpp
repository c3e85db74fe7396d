// Frames per second of the figure renderer through the screen port at
// 800 x 600: a figure of 10 subplots of 10,000 points each, and one line of
// 100,000 points. A frame is one paint of the whole figure: background,
// grids, data, frames, ticks and labels.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/block.hpp"
#include "app/draw_cycle.hpp"
#include "app/instances.hpp"
#include "bench/figure_frames.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/port.hpp"
#include "graphics/scale.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr uint32_t kBlockBytes = 64u << 20;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// A block whose instance 0 shows rows x columns subplots, each with one
// curve of n points (a sine with some noise, as measured data look).
vke::KVContextBlock* MakeFigure(void* memory, int32_t rows, int32_t columns, int32_t n) {
  vke::KVContextBlock* block = nullptr;
  Check(vke::InitKVContextBlock(&block, memory, kBlockBytes, 0, 2) == vke::kOk, "block");
  vke::FigureState& fig = vke::FindInstance(block, 0)->figure;
  vke::SetRect(fig.rect, 0, kWidth, 0, kHeight);
  Check(vke::SetSubplotLayout(&fig, rows, columns) == vke::kOk, "layout");
  const vke::ObjectList list(block->DataArea());
  vke::ObjectWriterState& w = block->capture;
  vke::BeginObjectListCapture(list, &w, 0, true);
  uint32_t seed = 1;
  for (int32_t k = 0; k < rows * columns; ++k) {
    Check(vke::AppendObjectBeginCommand(list.At(w.start), w.capacity, &w.used, k), "group");
    vke::SubplotRecord* s = &fig.subplots[k];
    vke::SubplotScaleDefaults(s);
    const uint32_t length = 1 + 2 * static_cast<uint32_t>(n);
    Check(w.used + 6 + length <= w.capacity, "room");
    std::byte* at = list.At(w.start + w.used);
    vke::WriteCommandHeader(
        at, {vke::kCmdPolyline, -1, 1, vke::kStyleDefaultRecord, 0, static_cast<int32_t>(length)});
    double* data = reinterpret_cast<double*>(at + 6 * 8);
    data[0] = n;
    for (int32_t i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      data[1 + i] = i;
      data[1 + n + i] = std::sin(i * 12.0 / n + k) + 0.05 * ((seed >> 16) % 1000) / 1000.0;
    }
    vke::UpdateAutoLimits(s, data + 1, data + 1 + n, nullptr, n);
    w.used += 6 + length;
  }
  w.currentObject = -1;
  Check(vke::EndObjectListCapture(list, &w) == vke::kOk, "close");
  return block;
}

double FramesPerSecond(vke::KVContextBlock* block) {
  return 1 / vke::bench::SecondsPerFrame(block, kWidth, kHeight);
}

}  // namespace

int main() {
  std::unique_ptr<void, decltype(&std::free)> memory(std::aligned_alloc(16, kBlockBytes),
                                                     &std::free);
  const double grid = FramesPerSecond(MakeFigure(memory.get(), 2, 5, 10000));
  std::printf("10 subplots x 10,000 points at %dx%d: %.1f frames per second (target 60)\n", kWidth,
              kHeight, grid);
  const double single = FramesPerSecond(MakeFigure(memory.get(), 1, 1, 100000));
  std::printf("1 line of 100,000 points at %dx%d: %.1f frames per second\n", kWidth, kHeight,
              single);
  return 0;
}
