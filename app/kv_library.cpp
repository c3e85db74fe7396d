// Defining and compiling the library of a KV file.
#include "app/kv_library.hpp"

#include <cstring>

#include "bytecode/function_table.hpp"
#include "compiler/compile.hpp"
#include "engine/text/text.hpp"

namespace vke {

namespace {

constexpr int32_t kMaxLibraryName = 32;

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

bool KVLibraryName(std::string_view fileName, char* out, int32_t capacity) {
  const std::string_view base = fileName.substr(0, fileName.find('.'));
  const int32_t prefix = sizeof kKVLibraryPrefix - 1;
  const auto length = static_cast<int32_t>(base.size()) + prefix;
  if (base.empty() || length > kMaxLibraryName || length >= capacity) return false;
  for (char c : base)
    if (!IsNameChar(c)) return false;
  std::memcpy(out, kKVLibraryPrefix, prefix);
  std::memcpy(out + prefix, base.data(), base.size());
  out[length] = 0;
  return true;
}

ErrCode DefineKVLibrary(EngineContext* ctx, std::string_view fileName, const char* text,
                        int32_t length, int32_t* entry) {
  char name[kMaxLibraryName + 1];
  if (!KVLibraryName(fileName, name, sizeof name)) return kErrBadLibName;
  if (ErrCode e = FindLibraryEntry(ctx, name, static_cast<int32_t>(std::strlen(name)), true, entry))
    return e;
  SkipByteOrderMark(ctx, &text, &length);
  if (ErrCode e = ProcessUseStatements(ctx, *entry, text, length, nullptr, 0, false)) return e;
  const ErrCode e = DefineSourceFunctions(ctx, text, length, *entry);
  return e == kErrFunNotFound ? ErrCode{kOk} : e;
}

}  // namespace vke
