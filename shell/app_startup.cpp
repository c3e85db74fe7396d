// The start-up and shutdown steps of the application object.
#include "shell/app_startup.hpp"

#include <filesystem>

#include "app/image.hpp"
#include "graphics/port.hpp"

namespace vke {

namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

bool InitInstance(const Preferences& preferences, AppStartupHost& host,
                  const std::string& executable, AppState* state) {
  state->starting = true;
  host.RegisterFileTypes();
  const StartupSettings& s = state->settings = ReadStartupSettings(preferences);
  SetBackgroundColor(s.bkColor);
  EngineFacade& engine = host.CreateContext(s);
  state->engine = &engine;
  const bool created = engine.Created();
  if (created) {
    engine.SetBreakTest(host.BreakTest(), 0);
    engine.SetCodeOptions(s.codeOption, s.discardAssert);
    engine.InstallHostClock();
    engine.SetInteractiveHighlight(static_cast<uint8_t>(s.interactiveHilight));
  }
  SetDrawingOption(s.thickLines != 0);
  if (created) {
    engine.SetNumberFormat({s.formatType, s.formatDigits, s.imagSymbol, s.formatLoose});
    host.RegisterRuntimeTable(engine);
  }
  engine.ClearOpenFiles();
  engine.SetPathSeparator('/');
  if (!host.CreateDocument()) return false;
  host.AcceptDroppedFiles();
  state->starting = false;
  state->helpFile = FindHelpFile(executable, kHelpFilePath);
  host.LoadEmbeddedApplication();
  return true;
}

std::string LoadErrorText(const EngineFacade& engine, ErrCode code, const std::string& executable) {
  if (!engine.Created() || FileCarriesImage(executable.c_str())) return engine.ErrorText(code);
  return "This program carries no application.\n"
         "An application is packed behind the runtime with\n"
         "    kvpack --runtime " +
         executable + " -o NAME APP.kvd";
}

void ExitInstance(const AppState& state) {
  if (!state.starting && state.engine) state.engine->CloseOpenFiles();
}

std::optional<std::string> FindHelpFile(const std::string& executable,
                                        const std::string& relative) {
  const size_t slash = executable.find_last_of('/');
  const std::string path =
      (slash == std::string::npos ? std::string(".") : executable.substr(0, slash)) + "/" +
      relative;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return path;
}

std::string FileUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    if (Unreserved(c)) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

}  // namespace vke
