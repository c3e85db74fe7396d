// The figure the renderer's and the outputs' benchmarks draw: instance 0 of
// a block shows rows x columns subplots, each with one curve of n points (a
// sine with some noise, as measured data look), in a figure rectangle of
// width x height.
#pragma once

#include <cmath>
#include <cstdint>

#include "app/block.hpp"
#include "app/instances.hpp"
#include "bench/bench_check.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/scale.hpp"

namespace vke::bench {

// The block's size the figure needs.
inline constexpr uint32_t kGridBlockBytes = 64u << 20;

inline KVContextBlock* MakeGridFigure(void* memory, int32_t rows, int32_t columns, int32_t n,
                                      int32_t width, int32_t height) {
  KVContextBlock* block = nullptr;
  Check(InitKVContextBlock(&block, memory, kGridBlockBytes, 0, 2) == kOk, "block");
  FigureState& fig = FindInstance(block, 0)->figure;
  SetRect(fig.rect, 0, width, 0, height);
  Check(SetSubplotLayout(&fig, rows, columns) == kOk, "layout");
  const ObjectList list(block->DataArea());
  ObjectWriterState& w = block->capture;
  BeginObjectListCapture(list, &w, 0, true);
  uint32_t seed = 1;
  for (int32_t k = 0; k < rows * columns; ++k) {
    Check(AppendObjectBeginCommand(list.At(w.start), w.capacity, &w.used, k), "group");
    SubplotRecord* s = &fig.subplots[k];
    SubplotScaleDefaults(s);
    const uint32_t length = 1 + 2 * static_cast<uint32_t>(n);
    Check(w.used + 6 + length <= w.capacity, "room");
    std::byte* at = list.At(w.start + w.used);
    WriteCommandHeader(at,
                       {kCmdPolyline, -1, 1, kStyleDefaultRecord, 0, static_cast<int32_t>(length)});
    double* data = reinterpret_cast<double*>(at + 6 * 8);
    data[0] = n;
    for (int32_t i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      data[1 + i] = i;
      data[1 + n + i] = std::sin(i * 12.0 / n + k) + 0.05 * ((seed >> 16) % 1000) / 1000.0;
    }
    UpdateAutoLimits(s, data + 1, data + 1 + n, nullptr, n);
    w.used += 6 + length;
  }
  w.currentObject = -1;
  Check(EndObjectListCapture(list, &w) == kOk, "close");
  return block;
}

}  // namespace vke::bench
