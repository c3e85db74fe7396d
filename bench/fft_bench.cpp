// Times the engine's own fft on real and complex vectors of lengths that
// are powers of two, products of small primes and a prime, and fft2 of a
// 1024 x 1024 matrix, against GNU Octave's fft held to one thread, and
// prints the ratios (engine time / peer time). The peer runs once through
// the shell; without it only the engine's times print.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/values/values.hpp"

namespace {

struct Case {
  const char* label;
  int32_t rows;
  int32_t cols;
  bool complex;
  bool twoDims;
  int reps;
};

constexpr Case kCases[] = {
    {"2^10", 1, 1 << 10, false, false, 200},   {"2^10", 1, 1 << 10, true, false, 200},
    {"2^16", 1, 1 << 16, false, false, 20},    {"2^16", 1, 1 << 16, true, false, 20},
    {"2^20", 1, 1 << 20, false, false, 3},     {"2^20", 1, 1 << 20, true, false, 3},
    {"1000", 1, 1000, false, false, 200},      {"1000", 1, 1000, true, false, 200},
    {"1009", 1, 1009, false, false, 20},       {"1009", 1, 1009, true, false, 20},
    {"3^10", 1, 59049, false, false, 5},       {"3^10", 1, 59049, true, false, 5},
    {"5^7", 1, 78125, false, false, 5},        {"5^7", 1, 78125, true, false, 5},
    {"1024x1024", 1024, 1024, false, true, 3},
};

// Best time of the native over fresh copies of the values (the transform
// uses its argument as scratch).
double TimeEngine(vke::EngineContext* ctx, const Case& c) {
  std::mt19937 gen(c.cols);
  std::uniform_real_distribution<double> dist(0, 1);
  const int64_t count = int64_t(c.rows) * c.cols;
  std::vector<double> values(count * (c.complex ? 2 : 1));
  for (double& v : values) v = dist(gen);
  double best = 1e30;
  for (int r = 0; r < c.reps; r++) {
    double *re, *im;
    if (vke::PushNewMatrix(ctx, c.rows, c.cols, &re, c.complex ? &im : nullptr) != vke::kOk)
      std::exit(2);
    std::copy(values.begin(), values.end(), re);
    const auto start = std::chrono::steady_clock::now();
    const vke::ErrCode e =
        c.twoDims ? vke::ComputeFftN(ctx, 1, 1, '2') : vke::ComputeFft(ctx, 1, 1, 'f');
    const auto end = std::chrono::steady_clock::now();
    if (e != vke::kOk) std::exit(4);
    best = std::min(best, std::chrono::duration<double>(end - start).count());
    vke::Drop(ctx);
  }
  return best;
}

// The peer's best times by case index.
std::map<int, double> TimePeer() {
  std::string script = "try, fftw('threads', 1); end;";
  int index = 0;
  for (const Case& c : kCases) {
    const std::string size = std::to_string(c.rows) + ", " + std::to_string(c.cols);
    script += "x = rand(" + size + ")" + (c.complex ? " + 1i * rand(" + size + ");" : ";");
    script += vke::bench::PeerTiming(index++, c.reps, c.twoDims ? "y = fft2(x)" : "y = fft(x)");
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
  std::printf("%-6s %-10s %-8s %12s %12s %8s\n", "call", "length", "values", "engine [s]",
              "peer [s]", "ratio");
  int index = 0;
  for (const Case& c : kCases) {
    const double seconds = TimeEngine(ctx, c);
    std::printf("%-6s %-10s %-8s", c.twoDims ? "fft2" : "fft", c.label,
                c.complex ? "complex" : "real");
    vke::bench::PrintTimes(seconds, peer, index++);
  }
  return 0;
}
