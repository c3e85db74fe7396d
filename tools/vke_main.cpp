// vke: runs VKE source without a window.
//
//   vke [-O N] [-m SIZE] [-L DIR]... [-x DIR]... [--no-lapack] FILE.vke
//   vke [-O N] [-m SIZE] [-L DIR]... [-x DIR]... [--no-lapack] -e TEXT
//   vke [-O N] [-m SIZE] [-L DIR]... [-x DIR]... [--no-lapack] -i
//
// The engine is created in one memory area with the runtime's tables in the
// runtime's order (the run-time table in front of the engine's part of the
// static table, without its "!lapack" library when --no-lapack asks, so that
// the engine's own natives of its names answer; of the application's part
// only the natives that need no figure, instance or window, behind the
// engine's part as in the runtime), feature byte set, optimisation level 4 unless
// -O gives another, with a table of its own in front: descriptors 1 and 4
// (help links) go to standard output and 2 to standard error (help, lookfor
// and the debugger's natives come with the run-time table), and libraries ("use name") and help
// files are read from name.vkl and name.hlp beside the script and in each -L
// folder (help files found nowhere else are those the program carries). The
// extension libraries of each -x folder (a relative one is taken from the
// current folder) are loaded last, in front of everything else. The
// text runs as one command line with the sliced loop, sharing the engine with
// the threads it starts, until it finishes (tools/runner_host.hpp); with -i
// every line of standard input (or the lines of a block or a definition) is
// a command line of its own, lines typed after the debugger has stopped are
// commands at the stop, quit ends the session, and Ctrl-C at the prompt
// cancels the command being typed (tools/runner_session.hpp). The area
// starts at a quarter of -m SIZE (at most 1 GiB) and grows whenever an
// instruction runs out of room, up to -m SIZE (default three quarters of the
// physical memory, at most 4 GiB; see runner_area.hpp). Exit
// status 0 when it finished, 1 after an error (printed as the engine prints
// it; a script's errors, compiled or run, in its text or in a function it
// defines, are placed by its file's name and their line in it, "(FILE,
// line N)", as are the calls that led there), 2 for a bad command line (an
// -L folder that is not there among them), 130 after
// Ctrl-C; with -i 0 once the input has ended, 130 after a second Ctrl-C
// within a second.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compiler/compile.hpp"
#include "engine/errors/errors.hpp"
#include "tools/disk_file.hpp"
#include "tools/runner_area.hpp"
#include "tools/runner_engine.hpp"
#include "tools/runner_host.hpp"
#include "tools/runner_session.hpp"

namespace {

using namespace vke;

constexpr uint32_t kAreaBytes = 1u << 30;     // the area at start at most (backed as used)
constexpr uint64_t kAreaMinBytes = 1u << 20;  // the smallest ceiling -m takes

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char* cwd = getcwd(nullptr, 0);
  const std::string absolute = std::string(cwd ? cwd : ".") + "/" + path;
  std::free(cwd);
  return absolute;
}

int Usage() {
  std::fprintf(stderr,
               "usage: vke [-O N] [-m SIZE] [-L DIR]... [-x DIR]... [--no-lapack] "
               "(FILE.vke | -e TEXT | -i)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  runner::EngineSetup setup;
  uint64_t ceiling = DefaultAreaCeiling();
  bool ceilingGiven = false;
  std::string text, script;
  bool haveText = false, interactive = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if ((a == "-O" || a == "-L" || a == "-e" || a == "-m" || a == "-x") && i + 1 >= argc)
      return Usage();
    if (a == "-O") {
      if (!runner::ParseOptimisationLevel(argv[++i], &setup.level)) return Usage();
    } else if (a == "-m") {
      if (!ParseAreaSize(argv[++i], &ceiling) || ceiling < kAreaMinBytes) return Usage();
      ceilingGiven = true;
    } else if (a == "--no-lapack") {
      setup.lapack = false;
    } else if (a == "-L") {
      // A folder that is not there would only make "use" fail later with
      // nothing said of the command line.
      struct stat folder;
      const bool there = ::stat(argv[++i], &folder) == 0;
      if (!there || !S_ISDIR(folder.st_mode)) {
        std::fprintf(stderr, "vke: -L %s: %s\n", argv[i],
                     there ? "not a folder" : DiskFileReason(errno).c_str());
        return 2;
      }
      setup.folders.push_back(argv[i]);
    } else if (a == "-x") {
      setup.extensionFolders.push_back(AbsolutePath(argv[++i]));
    } else if (a == "-e" && !interactive) {
      text = argv[++i];
      haveText = true;
    } else if (a == "-i" && !haveText && script.empty()) {
      interactive = haveText = true;
    } else if (!a.empty() && a[0] != '-' && script.empty() && !haveText) {
      script = a;
    } else {
      return Usage();
    }
  }
  if (!haveText) {
    if (script.empty()) return Usage();
    if (!ReadDiskFile(script, &text)) {
      std::fprintf(stderr, "vke: cannot read %s: %s\n", script.c_str(),
                   DiskFileReason(errno).c_str());
      return 2;
    }
    size_t slash = script.find_last_of('/');
    setup.folders.insert(setup.folders.begin(),
                         slash == std::string::npos ? "." : script.substr(0, slash));
  } else {
    setup.folders.insert(setup.folders.begin(), ".");
  }

  RunnerArea area;
  area.SetCeilingGiven(ceilingGiven);
  EngineContext* ctx = nullptr;
  // A quarter of the ceiling to start with, so that a small ceiling still
  // leaves room to grow.
  const uint64_t start = ceiling / 4 < kAreaBytes ? ceiling / 4 : kAreaBytes;
  if (!area.Reserve(ceiling, static_cast<uint32_t>(start)) ||
      !runner::CreateRunnerEngine(&area, setup, &ctx))
    return 1;

  if (interactive) {
    const int status = runner::RunCommandLines(&area, ctx, STDIN_FILENO);
    std::fflush(stdout);
    return status;
  }
  // A script's errors, compiled or run, name its file and their line in it.
  const std::string file = script.substr(script.find_last_of('/') + 1);
  if (!script.empty())
    SetSourceFile(ctx, file.c_str(), text.data(), static_cast<int32_t>(text.size()), 1, true);
  const ErrCode e = RunGrowing(&area, ctx, text.data(), static_cast<int32_t>(text.size()));
  const int status = runner::FinishRun(ctx, e);
  std::fflush(stdout);
  return status;
}
