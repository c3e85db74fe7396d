// The engine's entry points that name or inspect compiled functions: calls
// by name, the counts a name or function value stands for and the halt
// check. The compiler answers them through its hooks; an engine without the
// hooks refuses them with kErrNotSupported.
#include "engine/code/names.hpp"
#include "engine/compile_hooks.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/calls.hpp"

namespace vke {

ErrCode CallFunctionByName(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                           int32_t inputs, int32_t outputs) {
  if (!ctx->compileHooks || !ctx->compileHooks->callByName) return kErrNotSupported;
  return ctx->compileHooks->callByName(ctx, name, length, scope, inputs, outputs);
}

ErrCode ResolveFunctionName(EngineContext* ctx, const char* name, int32_t length,
                            const char* library, int32_t libraryLength, int32_t* maxIn,
                            int32_t* maxOut, uint8_t* varargin, uint8_t* varargout) {
  if (!ctx->compileHooks || !ctx->compileHooks->resolveName) return kErrNotSupported;
  return ctx->compileHooks->resolveName(ctx, name, length, library, libraryLength, maxIn, maxOut,
                                        varargin, varargout);
}

ErrCode ResolveFunctionValue(EngineContext* ctx, int32_t depth, int32_t scope, int32_t* maxIn,
                             int32_t* maxOut) {
  if (!ctx->compileHooks || !ctx->compileHooks->resolveValue) return kErrNotSupported;
  return ctx->compileHooks->resolveValue(ctx, depth, scope, maxIn, maxOut);
}

bool IsAtHaltInstruction(EngineContext* ctx) {
  return ctx->compileHooks && ctx->compileHooks->atHalt && ctx->compileHooks->atHalt(ctx);
}

}  // namespace vke
