// The library registry: registering native tables, finding records by name
// and by global index, and calling natives with their option words.
#pragma once

#include "engine/context.hpp"

namespace vke {

ErrCode RegisterLibrary(EngineContext* ctx, const NativeFunctionRecord* table, bool atFront);
ErrCode EnableLibrary(EngineContext* ctx, const char* name, uint8_t flag);
const NativeFunctionRecord* GetNativeRecordByIndex(EngineContext* ctx, int32_t index);
void SetNativeOptionByFn(NativeFunctionRecord* table, const void* function, uintptr_t option);
ErrCode CallNativeFunction(EngineContext* ctx, NativeFn function, int32_t a, int32_t b);
// Walks the records named name in registry and record order; after skips
// matches up to and including that record; kindFilter f != 0 matches only
// records whose id is f or -f. Gives the global index of the record found.
const NativeFunctionRecord* FindLibraryRecord(EngineContext* ctx, const char* name,
                                              const NativeFunctionRecord* after, int32_t kindFilter,
                                              int32_t* globalIndex);
const char* GetRecordLibraryName(EngineContext* ctx, const NativeFunctionRecord* record);

// The option word a record's function is called with.
inline uintptr_t RecordUserData(EngineContext* ctx, const NativeFunctionRecord* r) {
  return r->option ? r->option : ctx->defaultUserData;
}

}  // namespace vke
