// Finding functions by name within a library's scope and its use list:
// lookups over the code area alone.
#include "engine/code/function_table.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/text/name_chars.hpp"

namespace vke {

namespace {

constexpr uint16_t kUnusedPlace = 0xFFFF;

// The first entry of `candidate` that matches, -1 when none.
int32_t MatchInLibrary(EngineContext* ctx, int32_t nameId, int32_t libraryId, int32_t candidate,
                       bool privateVisible) {
  FunctionTableEntry* entries = FunctionEntries(ctx);
  for (uint32_t i = 1; i < ctx->funcCount; i++) {
    const FunctionTableEntry& e = entries[i];
    if (e.nameId != nameId || (libraryId && e.libraryId != libraryId)) continue;
    if (static_cast<int32_t>(e.info & kEntrySourceMask) != candidate) continue;
    if ((e.info & kEntryPrivate) && !privateVisible) continue;
    return static_cast<int32_t>(i);
  }
  return -1;
}

// The id of the leading name part of text; 0 when it was never interned.
int32_t LeadingNameId(EngineContext* ctx, const char* text, int32_t length) {
  return FindName(ctx, text, NameSpan(text, length, 0));
}

}  // namespace

int32_t FindFunction(EngineContext* ctx, const char* name, int32_t length, const char* library,
                     int32_t libraryLength, int32_t scope, bool useScopeList, int32_t* libraryId) {
  int32_t nameId = LeadingNameId(ctx, name, length);
  if (!nameId) return -1;
  int32_t wantedLibrary = 0;
  if (library && libraryLength > 0) {
    wantedLibrary = LeadingNameId(ctx, library, libraryLength);
    if (!wantedLibrary) return -1;
  }
  bool showPrivate = ctx->showPrivate != 0;
  int32_t found = MatchInLibrary(ctx, nameId, wantedLibrary, scope, true);
  int32_t used = 0;
  const uint16_t* list = useScopeList ? GetLibraryUseList(ctx, scope, &used) : nullptr;
  // The list lives in the code area, which nothing here changes.
  for (int32_t k = used - 1; found < 0 && k >= 0; k--) {
    if (list[k] == kUnusedPlace) continue;
    int32_t candidate = FindLibraryEntryById(ctx, static_cast<int16_t>(list[k]));
    if (candidate >= 0)
      found =
          MatchInLibrary(ctx, nameId, wantedLibrary, candidate, candidate == scope || showPrivate);
  }
  if (found >= 0 && libraryId) *libraryId = FunctionEntries(ctx)[found].libraryId;
  return found;
}

int32_t FindFunctionQualified(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                              ErrCode* error) {
  if (error) *error = kOk;
  const char* colon = static_cast<const char*>(std::memchr(name, ':', length > 0 ? length : 0));
  if (!colon) return FindFunction(ctx, name, length, nullptr, 0, scope, true, nullptr);
  int32_t split = static_cast<int32_t>(colon - name);
  if (split + 1 >= length || colon[1] != ':') {
    if (error) *error = kErrBadArg;
    return -1;
  }
  return FindFunction(ctx, colon + 2, length - split - 2, name, split, scope, true, nullptr);
}

int32_t FindNamedFunction(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                          ErrCode* error) {
  const int32_t found = FindFunctionQualified(ctx, name, length, scope, error);
  const char* colon = static_cast<const char*>(std::memchr(name, ':', length > 0 ? length : 0));
  if (found >= 0 || !colon || (error && *error)) return found;
  // "lib::name" of a function that lib's source defines without a qualifier.
  const int32_t split = static_cast<int32_t>(colon - name);
  if (split + 2 >= length || colon[1] != ':') return -1;
  const int32_t library = FindLibraryEntryById(ctx, LeadingNameId(ctx, name, split));
  if (library < 0) return -1;
  return FindFunction(ctx, colon + 2, length - split - 2, nullptr, 0, library, false, nullptr);
}

}  // namespace vke
