// Times the dense kernels on random square matrices against GNU Octave with
// its BLAS held to one thread, and prints the ratios (engine time / peer
// time). The peer is run once through the shell; without it only the
// engine's times print.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "numerics/kernels/dense_kernels.hpp"

namespace {

using Matrix = std::vector<double>;

struct Operation {
  const char* name;
  std::vector<int> sizes;
  bool symmetric;    // A + A^T in place of A, on both sides
  const char* peer;  // the Octave statement timed, on a random n x n A
  // Runs the kernel on a copy a of A; work holds scratch of any size.
  std::function<void(Matrix& a, int n, Matrix& work)> run;
};

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> ops = {
      {"schur",
       {100, 400},
       false,
       "T = schur(A);",
       [](Matrix& a, int n, Matrix& work) {
         uint8_t pair;
         vke::ComputeRealSchurForm(a.data(), n, nullptr, &pair, work.data());
       }},
      {"qr pivot",
       {100, 400},
       false,
       "[q, r, p] = qr(A);",
       [](Matrix& a, int n, Matrix& work) {
         std::vector<uint32_t> permutation(n);
         vke::FactorQRHouseholder(a.data(), n, n, work.data() + 2 * n, permutation.data(),
                                  work.data());
       }},
      {"eig sym",
       {100, 300},
       true,
       "e = eig(A);",
       [](Matrix& a, int n, Matrix& work) {
         vke::EigSymmetricJacobi(a.data(), n, work.data(), nullptr, work.data() + n);
       }},
      {"eig",
       {100, 300},
       false,
       "e = eig(A);",
       [](Matrix& a, int n, Matrix& work) {
         vke::ComputeRealEigenvalues(a.data(), n, reinterpret_cast<uint32_t*>(work.data()),
                                     work.data() + n, work.data() + 2 * n);
       }},
      {"svd",
       {100, 300},
       false,
       "s = svd(A);",
       [](Matrix& a, int n, Matrix& work) {
         vke::ComputeSvdReal(a.data(), n, n, work.data(), nullptr, work.data() + n);
       }},
  };
  return ops;
}

int Repeats(int n) {
  return n <= 100 ? 20 : 3;
}

Matrix RandomMatrix(int n, bool symmetric) {
  std::mt19937 gen(n);
  std::uniform_real_distribution<double> dist(0, 1);
  Matrix a(size_t(n) * n);
  for (double& x : a) x = dist(gen);
  for (int i = 0; symmetric && i < n; i++) {
    for (int j = 0; j < i; j++) a[i * n + j] = a[j * n + i] = a[i * n + j] + a[j * n + i];
    a[i * n + i] *= 2;
  }
  return a;
}

double TimeEngine(const Operation& op, int n) {
  const Matrix a = RandomMatrix(n, op.symmetric);
  Matrix work(4 * size_t(n) * n + 4 * n);
  double best = 1e30;
  for (int r = 0; r < Repeats(n); r++) {
    Matrix copy = a;
    auto start = std::chrono::steady_clock::now();
    op.run(copy, n, work);
    auto end = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(end - start).count());
  }
  return best;
}

// The peer's best times, keyed by (operation index, size), read from lines
// "index n seconds".
std::map<std::pair<int, int>, double> TimePeer() {
  std::string script;
  const auto& ops = Operations();
  for (size_t i = 0; i < ops.size(); i++) {
    for (int n : ops[i].sizes) {
      script += "A = rand(" + std::to_string(n) + "); " + (ops[i].symmetric ? "A = A + A'; " : "") +
                "b = inf; for k = 1:" + std::to_string(Repeats(n)) + ", tic; " + ops[i].peer +
                " b = min(b, toc); end; printf('%d %d %.9g\\n', " + std::to_string(i) + ", " +
                std::to_string(n) + ", b); ";
    }
  }
  std::string command =
      "OPENBLAS_NUM_THREADS=1 octave --no-gui -q --eval \"" + script + "\" 2>/dev/null";
  std::map<std::pair<int, int>, double> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  int index, n;
  double seconds;
  while (std::fscanf(pipe, "%d %d %lf", &index, &n, &seconds) == 3) out[{index, n}] = seconds;
  pclose(pipe);
  return out;
}

}  // namespace

int main() {
  auto peer = TimePeer();
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-10s %-10s %12s %12s %8s\n", "size", "operation", "engine [s]", "peer [s]",
              "ratio");
  const auto& ops = Operations();
  for (size_t i = 0; i < ops.size(); i++) {
    for (int n : ops[i].sizes) {
      double ours = TimeEngine(ops[i], n);
      std::string size = std::to_string(n) + "x" + std::to_string(n);
      auto it = peer.find({int(i), n});
      if (it == peer.end()) {
        std::printf("%-10s %-10s %12.6f\n", size.c_str(), ops[i].name, ours);
      } else {
        std::printf("%-10s %-10s %12.6f %12.6f %8.2f\n", size.c_str(), ops[i].name, ours,
                    it->second, ours / it->second);
      }
    }
  }
  return 0;
}
