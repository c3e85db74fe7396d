// Time per call of the object hit test at 800 x 600: one subplot holding 10
// polylines of 10,000 points each (the curves of figure_bench.cpp), the
// pointer moved over the plot as a hover would. The same curves and
// pointer path come from `bench/hit_test_peer.py --dump`, so that its peer
// times the same work; bench/compare_hit_test.sh prints the ratio.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/block.hpp"
#include "app/draw_cycle.hpp"
#include "app/figure_pointer.hpp"
#include "app/instances.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/drawing_command.hpp"
#include "graphics/port.hpp"
#include "graphics/scale.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;
constexpr int32_t kLines = 10;
constexpr int32_t kPoints = 10000;
constexpr int32_t kPointerSteps = 100;
constexpr uint32_t kBlockBytes = 64u << 20;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// Curve k at point i: a sine over 0 .. n - 1, each curve shifted by k.
double CurveY(int32_t k, int32_t i) {
  return std::sin(i * 12.0 / kPoints + k) + 0.1 * k;
}

vke::KVContextBlock* MakeFigure(void* memory) {
  vke::KVContextBlock* block = nullptr;
  Check(vke::InitKVContextBlock(&block, memory, kBlockBytes, 0, 2) == vke::kOk, "block");
  vke::FigureState& fig = vke::FindInstance(block, 0)->figure;
  vke::SetRect(fig.rect, 0, kWidth, 0, kHeight);
  Check(vke::SetSubplotLayout(&fig, 1, 1) == vke::kOk, "layout");
  const vke::ObjectList list(block->DataArea());
  vke::ObjectWriterState& w = block->capture;
  vke::BeginObjectListCapture(list, &w, 0, true);
  Check(vke::AppendObjectBeginCommand(list.At(w.start), w.capacity, &w.used, 0), "group");
  vke::SubplotRecord* s = &fig.subplots[0];
  vke::SubplotScaleDefaults(s);
  for (int32_t k = 0; k < kLines; ++k) {
    const uint32_t length = 1 + 2 * static_cast<uint32_t>(kPoints);
    Check(w.used + 6 + length <= w.capacity, "room");
    std::byte* at = list.At(w.start + w.used);
    vke::WriteCommandHeader(
        at, {vke::kCmdPolyline, k, 1, vke::kStyleDefaultRecord, 0, static_cast<int32_t>(length)});
    double* data = reinterpret_cast<double*>(at + 6 * 8);
    data[0] = kPoints;
    for (int32_t i = 0; i < kPoints; ++i) {
      data[1 + i] = i;
      data[1 + kPoints + i] = CurveY(k, i);
    }
    vke::UpdateAutoLimits(s, data + 1, data + 1 + kPoints, nullptr, kPoints);
    w.used += 6 + length;
  }
  w.currentObject = -1;
  Check(vke::EndObjectListCapture(list, &w) == vke::kOk, "close");
  return block;
}

}  // namespace

int main(int argc, char**) {
  std::unique_ptr<void, decltype(&std::free)> memory(std::aligned_alloc(16, kBlockBytes),
                                                     &std::free);
  vke::KVContextBlock* block = MakeFigure(memory.get());
  std::unique_ptr<vke::CairoTarget> image;
  Check(vke::CairoTarget::CreateImage(kWidth, kHeight, &image) == vke::kOk, "image");
  vke::InitScreenPortMetrics();
  vke::SetGraphicsPortFunctions(block, &vke::ScreenPort());
  vke::SetGraphicsPortTarget(block, image.get());
  vke::SubplotRecord* s = &vke::FindInstance(block, 0)->figure.subplots[0];
  // The plot area of an 800 x 600 figure with room for the axes.
  vke::SetSubplotViewport(s, 60, 780, 20, 560);
  // The pointer runs along curve 0 so that most calls hit.
  double px[kPointerSteps], py[kPointerSteps];
  for (int32_t j = 0; j < kPointerSteps; ++j) {
    const int32_t i = j * (kPoints / kPointerSteps);
    px[j] = vke::DataXToDevice(*s, i);
    py[j] = vke::DataYToDevice(*s, CurveY(0, i)) + 3;
  }
  if (argc > 1) {  // the pointer path in pixels, for the peer
    for (int32_t j = 0; j < kPointerSteps; ++j) std::printf("%.17g %.17g\n", px[j], py[j]);
    std::printf("viewport %.17g %.17g %.17g %.17g\n", s->viewport[0], s->viewport[1],
                s->viewport[2], s->viewport[3]);
    std::printf("limits %.17g %.17g %.17g %.17g\n", vke::DeviceXToData(*s, s->viewport[0]),
                vke::DeviceXToData(*s, s->viewport[1]), vke::DeviceYToData(*s, s->viewport[3]),
                vke::DeviceYToData(*s, s->viewport[2]));
    return 0;
  }
  vke::EventState record{};
  int64_t calls = 0, hits = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0) {
    for (int32_t j = 0; j < kPointerSteps; ++j) {
      const vke::HitTestRequest request{0, s, px[j], py[j], vke::kHitTolerance, false, false};
      Check(vke::HitTestInstanceObjects(block, 0, request, &record, block->portFunctions,
                                        block->portTarget),
            "hit test");
      hits += record.id >= 0;
      ++calls;
    }
    spent = std::chrono::steady_clock::now() - start;
  }
  std::printf(
      "hit test, %d lines x %d points at %dx%d: %.1f us per call (%lld of %lld hit; "
      "target under 1000)\n",
      kLines, kPoints, kWidth, kHeight, spent.count() / calls * 1e6, static_cast<long long>(hits),
      static_cast<long long>(calls));
  return 0;
}
