// Milliseconds per frame of the control-design grids and the error locus
// through the screen port at 800 x 600, one subplot filling the figure: a
// full z-plane grid, s-plane grid, Hall chart and Nichols chart (target
// under 16 ms each), and the error-locus region of a fourth-order
// polynomial, one evaluation per cell (bench/compare_matplotlib.sh locus
// compares it with matplotlib's pcolormesh of the same cells).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

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
constexpr uint32_t kFullGrid = 0x4000;

// The error locus of (s^2 + 2 s + 2)(s^2 + s + 4) with a covariance of
// 0.01 on the diagonal and 0.002 beside it.
std::vector<double> LocusPayload() {
  std::vector<double> p = {4, 1, 3, 8, 10, 8};
  for (int32_t i = 0; i < 4; i++) {
    for (int32_t j = 0; j < 4; j++) p.push_back(i == j ? 0.01 : std::abs(i - j) == 1 ? 0.002 : 0);
  }
  p.push_back(0);  // no gain marks
  return p;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// A block whose one subplot holds one command with its limits.
vke::KVContextBlock* MakeFigure(void* memory, int32_t code, const std::vector<double>& data,
                                const double* limits) {
  vke::KVContextBlock* block = nullptr;
  Check(vke::InitKVContextBlock(&block, memory, kBlockBytes, 0, 2) == vke::kOk, "block");
  vke::FigureState& fig = vke::FindInstance(block, 0)->figure;
  vke::SetRect(fig.rect, 0, kWidth, 0, kHeight);
  Check(vke::SetSubplotLayout(&fig, 1, 1) == vke::kOk, "layout");
  vke::ComputeSubplotViewports(&fig);  // a 1 x 1 layout is kept as it was
  const vke::ObjectList list(block->DataArea());
  vke::ObjectWriterState& w = block->capture;
  vke::BeginObjectListCapture(list, &w, 0, true);
  Check(vke::AppendObjectBeginCommand(list.At(w.start), w.capacity, &w.used, 0), "group");
  vke::SubplotRecord* s = &fig.subplots[0];
  vke::SubplotScaleDefaults(s);
  s->optionWord = (s->optionWord & ~vke::kOptGridKindMask) | kFullGrid;
  std::byte* at = list.At(w.start + w.used);
  vke::WriteCommandHeader(at, {code, -1, -1, 0x100, 0xCCCCCC, static_cast<int32_t>(data.size())});
  for (size_t k = 0; k < data.size(); k++) vke::SetPayloadDouble(at + 6 * 8, uint32_t(k), data[k]);
  w.used += 6 + static_cast<uint32_t>(data.size());
  const double xs[2] = {limits[0], limits[1]}, ys[2] = {limits[2], limits[3]};
  vke::UpdateAutoLimits(s, xs, ys, nullptr, 2);
  w.currentObject = -1;
  Check(vke::EndObjectListCapture(list, &w) == vke::kOk, "close");
  return block;
}

double MillisecondsPerFrame(vke::KVContextBlock* block) {
  return 1000 * vke::bench::SecondsPerFrame(block, kWidth, kHeight);
}

}  // namespace

int main() {
  std::unique_ptr<void, decltype(&std::free)> memory(std::aligned_alloc(16, kBlockBytes),
                                                     &std::free);
  struct Case {
    const char* name;
    int32_t code;
    double limits[4];
  };
  const Case grids[] = {
      {"z-plane grid", vke::kCmdZGrid, {-1.1, 1.1, -1.1, 1.1}},
      {"s-plane grid", vke::kCmdSGrid, {-5, 1, -4, 4}},
      {"Hall chart", vke::kCmdHallChart, {-4, 2, -3, 3}},
      {"Nichols chart", vke::kCmdNicholsChart, {-4 * M_PI, 0, 0.1, 4}},
  };
  for (const Case& c : grids) {
    const double ms = MillisecondsPerFrame(MakeFigure(memory.get(), c.code, {}, c.limits));
    std::printf("%-14s %8.3f ms a frame (target 16)\n", c.name, ms);
  }
  const double limits[4] = {-3, 1, -2.5, 2.5};
  vke::KVContextBlock* block =
      MakeFigure(memory.get(), vke::kCmdErrorLocus, LocusPayload(), limits);
  const double ms = MillisecondsPerFrame(block);
  const vke::SubplotRecord& s = vke::FindInstance(block, 0)->figure.subplots[0];
  double x0, x1, y0, y1;
  vke::GetViewportXRange(s, &x0, &x1);
  vke::GetViewportYRange(s, &y0, &y1);
  const auto columns = static_cast<int32_t>(std::ceil(std::fabs(s.viewport[1] - s.viewport[0])));
  const auto rows = static_cast<int32_t>(std::ceil(std::fabs(s.viewport[3] - s.viewport[2])));
  std::printf("cells %d %d %.17g %.17g %.17g %.17g\n", columns, rows, x0, x1, y0, y1);
  std::printf("error locus, %d x %d cells: %.3f ms per frame (target 16)\n", columns, rows, ms);
  return 0;
}
