// The runtime as its own process in the window tests: a run with a home
// folder of its own and what it is asked through the display (its window,
// keys, clicks, pictures, its exit), applications packed from the source
// tree behind it, and the pixels of its pictures.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <source_location>
#include <string>
#include <utility>
#include <vector>

#include "tests/gui/gui_env.hpp"

namespace vke::test {

std::string ReadText(const std::string& path);

// Polls for a state every 100 ms until it has come (a WaitNote's wait).
// True (it returns only then).
bool Eventually(const std::function<bool()>& done,
                std::source_location where = std::source_location::current());

// One run of a program with a home folder of its own.
class Runtime {
 public:
  Runtime(const TempFolder& home, std::string program, std::vector<std::string> args = {});
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  // The id of the visible window of that title, once it shows (empty when
  // the program ends first).
  std::string Window(const std::string& title,
                     std::source_location where = std::source_location::current());
  void Keys(const std::string& keys);
  // The window's picture below the tool bar.
  std::string Shot(const std::string& window, const std::string& name);
  void Signal(int signal);
  // The exit status once it has ended (128 and the signal for a signal's
  // end, as the shell says).
  int Exit(std::source_location where = std::source_location::current());
  // Whether it has ended (its status is then kept for Exit).
  bool Ended();
  // The processor time used so far, in clock ticks.
  long ProcessorTicks() const;
  std::string Output() const;
  // Waits until the program is busy, as a handler that loops is: its
  // processor time grows by a fifth of a second. False when it ends first.
  bool Busy(std::source_location where = std::source_location::current());

 private:
  std::string home_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = -1;
};

// Text in the display's clipboard for as long as this lives: a clipboard
// program serves it in the foreground, its output to nowhere (a program
// left behind holding the test's output would keep the test from ending),
// and is ended with it. Whether the clipboard came to hold the text.
class ClipboardText {
 public:
  explicit ClipboardText(const std::string& text);
  ~ClipboardText();
  ClipboardText(const ClipboardText&) = delete;
  ClipboardText& operator=(const ClipboardText&) = delete;
  bool Held() const { return held_; }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

// Packs a description of the source tree behind the runtime.
std::string Pack(const TempFolder& folder, const std::string& relative, const std::string& name);

void Click(const std::string& window, int x, int y, int button = 1);

// A picture's pixels as 0xRRGGBB, row by row (none when it cannot be read).
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};
Pixels ReadPng(const std::string& path);

// The figure's rows in a window picture: the longest run of rows that start
// and end in the figure's background, as the view spans the window's width.
std::pair<int, int> FigureRows(const Pixels& p);

struct RuntimeWindow : ::testing::Test {
  void SetUp() override {
    VKE_REQUIRE_GUI();
    VKE_REQUIRE_COMMANDS("xdotool", "xdotool");
    VKE_REQUIRE_COMMANDS("import convert", "imagemagick");
  }
  TempFolder home;
};

}  // namespace vke::test
