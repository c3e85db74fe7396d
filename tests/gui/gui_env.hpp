// What the window tests share: whether a display is there, pumping the
// toolkit's events, screenshots; and what every test that calls other
// programs has (tool_commands.hpp).
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/window.h>

#include <functional>
#include <string>

#include "tests/host/tool_commands.hpp"

namespace vke::test {

bool GuiAvailable();

#define VKE_REQUIRE_GUI() \
  if (!::vke::test::GuiAvailable()) VKE_MISSING("an X display (xvfb-run)", "xvfb")

// Lets the toolkit handle its events for about the time given.
void Pump(int milliseconds);
// Lets it handle them until the state has come, for at most the limit: a
// loaded machine delivers events late. Whether it came.
bool PumpUntil(const std::function<bool()>& done, int milliseconds = 20000);

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
