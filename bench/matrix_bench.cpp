// Times the matrix product A*B and the solve A\b of the engine's builtins
// for 200 x 200 and 1000 x 1000 doubles against GNU Octave with its BLAS
// held to one thread, and prints the ratios (engine time / peer time). The
// peer is run through the shell; without it only the engine's times print.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "bench/bench_engine.hpp"
#include "builtins/builtin.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"

namespace {

struct Times {
  double product = 0;
  double solve = 0;
};

constexpr int kSizes[] = {200, 1000};

int Repeats(int n) {
  return n <= 200 ? 50 : 5;
}

void PushRandom(vke::EngineContext* ctx, int32_t rows, int32_t cols, std::mt19937* gen) {
  std::uniform_real_distribution<double> dist(0, 1);
  double* re;
  if (vke::PushNewMatrix(ctx, rows, cols, &re, nullptr) != vke::kOk) std::exit(2);
  for (int64_t i = 0; i < int64_t(rows) * cols; i++) re[i] = dist(*gen);
}

// Best time of a builtin over copies of the top two entries.
double BestOf(vke::EngineContext* ctx, vke::BuiltinFn fn, int reps) {
  double best = 1e30;
  for (int r = 0; r < reps; r++) {
    if (vke::DuplicateStackEntries(ctx, 0, 2) != vke::kOk) std::exit(3);
    auto start = std::chrono::steady_clock::now();
    vke::ErrCode e = fn(ctx, 2, 1, 0);
    auto end = std::chrono::steady_clock::now();
    if (e != vke::kOk) std::exit(4);
    best = std::min(best, std::chrono::duration<double>(end - start).count());
    vke::Drop(ctx);
  }
  return best;
}

Times TimeEngine(vke::EngineContext* ctx, int n) {
  std::mt19937 gen(n);
  Times t;
  PushRandom(ctx, n, n, &gen);
  PushRandom(ctx, n, n, &gen);
  t.product = BestOf(ctx, vke::MtimesBuiltin, Repeats(n));
  vke::Drop(ctx);
  PushRandom(ctx, n, 1, &gen);
  t.solve = BestOf(ctx, vke::MldivideBuiltin, Repeats(n));
  vke::Drop(ctx, 2);
  return t;
}

// The peer's times per size, read from lines "n product solve".
std::map<int, Times> TimePeer() {
  const char* script =
      "for n = [200 1000], A = rand(n); B = rand(n); b = rand(n, 1); "
      "r = 5; if n <= 200, r = 50; end; p = inf; s = inf; "
      "for k = 1:r, tic; C = A * B; p = min(p, toc); tic; x = A \\ b; s = min(s, toc); end; "
      "printf('%d %.9g %.9g\\n', n, p, s); end";
  std::string command = std::string("OPENBLAS_NUM_THREADS=1 octave --no-gui -q --eval \"") +
                        script + "\" 2>/dev/null";
  std::map<int, Times> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int n;
  double p, s;
  while (std::fscanf(pipe, "%d %lf %lf", &n, &p, &s) == 3) out[n] = Times{p, s};
  pclose(pipe);
  return out;
}

}  // namespace

int main() {
  const vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;

  std::map<int, Times> peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-10s %-9s %12s %12s %8s\n", "size", "operation", "engine [s]", "peer [s]", "ratio");
  for (int n : kSizes) {
    Times t = TimeEngine(ctx, n);
    auto it = peer.find(n);
    const std::pair<const char*, double> rows[] = {{"A*B", t.product}, {"A\\b", t.solve}};
    for (auto [name, seconds] : rows) {
      std::string size = std::to_string(n) + "x" + std::to_string(n);
      if (it == peer.end()) {
        std::printf("%-10s %-9s %12.6f\n", size.c_str(), name, seconds);
        continue;
      }
      double theirs = name[1] == '*' ? it->second.product : it->second.solve;
      std::printf("%-10s %-9s %12.6f %12.6f %8.2f\n", size.c_str(), name, seconds, theirs,
                  seconds / theirs);
    }
  }
  return 0;
}
