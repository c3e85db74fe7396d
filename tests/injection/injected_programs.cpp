// The runner's and the packing tool's ways of running programs, inside the
// driver's child, and the final state each writes.
#include "tests/injection/injected_programs.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/undo_buffer.hpp"
#include "engine/files/fd.hpp"
#include "engine/room_requests.hpp"
#include "engine/text/dump.hpp"
#include "engine/threads/threads.hpp"
#include "tools/disk_file.hpp"
#include "tools/kvpack/check.hpp"
#include "tools/kvpack/image_io.hpp"
#include "tools/kvpack/tool_host.hpp"
#include "tools/runner_area.hpp"
#include "tools/runner_engine.hpp"
#include "tools/runner_host.hpp"
#include "tools/runner_session.hpp"

namespace vke::test {

namespace {

// The runner's ceiling and first size: vke's, for a machine of 4 GiB and
// more.
constexpr uint64_t kCeilingBytes = uint64_t{4} << 30;
constexpr uint32_t kStartBytes = 1u << 30;

namespace fs = std::filesystem;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The runner as vke's command line sets it up.
struct RunnerSetup {
  runner::EngineSetup engine;
  uint64_t ceiling = kCeilingBytes;
  uint32_t start = kStartBytes;
  bool ceilingGiven = false;
  bool interactive = false;
  std::string dataFolder;
  bool valid = true;
};

// The options as vke takes them; folders relative to `base`.
void ParseOptions(const std::string& text, const std::string& base, RunnerSetup* s) {
  std::istringstream words(text);
  auto folder = [&](const std::string& f) { return fs::absolute(fs::path(base) / f).string(); };
  for (std::string w; words >> w;) {
    std::string value;
    const bool takesValue = w == "-m" || w == "-O" || w == "-L" || w == "-x";
    if (takesValue && !(words >> value)) {
      s->valid = false;
      return;
    }
    if (w == "-m") {
      // A quarter of the ceiling to start with, at most vke's first size.
      s->valid = s->valid && ParseAreaSize(value.c_str(), &s->ceiling) && s->ceiling >= (1u << 20);
      s->ceilingGiven = true;
      s->start = static_cast<uint32_t>(std::min<uint64_t>(s->ceiling / 4, kStartBytes));
    } else if (w == "-O") {
      s->valid = s->valid && runner::ParseOptimisationLevel(value.c_str(), &s->engine.level);
    } else if (w == "--no-lapack") {
      s->engine.lapack = false;
    } else if (w == "-L") {
      s->engine.folders.push_back(folder(value));
    } else if (w == "-x") {
      s->engine.extensionFolders.push_back(folder(value));
    } else if (w == "-i") {
      s->interactive = true;
    } else {
      s->valid = false;
    }
  }
}

// The setup of a script: the options of its first line "%! ..." and the
// setting's (given relative to the working folder of the driver).
RunnerSetup SetupOf(const std::string& script, const ProgramSetting& setting) {
  RunnerSetup s;
  std::ifstream in(script);
  std::string first;
  if (!script.empty() && std::getline(in, first) && first.compare(0, 3, "%! ") == 0)
    ParseOptions(first.substr(3), fs::current_path().string(), &s);
  ParseOptions(setting.options, fs::current_path().string(), &s);
  if (!setting.dataFolder.empty()) s.dataFolder = fs::absolute(setting.dataFolder).string();
  return s;
}

// The data folder's files, copied into the run's working folder.
bool CopyDataFiles(const std::string& folder) {
  if (folder.empty()) return true;
  std::error_code ec;
  fs::copy(folder, ".", fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  return !ec;
}

// The final state goes behind the program's own output, the requests no
// longer watched.
void MarkFinalState() {
  StopWatchingRoomRequests();
  std::fflush(stdout);
  std::fflush(stderr);
  const ssize_t ignored = ::write(STDOUT_FILENO, kStateMark, sizeof kStateMark - 1);
  (void)ignored;
}

int RunText(const std::string& text, const std::string& folder, RunnerSetup setup) {
  if (!setup.valid) {
    std::fprintf(stderr, "options the runner does not take\n");
    return 2;
  }
  if (!CopyDataFiles(setup.dataFolder)) return 2;
  setup.engine.folders.insert(setup.engine.folders.begin(), folder);
  RunnerArea area;
  area.SetCeilingGiven(setup.ceilingGiven);
  EngineContext* ctx = nullptr;
  if (!area.Reserve(setup.ceiling, setup.start) ||
      !runner::CreateRunnerEngine(&area, setup.engine, &ctx))
    return 1;
  int status;
  if (setup.interactive) {
    // The text as command lines, read from a pipe as vke -i reads them.
    int ends[2];
    if (::pipe(ends) != 0) return 1;
    if (::fork() == 0) {
      ::close(ends[0]);
      const ssize_t ignored = ::write(ends[1], text.data(), text.size());
      (void)ignored;
      _exit(0);
    }
    ::close(ends[1]);
    status = runner::RunCommandLines(&area, ctx, ends[0]);
    ::close(ends[0]);
    ::wait(nullptr);
  } else {
    const ErrCode e = RunGrowing(&area, ctx, text.data(), static_cast<int32_t>(text.size()));
    status = runner::FinishRun(ctx, e);
  }
  MarkFinalState();
  // Buffered: the listing of a large array is written in blocks, not a line at a time.
  ListVariablesForDebugger(ctx, kFdOut, true);
  return status;
}

int RunScript(const std::string& path, const RunnerSetup& setup) {
  std::string text;
  return ReadDiskFile(path, &text) ? RunText(text, FolderOf(path), setup) : 2;
}

uint64_t Fnv(const uint8_t* bytes, uint64_t n) {
  uint64_t h = 14695981039346656037ull;
  for (uint64_t i = 0; i < n; i++) h = (h ^ bytes[i]) * 1099511628211ull;
  return h;
}

// Every version of every variable of the instance's undo set, oldest first,
// as units and a hash of the stored bytes; the current version is marked.
void WriteUndoHistory(KVContextBlock* block, int32_t instance) {
  void* undo = block->UndoArea();
  const int32_t current = UndoSetCurrentVersion(undo, instance);
  int32_t newest = current;
  while (UndoSetStepForward(undo, instance) == kOk) newest++;
  std::vector<int32_t> variables;
  for (int32_t id; GetUndoSetVariableId(undo, instance, static_cast<int32_t>(variables.size()),
                                        false, &id) == kOk;)
    variables.push_back(id);
  std::printf("undo: version %d of %d\n", current, newest + 1);
  for (int32_t v = 0; v <= newest; v++) {
    for (int32_t id : variables) {
      uint32_t units = 0;
      void* data = nullptr;
      const ErrCode e = GetUndoValue(undo, instance, newest - v, id, &units, &data);
      std::printf("  %d %d: ", v, id);
      if (e)
        std::printf("code %d\n", e);
      else if (!data)
        std::printf("%s\n", HasUndoValue(undo, instance, newest - v, id) ? "no data" : "none");
      else
        std::printf(
            "%u units %016llx\n", units,
            static_cast<unsigned long long>(Fnv(static_cast<uint8_t*>(data), 8ull * units)));
    }
  }
}

int RunCheck(const std::string& image, const std::string& script, const std::string& data) {
  std::string text;
  if (!ReadDiskFile(script, &text) || !CopyDataFiles(data)) return 2;
  kvpack::ToolHost host;
  if (host.Create()) return 1;
  std::string message;
  if (!kvpack::LoadImage(&host, image, &message) ||
      !kvpack::RunCheckScript(&host, text, &message)) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", message.c_str());
    MarkFinalState();
    return 1;
  }
  if (const int32_t left = CountListedThreads(host.ctx()))
    std::fprintf(stderr, "kvpack: the script ended with %d threads still running\n", left);
  MarkFinalState();
  WriteUndoHistory(host.block(), 0);
  std::fflush(stdout);
  return 0;
}

}  // namespace

Program ScriptProgram(const std::string& path, const ProgramSetting& setting) {
  const size_t slash = path.find_last_of('/');
  const RunnerSetup setup = SetupOf(path, setting);
  return {path.substr(slash == std::string::npos ? 0 : slash + 1),
          [path, setup] { return RunScript(path, setup); }};
}

Program TextProgram(const std::string& name, const std::string& text,
                    const ProgramSetting& setting) {
  const RunnerSetup setup = SetupOf("", setting);
  return {name, [text, setup] { return RunText(text, ".", setup); }};
}

Program CheckProgram(const std::string& name, const std::string& image, const std::string& script,
                     const ProgramSetting& setting) {
  const std::string data =
      setting.dataFolder.empty() ? "" : fs::absolute(setting.dataFolder).string();
  return {name, [image, script, data] { return RunCheck(image, script, data); }};
}

bool PackCheckApplication(const std::string& kvpack, const std::string& script,
                          const std::string& image, std::string* message,
                          const std::string& application) {
  const std::string folder = FolderOf(script);
  std::string name = script.substr(folder.size() + 1);
  name = name.substr(0, name.find('.'));
  std::string description = folder + "/" + name + ".kvd";
  std::ifstream in(script);
  std::string first;
  const std::string tag = "# app:";
  if (!application.empty()) {
    description = application;
  } else if (std::getline(in, first) && first.compare(0, tag.size(), tag) == 0) {
    const size_t at = first.find_first_not_of(' ', tag.size());
    description = folder + "/" + first.substr(at == std::string::npos ? tag.size() : at);
  }
  const std::string command = kvpack + " --bare -o '" + image + "' '" + description + "' 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[4096];
  size_t n;
  message->clear();
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) message->append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace vke::test
