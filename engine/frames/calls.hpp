// Running compiled code: the execution loop's entry points and the calls of
// language functions from native code.
#pragma once

#include "engine/context.hpp"

namespace vke {

ErrCode ExecuteBytecode(EngineContext* ctx, uint8_t sliced);
ErrCode ResolveFunctionName(EngineContext* ctx, const char* name, int32_t length,
                            const char* library, int32_t libraryLength, int32_t* maxIn,
                            int32_t* maxOut, uint8_t* varargin, uint8_t* varargout);
ErrCode CallFunctionValue(EngineContext* ctx, int32_t depth, int32_t inputs, int32_t outputs,
                          int32_t callBack);
// The function value under n - 1 arguments on top called with k outputs in
// the current scope, as feval calls it; kErrNotSupported without the
// compiler's hooks.
ErrCode CallFunctionValueWithArguments(EngineContext* ctx, int32_t n, int32_t k);
ErrCode CallFunctionByName(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                           int32_t inputs, int32_t outputs);
ErrCode RunTextInFunctionScope(EngineContext* ctx, const char* text, int32_t length,
                               int32_t* count);
bool IsAtHaltInstruction(EngineContext* ctx);
ErrCode ClearFrameFlagAndContinue(EngineContext* ctx);

}  // namespace vke
