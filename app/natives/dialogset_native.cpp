// dialogset: the options structure of dialog (dialog_natives.cpp), apart
// from dialog so that a host without windows registers it alone.
#include "app/natives/app_natives.hpp"
#include "engine/registry/option_tables.hpp"
#include "engine/registry/options.hpp"

namespace vke {

ErrCode DialogsetNative(EngineContext* ctx, int32_t nargin, int32_t, uintptr_t) {
  return SetOptions(ctx, nargin, kDialogsetTable);
}

}  // namespace vke
