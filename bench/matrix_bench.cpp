// Times dense matrix operations of the engine for random 200 x 200 and
// 1000 x 1000 doubles against GNU Octave on the same BLAS, both held to one
// thread (OPENBLAS_NUM_THREADS=1), and prints the ratios (engine time / peer
// time): the core builtins' product and solve, then the "!lapack" natives,
// registered in front as the application registers them (the operator A\b
// reaches them through its builtin). The peer is run through the shell;
// without it only the engine's times print. Release builds only.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "bench/bench_engine.hpp"
#include "builtins/builtin.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"
#include "numerics/lapack/lapack_table.hpp"

namespace {

using vke::EngineContext;
using vke::ErrCode;

// The arguments an operation takes: random n x n A and B, a random n x 1 b.
enum class Args { kAB, kAb, kA };

// The core builtins under the native signature.
ErrCode Product(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return vke::MtimesBuiltin(ctx, nargin, nargout, 0);
}
ErrCode Solve(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return vke::MldivideBuiltin(ctx, nargin, nargout, 0);
}

struct Operation {
  const char* name;
  const char* peer;  // the Octave statement, on A, B and b
  Args args;
  vke::NativeFn fn;
  int32_t nargout;
  bool lapack;  // timed with "!lapack" registered
};

const Operation kOperations[] = {
    {"A*B", "C = A * B;", Args::kAB, Product, 1, false},
    {"A\\b core", "x = A \\ b;", Args::kAb, Solve, 1, false},
    {"A\\b", "x = A \\ b;", Args::kAb, Solve, 1, true},
    {"inv(A)", "X = inv(A);", Args::kA, vke::LapackInv, 1, true},
    {"det(A)", "d = det(A);", Args::kA, vke::LapackDet, 1, true},
    {"lu(A)", "[L, U, P] = lu(A);", Args::kA, vke::LapackLu, 3, true},
};
constexpr int kOperationCount = sizeof kOperations / sizeof kOperations[0];
constexpr int kSizes[] = {200, 1000};

int Repeats(int n) {
  return n <= 200 ? 50 : 5;
}

void PushRandom(EngineContext* ctx, int32_t rows, int32_t cols, std::mt19937* gen) {
  std::uniform_real_distribution<double> dist(0, 1);
  double* re;
  if (vke::PushNewMatrix(ctx, rows, cols, &re, nullptr) != vke::kOk) std::exit(2);
  for (int64_t i = 0; i < int64_t(rows) * cols; i++) re[i] = dist(*gen);
}

// Best time of an operation over copies of its arguments.
double TimeEngine(EngineContext* ctx, const Operation& op, int n) {
  std::mt19937 gen(n);
  PushRandom(ctx, n, n, &gen);
  if (op.args != Args::kA) PushRandom(ctx, n, op.args == Args::kAB ? n : 1, &gen);
  const int32_t nargin = op.args == Args::kA ? 1 : 2;
  double best = 1e30;
  for (int r = 0; r < Repeats(n); r++) {
    if (vke::DuplicateStackEntries(ctx, 0, nargin) != vke::kOk) std::exit(3);
    auto start = std::chrono::steady_clock::now();
    ErrCode e = op.fn(ctx, nargin, op.nargout, 0);
    auto end = std::chrono::steady_clock::now();
    if (e != vke::kOk) {
      std::fprintf(stderr, "%s: error %u\n", op.name, e);
      std::exit(4);
    }
    best = std::min(best, std::chrono::duration<double>(end - start).count());
    vke::Drop(ctx, op.nargout);
  }
  vke::Drop(ctx, nargin);
  return best;
}

// The peer's best times by size and operation, read from lines "n k seconds".
std::map<std::pair<int, int>, double> TimePeer() {
  std::string script = "for n = [200 1000], A = rand(n); B = rand(n); b = rand(n, 1); ";
  script += "r = 5; if n <= 200, r = 50; end; ";
  for (int k = 0; k < kOperationCount; k++) {
    script += "t = inf; for j = 1:r, tic; " + std::string(kOperations[k].peer) +
              " t = min(t, toc); end; printf('%d " + std::to_string(k) + " %.9g\\n', n, t); ";
  }
  script += "end";
  const std::string command =
      "OPENBLAS_NUM_THREADS=1 octave --no-gui -q --eval \"" + script + "\" 2>/dev/null";
  std::map<std::pair<int, int>, double> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int n, k;
  double seconds;
  while (std::fscanf(pipe, "%d %d %lf", &n, &k, &seconds) == 3) out[{n, k}] = seconds;
  pclose(pipe);
  return out;
}

}  // namespace

int main(int, char** argv) {
  // OpenBLAS reads its thread count as it loads: start again with it set.
  if (!std::getenv("OPENBLAS_NUM_THREADS")) {
    setenv("OPENBLAS_NUM_THREADS", "1", 1);
    execv("/proc/self/exe", argv);
  }
  const vke::bench::BenchEngine engine;
  EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;

  const std::map<std::pair<int, int>, double> peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-10s %-10s %12s %12s %8s\n", "size", "operation", "engine [s]", "peer [s]",
              "ratio");
  double engineTimes[2][kOperationCount];
  for (bool lapack : {false, true}) {
    if (lapack && vke::RegisterLibrary(ctx, vke::LapackLibraryTable(), true) != vke::kOk) return 1;
    for (int s = 0; s < 2; s++)
      for (int k = 0; k < kOperationCount; k++)
        if (kOperations[k].lapack == lapack)
          engineTimes[s][k] = TimeEngine(ctx, kOperations[k], kSizes[s]);
  }
  for (int s = 0; s < 2; s++) {
    const int n = kSizes[s];
    const std::string size = std::to_string(n) + "x" + std::to_string(n);
    for (int k = 0; k < kOperationCount; k++) {
      const double seconds = engineTimes[s][k];
      auto it = peer.find({n, k});
      if (it == peer.end()) {
        std::printf("%-10s %-10s %12.6f\n", size.c_str(), kOperations[k].name, seconds);
      } else {
        std::printf("%-10s %-10s %12.6f %12.6f %8.2f\n", size.c_str(), kOperations[k].name, seconds,
                    it->second, seconds / it->second);
      }
    }
  }
  return 0;
}
