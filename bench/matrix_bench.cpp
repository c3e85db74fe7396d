// Times dense matrix operations of the engine for random 200 x 200 and
// 1000 x 1000 doubles (300 x 300 for sqrtm) against GNU Octave on the same
// BLAS, both held to one thread (OPENBLAS_NUM_THREADS=1), and prints the
// ratios (engine time / peer time): the core builtins' product and solve,
// then the "!lapack" natives, registered in front as the application
// registers them (the operator A\b reaches them through its builtin). The
// peer's eig of a symmetric matrix takes its symmetric solver; "!lapack"
// always takes the general one. The peer is run through the shell;
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
#include <vector>

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

// The arguments an operation takes: random n x n A and B, a random n x 1 b,
// the symmetric S = A + A' or the positive definite P = A' A + n I, or
// a random column of size elements (the sort).
enum class Args { kAB, kAb, kA, kSymmetric, kPositiveDefinite, kColumn };

// The core builtins under the native signature.
ErrCode Product(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return vke::MtimesBuiltin(ctx, nargin, nargout, 0);
}
ErrCode Solve(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return vke::MldivideBuiltin(ctx, nargin, nargout, 0);
}
ErrCode Sort(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t) {
  return vke::SortBuiltin(ctx, nargin, nargout, 0);
}

struct Operation {
  const char* name;
  const char* peer;  // the Octave statement, on A, B, b, S and P
  Args args;
  vke::NativeFn fn;
  int32_t nargout;
  bool lapack;       // timed with "!lapack" registered
  uintptr_t option;  // of the native's record
  int size;          // 0: 200 and 1000
};

const Operation kOperations[] = {
    {"A*B", "C = A * B;", Args::kAB, Product, 1, false, 0, 0},
    {"A\\b core", "x = A \\ b;", Args::kAb, Solve, 1, false, 0, 0},
    {"A\\b", "x = A \\ b;", Args::kAb, Solve, 1, true, 0, 0},
    {"inv(A)", "X = inv(A);", Args::kA, vke::LapackInv, 1, true, 0, 0},
    {"det(A)", "d = det(A);", Args::kA, vke::LapackDet, 1, true, 0, 0},
    {"lu(A)", "[L, U, P] = lu(A);", Args::kA, vke::LapackLu, 3, true, 0, 0},
    {"eig(S)", "e = eig(S);", Args::kSymmetric, vke::LapackEig, 1, true, 0, 0},
    {"eig(A)", "e = eig(A);", Args::kA, vke::LapackEig, 1, true, 0, 0},
    {"svd(A)", "s = svd(A);", Args::kA, vke::LapackSvd, 1, true, 0, 0},
    {"qr(A)", "[Q, R] = qr(A);", Args::kA, vke::LapackQr, 2, true, 0, 0},
    {"chol(P)", "R = chol(P);", Args::kPositiveDefinite, vke::LapackChol, 1, true, 0, 0},
    {"schur(A)", "[U, T] = schur(A);", Args::kA, vke::LapackSchur, 2, true, 0, 0},
    {"sqrtm(A)", "X = sqrtm(A);", Args::kA, vke::LapackSqrtmLogm, 1, true, 's', 300},
    // Targets: A*B at most 1.5 times the peer, sort at most 1.2 times.
    {"sort(x)", "y = sort(x);", Args::kColumn, Sort, 1, false, 0, 10000000},
    {"[y,i]=sort", "[y, i] = sort(x);", Args::kColumn, Sort, 2, false, 0, 10000000},
};
constexpr int kOperationCount = sizeof kOperations / sizeof kOperations[0];
constexpr int kSizes[] = {200, 1000};

// The sizes an operation is timed at.
std::vector<int> SizesOf(const Operation& op) {
  if (op.size) return {op.size};
  return {std::begin(kSizes), std::end(kSizes)};
}

int Repeats(int n) {
  return n <= 300 ? 20 : n <= 1000 ? 3 : 2;
}

void PushRandom(EngineContext* ctx, int32_t rows, int32_t cols, std::mt19937* gen) {
  std::uniform_real_distribution<double> dist(0, 1);
  double* re;
  if (vke::PushNewMatrix(ctx, rows, cols, &re, nullptr) != vke::kOk) std::exit(2);
  for (int64_t i = 0; i < int64_t(rows) * cols; i++) re[i] = dist(*gen);
}

// Makes the random n x n matrix on top symmetric (A + A') or positive
// definite (A' A + n I).
void Shape(EngineContext* ctx, Args args, int n) {
  int32_t rows, cols;
  double *a, *im;
  if (vke::GetNumericArg(ctx, 0, &rows, &cols, &a, &im) != vke::kOk) std::exit(2);
  std::vector<double> copy(a, a + int64_t(n) * n);
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      if (args == Args::kSymmetric) {
        a[int64_t(i) * n + j] = copy[int64_t(i) * n + j] + copy[int64_t(j) * n + i];
        continue;
      }
      double sum = i == j ? n : 0;
      for (int k = 0; k < n; k++) sum += copy[int64_t(k) * n + i] * copy[int64_t(k) * n + j];
      a[int64_t(i) * n + j] = sum;
    }
  }
}

// Best time of an operation over copies of its arguments.
double TimeEngine(EngineContext* ctx, const Operation& op, int n) {
  std::mt19937 gen(n);
  PushRandom(ctx, n, op.args == Args::kColumn ? 1 : n, &gen);
  if (op.args == Args::kSymmetric || op.args == Args::kPositiveDefinite) Shape(ctx, op.args, n);
  if (op.args == Args::kAB || op.args == Args::kAb)
    PushRandom(ctx, n, op.args == Args::kAB ? n : 1, &gen);
  const int32_t nargin = op.args == Args::kAB || op.args == Args::kAb ? 2 : 1;
  double best = 1e30;
  for (int r = 0; r < Repeats(n); r++) {
    if (vke::DuplicateStackEntries(ctx, 0, nargin) != vke::kOk) std::exit(3);
    auto start = std::chrono::steady_clock::now();
    ErrCode e = op.fn(ctx, nargin, op.nargout, op.option);
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
  std::string script;
  for (int k = 0; k < kOperationCount; k++) {
    for (int n : SizesOf(kOperations[k])) {
      script += "n = " + std::to_string(n) + "; " +
                (kOperations[k].args == Args::kColumn
                     ? std::string("x = rand(n, 1); ")
                     : std::string("A = rand(n); B = rand(n); b = rand(n, 1); "
                                   "S = A + A'; P = A' * A + n * eye(n); ")) +
                "t = inf; for j = 1:" + std::to_string(Repeats(n)) + ", tic; " +
                kOperations[k].peer + " t = min(t, toc); end; printf('%d " + std::to_string(k) +
                " %.9g\\n', n, t); ";
    }
  }
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
  // Room for the sort's column of 10^7, its copies and its scratch.
  const vke::bench::BenchEngine engine(3u << 30, vke::bench::BenchArea::kMapped);
  EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;

  const std::map<std::pair<int, int>, double> peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-10s %-10s %12s %12s %8s\n", "size", "operation", "engine [s]", "peer [s]",
              "ratio");
  std::map<std::pair<int, int>, double> engineTimes;
  for (bool lapack : {false, true}) {
    if (lapack && vke::RegisterLibrary(ctx, vke::LapackLibraryTable(), true) != vke::kOk) return 1;
    for (int k = 0; k < kOperationCount; k++)
      if (kOperations[k].lapack == lapack)
        for (int n : SizesOf(kOperations[k]))
          engineTimes[{n, k}] = TimeEngine(ctx, kOperations[k], n);
  }
  for (const auto& [key, seconds] : engineTimes) {
    const auto [n, k] = key;
    const std::string size =
        std::to_string(n) + "x" + std::to_string(kOperations[k].args == Args::kColumn ? 1 : n);
    auto it = peer.find(key);
    if (it == peer.end()) {
      std::printf("%-10s %-10s %12.6f\n", size.c_str(), kOperations[k].name, seconds);
    } else {
      std::printf("%-10s %-10s %12.6f %12.6f %8.2f\n", size.c_str(), kOperations[k].name, seconds,
                  it->second, seconds / it->second);
    }
  }
  return 0;
}
