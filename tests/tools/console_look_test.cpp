// The console's commands as the compiler's look gathers them: 200 KB of
// random bytes end their commands where the compiler finds them wrong, so
// that the line typed after them is a command of its own, and a long block
// or matrix pasted line by line is gathered whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/host/test_host.hpp"
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

}  // namespace
}  // namespace vke::runner
