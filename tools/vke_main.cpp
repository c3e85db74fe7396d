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
// folder. The extension libraries of each -x folder (a relative one is taken
// from the current folder) are loaded last, in front of everything else. The
// text runs as one command line with the sliced loop, sharing the engine with
// the threads it starts, until it finishes (tools/runner_host.hpp); with -i
// every line of standard input (or the lines of a block or a definition) is
// a command line of its own, lines typed after the debugger has stopped are
// commands at the stop, and Ctrl-C at the prompt cancels the command being
// typed (tools/runner_session.hpp). The area
// starts at a quarter of -m SIZE (at most 1 GiB) and grows whenever an
// instruction runs out of room, up to -m SIZE (default three quarters of the
// physical memory, at most 4 GiB; see runner_area.hpp). Exit
// status 0 when it finished, 1 after an error (printed as the engine prints
// it), 2 for a bad command line, 130 after Ctrl-C; with -i 0 once the
// input has ended, 130 after a second Ctrl-C within a second.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/runtime_native_table.hpp"
#include "app/runtime_tables.hpp"
#include "compiler/compile.hpp"
#include "compiler/extensions/extension_loader.hpp"
#include "compiler/library_source.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/files/fd.hpp"
#include "engine/frames/calls.hpp"
#include "engine/heap_pages.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "platform/memory_pages.hpp"
#include "tools/disk_file.hpp"
#include "tools/runner_area.hpp"
#include "tools/runner_host.hpp"
#include "tools/runner_session.hpp"

namespace {

using namespace vke;

constexpr uint32_t kAreaBytes = 1u << 30;     // the area at start at most (backed as used)
constexpr uint64_t kAreaMinBytes = 1u << 20;  // the smallest ceiling -m takes
constexpr int kLineFeed = 1;                  // line-end mode of the "+write" record

std::vector<std::string> g_folders;  // where libraries are looked for, in order

ErrCode WriteHook(EngineContext*, int32_t fd, const char* bytes, int32_t n, uintptr_t) {
  if (fd != kFdOut && fd != kFdErr && fd != kFdHelpLinks) return kErrBadFileID;
  int out = fd == kFdErr ? STDERR_FILENO : STDOUT_FILENO;
  for (int32_t done = 0; done < n;) {
    ssize_t k = ::write(out, bytes + done, static_cast<size_t>(n - done));
    if (k <= 0) return kErrIoErr;
    done += static_cast<int32_t>(k);
  }
  return kOk;
}

ErrCode ReadLibraryHook(EngineContext*, const char* name, const char* folder, uintptr_t,
                        char* buffer, int32_t capacity, int32_t* length) {
  std::vector<std::string> folders;
  if (folder && *folder) folders.push_back(folder);
  folders.insert(folders.end(), g_folders.begin(), g_folders.end());
  // A name without an extension names a library's source.
  const std::string file = std::strchr(name, '.') ? name : std::string(name) + ".vkl";
  for (const std::string& f : folders) {
    std::string text;
    std::string path = f.empty() ? file : f + (f.back() == '/' ? "" : "/") + file;
    if (!ReadDiskFile(path, &text)) continue;
    if (text.size() > static_cast<size_t>(capacity)) return kErrDataOverflow;
    std::memcpy(buffer, text.data(), text.size());
    *length = static_cast<int32_t>(text.size());
    return kOk;
  }
  return kErrFileNotFound;
}

// The run-time table without the records of the "!lapack" library.
std::vector<NativeFunctionRecord> WithoutLapack() {
  std::vector<NativeFunctionRecord> table;
  bool lapack = false;
  for (const NativeFunctionRecord* r = RuntimeNativeTable();; r++) {
    if (r->IsHeader()) lapack = std::strcmp(r->name, "!lapack") == 0;
    if (!lapack) table.push_back(*r);
    if (r->IsEnd()) return table;
  }
}

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
  int32_t level = 4;
  uint64_t ceiling = DefaultAreaCeiling();
  std::string text, script;
  std::vector<std::string> extensionFolders;
  bool haveText = false, lapack = true, interactive = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if ((a == "-O" || a == "-L" || a == "-e" || a == "-m" || a == "-x") && i + 1 >= argc)
      return Usage();
    if (a == "-O") {
      if (!runner::ParseOptimisationLevel(argv[++i], &level)) return Usage();
    } else if (a == "-m") {
      if (!ParseAreaSize(argv[++i], &ceiling) || ceiling < kAreaMinBytes) return Usage();
    } else if (a == "--no-lapack") {
      lapack = false;
    } else if (a == "-L") {
      g_folders.push_back(argv[++i]);
    } else if (a == "-x") {
      extensionFolders.push_back(AbsolutePath(argv[++i]));
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
    g_folders.insert(g_folders.begin(), slash == std::string::npos ? "." : script.substr(0, slash));
  } else {
    g_folders.insert(g_folders.begin(), ".");
  }

  RunnerArea area;
  EngineContext* ctx = nullptr;
  // A quarter of the ceiling to start with, so that a small ceiling still
  // leaves room to grow.
  const uint64_t start = ceiling / 4 < kAreaBytes ? ceiling / 4 : kAreaBytes;
  if (!area.Reserve(ceiling, static_cast<uint32_t>(start)) ||
      CreateEngine(area.base(), area.size(), &ctx) != kOk)
    return 1;
  // The area is the runner's own mapping: large values may move by pages.
  SetPageSwap(ctx, &SwapMemoryPages);
  static const NativeFunctionRecord table[] = {
      MakeRecord("@vke"),
      MakeRecord("+write", &WriteHook, kLineFeed),
      MakeRecord("+readlib", &ReadLibraryHook),
      MakeRecord(""),
  };
  PrepareRuntimeEngine(ctx);
  RegisterLibrary(ctx, HeadlessAppTable(), false);
  static const std::vector<NativeFunctionRecord> noLapack = WithoutLapack();
  RegisterLibrary(ctx, lapack ? RuntimeNativeTable() : noLapack.data(), true);
  SetContextFlag(ctx, 1);
  SetCompileOptions(ctx, level, 0);
  ResetEngine(ctx);
  SetTextEncoding(ctx, 'u');
  RegisterLibrary(ctx, table, true);
  runner::InstallHostServices(ctx);
  for (const std::string& folder : extensionFolders)
    LoadExtensions(ctx, kExtensionHostData, folder.c_str(), false, nullptr, 0, nullptr, 0);

  if (interactive) {
    const int status = runner::RunCommandLines(&area, ctx, STDIN_FILENO);
    std::fflush(stdout);
    return status;
  }
  const ErrCode e = RunGrowing(&area, ctx, text.data(), static_cast<int32_t>(text.size()));
  const int status = runner::FinishRun(ctx, e);
  std::fflush(stdout);
  return status;
}
