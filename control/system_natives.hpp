// The natives that discretise and convert linear systems and find the
// stability margins of a loop: c2dm, d2cm, ss2tf, tf2ss, margin, dmargin.
#pragma once

#include <cstdint>

#include "engine/errors/errors.hpp"

namespace vke {

struct EngineContext;

ErrCode C2dmNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode D2cmNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode Ss2tfNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode Tf2ssNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode MarginNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);
ErrCode DmarginNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t option);

}  // namespace vke
