// The natives and hooks of the application's own libraries that the rows of
// app/natives.def name: the instance, title and dialog natives, the reader
// of the libraries embedded in the element list, and movezero. Their user
// data is the block's NativeCallContext (their records' option words are 0).
#pragma once

#include "engine/registry/native_record.hpp"

namespace vke {

#define VKE_APP_NATIVE_FN(name) \
  ErrCode name(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);

// A dragged zero of a real polynomial moved to another place.
VKE_APP_NATIVE_FN(MoveZeroNative)

#undef VKE_APP_NATIVE_FN

}  // namespace vke
