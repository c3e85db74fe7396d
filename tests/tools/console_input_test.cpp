// The console's commands from its input: one line each, CR LF taken as one
// line end, a definition gathered up to its "endfunction" (not one in a
// string or comment), and what the end of the input leaves.
#include "tools/console_input.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/host/test_host.hpp"

namespace vke::runner {
namespace {

bool KeepGoing() {
  return false;
}

// Every command of the text written into a pipe and closed.
std::vector<std::string> Commands(EngineContext* ctx, const std::string& text) {
  int fds[2];
  if (::pipe(fds) != 0) return {"no pipe"};
  const bool written = ::write(fds[1], text.data(), text.size()) == ssize_t(text.size());
  ::close(fds[1]);
  std::vector<std::string> commands;
  ConsoleInput input(ctx, fds[0], &KeepGoing);
  std::string command;
  while (written && input.Next(&command) == ConsoleInput::Result::kCommand)
    commands.push_back(command);
  ::close(fds[0]);
  return commands;
}

TEST(ConsoleInput, DefinitionsAreGatheredUpToTheirEnd) {
  test::TestHost host;
  const std::string definition =
      "function r = f(n)\n"
      "  s = 'endfunction'; % endfunction\n"
      "  r = n;\n"
      "endfunction\n";
  EXPECT_EQ(Commands(host.ctx(), "x = 1;\r\n" + definition + "function g(), endfunction\n\nlast"),
            (std::vector<std::string>{"x = 1;\n", definition, "function g(), endfunction\n", "\n",
                                      "last\n"}));
  // An open definition at the end of the input is given as it stands.
  EXPECT_EQ(Commands(host.ctx(), "y = 2; function h()\n  z = 3;\n"),
            (std::vector<std::string>{"y = 2; function h()\n  z = 3;\n"}));
  EXPECT_TRUE(Commands(host.ctx(), "").empty());
}

}  // namespace
}  // namespace vke::runner
