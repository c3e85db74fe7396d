// The compiler's entry points that the engine calls while code runs: a call
// of a function value or of source text compiles what it calls on the way.
// The host hands them to the engine once (SetCompileHooks); an engine
// without them refuses such calls with kErrNotSupported.
#pragma once

#include "engine/context.hpp"

namespace vke {

struct CompileHooks {
  // The function value at depth under its inputs called with outputs in the
  // current scope (CallFunctionValue; callBack as there). When a native or
  // builtin gave its results at once, *resultsNow is their count, which the
  // caller hands back to the calling native; otherwise -1.
  ErrCode (*callValue)(EngineContext* ctx, int32_t depth, int32_t inputs, int32_t outputs,
                       int32_t callBack, int32_t* resultsNow);
  // The function value under n - 1 arguments called with k outputs, names
  // resolved in scope; byName skips the user functions of that name.
  ErrCode (*callValueWithArgs)(EngineContext* ctx, int32_t scope, int32_t n, int32_t k,
                               bool byName);
  // Compiles a text in scope and sets up its run in a frame of its own.
  ErrCode (*evaluateText)(EngineContext* ctx, const char* text, int32_t length, int32_t scope,
                          int32_t results, uint32_t flags);
  // The source of function-table entry index in the buffer, its definition
  // first, with the line that definition stands on (for the failing line an
  // error shows).
  ErrCode (*functionSource)(EngineContext* ctx, int32_t index, char* buffer, int32_t capacity,
                            int32_t* outLength, int32_t* outLine);
  // The function, native or builtin of the name called with the counts, the
  // name resolved in scope (CallFunctionByName).
  ErrCode (*callByName)(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                        int32_t inputs, int32_t outputs);
  // The maximum counts of what the name stands for in a library's scope
  // (ResolveFunctionName).
  ErrCode (*resolveName)(EngineContext* ctx, const char* name, int32_t length, const char* library,
                         int32_t libraryLength, int32_t* maxIn, int32_t* maxOut, uint8_t* varargin,
                         uint8_t* varargout);
  // The maximum counts of the function value at depth (ResolveFunctionValue).
  ErrCode (*resolveValue)(EngineContext* ctx, int32_t depth, int32_t scope, int32_t* maxIn,
                          int32_t* maxOut);
  // Whether the code pointer reaches a halt through harmless instructions
  // only (IsAtHaltInstruction).
  bool (*atHalt)(EngineContext* ctx);
};

void SetCompileHooks(EngineContext* ctx, const CompileHooks* hooks);

}  // namespace vke
