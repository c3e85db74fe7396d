// Extension libraries: the loader that finds shared libraries in a folder
// (or takes one file), asks each for its natives through the current or the
// old-style interface (include/vke_extension.h) and registers their tables
// in front of the engine's own, and the call of an old-style function with
// its callback table.
#pragma once

#include <cstdint>
#include <string>

#include "engine/context.hpp"
#include "include/vke_extension.h"

namespace vke {

// Libraries the process keeps at most, per interface.
inline constexpr int kExtensionSlots = 64;
// Records made from old-style libraries, headers and closing records
// included.
inline constexpr int kOldStyleRecordRoom = 256;
// The host data the runtime and the runner hand every extension they install.
inline constexpr intptr_t kExtensionHostData = 97;
// The longest path of a library the loader takes, in bytes.
inline constexpr size_t kMaxExtensionPath = 510;

// Called with each library's path after it was loaded.
using ExtensionLoadedFn = void (*)(const char* path, uintptr_t argument);

// Loads the libraries of a folder (the ".so" files, in name order, while
// fewer than kExtensionSlots current-interface libraries are loaded), or
// with `single` the one library `folder` names. A null folder is "VKEExt"
// beside the executable; a relative one is taken from the executable's
// folder. A filter (filterLength > 0) loads only the library whose file
// name starts with it, compared without case, and ends or goes on with
// ".". The records of the old-style libraries loaded are registered as one
// table in front. 0, or with `single` what LoadExtension gives.
ErrCode LoadExtensions(EngineContext* ctx, intptr_t hostData, const char* folder, bool single,
                       const char* filter, int32_t filterLength, ExtensionLoadedFn loaded,
                       uintptr_t loadedArgument);
// Loads one library by its path: 0 when loaded or skipped by the filter;
// kErrInit when it cannot be opened, offers neither interface, its path is
// longer than kMaxExtensionPath or the slots of its interface are used up
// (a refused library is closed again and nothing is registered). Old-style
// records are only added to the run that LoadExtensions registers.
ErrCode LoadExtension(EngineContext* ctx, intptr_t hostData, const std::string& path,
                      const char* filter, int32_t filterLength, ExtensionLoadedFn loaded,
                      uintptr_t loadedArgument);

// The native of every record made from an old-style record: calls the
// function its option word holds through CallExtensionFunction.
ErrCode CallOldStyleExtensionFn(EngineContext* ctx, int32_t nargin, int32_t nargout,
                                uintptr_t option);
// Runs an old-style function with a freshly filled callback table and
// settles the stack: on success the first nargout outputs stay in place of
// the inputs, the first on top (kErrTooManyArgout when fewer were pushed); a string
// output left open is closed first. On failure the code the callbacks stored, else 11.
ErrCode CallExtensionFunction(EngineContext* ctx, VkeOldStyleFn fn, int32_t nargin,
                              int32_t nargout);
// A callback table for the context, no call running.
void FillExtensionCallbackTable(EngineContext* ctx, VkeExtCallbacks* table);

// What the process has loaded so far.
struct ExtensionCounts {
  int currentLibraries;
  int oldStyleLibraries;
  int oldStyleRecords;
};
ExtensionCounts CountLoadedExtensions();

}  // namespace vke
