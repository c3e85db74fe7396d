// A long text pasted into the console line by line, against the same text
// run at once as from a file: a matrix of 10,000 rows, one row a line, and
// a loop whose body is 2,000 lines (its jumps span at most 32767 words of
// code). The console gathers each into one
// command, asking the compiler about the lines typed so far as it reads
// them (tools/console_input.hpp): the matrix's rows are not compiled again
// at each row and the loop's lines are looked at alone, so that the paste
// grows with the text as the run does. The matrix should take at most twice
// the run from the file. Prints seconds (best of a few runs) and the ratio.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_engine.hpp"
#include "bench/console_text.hpp"

namespace {

using namespace vke;

constexpr int kLines = 10000;
constexpr int kBodyLines = 2000;
constexpr int kRuns = 3;

// Runs the text's commands as the console reads them; false when one fails.
bool Paste(EngineContext* ctx, const std::string& text) {
  return bench::ReadConsoleText(ctx, text, [&](const std::string& command) {
    return bench::RunCommandText(ctx, command) == kOk;
  });
}

template <typename Run>
double Best(Run run) {
  double best = 1e30;
  for (int r = 0; r < kRuns; r++) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) std::exit(2);
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  return best;
}

void Compare(EngineContext* ctx, const char* what, const std::string& text) {
  const double file = Best([&] { return bench::RunCommandText(ctx, text) == kOk; });
  const double paste = Best([&] { return Paste(ctx, text); });
  std::printf("%-34s %10.4f %10.4f %8.2f\n", what, paste, file, paste / file);
}

}  // namespace

int main() {
  bench::BenchEngine engine;
  EngineContext* ctx = engine.ctx();
  if (!ctx) return 1;
  // One digit a row: a statement's text holds at most 32767 characters.
  std::string matrix = "m = [\n";
  for (int k = 0; k < kLines; k++) matrix += std::to_string(k % 10) + "\n";
  matrix += "];\n";
  std::string loop = "s = 0;\nfor k = 1:2\n";
  for (int k = 0; k < kBodyLines; k++) loop += "  s = s + k * " + std::to_string(k % 97) + ";\n";
  loop += "end\n";
  std::printf("%-34s %10s %10s %8s\n", "text", "paste (s)", "file (s)", "ratio");
  Compare(ctx, "matrix of 10,000 rows, a row a line", matrix);
  Compare(ctx, "loop of 2,000 statements, one a line", loop);
  return 0;
}
