// Times the quaternion library on 1 x 10^6 arrays: the Hamilton product
// a .* b, qinv, and q2mat (a 3 x 3 matrix per quaternion, 10^6 calls on
// single quaternions), against the same arithmetic written componentwise
// on four double arrays in GNU Octave, and prints the ratios (engine time /
// peer time). The peer runs once through the shell; without it only the
// engine's times print. Release builds only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"

namespace {

using vke::EngineContext;

constexpr int32_t kCount = 1000000;
// Room for two arrays of 32 MB, their copies and the results.
constexpr uint32_t kAreaBytes = 2000u << 20;
constexpr int kReps = 5;

// The Octave statements on aw, ax, ay, az and bw, bx, by, bz.
constexpr const char* kPeerProduct =
    "w = aw.*bw - ax.*bx - ay.*by - az.*bz; x = aw.*bx + ax.*bw + ay.*bz - az.*by; "
    "y = aw.*by - ax.*bz + ay.*bw + az.*bx; z = aw.*bz + ax.*by - ay.*bx + az.*bw";
constexpr const char* kPeerInverse =
    "n = aw.^2 + ax.^2 + ay.^2 + az.^2; w = aw./n; x = -ax./n; y = -ay./n; z = -az./n";
constexpr const char* kPeerMatrix =
    "s = 1 ./ sqrt(aw.^2 + ax.^2 + ay.^2 + az.^2); w = aw.*s; x = ax.*s; y = ay.*s; z = az.*s; "
    "m1 = w.^2 + x.^2 - y.^2 - z.^2; m2 = 2*(x.*y - w.*z); m3 = 2*(w.*y + x.*z); "
    "m4 = 2*(w.*z + x.*y); m5 = w.^2 - x.^2 + y.^2 - z.^2; m6 = 2*(y.*z - w.*x); "
    "m7 = 2*(x.*z - w.*y); m8 = 2*(w.*x + y.*z); m9 = w.^2 - x.^2 - y.^2 + z.^2";

// Pushes a 1 x n quaternion array of random components through the
// constructor's record, which also sets the library's type id.
void PushRandomQuaternions(EngineContext* ctx, int32_t n, std::mt19937* gen) {
  std::uniform_real_distribution<double> dist(-1, 1);
  for (int k = 0; k < 4; k++) {
    double* re;
    if (vke::PushNewMatrix(ctx, 1, n, &re, nullptr) != vke::kOk) std::exit(2);
    for (int32_t i = 0; i < n; i++) re[i] = dist(*gen);
  }
  const vke::NativeFunctionRecord* r =
      vke::FindLibraryRecord(ctx, "quaternion", nullptr, 0, nullptr);
  if (!r || vke::CallNativeRecord(ctx, r, 4, 1) != vke::kOk) std::exit(2);
}

// 10^6 calls of q2mat, each on one quaternion of the array on top.
double TimeMatrices(EngineContext* ctx) {
  double best = 1e30;
  for (int r = 0; r < kReps; r++) {
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < kCount; i++) {
      void* data;
      if (vke::PushTypedEntryDefault(ctx, 24 + 32, &data) != vke::kOk) std::exit(3);
      // A 1 x 1 value: ndims, count, offset, dims, then w, x, y, z.
      auto* words = static_cast<uint32_t*>(data);
      words[0] = 2;
      words[1] = 1;
      words[2] = 3;
      words[3] = words[4] = 1;
      auto* c = static_cast<double*>(data) + 3;
      c[0] = 0.5 + i * 1e-7;
      c[1] = 0.25;
      c[2] = -0.5;
      c[3] = 0.75;
      if (vke::Q2matNative(ctx, 1, 1, 0) != vke::kOk) std::exit(4);
      vke::Drop(ctx);
    }
    const auto end = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(end - start).count());
  }
  return best;
}

std::map<int, double> TimePeer() {
  const std::string n = std::to_string(kCount);
  std::string script;
  for (const char* part : {"aw", "ax", "ay", "az", "bw", "bx", "by", "bz"})
    script += std::string(part) + " = 2 * rand(1, " + n + ") - 1; ";
  script += vke::bench::PeerTiming(0, kReps, kPeerProduct);
  script += vke::bench::PeerTiming(1, kReps, kPeerInverse);
  script += vke::bench::PeerTiming(2, kReps, kPeerMatrix);
  return vke::bench::RunPeerTimes(script);
}

}  // namespace

int main() {
  const vke::bench::BenchEngine engine(kAreaBytes);
  EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;
  std::mt19937 gen(54);
  PushRandomQuaternions(ctx, kCount, &gen);
  PushRandomQuaternions(ctx, kCount, &gen);
  const double product =
      vke::bench::BestNativeTime(ctx, vke::MultiplyQuaternions, 2, 1, 't', kReps);
  vke::Drop(ctx);
  const double inverse =
      vke::bench::BestNativeTime(ctx, vke::ApplyQuaternionElementFunction, 1, 1, 'v', kReps);
  const double matrices = TimeMatrices(ctx);

  const std::map<int, double> peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-28s %12s %12s %8s\n", "1 x 10^6 quaternions", "engine [s]", "peer [s]", "ratio");
  const char* labels[] = {"a .* b", "qinv(a)", "q2mat, 10^6 single calls"};
  const double times[] = {product, inverse, matrices};
  for (int k = 0; k < 3; k++) {
    std::printf("%-28s", labels[k]);
    vke::bench::PrintTimes(times[k], peer, k);
  }
  return 0;
}
