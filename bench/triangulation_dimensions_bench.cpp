// Times delaunayn of three random points in 10 to 60 dimensions, where one
// insertion makes many simplices whose circumspheres dominate, prints the
// time per dimension and the growth exponent between neighbours, and fails
// when 40 dimensions take more than the target (2 s, Release) or the growth
// from 30 to 60 dimensions is steeper than n^5.8 (n^2 new simplices of n^3
// each per point; it was n^6, n^4 a circumsphere).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include "bench/bench_engine.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"

namespace {

constexpr int32_t kPoints = 3;
constexpr int32_t kDimensions[] = {10, 20, 30, 40, 60};
constexpr double kTargetAt40 = 2.0;
constexpr double kSteepestGrowth = 5.8;

// The best of two runs of delaunayn on kPoints random points.
double TimeDimension(vke::EngineContext* ctx, int32_t n) {
  std::mt19937 gen(n);
  std::uniform_real_distribution<double> unit(0, 1);
  double* x;
  if (vke::PushNewMatrix(ctx, kPoints, n, &x, nullptr) != vke::kOk) std::exit(2);
  for (int32_t i = 0; i < kPoints * n; i++) x[i] = unit(gen);
  return vke::bench::BestNativeTime(ctx, vke::DelaunaynNative, 1, 1, 0, 2);
}

}  // namespace

int main() {
  const vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;
  double seconds[std::size(kDimensions)];
  for (size_t d = 0; d < std::size(kDimensions); d++) {
    seconds[d] = TimeDimension(ctx, kDimensions[d]);
    std::printf("delaunayn of %d points in %2d dimensions: %8.3f s", kPoints, kDimensions[d],
                seconds[d]);
    if (d > 0)
      std::printf("  (growth n^%.1f)", std::log(seconds[d] / seconds[d - 1]) /
                                           std::log(double(kDimensions[d]) / kDimensions[d - 1]));
    std::printf("\n");
    vke::Drop(ctx);
  }
  const double at40 = seconds[3];
  const double growth = std::log(seconds[4] / seconds[2]) / std::log(2.0);
  std::printf("40 dimensions %.3f s (target %.1f s); growth 30 -> 60: n^%.1f (at most n^%.1f)\n",
              at40, kTargetAt40, growth, kSteepestGrowth);
  return at40 <= kTargetAt40 && growth <= kSteepestGrowth ? 0 : 1;
}
