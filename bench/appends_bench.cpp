// Growth by indexed assignment past the end in a loop, against GNU Octave
// running the same loops: a row appended to a matrix, an item to a cell
// array by {end + 1} and by (end + 1), an element to a structure array of
// two fields by s(k).v and s(end + 1).v, and an element to a vector. Prints
// the seconds of 20,000 appends in each, Octave's and the ratio (the target:
// at most 1), then the seconds of 80,000 appends and their ratio to those of
// 20,000 (the target: at most 6; a copy of the whole value at every append
// gives 16). An argument other than 20000 sets the smaller count.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/runtime_native_table.hpp"
#include "bench/bench_engine.hpp"
#include "bench/peer_times.hpp"
#include "engine/frames/calls.hpp"
#include "engine/registry/registry.hpp"

namespace {

struct Form {
  const char* label;
  const char* start;  // the value before the loop
  const char* body;   // the append, of k
};

constexpr Form kForms[] = {
    {"b(end+1, :) = row", "b = [];", "b(end+1, :) = [k, -k, 2*k];"},
    {"c{end+1} = k", "b = {};", "b{end+1} = k;"},
    {"c(end+1) = {k}", "b = {};", "b(end+1) = {k};"},
    {"s(k).v = k", "b = struct('v', 0, 'w', 0);", "b(k).v = k;"},
    {"s(end+1).v = k", "b = struct('v', 0, 'w', 0);", "b(end+1).v = k;"},
    {"x(end+1) = k", "b = [];", "b(end+1) = k;"},
};
constexpr int kFormCount = sizeof(kForms) / sizeof(kForms[0]);

// Each form's loop of n appends, timed, printing "index seconds".
std::string Script(int n, bool octave) {
  std::string text;
  for (int i = 0; i < kFormCount; i++) {
    text += std::string(kForms[i].start) + " tic; for k = 1:" + std::to_string(n) + ", " +
            kForms[i].body + " end; t = toc; " + (octave ? "printf(" : "fprintf(1, ") + "'" +
            std::to_string(i) + " %.9g\\n', t); ";
  }
  return text;
}

std::string g_printed;

void Collect(int32_t, const char* bytes, int32_t n, uintptr_t) {
  g_printed.append(bytes, static_cast<size_t>(n));
}

// The engine's seconds per form for n appends; false when the run failed.
bool RunOurs(vke::EngineContext* ctx, int n, double* seconds) {
  g_printed.clear();
  const vke::ErrCode e = vke::bench::RunScriptText(ctx, Script(n, false));
  if (e) {
    std::fprintf(stderr, "the loops failed: %d\n", e);
    return false;
  }
  const char* at = g_printed.c_str();
  for (int i = 0; i < kFormCount; i++) {
    int index, used;
    if (std::sscanf(at, "%d %lf%n", &index, &seconds[i], &used) != 2 || index != i) return false;
    at += used;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int small = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (small <= 0) return 2;
  vke::bench::BenchEngine engine;
  vke::EngineContext* ctx = engine.ctx();
  if (!ctx || vke::RegisterLibrary(ctx, vke::RuntimeNativeTable(), true) != vke::kOk) return 2;
  vke::SetStdOutputSink(&Collect, 0);
  double few[kFormCount], many[kFormCount];
  if (!RunOurs(ctx, small, few) || !RunOurs(ctx, 4 * small, many)) return 1;
  const auto peer = vke::bench::RunPeerTimes(Script(small, true));
  std::printf("%-18s %12s %12s %8s %12s %8s\n", "appends", "vke (s)", "octave (s)", "ratio",
              "4x (s)", "4x/1x");
  for (int i = 0; i < kFormCount; i++) {
    std::printf("%-18s %12.6f", kForms[i].label, few[i]);
    auto it = peer.find(i);
    if (it != peer.end())
      std::printf(" %12.6f %8.2f", it->second, few[i] / it->second);
    else
      std::printf(" %12s %8s", "-", "-");
    std::printf(" %12.6f %8.2f\n", many[i], many[i] / few[i]);
  }
  return 0;
}
