// Native-function records: the layout through which every library (the
// engine's own, the application's, extensions) hands functions and hooks to
// the engine, and the registry entry that holds one registered table.
#pragma once

#include "engine/base.hpp"

namespace vke {

// An ordinary native function: inputs are the top nargin stack entries, the
// first deepest; a negative nargout means a call as a statement.
using NativeFn = ErrCode (*)(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

// Hook handlers of the descriptor layer.
using WriteHookFn = ErrCode (*)(EngineContext* ctx, int32_t fd, const char* bytes, int32_t length,
                                uintptr_t user);
using ReadHookFn = ErrCode (*)(EngineContext* ctx, int32_t fd, char* buffer, int32_t size,
                               int32_t* count, uintptr_t user);
using CloseHookFn = ErrCode (*)(EngineContext* ctx, int32_t fd, uintptr_t user);
using IoControlHookFn = ErrCode (*)(EngineContext* ctx, int32_t fd, int32_t code, intptr_t* word,
                                    uintptr_t user);
using BufferingHookFn = ErrCode (*)(EngineContext* ctx, int32_t fd, int32_t mode, uintptr_t user);
// "+onabort" and hooks reached through CallHookByName.
using SimpleHookFn = ErrCode (*)(EngineContext* ctx, uintptr_t argument, uintptr_t user);

// One record of a native table. The 32-bit layout was 48 bytes; pointers and
// the option word are 8 bytes here, which makes 56.
struct NativeFunctionRecord {
  // The handler; for "+errmsgtable" an ErrorTableRecord array. Not const, so
  // that it converts back to a function pointer on every compiler.
  void* function;
  uintptr_t option;  // passed to the function; 0 = the context's default user data
  int32_t kind;      // -127..127; nonzero ties the function to the library's value type
  char name[32];     // "@lib", "!lib", "+hook" or the function name; empty ends a table
  uint8_t minIn, maxIn, minOut, maxOut;

  // A maximum count with this bit set has no limit.
  static constexpr uint8_t kCountUnbounded = 64;

  bool IsEnd() const { return name[0] == 0; }
  bool IsHeader() const { return name[0] == '@' || name[0] == '!'; }
  bool IsHook() const { return name[0] == '+'; }
  bool AdmitsInputs(int32_t n) const {
    return n >= minIn && ((maxIn & kCountUnbounded) || n <= maxIn);
  }
};
static_assert(sizeof(NativeFunctionRecord) == 56);
static_assert(offsetof(NativeFunctionRecord, name) == 20);
static_assert(offsetof(NativeFunctionRecord, minIn) == 52);

// Builds one record of a static table (name cut to 31 characters).
NativeFunctionRecord MakeRecord(const char* name, const void* function = nullptr, int minIn = 0,
                                int maxIn = 0, int minOut = 0, int maxOut = 0, uintptr_t option = 0,
                                int32_t kind = 0);
template <typename F>
NativeFunctionRecord MakeRecord(const char* name, F* function, int minIn = 0, int maxIn = 0,
                                int minOut = 0, int maxOut = 0, uintptr_t option = 0,
                                int32_t kind = 0) {
  return MakeRecord(name, reinterpret_cast<const void*>(function), minIn, maxIn, minOut, maxOut,
                    option, kind);
}

// One registered table: a host pointer (tables never move) and its record
// count, with the flag byte set by EnableLibrary.
struct LibraryRegistryEntry {
  const NativeFunctionRecord* table;
  uint32_t count;
  uint8_t flag;
  // 1: a loaded extension's table. Its natives may run short of room with
  // their inputs gone, so a call keeps a copy of them (InvokeNative).
  uint8_t foreign;
  uint8_t pad[2];
};
static_assert(sizeof(LibraryRegistryEntry) == 16);

// One pair of the reserved-name list.
struct ReservedNamePair {
  const char* name;
  intptr_t value;
};
static_assert(sizeof(ReservedNamePair) == 16);

}  // namespace vke
