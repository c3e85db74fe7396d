// Deep recursion and the block heap: a function calling itself to depth
// 10^4 and 10^5, in a fresh engine and in one whose heap has a small free
// block at its start (left by `a = []; b = 1; clear a`), and the same
// recursion through cellfun and map at depth 10^5. Every call allocates its
// variables, so the time per call must not grow with the depth: the ratio
// of the two depths should stay near 10, with the hole as without it, and
// the recursion through a native should end well within 2 seconds.
// Prints milliseconds per run (best of a few) and the ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/bench_engine.hpp"

namespace {

using namespace vke;

constexpr int kRuns = 3;

const char* const kFunctions =
    "function r = down(n)\n"
    "  if n == 0\n    r = 0;\n  else\n    r = down(n - 1) + 1;\n  end\n"
    "endfunction\n"
    "function r = viacellfun(n)\n"
    "  if n == 0\n    r = 0;\n  else\n    r = cellfun(@viacellfun, {n - 1}) + 1;\n  end\n"
    "endfunction\n"
    "function r = viamap(n)\n"
    "  if n == 0\n    r = 0;\n  else\n    c = map(@viamap, {n - 1});\n    r = c{1} + 1;\n  end\n"
    "endfunction\n";

// Milliseconds of the best run of `call(depth)` in a new engine, with or
// without the hole; the program ends when a run fails.
double BestMilliseconds(const char* call, int32_t depth, bool hole) {
  double best = 1e30;
  for (int r = 0; r < kRuns; r++) {
    bench::BenchEngine engine;
    EngineContext* ctx = engine.ctx();
    if (!ctx || bench::RunCommandText(ctx, kFunctions)) std::exit(1);
    if (hole && bench::RunCommandText(ctx, "a = []; b = 1; clear a\n")) std::exit(2);
    const std::string text = std::string("r = ") + call + "(" + std::to_string(depth) + ");\n";
    const auto start = std::chrono::steady_clock::now();
    const ErrCode e = bench::RunCommandText(ctx, text);
    const auto stop = std::chrono::steady_clock::now();
    if (e) {
      std::fprintf(stderr, "%s failed with %d\n", text.c_str(), e);
      std::exit(3);
    }
    best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
  }
  return best;
}

}  // namespace

int main() {
  std::printf("%-26s %12s %12s %8s\n", "recursion", "1e4 ms", "1e5 ms", "ratio");
  for (bool hole : {false, true}) {
    const double small = BestMilliseconds("down", 10000, hole);
    const double large = BestMilliseconds("down", 100000, hole);
    std::printf("%-26s %12.2f %12.2f %8.2f\n", hole ? "plain, hole at the start" : "plain", small,
                large, large / small);
  }
  for (const char* via : {"viacellfun", "viamap"}) {
    const double small = BestMilliseconds(via, 10000, true);
    const double large = BestMilliseconds(via, 100000, true);
    std::printf("%-26s %12.2f %12.2f %8.2f%s\n", via, small, large, large / small,
                large < 2000 ? "" : "  (over 2 s)");
  }
  return 0;
}
