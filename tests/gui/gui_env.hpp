// What the window tests share: whether a display is there, pumping the
// toolkit's events, screenshots; and what every test that calls other
// programs has (tool_commands.hpp).
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/window.h>

#include <chrono>
#include <functional>
#include <source_location>
#include <string>

#include "tests/host/tool_commands.hpp"

namespace vke::test {

bool GuiAvailable();

#define VKE_REQUIRE_GUI() \
  if (!::vke::test::GuiAvailable()) VKE_MISSING("an X display (xvfb-run)", "xvfb")

// Lets the toolkit handle its events for about the time given.
void Pump(int milliseconds);

// A wait that lasts as long as its state takes to come: a loaded machine
// maps, paints and answers late, and only the test command's own limit
// ends a wait that never would. Once a minute it says on standard error
// where the test waits and how long it has, so that such an end says what
// did not come.
class WaitNote {
 public:
  explicit WaitNote(std::source_location where);
  // Called on every round of the wait.
  void Round();

 private:
  std::source_location where_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point next_;
};

// A command line run so that another program that hangs ends at last
// (after ten minutes, which no machine takes to answer), for a wait that
// tries it again.
inline std::string UnlessHung(const std::string& command) {
  return "timeout 600 " + command;
}

// Lets the toolkit handle its events until the state has come. True (it
// returns only then).
bool PumpUntil(const std::function<bool()>& done,
               std::source_location where = std::source_location::current());

// A function of the toolkit's GTK underneath, found at run time.
template <typename Fn>
Fn Gtk(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

// Where screenshots go: VKE_SCREEN_DIR, else the working folder.
std::string ScreenDir();
// The window's client pixels, kept as NAME.png in the screenshots' folder.
wxImage Snapshot(wxWindow* window, const std::string& name);

}  // namespace vke::test
