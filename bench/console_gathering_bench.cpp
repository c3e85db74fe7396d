// The console's gathering of a long command pasted line by line, in the
// shapes a paste takes: a function definition, one with blocks in its body,
// a statement continued with "..." over every line, a block of statements of
// two lines each, and a cell array open over every line. Each is read from
// a file as the console reads its input (tools/console_input.hpp), asking
// the compiler about the lines typed so far, and nothing is run. A command
// of 10,000 lines is set against a hundred commands of 100 lines: the time
// per line should not grow with the command (a ratio near 1). Prints the
// milliseconds per 1,000 lines of each and the ratio.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_check.hpp"
#include "bench/bench_engine.hpp"
#include "bench/console_text.hpp"

namespace {

using namespace vke;

constexpr int kLongLines = 10000;
constexpr int kShortLines = 100;

// Gathers the text's commands; false unless there are `commands` of them.
bool Gather(EngineContext* ctx, const std::string& text, int commands) {
  int gathered = 0;
  bench::ReadConsoleText(ctx, text, [&](const std::string&) { return ++gathered > 0; });
  return gathered == commands;
}

// Milliseconds per 1,000 lines of the text.
double PerThousandLines(EngineContext* ctx, const std::string& text, int commands, int lines) {
  return 1000 * bench::MillisecondsPer([&] {
           bench::Check(Gather(ctx, text, commands), "gathering each command whole");
         }) /
         lines;
}

// A command of about `lines` lines of each shape.
std::string Definition(int lines) {
  std::string s = "function r = f(n)\n  r = 0;\n";
  for (int k = 2; k < lines - 1; k++) s += "  r = r + n * " + std::to_string(k % 97) + ";\n";
  return s + "endfunction\n";
}

std::string DefinitionWithBlocks(int lines) {
  std::string s = "function r = g(n)\n  r = 0;\n";
  for (int k = 2; k + 5 < lines; k += 5) {
    const std::string d = std::to_string(k % 7);
    s += "  if n > " + d + "\n    r = r + " + d + ";\n  else\n    r = r - 1;\n  end\n";
  }
  return s + "endfunction\n";
}

// One digit and an operator a line: a statement's text holds at most 32767
// characters.
std::string Continuation(int lines) {
  std::string s = "x = 0 ...\n";
  for (int k = 2; k < lines; k++) s += "+" + std::to_string(k % 10) + "...\n";
  return s + ";\n";
}

std::string TwoLineStatements(int lines) {
  std::string s = "if 1\n";
  for (int k = 1; k + 2 < lines; k += 2)
    s += "  s = k + ...\n    " + std::to_string(k % 10) + ";\n";
  return s + "end\n";
}

std::string OpenCell(int lines) {
  std::string s = "c = {\n";
  for (int k = 2; k < lines; k++) s += "k\n";
  return s + "};\n";
}

void Compare(EngineContext* ctx, const char* what, std::string (*shape)(int)) {
  std::string shortOnes;
  for (int c = 0; c < kLongLines / kShortLines; c++) shortOnes += shape(kShortLines);
  const double few = PerThousandLines(ctx, shortOnes, kLongLines / kShortLines, kLongLines);
  const double many = PerThousandLines(ctx, shape(kLongLines), 1, kLongLines);
  std::printf("%-34s %12.3f %12.3f %8.2f\n", what, few, many, many / few);
}

}  // namespace

int main() {
  bench::BenchEngine engine;
  EngineContext* ctx = engine.ctx();
  if (!ctx) return 1;
  std::printf("%-34s %12s %12s %8s\n", "ms per 1,000 lines", "100 lines", "10,000", "ratio");
  Compare(ctx, "function definition", &Definition);
  Compare(ctx, "function definition with blocks", &DefinitionWithBlocks);
  Compare(ctx, "statement continued with ...", &Continuation);
  Compare(ctx, "block of two-line statements", &TwoLineStatements);
  Compare(ctx, "cell array open over its lines", &OpenCell);
  return 0;
}
