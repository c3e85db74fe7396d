// Times the engine's own care and lyap (also the Sylvester form lyap(A, B,
// G)) on random stable systems of 50 and 100 states against GNU Octave with
// its control package and its BLAS held to one thread, and prints the ratios
// (engine time / peer time). The peer runs once through the shell; without
// it only the engine's times print.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>

#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"

namespace {

enum class Call { kCare, kLyapunov, kSylvester };

struct Case {
  const char* name;  // the peer's call
  Call call;
  int32_t n;
  int reps;
};

constexpr int32_t kInputs = 5;

constexpr Case kCases[] = {
    {"X = care(A, B, Q, R)", Call::kCare, 50, 10},
    {"X = care(A, B, Q, R)", Call::kCare, 100, 3},
    {"X = lyap(A, G)", Call::kLyapunov, 50, 10},
    {"X = lyap(A, G)", Call::kLyapunov, 100, 3},
    {"X = lyap(A, B, G)", Call::kSylvester, 50, 10},
    {"X = lyap(A, B, G)", Call::kSylvester, 100, 3},
    {"X = sylvester(A, B, -G)", Call::kSylvester, 100, 3},
};

// A random stable n x n matrix: entries in [-0.5, 0.5] shifted by -sqrt(n).
void PushStable(vke::EngineContext* ctx, int32_t n, std::mt19937* gen) {
  std::uniform_real_distribution<double> dist(-0.5, 0.5);
  double* re;
  if (vke::PushNewMatrix(ctx, n, n, &re, nullptr) != vke::kOk) std::exit(2);
  for (int64_t i = 0; i < int64_t(n) * n; i++) re[i] = dist(*gen);
  for (int32_t i = 0; i < n; i++) re[int64_t(i) * n + i] -= std::sqrt(double(n));
}

void PushRandom(vke::EngineContext* ctx, int32_t rows, int32_t cols, std::mt19937* gen) {
  std::uniform_real_distribution<double> dist(0, 1);
  double* re;
  if (vke::PushNewMatrix(ctx, rows, cols, &re, nullptr) != vke::kOk) std::exit(2);
  for (int64_t i = 0; i < int64_t(rows) * cols; i++) re[i] = dist(*gen);
}

void PushIdentity(vke::EngineContext* ctx, int32_t n) {
  double* re;
  if (vke::PushNewMatrix(ctx, n, n, &re, nullptr) != vke::kOk) std::exit(2);
  std::fill(re, re + int64_t(n) * n, 0.0);
  for (int32_t i = 0; i < n; i++) re[int64_t(i) * n + i] = 1;
}

// Pushes the arguments of the case; returns their count.
int32_t PushArguments(vke::EngineContext* ctx, const Case& c) {
  std::mt19937 gen(c.n);
  PushStable(ctx, c.n, &gen);
  switch (c.call) {
    case Call::kCare:
      PushRandom(ctx, c.n, kInputs, &gen);
      PushIdentity(ctx, c.n);
      PushIdentity(ctx, kInputs);
      return 4;
    case Call::kLyapunov:
      PushRandom(ctx, c.n, c.n, &gen);
      return 2;
    case Call::kSylvester:
      PushStable(ctx, c.n, &gen);
      PushRandom(ctx, c.n, c.n, &gen);
      return 3;
  }
  return 0;
}

// Best time of the native over copies of the arguments.
double TimeEngine(vke::EngineContext* ctx, const Case& c) {
  const int32_t count = PushArguments(ctx, c);
  const vke::bench::NativeFn native = c.call == Call::kCare ? vke::SolveRiccati : vke::LyapNative;
  const double best = vke::bench::BestNativeTime(ctx, native, count, 1, 'c', c.reps);
  vke::Drop(ctx, count);
  return best;
}

// The peer's best times by case index.
std::map<int, double> TimePeer() {
  std::string script = "pkg load control;";
  int index = 0;
  for (const Case& c : kCases) {
    const std::string n = std::to_string(c.n);
    script += "A = rand(" + n + ") - 0.5 - sqrt(" + n + ") * eye(" + n + "); B = rand(" + n + ", " +
              std::to_string(kInputs) + "); Q = eye(" + n + "); R = eye(" +
              std::to_string(kInputs) + "); G = rand(" + n + ");";
    if (c.call == Call::kSylvester) {
      script += "B = rand(" + n + ") - 0.5 - sqrt(" + n + ") * eye(" + n + ");";
    }
    script += vke::bench::PeerTiming(index++, c.reps, c.name);
  }
  return vke::bench::RunPeerTimes(script);
}

}  // namespace

int main() {
  const vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;

  std::map<int, double> peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-24s %-8s %12s %12s %8s\n", "call", "size", "engine [s]", "peer [s]", "ratio");
  int index = 0;
  for (const Case& c : kCases) {
    const double seconds = TimeEngine(ctx, c);
    const std::string size = std::to_string(c.n) + "x" + std::to_string(c.n);
    std::printf("%-24s %-8s", c.name, size.c_str());
    vke::bench::PrintTimes(seconds, peer, index++);
  }
  return 0;
}
