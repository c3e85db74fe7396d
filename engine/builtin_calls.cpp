// The installed builtin table: its rows by opcode and the calls through them.
#include "engine/builtin_hooks.hpp"
#include "engine/errors/errors.hpp"
#include "engine/frames/frames.hpp"
#include "engine/memory_retry.hpp"
#include "engine/native_nesting.hpp"

namespace vke {

namespace {

constexpr BuiltinDispatch kNoDispatch{};

int32_t CountOf(int8_t source, const int16_t* code) {
  return source >= 0 ? source : code[-source];
}

}  // namespace

void SetBuiltinHooks(EngineContext* ctx, const BuiltinHooks* hooks) {
  ctx->builtinHooks = hooks;
}

const BuiltinDispatch& GetBuiltinDispatch(const EngineContext* ctx, int32_t opcode) {
  if (!ctx->builtinHooks || opcode < 0 || opcode >= kOpcodeCount) return kNoDispatch;
  return ctx->builtinHooks->rows[opcode];
}

ErrCode CallBuiltin(EngineContext* ctx, const int16_t* code) {
  const BuiltinDispatch& e = GetBuiltinDispatch(ctx, code[0]);
  if (!e.fn) return kErrNotSupported;
  const int32_t nargin = CountOf(e.inputs, code);
  const int32_t nargout = CountOf(e.outputs, code);
  if (nargin < 0 || nargin > GetFrameEntryCount(ctx)) return kErrIllegal;
  const NativeNesting nesting;
  if (nesting.TooDeep()) return NestingLimitReached(ctx);
  return e.fn(ctx, nargin, nargout, e.option);
}

ErrCode CallBuiltinOf(EngineContext* ctx, int32_t opcode, int32_t nargin, int32_t nargout) {
  const BuiltinDispatch& e = GetBuiltinDispatch(ctx, opcode);
  if (!e.fn) return kErrNotSupported;
  const NativeNesting nesting;
  if (nesting.TooDeep()) return NestingLimitReached(ctx);
  return e.fn(ctx, nargin, nargout, e.option);
}

}  // namespace vke
