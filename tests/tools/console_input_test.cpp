// The console's commands from its input: one line each, CR LF taken as one
// line end, a definition gathered up to its "endfunction" (not one in a
// string or comment), a block up to its "end", a command wrong before its
// end left to its error, and what the end of the input leaves. The lines
// of a long statement are asked about a few at a time, and still before
// the input is waited for and up to the line from which they are wrong.
#include "tools/console_input.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vke::runner {
namespace {

bool KeepGoing() {
  return false;
}

// Stands in for the compiler: a command is wrong once it holds "@". Keeps
// what it was asked: the last line of each command, marked when it was
// given alone.
bool HoldsAt(void* asked, const std::string& command, size_t line, bool alone) {
  *static_cast<std::string*>(asked) += (alone ? "*" : "") + command.substr(line);
  return command.find('@') != std::string::npos;
}

// Every command of the text written into a pipe and closed.
std::vector<std::string> Commands(const std::string& text, ConsoleInput::FaultFn faulty = nullptr,
                                  void* data = nullptr) {
  int fds[2];
  if (::pipe(fds) != 0) return {"no pipe"};
  const bool written = ::write(fds[1], text.data(), text.size()) == ssize_t(text.size());
  ::close(fds[1]);
  std::vector<std::string> commands;
  ConsoleInput input(fds[0], &KeepGoing, faulty, data);
  std::string command;
  while (written && input.Next(&command) == ConsoleInput::Result::kCommand)
    commands.push_back(command);
  ::close(fds[0]);
  return commands;
}

TEST(ConsoleInput, DefinitionsAreGatheredUpToTheirEnd) {
  const std::string definition =
      "function r = f(n)\n"
      "  s = 'endfunction'; % endfunction\n"
      "  r = n;\n"
      "endfunction\n";
  EXPECT_EQ(Commands("x = 1;\r\n" + definition + "function g(), endfunction\n\nlast"),
            (std::vector<std::string>{"x = 1;\n", definition, "function g(), endfunction\n", "\n",
                                      "last\n"}));
  // An open definition at the end of the input is given as it stands.
  EXPECT_EQ(Commands("y = 2; function h()\n  z = 3;\n"),
            (std::vector<std::string>{"y = 2; function h()\n  z = 3;\n"}));
  EXPECT_TRUE(Commands("").empty());
}

TEST(ConsoleInput, BlocksAreGatheredUpToTheirEnd) {
  EXPECT_EQ(Commands("x = 1;\nif 0\n  x = 99;\nend\ndisp(x)\n"),
            (std::vector<std::string>{"x = 1;\n", "if 0\n  x = 99;\nend\n", "disp(x)\n"}));
  EXPECT_EQ(Commands("for k = 1:2\r\n  if k, end\r\nend, y = 2\r\nz\r\n"),
            (std::vector<std::string>{"for k = 1:2\n  if k, end\nend, y = 2\n", "z\n"}));
}

// A command ends at the line from which it is wrong, on its first line or
// a later one; the next line starts a command of its own. Every line of a
// command not whole yet is asked about, but the rows of numbers of a
// matrix; the statements of a block stand alone.
TEST(ConsoleInput, ACommandEndsAtTheLineFromWhichItIsWrong) {
  std::string asked;
  EXPECT_EQ(Commands("a = 1 @ [\ndisp(7)\nx = [1 2\n3 4\n5 6]\nif 1\n  y = 2\n  z = @ [\n"
                     "disp(8)\nend\nb = (1\n2) @\n3\n",
                     &HoldsAt, &asked),
            (std::vector<std::string>{"a = 1 @ [\n", "disp(7)\n", "x = [1 2\n3 4\n5 6]\n",
                                      "if 1\n  y = 2\n  z = @ [\n", "disp(8)\n", "end\n",
                                      "b = (1\n2) @\n", "3\n"}));
  EXPECT_EQ(asked, "a = 1 @ [\nx = [1 2\nif 1\n*  y = 2\n  z = @ [\nb = (1\n");
  // A block wrong in a line before its end.
  asked.clear();
  EXPECT_EQ(Commands("if 1\n  y = @\nend\n", &HoldsAt, &asked),
            (std::vector<std::string>{"if 1\n  y = @\n", "end\n"}));
  EXPECT_EQ(asked, "if 1\n*  y = @\n");
}

// Each command's first line as the input numbers it: a command over
// several lines, a blank line and a command cut short by a fault count
// their lines too.
TEST(ConsoleInput, CommandsKnowTheLineTheyStartOn) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string text = "a = 1;\nif 1\n  b = 2;\nend\n\nc = [1 @\nd = 4;\n";
  ASSERT_EQ(::write(fds[1], text.data(), text.size()), ssize_t(text.size()));
  ::close(fds[1]);
  std::string asked;
  ConsoleInput input(fds[0], &KeepGoing, &HoldsAt, &asked);
  std::string command;
  std::vector<int32_t> firsts;
  while (input.Next(&command) == ConsoleInput::Result::kCommand)
    firsts.push_back(input.FirstLine());
  ::close(fds[0]);
  EXPECT_EQ(firsts, (std::vector<int32_t>{1, 2, 5, 6, 7}));
}

// The bytes of the commands asked about, and how many were asked.
struct Asked {
  size_t bytes = 0;
  int32_t times = 0;
};
bool CountsAsked(void* asked, const std::string& command, size_t, bool) {
  static_cast<Asked*>(asked)->bytes += command.size();
  static_cast<Asked*>(asked)->times++;
  return false;
}

// A statement over thousands of lines is not asked about again at each
// line: what is asked grows as the statement does.
TEST(ConsoleInput, ALongStatementIsAskedAboutAFewTimes) {
  for (const char* shape : {"+1 ...\n", "k\n"}) {
    std::string text = shape[0] == '+' ? "x = 0 ...\n" : "c = {\n";
    for (int k = 0; k < 3000; k++) text += shape;
    text += shape[0] == '+' ? ";\n" : "};\n";
    Asked asked;
    EXPECT_EQ(Commands(text, &CountsAsked, &asked), (std::vector<std::string>{text}));
    EXPECT_LT(asked.bytes, 4 * text.size()) << shape;
    EXPECT_LT(asked.times, 40) << shape;
  }
}

// A line inside a statement not asked about at once still ends the command
// when it is wrong: the lines behind it are read again, as commands of
// their own, counted from the line after it.
TEST(ConsoleInput, AWrongLineInsideAStatementEndsTheCommandThere) {
  std::string text = "c = {1, ...\n";
  for (int k = 2; k <= 40; k++) text += (k == 29 ? "@, ...\n" : std::to_string(k) + ", ...\n");
  text += "0}\ndisp(1)\n";
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], text.data(), text.size()), ssize_t(text.size()));
  ::close(fds[1]);
  std::string asked;
  ConsoleInput input(fds[0], &KeepGoing, &HoldsAt, &asked);
  std::string command;
  std::vector<std::string> commands;
  std::vector<int32_t> firsts;
  while (input.Next(&command) == ConsoleInput::Result::kCommand) {
    commands.push_back(command);
    firsts.push_back(input.FirstLine());
  }
  ::close(fds[0]);
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0], text.substr(0, text.find("@, ...\n") + 7));
  EXPECT_EQ(commands[1].substr(0, 9), "30, ...\n3");
  EXPECT_EQ(commands[2], "disp(1)\n");
  EXPECT_EQ(firsts, (std::vector<int32_t>{1, 30, 42}));
  // Fewer asks than lines, the first line's first.
  EXPECT_EQ(asked.substr(0, 12), "c = {1, ...\n");
  EXPECT_LT(std::count(asked.begin(), asked.end(), '\n'), 30);
}

// Stands in for a typist: the lines held back are asked about before the
// input is waited for, and only then come the next ones.
struct Typist {
  int fd;
  std::string next;
};
bool TypesOn(void* typist, const std::string& command, size_t, bool) {
  auto* t = static_cast<Typist*>(typist);
  if (!t->next.empty() && command.size() >= 7 &&
      command.compare(command.size() - 7, 7, "2, ...\n") == 0) {
    if (::write(t->fd, t->next.data(), t->next.size()) != ssize_t(t->next.size())) return true;
    t->next.clear();
    ::close(t->fd);
  }
  return false;
}

TEST(ConsoleInput, LinesHeldBackAreAskedAboutBeforeTheInputIsWaitedFor) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  // Reading what is not there yet ends the input instead of waiting.
  ASSERT_EQ(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
  const std::string typed = "c = {1, ...\n2, ...\n";
  ASSERT_EQ(::write(fds[1], typed.data(), typed.size()), ssize_t(typed.size()));
  Typist typist{fds[1], "3}\n"};
  ConsoleInput input(fds[0], &KeepGoing, &TypesOn, &typist);
  std::string command;
  ASSERT_EQ(input.Next(&command), ConsoleInput::Result::kCommand);
  EXPECT_EQ(command, typed + "3}\n");
  EXPECT_TRUE(typist.next.empty());
  ::close(fds[0]);
}

}  // namespace
}  // namespace vke::runner
