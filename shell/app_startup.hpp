// The program's start: the steps that turn a bare process into the running
// application, in their order. The preferences are read and the engine is
// configured through the facade; the windows are made through the
// program's own side (AppStartupHost), so that the steps run headless in
// the tests. Engine steps are skipped when the context could not be
// created: the document, frame and view still appear and the load reports
// the context's creation error.
#pragma once

#include <optional>
#include <string>

#include "shell/engine_facade.hpp"
#include "shell/preferences.hpp"
#include "shell/startup_settings.hpp"

namespace vke {

// The help page looked for beside the executable.
inline constexpr const char* kHelpFilePath = "Doc/index.htm";

class AppStartupHost {
 public:
  virtual ~AppStartupHost() = default;
  // The document types and the program path, where they are missing.
  virtual void RegisterFileTypes() = 0;
  // The engine's break test.
  virtual AbortFn BreakTest() const = 0;
  // Creates the context (with the sizes of the settings) and gives its
  // facade, created or not; it lives as long as the program.
  virtual EngineFacade& CreateContext(const StartupSettings& settings) = 0;
  // Binds the run-time table (registered with the context) to the window
  // and, when asked, the standard descriptors' output to standard error.
  virtual void RegisterRuntimeTable(EngineFacade& engine) = 0;
  // The document, the main frame and the view; false when they could not
  // be made.
  virtual bool CreateDocument() = 0;
  virtual void AcceptDroppedFiles() = 0;
  // Loads the image behind the executable into the document.
  virtual void LoadEmbeddedApplication() = 0;
};

// The application object's state after start.
struct AppState {
  StartupSettings settings{};
  bool starting = false;  // true until the document exists
  std::optional<std::string> helpFile;
  EngineFacade* engine = nullptr;
};

// The start-up steps; false when the document could not be made (the
// program then ends).
bool InitInstance(const Preferences& preferences, AppStartupHost& host,
                  const std::string& executable, AppState* state);

// The end: the application's open files are closed unless start-up never
// got that far.
void ExitInstance(const AppState& state);

// What a failed load of the application says: for a program that carries
// no application, that and how one is packed behind it; else the error text
// of the code.
std::string LoadErrorText(const EngineFacade& engine, ErrCode code, const std::string& executable);

// The full path of a file relative to the executable's folder when it
// exists.
std::optional<std::string> FindHelpFile(const std::string& executable, const std::string& relative);
// The address the browser opens for a file: "file://" and the path, each
// byte outside the unreserved characters and '/' percent-encoded.
std::string FileUri(const std::string& path);

}  // namespace vke
