// Times the special functions and the distributions of the engine's natives
// over large arrays (10^6 points, 10^5 for the distributions) against the
// same calls in GNU Octave, and prints the ratios (engine time / peer
// time). The peer is run through the shell; without it only the engine's
// times print.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "engine/values/values.hpp"

namespace {

using Native = vke::ErrCode (*)(vke::EngineContext*, int32_t, int32_t, uintptr_t);

// One timed call: the native, its option, a distribution name (or none),
// the ranges of its numeric arguments, the point count and the same call in
// the peer's language over arrays x, a, b of those ranges.
struct Case {
  const char* label;
  Native native;
  uintptr_t option;
  const char* name;
  std::vector<std::pair<double, double>> ranges;
  int32_t points;
  const char* peer;
};

constexpr int32_t kMillion = 1000000;
constexpr int32_t kHundredThousand = 100000;
constexpr int kRepeats = 3;

std::vector<Case> Cases() {
  const auto beta = reinterpret_cast<uintptr_t>(&vke::ComputeIncompleteBeta);
  return {
      {"erf", vke::ErrorFunctionsNative, 1, nullptr, {{-3, 3}}, kMillion, "erf(x)"},
      {"gamma", vke::GammaFunctionsNative, 1, nullptr, {{0.1, 20}}, kMillion, "gamma(x)"},
      {"gammaln", vke::GammaFunctionsNative, 2, nullptr, {{0.1, 100}}, kMillion, "gammaln(x)"},
      {"gammainc",
       vke::GammaincNative,
       1,
       nullptr,
       {{0, 20}, {0.5, 10}},
       kMillion,
       "gammainc(x, a)"},
      {"betainc",
       vke::BetaincNative,
       beta,
       nullptr,
       {{0, 1}, {0.5, 10}, {0.5, 10}},
       kMillion,
       "betainc(x, a, b)"},
      {"cdf norm",
       vke::EvaluateDistribution,
       'c',
       "norm",
       {{-4, 4}},
       kHundredThousand,
       "0.5 * erfc(-x / sqrt(2))"},
      {"icdf norm",
       vke::EvaluateDistribution,
       'i',
       "norm",
       {{0.001, 0.999}},
       kHundredThousand,
       "-sqrt(2) * erfcinv(2 * x)"},
      {"cdf t",
       vke::EvaluateDistribution,
       'c',
       "t",
       {{-4, 4}, {5, 5}},
       kHundredThousand,
       "1 - betainc(a ./ (a + x.^2), a / 2, 0.5) / 2"},
      {"icdf t",
       vke::EvaluateDistribution,
       'i',
       "t",
       {{0.5, 0.999}, {5, 5}},
       kHundredThousand,
       "sqrt(a .* (1 ./ betaincinv(2 * (1 - x), a / 2, 0.5) - 1))"},
      {"cdf beta",
       vke::EvaluateDistribution,
       'c',
       "beta",
       {{0, 1}, {2, 2}, {3, 3}},
       kHundredThousand,
       "betainc(x, a, b)"},
      {"icdf beta",
       vke::EvaluateDistribution,
       'i',
       "beta",
       {{0.001, 0.999}, {2, 2}, {3, 3}},
       kHundredThousand,
       "betaincinv(x, a, b)"},
  };
}

void PushArguments(vke::EngineContext* ctx, const Case& c, std::mt19937* gen) {
  if (c.name && vke::PushCString(ctx, int32_t(std::strlen(c.name)), c.name)) std::exit(2);
  for (auto [lo, hi] : c.ranges) {
    std::uniform_real_distribution<double> dist(lo, hi);
    double* re;
    const int32_t n = lo == hi ? 1 : c.points;
    if (vke::PushNewMatrix(ctx, 1, n, &re, nullptr) != vke::kOk) std::exit(2);
    for (int32_t i = 0; i < n; i++) re[i] = lo == hi ? lo : dist(*gen);
  }
}

// Best time of the native over copies of its arguments.
double TimeEngine(vke::EngineContext* ctx, const Case& c) {
  std::mt19937 gen(50);
  PushArguments(ctx, c, &gen);
  const int32_t nargin = int32_t(c.ranges.size()) + (c.name ? 1 : 0);
  double best = 1e30;
  for (int r = 0; r < kRepeats; r++) {
    if (vke::DuplicateStackEntries(ctx, 0, nargin) != vke::kOk) std::exit(3);
    auto start = std::chrono::steady_clock::now();
    vke::ErrCode e = c.native(ctx, nargin, 1, c.option);
    auto end = std::chrono::steady_clock::now();
    if (e != vke::kOk) std::exit(4);
    best = std::min(best, std::chrono::duration<double>(end - start).count());
    vke::Drop(ctx);
  }
  vke::Drop(ctx, nargin);
  return best;
}

// The peer's best times, one line "index seconds" per case.
std::map<int, double> TimePeer(const std::vector<Case>& cases) {
  std::string script;
  for (size_t k = 0; k < cases.size(); k++) {
    const Case& c = cases[k];
    const char* vars[] = {"x", "a", "b"};
    std::string setup;
    for (size_t j = 0; j < c.ranges.size(); j++) {
      char buffer[160];
      std::snprintf(buffer, sizeof buffer, "%s = %.17g + (%.17g) * rand(1, %d); ", vars[j],
                    c.ranges[j].first, c.ranges[j].second - c.ranges[j].first, c.points);
      setup += buffer;
    }
    script += setup + "t = inf; for r = 1:" + std::to_string(kRepeats) + ", tic; y = " + c.peer +
              "; t = min(t, toc); end; printf('" + std::to_string(k) + " %.9g\\n', t); ";
  }
  return vke::bench::RunPeerTimes(script);
}

}  // namespace

int main() {
  const vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (ctx == nullptr) return 1;

  const std::vector<Case> cases = Cases();
  std::map<int, double> peer = TimePeer(cases);
  if (peer.empty()) std::printf("peer (octave) not available: engine times only\n");
  std::printf("%-10s %9s %12s %12s %8s\n", "function", "points", "engine [s]", "peer [s]", "ratio");
  for (size_t k = 0; k < cases.size(); k++) {
    const double seconds = TimeEngine(ctx, cases[k]);
    auto it = peer.find(int(k));
    if (it == peer.end()) {
      std::printf("%-10s %9d %12.6f\n", cases[k].label, cases[k].points, seconds);
      continue;
    }
    std::printf("%-10s %9d %12.6f %12.6f %8.2f\n", cases[k].label, cases[k].points, seconds,
                it->second, seconds / it->second);
  }
  return 0;
}
