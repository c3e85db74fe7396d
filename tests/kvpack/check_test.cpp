// Check scripts: lines that are no step stop the script with their line.
#include "tools/kvpack/check.hpp"

#include <gtest/gtest.h>

#include "tools/kvpack/pack.hpp"

namespace vke::kvpack {
namespace {

// A line that names no step is told every step there is.
constexpr char kNoStep[] =
    "line 1: expected a step name (reset, draw, event, key, menu, state, undo, redo, copy, "
    "paste, idle, language, print, help, png, answer, mode, mouse, hover, scroll, select)";

TEST(CheckScript, LinesThatAreNoStepStopTheScript) {
  ToolHost host;
  ASSERT_EQ(host.Create(), kOk);
  host.Collect(true);
  const struct {
    const char* script;
    const char* error;
  } cases[] = {
      {"frobnicate\n", kNoStep},
      {"\"reset\"\n", kNoStep},
      {"# comment\n\nreset now\n", "line 3: expected nothing after reset"},
      {"event mousedown 1\n", "line 1: expected the point's x and y"},
      {"event sideways 1 2\n",
       "line 1: expected a mouse event name (mousedown, mousedrag, mouseup, mousedoubleclick, "
       "mouseover, mouseout, mousescroll, dragin, dragout)"},
      {"event mousedown 1 2 target x\n", "line 1: expected a target id"},
      {"event mousedown 0.2 0.3 target 99999999999\n", "line 1: expected a target id"},
      {"menu Reset\n", "line 1: expected a text after menu"},
      {"print\n", "line 1: expected a variable name"},
      {"paste \"a\" \"b\" \"c\"\n", "line 1: expected nothing more"},
      {"key \"\"\n", "line 1: expected a key"},
      {"print \"x\n", "line 1: Unterminated string (10022): \"x"},
      {"png\n", "line 1: expected a file name after png"},
      {"png \"f.png\" 0 10\n", "line 1: expected a width and height from 1 to 8192"},
      {"png \"f.png\" 10\n", "line 1: expected a width and height from 1 to 8192"},
      {"png \"f.png\" 10 10 10\n", "line 1: expected nothing more"},
      {"mode\n", "line 1: expected a mode number from 1 to 5"},
      {"mode 1.5\n", "line 1: expected a mode number from 1 to 5"},
      {"mode 99\n", "line 1: expected a mode number from 1 to 5"},
      {"mode 0\n", "line 1: expected a mode number from 1 to 5"},
      {"mode -1\n", "line 1: expected a mode number from 1 to 5"},
      {"mouse sideways 1 2\n", "line 1: expected down, drag or up after mouse"},
      {"mouse down 1\n", "line 1: expected the point's x and y"},
      {"mouse drag 1 2 ctrl\n", "line 1: expected nothing more"},
      {"mouse up 1 2\n", "line 1: expected nothing more"},
      {"hover 1 2 shift\n", "line 1: expected nothing more"},
      {"scroll 1 2\n", "line 1: expected the point's x and y and the notches"},
      {"scroll 300 200 99999999999\n", "line 1: expected notches from -17895697 to 17895697"},
      {"scroll 300 200 -17895698\n", "line 1: expected notches from -17895697 to 17895697"},
      {"select \"a\" 2\n", "line 1: expected the point's x and y"},
      {"key sideways\n",
       "line 1: expected a key name (backspace, enter, delete, left, right, up, down) or a key "
       "in double quotes"},
      {"key tab\n",
       "line 1: expected a key name (backspace, enter, delete, left, right, up, down) or a key "
       "in double quotes"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(RunCheckScript(&host, c.script, &error)) << c.script;
    EXPECT_EQ(error, c.error) << c.script;
  }
}

// The wheel's notches go up to the most whose units a 32-bit word holds,
// and reach the handler whole; one more on either side stops the script
// before anything runs.
TEST(CheckScript, TheWheelTurnsAsFarAsItsUnitsFitAWord) {
  ToolHost host;
  ASSERT_EQ(host.Create(), kOk);
  host.Collect(true);
  AppDescription app;
  DescriptionError parsed;
  ASSERT_TRUE(
      ParseDescription("source \"wheel.vke\"\nvar turned\ninit turned = start()\n"
                       "figure \"Wheel\"\n  draw show(turned)\n"
                       "  mousescroll turned = (_dy)\n",
                       "wheel.kv", &app, &parsed))
      << ErrorText(parsed);
  const FileReader read = [](const std::string& path, std::string* text) {
    if (path != "wheel.vke") return false;
    *text = "function t = start\n t = 0;\nfunction show(t)\n plot([0 1], [0 1]);\n";
    return true;
  };
  PackError packed;
  ASSERT_TRUE(PackApplication(&host, app, "wheel.kvd", read, &packed)) << PackErrorText(packed);
  host.Collect(false);

  std::string error;
  ::testing::internal::CaptureStdout();
  const bool ran = RunCheckScript(&host,
                                  "reset\ndraw\nscroll 320 240 17895697\nprint turned\n"
                                  "scroll 320 240 -17895697\nprint turned\n",
                                  &error);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(ran) << error;
  // Notches turned away come as a negative y displacement.
  EXPECT_NE(printed.find("turned =\n -17895697\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("turned =\n  17895697\n"), std::string::npos) << printed;

  for (const char* beyond : {"17895698", "-17895698"}) {
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(RunCheckScript(&host, "scroll 320 240 " + std::string(beyond) + "\n", &error));
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, "line 1: expected notches from -17895697 to 17895697") << beyond;
  }
}

}  // namespace
}  // namespace vke::kvpack
