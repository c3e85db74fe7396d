// Every native called where its value is shown and where it is assigned:
// a native that may give nothing to a statement (no output needed, one
// allowed) shows nothing or the value an assignment takes, and never fails
// with the engine's internal code. Each is called with the few simple
// argument lists that its assignment takes; the natives of the figure
// library run in a draw handler, the others in the runner's engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/block.hpp"
#include "engine/errors/errors.hpp"
#include "tests/help/example_hosts.hpp"
#include "tools/kvpack/tool_host.hpp"

namespace vke::test {
namespace {

constexpr char kFigureLibrary[] = "Corvanel";

// The names of the natives registered in ctx that a statement may call for
// no value: of the figure library, or of every other one.
std::vector<std::string> NativesOfStatements(EngineContext* ctx, bool figure) {
  std::vector<std::string> names;
  const LibraryRegistryEntry* reg = ctx->Registry();
  for (uint32_t i = 0; i < ctx->registryCount; i++) {
    std::string library;
    for (uint32_t k = 0; k < reg[i].count; k++) {
      const NativeFunctionRecord& r = reg[i].table[k];
      if (r.IsEnd()) break;
      if (r.IsHeader()) library = r.name + 1;
      const int maxOut = r.maxOut & ~NativeFunctionRecord::kCountUnbounded;
      const bool unbounded = r.maxOut & NativeFunctionRecord::kCountUnbounded;
      if (r.IsHeader() || r.IsHook() || r.minOut != 0 || (maxOut < 1 && !unbounded)) continue;
      if ((library == kFigureLibrary) == figure) names.push_back(r.name);
    }
  }
  return names;
}

// The simple argument lists tried, the simplest first.
constexpr const char* kArguments[] = {"", "1", "[1 2]", "'a'", "1, 1", "[0 4 0 4]"};

// What the text between two marker lines wrote, by marker.
std::string Between(const std::string& output, const std::string& marker) {
  const std::string open = "<" + marker + ">\n", close = "</" + marker + ">\n";
  const size_t from = output.find(open), to = output.find(close);
  if (from == std::string::npos || to == std::string::npos || to < from) return "(missing)";
  return output.substr(from + open.size(), to - from - open.size());
}

// The text as a quoted string of the language.
std::string Quoted(const std::string& text) {
  std::string q = "'";
  for (const char c : text) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

// Runs each call of a native four ways in one program, each between
// markers and caught: assigned and displayed twice (a value that differs is
// not compared), as a statement that shows nothing, and shown. Returns the
// calls whose shown statement wrote anything else than the silent one, or
// that followed by the assigned value, or failed with the internal code.
std::vector<std::string> Check(const std::vector<std::string>& calls, bool figure) {
  std::string program;
  for (size_t i = 0; i < calls.size(); i++) {
    const std::string& c = calls[i];
    const std::string n = std::to_string(i);
    const auto caught = [&](const std::string& tag, const std::string& body) {
      program += "disp('<" + tag + n + ">')\ntry\n" + body +
                 "\ncatch\n  disp(['failed ' lasterr])\nend\ndisp('</" + tag + n + ">')\n";
    };
    const std::string shownBody = figure ? c : "eval(" + Quoted(c) + ")";
    const std::string assignedBody =
        figure ? "v = " + c + "; disp(v)" : "eval(" + Quoted("ans = " + c) + ")";
    caught("a", assignedBody);
    caught("b", assignedBody);
    caught("q", figure ? c + ";" : "eval(" + Quoted(c + ";") + ")");
    caught("s", shownBody);
  }
  std::string output;
  ScratchFolder folder;
  const ErrCode e = figure ? RunInFigure(program, &output) : RunInRunner(program, &output);
  EXPECT_EQ(e, kOk) << output;
  std::vector<std::string> wrong;
  for (size_t i = 0; i < calls.size(); i++) {
    const std::string n = std::to_string(i);
    std::string a = Between(output, "a" + n);
    const std::string b = Between(output, "b" + n), q = Between(output, "q" + n);
    const std::string s = Between(output, "s" + n);
    if (a.starts_with("ans =\n")) a.erase(0, 6);
    const bool illegal = s.find("Illegal") != std::string::npos;
    const bool steady = Between(output, "a" + n) == b && a.find("failed") == std::string::npos &&
                        q.find("failed") == std::string::npos;
    if (illegal || (steady && s != q && s != q + a))
      wrong.push_back(calls[i] + ":\n  assigned: " + a + "  shown: " + s);
  }
  return wrong;
}

// The calls: each native with every argument list its assignment or its
// call as a statement takes (a query without inputs, a setting with them).
std::vector<std::string> Calls(const std::vector<std::string>& names, bool figure) {
  const auto runs = [figure](const std::string& text) {
    std::string output;
    ScratchFolder folder;
    return (figure ? RunInFigure(text, &output) : RunInRunner(text, &output)) == kOk;
  };
  std::vector<std::string> calls;
  for (const std::string& name : names) {
    for (const char* args : kArguments) {
      const std::string call = name + "(" + args + ")";
      if (runs("v = " + call + ";\n") || runs(call + ";\n")) calls.push_back(call);
    }
  }
  return calls;
}

TEST(ShownValues, NativesOfTheRunnerShowNothingOrTheirValue) {
  RunnerEngine runner;
  ASSERT_NE(runner.ctx(), nullptr);
  const std::vector<std::string> names = NativesOfStatements(runner.ctx(), false);
  EXPECT_GT(names.size(), 5u);
  const std::vector<std::string> wrong = Check(Calls(names, false), false);
  std::string report;
  for (const std::string& w : wrong) report += w + "\n";
  EXPECT_TRUE(wrong.empty()) << report;
}

TEST(ShownValues, NativesOfTheFigureShowNothingOrTheirValue) {
  kvpack::ToolHost host;
  ASSERT_EQ(host.Create(), kOk);
  const std::vector<std::string> names = NativesOfStatements(host.block()->Engine(), true);
  EXPECT_GT(names.size(), 5u);
  const std::vector<std::string> wrong = Check(Calls(names, true), true);
  std::string report;
  for (const std::string& w : wrong) report += w + "\n";
  EXPECT_TRUE(wrong.empty()) << report;
}

}  // namespace
}  // namespace vke::test
