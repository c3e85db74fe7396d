// What the window tests share: whether a display is there, pumping the
// toolkit's events, and running the packed runtime as its own process.
#pragma once

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/window.h>

#include <string>

namespace vke::test {

bool GuiAvailable();

// Under CI (CI=true) every test must run, so a missing display or tool is
// a failure there; elsewhere the test is skipped. Either way the message
// names the Debian package that brings what is missing.
bool UnderCi();

#define VKE_MISSING(what, package)                                                  \
  {                                                                                 \
    if (::vke::test::UnderCi())                                                     \
      GTEST_FAIL() << what << " is needed: install the Debian package " << package; \
    GTEST_SKIP() << what << " is needed: install the Debian package " << package;   \
  }

#define VKE_REQUIRE_GUI() \
  if (!::vke::test::GuiAvailable()) VKE_MISSING("an X display (xvfb-run)", "xvfb")

// Whether every command named (separated by spaces) is on the PATH.
bool HasCommands(const std::string& commands);

// Skips the test, or fails it under CI, when a command it calls is missing.
#define VKE_REQUIRE_COMMANDS(commands, package) \
  if (!::vke::test::HasCommands(commands)) VKE_MISSING(commands, package)

// Lets the toolkit handle its events for about the time given.
void Pump(int milliseconds);

// Where screenshots go: VKE_SCREEN_DIR, else the working folder.
std::string ScreenDir();
// The window's client pixels, kept as NAME.png in the screenshots' folder.
wxImage Snapshot(wxWindow* window, const std::string& name);

// Runs a shell command; its exit status.
int Shell(const std::string& command);
// A shell command's standard output.
std::string ShellOutput(const std::string& command);

// A folder for one test's files, removed with it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vke::test
