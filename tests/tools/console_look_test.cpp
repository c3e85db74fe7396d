// The console's commands as the compiler's look gathers them: 200 KB of
// random bytes end their commands where the compiler finds them wrong, so
// that the line typed after them is a command of its own, and a long block
// or matrix pasted line by line is gathered whole. The look line by line
// answers as a look at the whole command does, and a long definition is
// looked at without the room of all its lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "compiler/compile.hpp"
#include "tests/host/engine_state.hpp"
#include "tests/host/test_host.hpp"
#include "tools/command_gatherer.hpp"
#include "tools/command_look.hpp"
#include "tools/console_input.hpp"

namespace vke::runner {
namespace {

bool KeepGoing() {
  return false;
}

bool Faulty(void* look, const std::string& command, size_t line, bool alone) {
  return static_cast<CommandLook*>(look)->Fault(command, line, alone) != kOk;
}

// The commands the console reads from the text.
std::vector<std::string> Commands(EngineContext* ctx, const std::string& text) {
  // A file stands for the pipe: the console reads any descriptor.
  FILE* file = std::tmpfile();
  if (!file || std::fwrite(text.data(), 1, text.size(), file) != text.size()) std::abort();
  std::rewind(file);
  CommandLook look(ctx);
  ConsoleInput input(fileno(file), &KeepGoing, &Faulty, &look);
  std::vector<std::string> commands;
  std::string command;
  while (input.Next(&command) == ConsoleInput::Result::kCommand) commands.push_back(command);
  std::fclose(file);
  return commands;
}

TEST(ConsoleLook, RandomBytesLeaveTheNextLineACommandOfItsOwn) {
  test::TestHost host;
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    std::string text(200 * 1024, '\0');
    for (char& c : text) c = static_cast<char>(random());
    const std::vector<std::string> commands = Commands(host.ctx(), text + "\ndisp(7)\n");
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), "disp(7)\n") << seed;
  }
}

TEST(ConsoleLook, LongPastesAreGatheredWhole) {
  test::TestHost host;
  std::string matrix = "m = [\n", loop = "for k = 1:2\n";
  for (int k = 0; k < 3000; k++) {
    matrix += std::to_string(k % 10) + " -1\n";
    loop += "  s" + std::to_string(k % 50) + " = k * " + std::to_string(k) + ";\n";
  }
  matrix += "];\n";
  loop += "end\n";
  EXPECT_EQ(Commands(host.ctx(), matrix + loop + "disp(1)\n"),
            (std::vector<std::string>{matrix, loop, "disp(1)\n"}));
}

// The lines of random commands asked about as the console asks (not the
// rows of numbers; the lines alone in a block said so), up to the first
// wrong: the look from line to line must tell what the look at the whole
// command up to there tells.
TEST(ConsoleLook, LineByLineAnswersAsTheWholeCommand) {
  static const char* const kLines[] = {
      // Blocks, their parts and their ends.
      "if a", "while k < 3", "for k = 1:2", "switch s", "try", "repeat", "if x > 0, y = 1",
      "try x = 2", "if (a > ...", "  b)", "else", "elseif b", "case 1", "otherwise", "catch",
      "else x = 2", "end", "until k > 1", "end, z = 3", "break", "continue", "return",
      // Statements, over one line and more.
      "x = 1;", "y = x + 1", "w = {x};", "w -1 +", "x -1", "v -1 +", "disp end", "z = [1 2", "3 4]",
      "q = 1 + ...", "  2", "c = {'a', ...", "'b'}", "prev(end)", "n = prev(end) + 1;", "v = n;",
      "global gg", "s = 'end';", "% end", "/* if", "end */", "u = (1", ")", "k", "a = [", "1 -2",
      "]", "define c = 3", "define d = )", "t = 'abc", "e = 1 @ 2",
      // Definitions.
      "function r = f(n)", "function g()", "endfunction", "private function h(w)",
      "function r = m(a, ...", "  b)", "endfunction, x = 1", "function q(), endfunction",
      "persistent p", "r = n;"};
  constexpr size_t kCount = sizeof kLines / sizeof kLines[0];
  test::TestHost host;
  EngineContext* ctx = host.ctx();
  std::mt19937 random(7);
  int32_t asked = 0, wrong = 0;
  for (int trial = 0; trial < 10000; trial++) {
    CommandLook look(ctx);
    CommandGatherer gatherer;
    std::string command;
    const int lines = 2 + static_cast<int>(random() % 14);
    for (int k = 0; k < lines; k++) {
      const size_t start = command.size();
      const std::string line = kLines[random() % kCount];
      command += line + "\n";
      gatherer.Add(line);
      if (gatherer.Complete()) break;
      if (gatherer.NumberRow()) continue;
      const bool byLines = look.Fault(command, start, gatherer.StatementsAlone()) != kOk;
      const bool whole =
          CommandLineFault(ctx, command.data(), static_cast<int32_t>(command.size())) != kOk;
      ASSERT_EQ(byLines, whole) << command;
      asked++;
      if (whole) {
        wrong++;
        break;
      }
    }
  }
  // Both kinds of answer were asked for often.
  EXPECT_GT(asked - wrong, 5000);
  EXPECT_GT(wrong, 1500);
  EXPECT_EQ(host.Output(2), "");
}

// Each line of a long definition is looked at with its part alone: an area
// grown only until the look at its first lines has room holds the look at
// each of thousands of lines (a look at all the lines so far runs short of
// room), and a wrong line is found behind them.
TEST(ConsoleLook, ALongDefinitionIsLookedAtByParts) {
  constexpr uint32_t kStart = 224u << 10, kStep = 32u << 10;
  test::TestHost host({.areaBytes = kStart});
  test::MovableArea area(host.ctx(), kStart);
  std::string command = "function r = big(n)\n  r = 0;\n";
  ErrCode e;
  while (IsEngineMemoryCode(e = CommandLook(area.ctx()).Fault(command, 0, false)))
    area.Grow(area.bytes() + kStep, e);
  ASSERT_EQ(e, kOk);
  CommandLook look(area.ctx());
  ASSERT_EQ(look.Fault(command, 0, false), kOk);
  for (int k = 0; k < 3000; k++) {
    const size_t start = command.size();
    command += k % 3 ? "  r = r + n * " + std::to_string(k) + ";\n"
                     : "  if r > " + std::to_string(k) + "\n    r = -r;\n  end\n";
    ASSERT_EQ(look.Fault(command, start, false), kOk) << k;
  }
  const size_t start = command.size();
  command += "  r = [n $ 1\n";
  EXPECT_EQ(look.Fault(command, start, false), kErrUnrecognizedToken);
}

}  // namespace
}  // namespace vke::runner
