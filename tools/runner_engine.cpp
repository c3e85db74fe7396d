// The runner's engine and the hooks of its own table.
#include "tools/runner_engine.hpp"

#include <unistd.h>

#include <cstring>

#include "app/runtime_native_table.hpp"
#include "app/runtime_tables.hpp"
#include "compiler/extensions/extension_loader.hpp"
#include "compiler/library_source.hpp"
#include "compiler/tool_natives.hpp"
#include "engine/engine.hpp"
#include "engine/files/fd.hpp"
#include "engine/heap_pages.hpp"
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/registry.hpp"
#include "platform/memory_pages.hpp"
#include "tools/disk_file.hpp"
#include "tools/runner_host.hpp"

namespace vke::runner {

namespace {

constexpr int kLineFeed = 1;  // line-end mode of the "+write" record

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
  // Only a regular file is read: a named pipe of the name would wait for a
  // writer, a device never end.
  for (const std::string& f : folders) {
    std::string text;
    std::string path = f.empty() ? file : f + (f.back() == '/' ? "" : "/") + file;
    if (!ReadRegularDiskFile(path, &text)) continue;
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

}  // namespace

bool CreateRunnerEngine(RunnerArea* area, const EngineSetup& setup, EngineContext** out) {
  g_folders = setup.folders;
  EngineContext* ctx = nullptr;
  if (CreateEngine(area->base(), area->size(), &ctx) != kOk) return false;
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
  RegisterLibrary(ctx, setup.lapack ? RuntimeNativeTable() : noLapack.data(), true);
  SetContextFlag(ctx, 1);
  SetCompileOptions(ctx, setup.level, 0);
  ResetEngine(ctx);
  SetTextEncoding(ctx, 'u');
  RegisterLibrary(ctx, table, true);
  InstallHostServices(ctx);
  for (const std::string& folder : setup.extensionFolders)
    LoadExtensions(ctx, kExtensionHostData, folder.c_str(), false, nullptr, 0, nullptr, 0);
  *out = ctx;
  return true;
}

}  // namespace vke::runner
