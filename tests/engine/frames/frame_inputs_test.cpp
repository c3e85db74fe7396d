// The frames of calls of 0 to 12 inputs, plain, with default values and
// with varargin, given all their inputs, fewer or more: each input in its
// slot, the locals unset until their first store, the caller's variables
// as they were, at the first call and the calls after it (which find the
// function located), from the base workspace and from a function.
#include <gtest/gtest.h>

#include <string>

#include "tests/host/command_line.hpp"
#include "tests/host/test_host.hpp"

namespace vke {
namespace {

constexpr int kMostInputs = 12;

// "a1, a2 = 102, ..." for n inputs, with default values when asked.
std::string Inputs(int n, bool defaults) {
  std::string s;
  for (int i = 1; i <= n; i++) {
    s.append(i > 1 ? ", a" : "a").append(std::to_string(i));
    if (defaults) s.append(" = ").append(std::to_string(100 + i));
  }
  return s;
}

// "1, 2, ..., n"
std::string Numbers(int n) {
  std::string s;
  for (int i = 1; i <= n; i++) s.append(i > 1 ? ", " : "").append(std::to_string(i));
  return s;
}

// A function of n inputs (kind "f" plain, "d" with defaults, "v" with
// varargin) that gives [exist('t') nargin inputs... (count of varargin)
// exist('t')], t being a local stored last.
std::string Definition(char kind, int n) {
  std::string inputs = Inputs(n, kind == 'd');
  if (kind == 'v') inputs += n ? ", varargin" : "varargin";
  std::string body = "  r = [exist('t'), nargin";
  for (int i = 1; i <= n; i++) body += ", a" + std::to_string(i);
  if (kind == 'v') body += ", numel(varargin)";
  return "function r = " + std::string(1, kind) + std::to_string(n) + "(" + inputs + ")\n" + body +
         "];\n  t = 1;\n  r(end + 1) = exist('t');\nendfunction\n";
}

// The calls of every function, each checked against what it must give, with
// the caller's 16 cells looked at after each; `at` names the caller.
std::string Calls(const std::string& at) {
  std::string s = "c = num2cell(1:16);\n";
  auto call = [&](const std::string& f, int given, const std::string& want) {
    s += "check('" + at + " " + f + "/" + std::to_string(given) + "', " + f + "(" + Numbers(given) +
         "), [" + want + "], c);\n";
  };
  for (int n = 0; n <= kMostInputs; n++) {
    const std::string count = std::to_string(n);
    std::string all = "0, " + count + (n ? ", " : "") + Numbers(n);
    for (int twice = 0; twice < 2; twice++) call("f" + count, n, all + ", 1");
    // Half the inputs given, the rest from their defaults.
    const int half = n / 2;
    std::string part = "0, " + std::to_string(half);
    for (int i = 1; i <= n; i++) part += ", " + std::to_string(i <= half ? i : 100 + i);
    call("d" + count, n, all + ", 1");
    for (int twice = 0; twice < 2; twice++) call("d" + count, half, part + ", 1");
    // Three inputs more than named, in varargin.
    call("v" + count, n, all + ", 0, 1");
    for (int twice = 0; twice < 2; twice++)
      call("v" + count, n + 3,
           "0, " + std::to_string(n + 3) + (n ? ", " : "") + Numbers(n) + ", 3, 1");
  }
  return s;
}

TEST(FrameInputs, InputsLocalsAndTheCallersVariablesForEveryCount) {
  test::TestHost host({.areaBytes = 8u << 20});
  std::string text =
      "function check(name, got, want, c)\n"
      "  if numel(got) ~= numel(want) || any(got ~= want) || numel(c) ~= 16 || "
      "any([c{:}] ~= (1:16))\n"
      "    fprintf('%s:', name); fprintf(' %g', got); fprintf(' |'); fprintf(' %g', want);\n"
      "    fprintf(' | %d cells\\n', numel(c));\n"
      "  end\n"
      "endfunction\n";
  for (const char kind : {'f', 'd', 'v'})
    for (int n = 0; n <= kMostInputs; n++) text += Definition(kind, n);
  text += "function caller()\n" + Calls("function") + "endfunction\n";
  text += Calls("base") + "caller();\ndisp('done')\n";
  EXPECT_EQ(test::RunForOutput(host, text), "done\n");
}

}  // namespace
}  // namespace vke
