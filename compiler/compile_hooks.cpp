// The compiler's entry points handed to the engine: calls of function values
// from native code and texts run in a frame, compiled on the way.
#include <algorithm>

#include "compiler/compile_calls.hpp"
#include "compiler/library_source.hpp"
#include "engine/code/names.hpp"
#include "engine/errors/errors.hpp"
#include "engine/text/text.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

// Whether each part of a name, "library::function" or "function", is no
// longer than an identifier: a longer one names no function.
bool NamePartsFit(const char* name, int32_t length) {
  int32_t part = 0;
  for (int32_t i = 0; i < length; i++) {
    part = name[i] == ':' ? 0 : part + 1;
    if (part > kMaxIdentifierLength) return false;
  }
  return true;
}

ErrCode CallValueFromNative(EngineContext* ctx, int32_t depth, int32_t inputs, int32_t outputs,
                            int32_t callBack, int32_t* resultsNow) {
  *resultsNow = -1;
  const int32_t scope = CurrentScope(ctx);
  FunctionValue v;
  if (ErrCode e = ReadFunctionValue(ctx, depth, scope, &v))
    return e == kErrUndefFun || e == kErrNameTooLong ? kErrFunNotFound : e;
  if (!v.isInline && !NamePartsFit(v.name, v.length)) return kErrFunNotFound;
  if (v.isInline) {
    if (ErrCode e = DuplicateStackEntries(ctx, depth, 1)) return e;
    if (ErrCode e = RollStackEntries(ctx, inputs + 1, inputs)) return e;
    return CallInlineFunction(ctx, inputs, outputs, true);
  }
  const bool back = !v.isReference || callBack != 0;
  const uint32_t before = ctx->descTop;
  const int32_t frame = ctx->curFrame;
  if (ErrCode e = CallFunctionNamed(ctx, v.name, v.length, v.scope, inputs, outputs, false, back)) {
    // The error is the callee's, a native's or builtin's run at once
    // included: it names the callee, not the native that called it.
    if (!ctx->errLocName[0])
      CopyCStringBounded(ctx->errLocName, sizeof ctx->errLocName, v.name,
                         std::min(v.length, kMaxIdentifierLength));
    return e;
  }
  if (ctx->curFrame != frame || !back) return kOk;
  // A native or builtin gave its results at once.
  *resultsNow =
      static_cast<int32_t>((ctx->descTop + 3u * static_cast<uint32_t>(inputs) - before) / 3);
  return kOk;
}

ErrCode CallByName(EngineContext* ctx, const char* name, int32_t length, int32_t scope,
                   int32_t inputs, int32_t outputs) {
  return CallFunctionNamed(ctx, name, length, scope, inputs, outputs, false);
}

constexpr CompileHooks kHooks = {
    .callValue = CallValueFromNative,
    .callValueWithArgs = CallFunctionValueWithArgs,
    .evaluateText = EvaluateSourceText,
    .functionSource = FindFunctionSource,
    .callByName = CallByName,
    .resolveName = ResolveFunctionInLibrary,
    .resolveValue = ResolveValueCounts,
    .atHalt = StandsBeforeHalt,
};

}  // namespace

const CompileHooks* CompilerHooks() {
  return &kHooks;
}

}  // namespace vke
