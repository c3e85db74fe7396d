// Loading sources and help files for help and lookfor, and the library of
// a native.
#include "compiler/help_files.hpp"

#include "builtins/builtin.hpp"
#include "compiler/library_source.hpp"
#include "compiler/tool_support.hpp"
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/code/operators.hpp"
#include "engine/registry/registry.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

constexpr int32_t kFileNameBytes = 40;  // a library's name, ".", the help extension

}  // namespace

TextRoom::TextRoom(EngineContext* ctx) : scratch_(ctx) {
  uint32_t freeBytes = 0;
  GetDataStackFree(ctx, &freeBytes, nullptr);
  uint64_t bytes = (freeBytes - freeBytes / 8) & ~uint64_t{7};
  if (bytes > INT32_MAX - 7) bytes = INT32_MAX - 7;
  uint32_t at;
  if (bytes == 0 || scratch_.Reserve(bytes, &at)) return;
  data_ = reinterpret_cast<char*>(ctx->Bytes() + at);
  capacity_ = static_cast<int32_t>(bytes);
}

ErrCode LoadLibraryText(EngineContext* ctx, const char* library, int32_t length, int32_t entry,
                        bool helpFile, char* buffer, int32_t capacity, int32_t* textLength) {
  char name[kFileNameBytes];
  int32_t n = 0;
  AppendBytes(name, &n, library, length, sizeof name);
  if (helpFile) {
    AppendBytes(name, &n, ".", 1, sizeof name);
    AppendCString(name, &n, ctx->helpExt, sizeof name);
  }
  const char* folders = nullptr;
  if (entry > 0 && PlaceLibraryFolder(ctx, entry, buffer, &capacity, &folders))
    return kErrDataOverflow;
  TolerantLookup quiet(ctx);
  // Help files are taken as they are written: they include nothing.
  const ErrCode e = LoadLibrarySource(ctx, name, n, folders, true, buffer, capacity, textLength,
                                      helpFile ? -1 : kSourceIncludeDepth, true);
  if (e == kOk) return kOk;
  quiet.Forget();
  return e == kErrDataOverflow ? e : kErrLibNotFound;
}

const char* LibraryOfNative(EngineContext* ctx, const char* name, int32_t length,
                            const char* wanted, int32_t wantedLength) {
  char key[sizeof NativeFunctionRecord::name];
  if (length > 0 && length < static_cast<int32_t>(sizeof key)) {
    std::memcpy(key, name, length);
    key[length] = 0;
    const NativeFunctionRecord* r = nullptr;
    while ((r = FindLibraryRecord(ctx, key, r, 0, nullptr))) {
      // A bare name is the function called without a library's value: the
      // methods of a value type (abs of quaternions) are not its help.
      if (!wanted && r->kind > 0) continue;
      // A native that stands before any library's header (path) is
      // documented with the engine's own.
      const char* library = GetRecordLibraryName(ctx, r);
      if (!library) library = kEngineLibrary;
      if (!wanted || StringsEqual(library, -1, wanted, wantedLength, false)) return library;
    }
  }
  if (wanted && !StringsEqual(kEngineLibrary, -1, wanted, wantedLength, false)) return nullptr;
  if (FindBuiltinRecord(name, length)) return kEngineLibrary;
  for (int32_t i = 0; i < kOperatorCount; i++)
    if (StringsEqual(kOperatorTable[i].chars, -1, name, length, false)) return kEngineLibrary;
  return nullptr;
}

}  // namespace vke
