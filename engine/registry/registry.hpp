// The library registry: registering native tables, finding records by name
// and by global index, and calling natives with their option words.
#pragma once

#include "engine/context.hpp"

namespace vke {

ErrCode RegisterLibrary(EngineContext* ctx, const NativeFunctionRecord* table, bool atFront);
// Marks a registered table as a loaded extension's (LibraryRegistryEntry).
void MarkLibraryForeign(EngineContext* ctx, const NativeFunctionRecord* table);
// Takes the first `count` tables out of the registry (the last ones
// registered in front), giving their room back to the data stack.
void UnregisterFrontLibraries(EngineContext* ctx, uint32_t count);
ErrCode EnableLibrary(EngineContext* ctx, const char* name, uint8_t flag);
const NativeFunctionRecord* GetNativeRecordByIndex(EngineContext* ctx, int32_t index);
void SetNativeOptionByFn(NativeFunctionRecord* table, const void* function, uintptr_t option);
// Calls the first registered record of the function (with its option
// word), or the function alone with the default user data.
ErrCode CallNativeFunction(EngineContext* ctx, NativeFn function, int32_t a, int32_t b);
// Calls a registered record reached by name or through a function value
// (InvokeNative); kErrIllegal for a record no registered table holds.
ErrCode CallNativeRecord(EngineContext* ctx, const NativeFunctionRecord* record, int32_t a,
                         int32_t b);
// The one way natives are called. The native is called back, one call after
// the other, with the results of each function value it handed to
// CallFunctionValue that gave them at once, so that no call nests in
// another however many it makes; a function that runs as code calls it back
// when it returns, as `continuation` (a kFwContinue word) says. A native
// that ends without calling anything must have pushed at least as many
// values as were asked (inputs >= 0 and outputs > 0); else its values are
// dropped and the call fails with too many outputs. nativeId is what
// currentNativeId holds while it runs.
ErrCode InvokeNative(EngineContext* ctx, NativeFn function, uintptr_t data, int32_t nativeId,
                     uint32_t continuation, int32_t inputs, int32_t outputs);
// The global index of a registered record, -1 for none.
int32_t GlobalIndexOfRecord(EngineContext* ctx, const NativeFunctionRecord* record);
// Walks the records named name in registry and record order; after skips
// matches up to and including that record; kindFilter f != 0 matches only
// records whose id is f or -f. Gives the global index of the record found.
const NativeFunctionRecord* FindLibraryRecord(EngineContext* ctx, const char* name,
                                              const NativeFunctionRecord* after, int32_t kindFilter,
                                              int32_t* globalIndex);
// The native of a library's value type (a typed kind of 6 or more: the
// records whose id is that kind) with the name that takes the counts: a
// maximum with bit 6 set takes any number, and a call as a statement
// (outputs below 0) one whose minimum is below 2. Null when there is none.
const NativeFunctionRecord* FindTypeNative(EngineContext* ctx, int32_t kind, const char* name,
                                           int32_t inputs, int32_t outputs);
const char* GetRecordLibraryName(EngineContext* ctx, const NativeFunctionRecord* record);

// The option word a record's function is called with.
inline uintptr_t RecordUserData(EngineContext* ctx, const NativeFunctionRecord* r) {
  return r->option ? r->option : ctx->defaultUserData;
}

}  // namespace vke
