// The option-setting natives of the engine's static table: each builds or
// updates the option structure of its own table.
#include "engine/registry/natives_decl.hpp"
#include "engine/registry/option_tables.hpp"

namespace vke {

ErrCode OptimsetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kOptimsetTable);
}

ErrCode OdesetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kOdesetTable);
}

}  // namespace vke
