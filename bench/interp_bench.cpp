// Times interpolation and triangulation: interp1 of 10^6 points on a
// series of 10^4 nodes (linear and nearest), interpn in three dimensions
// on a 50^3 grid at 10^5 points, and delaunay and griddata (at 10^4 points
// of a grid) of 2,000 and 10,000 random points, against the same calls in
// GNU Octave, and prints the ratios (engine time / peer time). The peer
// runs once through the shell; without it only the engine's times print.
// Release builds only.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"

namespace {

using vke::EngineContext;

constexpr int32_t kNodes = 10000;
constexpr int32_t kPoints = 1000000;
constexpr int32_t kGrid = 50;
constexpr int32_t kGridPoints = 100000;
constexpr int32_t kQuerySide = 100;
constexpr int32_t kScattered[] = {2000, 10000};
constexpr int kReps = 3;

// Pushes a 1 x n row filled by f(i).
template <typename Fill>
void PushRow(EngineContext* ctx, int32_t n, const Fill& f) {
  double* re;
  if (vke::PushNewMatrix(ctx, 1, n, &re, nullptr) != vke::kOk) std::exit(2);
  for (int32_t i = 0; i < n; i++) re[i] = f(i);
}

void PushText(EngineContext* ctx, const char* text) {
  if (vke::PushCString(ctx, -1, text) != vke::kOk) std::exit(2);
}

struct Times {
  double linear, nearest, grid;
  double triangulate[2], scattered[2];
};

Times TimeEngine(EngineContext* ctx) {
  std::mt19937 gen(55);
  std::uniform_real_distribution<double> unit(0, 1);
  Times t{};
  // interp1: nodes 1..n, random values, points across the nodes.
  PushRow(ctx, kNodes, [](int32_t i) { return i + 1.0; });
  PushRow(ctx, kNodes, [&](int32_t) { return unit(gen); });
  PushRow(ctx, kPoints, [&](int32_t) { return 1 + (kNodes - 1) * unit(gen); });
  PushText(ctx, "linear");
  t.linear = vke::bench::BestNativeTime(ctx, vke::Interp1Native, 4, 1, 0, kReps);
  vke::Drop(ctx);
  PushText(ctx, "nearest");
  t.nearest = vke::bench::BestNativeTime(ctx, vke::Interp1Native, 4, 1, 0, kReps);
  vke::Drop(ctx, 4);
  // interpn: coordinates 1..50 in each dimension, random values.
  for (int k = 0; k < 3; k++) PushRow(ctx, kGrid, [](int32_t i) { return i + 1.0; });
  const int32_t dims[3] = {kGrid, kGrid, kGrid};
  double* v;
  if (vke::PushNewArray(ctx, 3, dims, &v, nullptr) != vke::kOk) std::exit(2);
  for (int32_t i = 0; i < kGrid * kGrid * kGrid; i++) v[i] = unit(gen);
  for (int k = 0; k < 3; k++)
    PushRow(ctx, kGridPoints, [&](int32_t) { return 1 + (kGrid - 1) * unit(gen); });
  t.grid = vke::bench::BestNativeTime(ctx, vke::InterpnNative, 7, 1, 0, kReps);
  vke::Drop(ctx, 7);
  // delaunay and griddata of random points, griddata on a grid inside.
  for (int s = 0; s < 2; s++) {
    const int32_t m = kScattered[s];
    PushRow(ctx, m, [&](int32_t) { return unit(gen); });
    PushRow(ctx, m, [&](int32_t) { return unit(gen); });
    t.triangulate[s] = vke::bench::BestNativeTime(ctx, vke::DelaunayNative, 2, 1, 0, kReps);
    PushRow(ctx, m, [&](int32_t) { return unit(gen); });
    const auto grid = [](int32_t i) { return 0.1 + 0.8 * i / (kQuerySide - 1.0); };
    PushRow(ctx, kQuerySide * kQuerySide, [&](int32_t i) { return grid(i % kQuerySide); });
    PushRow(ctx, kQuerySide * kQuerySide, [&](int32_t i) { return grid(i / kQuerySide); });
    t.scattered[s] = vke::bench::BestNativeTime(ctx, vke::GriddataNative, 5, 1, 'g', kReps);
    vke::Drop(ctx, 5);
  }
  return t;
}

std::map<int, double> TimePeer() {
  const std::string nodes = std::to_string(kNodes), points = std::to_string(kPoints);
  const std::string grid = std::to_string(kGrid), gridPoints = std::to_string(kGridPoints);
  std::string script = "rand('seed', 55); x = 1:" + nodes + "; y = rand(1, " + nodes +
                       "); xi = 1 + (" + nodes + " - 1) * rand(1, " + points + "); ";
  script += vke::bench::PeerTiming(0, kReps, "interp1(x, y, xi, 'linear')");
  script += vke::bench::PeerTiming(1, kReps, "interp1(x, y, xi, 'nearest')");
  script += "g = 1:" + grid + "; V = rand(" + grid + ", " + grid + ", " + grid + "); ";
  for (const char* p : {"p1", "p2", "p3"})
    script += std::string(p) + " = 1 + (" + grid + " - 1) * rand(1, " + gridPoints + "); ";
  script += vke::bench::PeerTiming(2, kReps, "interpn(g, g, g, V, p1, p2, p3)");
  script += "[qx, qy] = meshgrid(linspace(0.1, 0.9, " + std::to_string(kQuerySide) + ")); ";
  for (int s = 0; s < 2; s++) {
    const std::string m = std::to_string(kScattered[s]);
    script += "sx = rand(" + m + ", 1); sy = rand(" + m + ", 1); sz = rand(" + m + ", 1); ";
    script += vke::bench::PeerTiming(3 + s, kReps, "delaunay(sx, sy)");
    script += vke::bench::PeerTiming(5 + s, kReps, "griddata(sx, sy, sz, qx, qy)");
  }
  return vke::bench::RunPeerTimes(script);
}

}  // namespace

int main() {
  const vke::bench::BenchEngine engine;
  EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;
  const Times t = TimeEngine(ctx);
  const std::map<int, double> peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-36s %12s %12s %8s\n", "case", "engine [s]", "peer [s]", "ratio");
  const struct {
    const char* label;
    double seconds;
  } rows[] = {
      {"interp1 linear, 10^6 at 10^4 nodes", t.linear},
      {"interp1 nearest, 10^6 at 10^4 nodes", t.nearest},
      {"interpn 3-D, 50^3 grid, 10^5 points", t.grid},
      {"delaunay, 2,000 points", t.triangulate[0]},
      {"delaunay, 10,000 points", t.triangulate[1]},
      {"griddata, 2,000 points, 10^4 at", t.scattered[0]},
      {"griddata, 10,000 points, 10^4 at", t.scattered[1]},
  };
  for (int k = 0; k < 7; k++) {
    std::printf("%-36s", rows[k].label);
    vke::bench::PrintTimes(rows[k].seconds, peer, k);
  }
  return 0;
}
