// What the window tests share: whether a display is there, pumping the
// toolkit's events, and running the packed runtime as its own process.
#pragma once

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/window.h>

#include <string>

namespace vke::test {

bool GuiAvailable();

#define VKE_REQUIRE_GUI() \
  if (!::vke::test::GuiAvailable()) GTEST_SKIP() << "no X display could be started"

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
