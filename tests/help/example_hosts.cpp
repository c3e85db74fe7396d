// The runner's engine and a packed application for the help tests.
#include "tests/help/example_hosts.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/draw_cycle.hpp"
#include "tools/kvpack/description.hpp"
#include "tools/kvpack/pack.hpp"
#include "tools/kvpack/tool_host.hpp"
#include "tools/runner_engine.hpp"

namespace vke::test {

namespace {

constexpr uint64_t kRunnerCeiling = uint64_t{1} << 30;
constexpr uint32_t kRunnerStart = 16u << 20;
constexpr int32_t kInstance = 0;

// The application: one figure whose draw handler is the text.
constexpr char kFigureApp[] =
    "source \"example.vke\"\n"
    "figure \"Example\"\n"
    "  draw example()\n";
constexpr char kHandlerHead[] = "function example()\n";

}  // namespace

RunnerEngine::RunnerEngine() {
  runner::EngineSetup setup;
  EXPECT_TRUE(area_.Reserve(kRunnerCeiling, kRunnerStart) &&
              runner::CreateRunnerEngine(&area_, setup, &ctx_));
}

ErrCode RunnerEngine::Run(const std::string& text, std::string* output) {
  if (!ctx_) return kErrInit;
  // The runner writes straight to the standard descriptors.
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const ErrCode e = RunGrowing(&area_, ctx_, text.data(), static_cast<int32_t>(text.size()));
  *output = ::testing::internal::GetCapturedStdout();
  *output += ::testing::internal::GetCapturedStderr();
  return e;
}

ErrCode RunInRunner(const std::string& text, std::string* output) {
  RunnerEngine runner;
  return runner.Run(text, output);
}

ErrCode RunInFigure(const std::string& text, std::string* output) {
  kvpack::ToolHost host;
  if (ErrCode e = host.Create()) return e;
  host.Collect(true);
  kvpack::AppDescription app;
  kvpack::PackError error;
  if (!kvpack::ParseDescription(kFigureApp, "example.kv", &app, &error.error)) {
    *output = kvpack::ErrorText(error.error);
    return error.error.code ? error.error.code : ErrCode{kErrInit};
  }
  const kvpack::FileReader read = [&](const std::string& path, std::string* source) {
    *source = kHandlerHead + text;
    return path.ends_with("example.vke");
  };
  if (!kvpack::PackApplication(&host, app, "example.kvd", read, &error)) {
    *output = kvpack::PackErrorText(error);
    return error.error.code ? error.error.code : ErrCode{kErrInit};
  }
  const ErrCode e = RunDrawHandlers(host.slot(), kInstance);
  *output = host.Take();
  return e;
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vke-help-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
  if (char* cwd = getcwd(nullptr, 0)) {
    previous_ = cwd;
    std::free(cwd);
  }
  EXPECT_FALSE(path_.empty());
  EXPECT_EQ(chdir(path_.c_str()), 0);
}

ScratchFolder::~ScratchFolder() {
  if (!previous_.empty() && chdir(previous_.c_str()) != 0) ADD_FAILURE() << previous_;
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace vke::test
