// Loading the source text of a library or of a function through the hook
// records that serve sources, with "include" expansion, and finding the
// source of a function-table entry.
#pragma once

#include "engine/context.hpp"

namespace vke {

// "+readlib" and "+readfn" handlers: write the source named `name` (looked
// for in `folder`, or wherever the hook looks when null) into the buffer and
// its length; kErrFileNotFound when the source is not one of theirs.
using ReadSourceHookFn = ErrCode (*)(EngineContext* ctx, const char* name, const char* folder,
                                     uintptr_t option, char* buffer, int32_t capacity,
                                     int32_t* length);
// "+convertcharset" handler: converts a loaded text in place; kErrFileNotFound when it
// leaves the text to the next hook.
using ConvertCharsetHookFn = ErrCode (*)(EngineContext* ctx, char* text, int32_t capacity,
                                         int32_t* length, uintptr_t option);

// The include depth with which library sources are loaded.
inline constexpr int32_t kSourceIncludeDepth = 4;

// Loads the source of a library (asLibrary) or of a function into the buffer:
// asks the hooks in registry order, each with every folder of searchFolders
// (terminated strings ended by an empty one; null for none); ends the text
// with a line end, drops what the context's prefilter skips, converts the
// character set when asked, and replaces each "include name" and
// "includeifexists name" statement by the named source (loaded the same way,
// depth - 1; no expansion for a negative depth). Errors: kErrLibNotFound (library) or
// kErrSrcNotFound not found, kErrIncludeSyntax bad include, kErrIncludeDepth depth
// exhausted, kErrNameTooLong name too long, kErrDataOverflow no room, or a hook's own error.
ErrCode LoadLibrarySource(EngineContext* ctx, const char* name, int32_t length,
                          const char* searchFolders, bool asLibrary, char* buffer, int32_t capacity,
                          int32_t* outLength, int32_t depth, bool convertCharset);
// The folder of library entry `entry` as a one-folder list (the form
// LoadLibrarySource takes) at the end of the buffer, whose capacity shrinks
// by its size; null when the entry has no folder. 3 when it does not fit.
ErrCode PlaceLibraryFolder(EngineContext* ctx, int32_t entry, char* buffer, int32_t* capacity,
                           const char** folders);
// Loads the source of function-table entry `index` and moves its definition
// to the buffer's start, giving its first line: the library's source (from
// the library's folder) scanned for the definition of the same name and
// qualifier, or the function's own source. kErrUndefFunOrVar for an index that is not a
// function, kErrSrcNotFound when the source holds no such definition.
ErrCode FindFunctionSource(EngineContext* ctx, int32_t index, char* buffer, int32_t capacity,
                           int32_t* outLength, int32_t* outLine);

}  // namespace vke
