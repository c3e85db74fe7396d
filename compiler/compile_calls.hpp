// Calls of functions given by name or as values, shared by the call
// builtins (feval, builtin, eval, callvalue of the loop), the calls from
// native code and the name queries: function values read from the stack,
// inline function values, and the frame facts they need.
//
// An inline function value (typed kKindInline) holds: a 16-bit length and the
// expression text in 16-bit characters; a 16-bit length and that many bytes:
// the parameter names joined by "," and a 0 byte, then, when the function
// captured values, the list of them as one item (header and data); then, on
// an 8-byte boundary, the compiled function block. A function that captured
// values takes that list as its first input, named "_".
#pragma once

#include <span>

#include "builtins/builtin.hpp"
#include "compiler/compile.hpp"
#include "engine/compile_hooks.hpp"
#include "engine/frames/frames.hpp"

namespace vke {

// "lib::name" at its longest.
inline constexpr int32_t kMaxNameWithLibrary = 2 * 32 + 2;

// A function value read from the stack.
struct FunctionValue {
  bool isInline = false;
  bool isReference = false;
  const char* name = nullptr;  // a name or a reference's name (in `buffer`)
  int32_t length = 0;
  int32_t scope = 0;  // the scope its name is resolved in
  char buffer[kMaxNameWithLibrary + 1] = {};
  FunctionHeader header;  // inline: its block's header
  bool captured = false;  // inline: takes the captured values first
};
// Reads the value at the depth: a char row (a name, resolved in scope), an
// inline function or a function reference. kErrNullName for an empty name, kErrUndefFun for
// a name too long, kErrWrongTypeOverload for any other value.
ErrCode ReadFunctionValue(EngineContext* ctx, int32_t depth, int32_t scope, FunctionValue* out);

// The function value under n - 1 arguments (at depth n - 1) called with k
// outputs, names resolved in scope: an inline function runs on the data
// stack, a reference by its name in its own scope, a name through the user
// functions (unless byName), the natives and the builtins. The value and the
// arguments are replaced by the call (its frame or its results).
ErrCode CallFunctionValueWithArgs(EngineContext* ctx, int32_t scope, int32_t n, int32_t k,
                                  bool byName);

// Calls the inline function value at depth `inputs` (under its inputs):
// its captured values are put before the inputs, and the value moves into
// the new frame as its first entry, so that it goes when the frame returns.
ErrCode CallInlineFunction(EngineContext* ctx, int32_t inputs, int32_t outputs, bool callBack);

// By name: user functions (skipped with skipUser), natives, builtins. With
// callBack, a user function's frame calls the native before its return
// position again when it returns.
ErrCode CallFunctionNamed(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                          int32_t inputs, int32_t outputs, bool skipUser, bool callBack = false);
// A function of that name in any library (public ones unless private ones
// are shown), -1 when none.
int32_t FindFunctionGlobally(EngineContext* ctx, const char* name, int32_t length,
                             const char* library, int32_t libraryLength);
// The counts of a function name resolved in a scope.
ErrCode ResolveFunctionInScope(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                               int32_t* maxIn, int32_t* maxOut, uint8_t* varargin,
                               uint8_t* varargout);
// ResolveFunctionInScope in the scope of the library of that name (the
// top scope when there is none).
ErrCode ResolveFunctionInLibrary(EngineContext* ctx, const char* name, int32_t length,
                                 const char* library, int32_t libraryLength, int32_t* maxIn,
                                 int32_t* maxOut, uint8_t* varargin, uint8_t* varargout);
// The maximum input and output counts of the function value at depth.
ErrCode ResolveValueCounts(EngineContext* ctx, int32_t depth, int32_t scope, int32_t* maxIn,
                           int32_t* maxOut);
// Whether the code pointer stands before a halt with only harmless
// instructions in between (sets the context's halted flag when it does).
bool StandsBeforeHalt(EngineContext* ctx);
// The text on top becomes a function reference resolved in scope.
ErrCode MakeFunctionReference(EngineContext* ctx, int32_t scope);

// The entry points the engine calls while code runs (SetCompileHooks).
const CompileHooks* CompilerHooks();

// The builtins the compiler implements, one declaration per row.
#define VKE_BUILTIN(name, id, in, out, function, opt)
#define VKE_COMPILER_BUILTIN(name, id, in, out, function, opt) \
  ErrCode function(EngineContext*, int32_t, int32_t, int32_t);
#include "builtins/builtin_table.def"
#undef VKE_COMPILER_BUILTIN
#undef VKE_BUILTIN

// A function of the compiler's for the dispatch row of an opcode.
struct CompilerBuiltinRow {
  int32_t opcode;
  BuiltinFn fn;
};
// The compiler's builtin rows, which the host lays over the builtins'
// dispatch rows when it installs them.
std::span<const CompilerBuiltinRow> CompilerBuiltinRows();

}  // namespace vke
