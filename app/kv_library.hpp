// The library of a KV file: the functions of the application's source text,
// defined and compiled in the engine as the library "_KV_<base>" of the KV
// file "<base>.kv". The instance-start element's code word is the library's
// entry in the function table, so the handlers of the instance are called
// by name from that library and the libraries it uses.
#pragma once

#include <string_view>

#include "app/block.hpp"

namespace vke {

inline constexpr char kKVLibraryPrefix[] = "_KV_";
inline constexpr int32_t kMaxLibraryName = 32;

// "_KV_" and the file name up to its first "."; false when that is no
// library name (letters, digits and "_", at most 32 characters).
bool KVLibraryName(std::string_view fileName, char* out, int32_t capacity);

// The library an embedded library file defines: the file's name (after the
// last "/") up to its first "."; false when that is no library name or one
// of the KV files' own.
bool EmbeddedLibraryName(std::string_view path, char* out, int32_t capacity);

// Defines the library of that name (when it is new) and compiles every
// function of the text into it, after the text's "use" statements and the
// definitions of the libraries they name; the library's entry.
ErrCode DefineTextLibrary(EngineContext* ctx, const char* name, const char* text, int32_t length,
                          int32_t* entry);

// Defines the library (when it is new) and compiles every function of the
// text into it, after the text's "use" statements and the definitions of
// the libraries they name (kErrLibNotFound when one cannot be found); the library's
// entry. The engine's codes, with the error's line recorded.
ErrCode DefineKVLibrary(EngineContext* ctx, std::string_view fileName, const char* text,
                        int32_t length, int32_t* entry);

}  // namespace vke
