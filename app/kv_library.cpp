// Defining and compiling the library of a KV file and the libraries a KV
// file embeds.
#include "app/kv_library.hpp"

#include <cstring>

#include "compiler/compile.hpp"
#include "engine/code/function_table.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The prefix and the file name up to its first "."; false when that is no
// library name.
bool PrefixedLibraryName(std::string_view prefix, std::string_view fileName, char* out,
                         int32_t capacity) {
  const std::string_view base = fileName.substr(0, fileName.find('.'));
  const auto length = static_cast<int32_t>(prefix.size() + base.size());
  if (base.empty() || length > kMaxLibraryName || length >= capacity) return false;
  for (char c : base)
    if (!IsNameChar(c)) return false;
  std::memcpy(out, prefix.data(), prefix.size());
  std::memcpy(out + prefix.size(), base.data(), base.size());
  out[length] = 0;
  return true;
}

}  // namespace

bool KVLibraryName(std::string_view fileName, char* out, int32_t capacity) {
  return PrefixedLibraryName(kKVLibraryPrefix, fileName, out, capacity);
}

bool EmbeddedLibraryName(std::string_view path, char* out, int32_t capacity) {
  const size_t slash = path.find_last_of('/');
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return PrefixedLibraryName("", file, out, capacity) &&
         std::strncmp(out, kKVLibraryPrefix, sizeof kKVLibraryPrefix - 1) != 0;
}

ErrCode DefineTextLibrary(EngineContext* ctx, const char* name, const char* text, int32_t length,
                          int32_t* entry) {
  if (ErrCode e = FindLibraryEntry(ctx, name, static_cast<int32_t>(std::strlen(name)), true, entry))
    return e;
  SkipByteOrderMark(ctx, &text, &length);
  // The libraries the text uses are loaded first (through the "+readlib"
  // hooks), so that its functions compile against theirs.
  if (ErrCode e = LoadLibraryDefinitions(ctx, *entry, text, length, nullptr, 0)) return e;
  const ErrCode e = DefineSourceFunctions(ctx, text, length, *entry);
  return e == kErrFunNotFound ? ErrCode{kOk} : e;
}

ErrCode DefineKVLibrary(EngineContext* ctx, std::string_view fileName, const char* text,
                        int32_t length, int32_t* entry) {
  char name[kMaxLibraryName + 1];
  if (!KVLibraryName(fileName, name, sizeof name)) return kErrBadLibName;
  return DefineTextLibrary(ctx, name, text, length, entry);
}

}  // namespace vke
