// Times the engine's own linear-algebra natives on random square matrices
// against the same calls in GNU Octave with its BLAS held to one thread,
// and prints the ratios (engine time / peer time). The peer runs once
// through the shell; without it only the engine's times print.
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

using vke::bench::NativeFn;

// How the argument of a case is made.
enum class Matrix { kGeneral, kSymmetric };

struct Case {
  const char* name;  // as the peer writes it
  NativeFn native;
  int32_t outputs;
  int32_t n;
  Matrix matrix;
  int reps;
};

constexpr Case kCases[] = {
    {"[L,U,P] = lu(A)", vke::LuNative, 3, 200, Matrix::kGeneral, 20},
    {"R = qr(A)", vke::QrNative, 1, 200, Matrix::kGeneral, 20},
    {"s = svd(A)", vke::SvdNative, 1, 200, Matrix::kGeneral, 10},
    {"e = eig(A)", vke::EigNative, 1, 200, Matrix::kSymmetric, 10},
    {"e = eig(A)", vke::EigNative, 1, 200, Matrix::kGeneral, 10},
    {"[V,D] = eig(A)", vke::EigNative, 2, 100, Matrix::kGeneral, 3},
    {"E = expm(A)", vke::ExpmNative, 1, 200, Matrix::kGeneral, 10},
};

void PushMatrix(vke::EngineContext* ctx, const Case& c) {
  std::mt19937 gen(c.n);
  std::uniform_real_distribution<double> dist(0, 1);
  double* re;
  if (vke::PushNewMatrix(ctx, c.n, c.n, &re, nullptr) != vke::kOk) std::exit(2);
  for (int32_t i = 0; i < c.n; i++) {
    for (int32_t j = 0; j < c.n; j++) re[int64_t(i) * c.n + j] = dist(gen);
  }
  if (c.matrix == Matrix::kSymmetric) {
    for (int32_t i = 0; i < c.n; i++) {
      for (int32_t j = 0; j < i; j++) re[int64_t(i) * c.n + j] = re[int64_t(j) * c.n + i];
    }
  }
}

// Best time of the native over copies of the matrix.
double TimeEngine(vke::EngineContext* ctx, const Case& c) {
  PushMatrix(ctx, c);
  const double best = vke::bench::BestNativeTime(ctx, c.native, 1, c.outputs, 0, c.reps);
  vke::Drop(ctx);
  return best;
}

// The peer's best times by case index.
std::map<int, double> TimePeer() {
  std::string script;
  int index = 0;
  for (const Case& c : kCases) {
    const std::string n = std::to_string(c.n);
    script += "A = rand(" + n + ");";
    if (c.matrix == Matrix::kSymmetric) script += "A = triu(A) + triu(A, 1).';";
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
  std::printf("%-16s %-10s %-8s %12s %12s %8s\n", "call", "matrix", "size", "engine [s]",
              "peer [s]", "ratio");
  int index = 0;
  for (const Case& c : kCases) {
    const double seconds = TimeEngine(ctx, c);
    const std::string size = std::to_string(c.n) + "x" + std::to_string(c.n);
    const char* kind = c.matrix == Matrix::kSymmetric ? "symmetric" : "general";
    std::printf("%-16s %-10s %-8s", c.name, kind, size.c_str());
    vke::bench::PrintTimes(seconds, peer, index++);
  }
  return 0;
}
