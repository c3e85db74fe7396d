// The name table and name resolution: names stored once, downward from the
// end of the code area, referred to by small negative ids that survive any
// move of the area; and the lookup of functions by name over the function
// table, within a library's scope and the libraries it uses.
#pragma once

#include "engine/context.hpp"

namespace vke {

inline constexpr int32_t kMaxNameTableBytes = 32767;
inline constexpr int32_t kMaxIdentifierLength = 32;

// Bytes free between the code fill position and the lowest stored name.
inline int64_t FreeCodeBytes(const EngineContext* ctx) {
  return int64_t{ctx->codeSize} * 2 + ctx->nameStart - int64_t{ctx->codeEnd} * 2;
}

// The id of a stored name, 0 when absent.
int32_t FindName(EngineContext* ctx, const char* text, int32_t length);
// The id of the name, stored first when new. kErrNullName for an empty name,
// kErrNameTooLong beyond maxLength (or 255), kErrSymbTableTooLarge when the table
// would pass 32,767 bytes, kErrCodeOverflow when
// the code area has no room; the table is unchanged on failure.
ErrCode InternName(EngineContext* ctx, const char* text, int32_t length, int32_t maxLength,
                   int32_t* id);
// The bytes and length of a stored name; null for an id that is not one.
const char* NameText(EngineContext* ctx, int32_t id, int32_t* length);

// The function-table index of the function named by the leading name part
// of name (letters, digits and "_"), -1 when none is visible. Candidates are
// the scope's library entry and, with useScopeList and a library block, the
// libraries of its use list from the most recently used; a library name
// restricts the match to functions qualified with it. Private functions are
// visible from their own library or when the context shows private ones.
int32_t FindFunction(EngineContext* ctx, const char* name, int32_t length, const char* library,
                     int32_t libraryLength, int32_t scope, bool useScopeList, int32_t* libraryId);
// FindFunction for "name" or "lib::name" from the scope's library and its use
// list; a single ":" sets *error to kErrBadArg and gives -1.
int32_t FindFunctionQualified(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                              ErrCode* error = nullptr);
// The function a name given to the language's tools (which, help, the
// debugger) stands for, seen from the scope: "name" from the scope's library
// and its use list; "lib::name" qualified with lib there or, when no such
// function is visible, defined in the source of library lib. -1 when none;
// a single ":" sets *error to kErrBadArg.
int32_t FindNamedFunction(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                          ErrCode* error = nullptr);
// The maximum input and output counts of the function value (a name, an
// inline function or a function reference) at the depth, names resolved in
// the scope.
ErrCode ResolveFunctionValue(EngineContext* ctx, int32_t depth, int32_t scope, int32_t* maxIn,
                             int32_t* maxOut);

}  // namespace vke
