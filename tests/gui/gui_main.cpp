// The window tests' program: without a display it runs itself again under
// a virtual X server with a window manager (and skips every test when
// there is none to start); with one it starts the toolkit and runs the
// tests on the window thread.
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/gui/gui_env.hpp"

namespace {

bool g_skipAll = false;

// Runs the program again under xvfb-run with openbox beside it.
void RunUnderVirtualServer(int argc, char** argv) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) return;
  std::vector<const char*> args = {"xvfb-run",
                                   "-a",
                                   "-s",
                                   "-screen 0 1024x768x24",
                                   "sh",
                                   "-c",
                                   "(openbox >/dev/null 2>&1 &) ; sleep 0.3; exec \"$0\" \"$@\""};
  for (int k = 0; k < argc; k++) args.push_back(argv[k]);
  args.push_back(nullptr);
  setenv("VKE_GUI_REEXEC", "1", 1);
  execvp("xvfb-run", const_cast<char* const*>(args.data()));
}

}  // namespace

namespace vke::test {

bool GuiAvailable() {
  return !g_skipAll;
}
}  // namespace vke::test

int main(int argc, char** argv) {
  // The arguments as given, before the test flags are taken out of them.
  std::vector<char*> given(argv, argv + argc);
  ::testing::InitGoogleTest(&argc, argv);
  const bool listing = ::testing::GTEST_FLAG(list_tests);
  if (!listing && !std::getenv("DISPLAY") && !std::getenv("VKE_GUI_REEXEC"))
    RunUnderVirtualServer(static_cast<int>(given.size()), given.data());
  if (listing) return RUN_ALL_TESTS();
  setenv("GSETTINGS_BACKEND", "memory", 0);
  setenv("NO_AT_BRIDGE", "1", 0);
  setenv("GTK_THEME", "Adwaita", 0);
  wxApp::SetInstance(new wxApp);
  int wxArgc = 1;
  char* wxArgv[] = {argv[0], nullptr};
  g_skipAll = !std::getenv("DISPLAY") || !wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit();
  if (!g_skipAll) {
    // The toolkit's complaints go to the output and its assertions fail the
    // test: a message box would wait for a click no test gives.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                          const wxString& message) {
      ADD_FAILURE_AT(file.utf8_string().c_str(), line)
          << "toolkit assertion " << cond.utf8_string() << " " << message.utf8_string();
    });
    wxInitAllImageHandlers();
  }
  const int status = RUN_ALL_TESTS();
  if (!g_skipAll) wxEntryCleanup();
  return status;
}
