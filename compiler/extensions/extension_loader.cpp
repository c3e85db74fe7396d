// The extension loader and the process-wide record of what it loaded. The
// registry is static and only grows: accepted libraries stay loaded with
// their slots used, and their tables stay registered; the shutdown entries
// are kept but never called.
#include "compiler/extensions/extension_loader.hpp"

#include <cstring>

#include "engine/errors/errors.hpp"
#include "engine/registry/registry.hpp"
#include "platform/shared_library.hpp"

namespace vke {

namespace {

struct CurrentSlot {
  const VkeNativeRecord* table;
  void* shutdown;
};
struct OldStyleSlot {
  const NativeFunctionRecord* header;
  void* shutdown;
};

struct ExtensionRegistry {
  CurrentSlot current[kExtensionSlots];
  int currentCount;
  OldStyleSlot oldStyle[kExtensionSlots];
  int oldStyleCount;
  NativeFunctionRecord records[kOldStyleRecordRoom];
  int recordCount;
};
ExtensionRegistry g_registry;

static_assert(sizeof(VkeNativeRecord) == sizeof(NativeFunctionRecord));

// The folder of the running executable, with its final "/".
std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string FromExecutableFolder(const std::string& path) {
  return !path.empty() && path[0] == '/' ? path : ExecutableFolder() + path;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the file name starts with the filter, without case, and then
// ends or goes on with ".".
bool MatchesFilter(const std::string& name, const char* filter, int32_t length) {
  if (name.size() < static_cast<size_t>(length)) return false;
  for (int32_t i = 0; i < length; i++)
    if (Lower(name[i]) != Lower(filter[i])) return false;
  return name.size() == static_cast<size_t>(length) || name[length] == '.';
}

// A record made from an old-style record, as long as one still fits
// before the place kept for the closing record.
bool AddRecord(const NativeFunctionRecord& record) {
  if (g_registry.recordCount + 1 >= kOldStyleRecordRoom) return false;
  g_registry.records[g_registry.recordCount++] = record;
  return true;
}

void InstallOldStyle(EngineContext* ctx, void* library, VkeExtOldInstallFn install,
                     const std::string& fileName) {
  VkeExtCallbacks table;
  FillExtensionCallbackTable(ctx, &table);
  const VkeOldStyleRecord* given = nullptr;
  const int32_t n = install(&table, &given);
  OldStyleSlot& slot = g_registry.oldStyle[g_registry.oldStyleCount++];
  slot.header = g_registry.records + g_registry.recordCount;
  if (n > 0 && given) {
    const std::string header = "@" + fileName.substr(0, fileName.find('.'));
    if (AddRecord(MakeRecord(header.c_str()))) {
      for (int32_t i = 0; i < n; i++) {
        const VkeOldStyleRecord& r = given[i];
        char name[sizeof r.name + 1] = {};
        std::memcpy(name, r.name, sizeof r.name);
        const bool typed = name[0] == '<';
        NativeFunctionRecord record =
            MakeRecord(name + typed, &CallOldStyleExtensionFn, r.minIn & 255, r.maxIn & 255,
                       r.minOut & 255, r.maxOut & 255, reinterpret_cast<uintptr_t>(r.function));
        record.kind = typed ? 1 : -1;
        if (!AddRecord(record)) break;
      }
    }
  }
  slot.shutdown = FindSharedSymbol(library, VKE_EXT_OLD_SHUTDOWN_FN);
}

}  // namespace

ErrCode LoadExtension(EngineContext* ctx, intptr_t hostData, const std::string& path,
                      const char* filter, int32_t filterLength, ExtensionLoadedFn loaded,
                      uintptr_t loadedArgument) {
  const size_t cut = path.rfind('/');
  const std::string fileName = cut == std::string::npos ? path : path.substr(cut + 1);
  if (filter && filterLength > 0 && !MatchesFilter(fileName, filter, filterLength)) return kOk;
  if (path.size() > kMaxExtensionPath) return kErrInit;
  void* library = OpenSharedLibrary(path.c_str());
  if (!library) return kErrInit;

  auto version = reinterpret_cast<VkeExtVersionFn>(FindSharedSymbol(library, VKE_EXT_VERSION_FN));
  auto install = reinterpret_cast<VkeExtInstallFn>(FindSharedSymbol(library, VKE_EXT_INSTALL_FN));
  auto installOld =
      reinterpret_cast<VkeExtOldInstallFn>(FindSharedSymbol(library, VKE_EXT_OLD_INSTALL_FN));
  if (version && install && version() == VKE_EXTENSIONS_VERSION) {
    if (g_registry.currentCount == kExtensionSlots) {
      CloseSharedLibrary(library);
      return kErrInit;
    }
    const VkeNativeRecord* table = nullptr;
    install(reinterpret_cast<VkeContext*>(ctx), hostData, &table);
    if (table) {
      const auto* records = reinterpret_cast<const NativeFunctionRecord*>(table);
      if (RegisterLibrary(ctx, records, true) == kOk) MarkLibraryForeign(ctx, records);
    }
    g_registry.current[g_registry.currentCount++] = {
        table, FindSharedSymbol(library, VKE_EXT_SHUTDOWN_FN)};
  } else if (installOld && g_registry.oldStyleCount < kExtensionSlots) {
    InstallOldStyle(ctx, library, installOld, fileName);
  } else {
    CloseSharedLibrary(library);
    return kErrInit;
  }
  if (loaded) loaded(path.c_str(), loadedArgument);
  return kOk;
}

ErrCode LoadExtensions(EngineContext* ctx, intptr_t hostData, const char* folder, bool single,
                       const char* filter, int32_t filterLength, ExtensionLoadedFn loaded,
                       uintptr_t loadedArgument) {
  const int firstRecord = g_registry.recordCount;
  ErrCode result = kOk;
  if (single) {
    result = LoadExtension(ctx, hostData, FromExecutableFolder(folder ? folder : ""), filter,
                           filterLength, loaded, loadedArgument);
  } else {
    std::string from = folder ? FromExecutableFolder(folder) : ExecutableFolder() + "VKEExt";
    if (!from.empty() && from.back() != '/') from += '/';
    for (const std::string& name : ListFolderFiles(from, ".so")) {
      if (g_registry.currentCount >= kExtensionSlots) break;
      LoadExtension(ctx, hostData, from + name, filter, filterLength, loaded, loadedArgument);
    }
  }
  if (g_registry.recordCount > firstRecord) {
    g_registry.records[g_registry.recordCount++] = NativeFunctionRecord{};
    if (RegisterLibrary(ctx, g_registry.records + firstRecord, true) == kOk)
      MarkLibraryForeign(ctx, g_registry.records + firstRecord);
  }
  return result;
}

ErrCode CallOldStyleExtensionFn(EngineContext* ctx, int32_t nargin, int32_t nargout,
                                uintptr_t option) {
  return CallExtensionFunction(ctx, reinterpret_cast<VkeOldStyleFn>(option), nargin, nargout);
}

ExtensionCounts CountLoadedExtensions() {
  return {g_registry.currentCount, g_registry.oldStyleCount, g_registry.recordCount};
}

}  // namespace vke
