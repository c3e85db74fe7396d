// Pending call arguments that callbacks add for the next call, and the raw
// copies of a function value and its arguments handed to a host.
#include "engine/engine.hpp"
#include "engine/errors/errors.hpp"
#include "engine/values/values.hpp"

namespace vke {

namespace {

EngineContext* ContextOfHolder(ContextResolverFn resolver, uintptr_t holder) {
  return resolver ? resolver(holder) : reinterpret_cast<EngineContext*>(holder);
}

bool AppendPending(EngineContext* ctx, uintptr_t extra, uintptr_t value) {
  if (ctx->pendingArgCount >= kPendingCallArgs) return false;
  ctx->pendingArgs[ctx->pendingArgCount++] = PendingCallArg{extra, value};
  return true;
}

}  // namespace

bool AddCallArgument(ContextResolverFn resolver, uintptr_t, uintptr_t, uintptr_t holder,
                     uintptr_t value, uintptr_t extra) {
  return AppendPending(ContextOfHolder(resolver, holder), extra, value);
}

bool AddCallArgumentValue(ContextResolverFn resolver, uintptr_t, uintptr_t, uintptr_t holder,
                          uintptr_t value) {
  return AppendPending(ContextOfHolder(resolver, holder), 0, value);
}

void GetCallArgumentAdders(EngineContext* ctx, CallArgumentAdders* record) {
  record->resolver = ctx->resolver;
  record->add = AddCallArgument;
  record->addValue = AddCallArgumentValue;
  record->holder = ctx->resolver ? ctx->resolverArg : reinterpret_cast<uintptr_t>(ctx);
}

ErrCode ComputeCallFrameSize(EngineContext* ctx, int32_t n, int32_t count, int32_t* size) {
  if (n < count || 3u * uint32_t(n + 1) > ctx->descTop) return kErrBadArg;
  int64_t words = 0;
  for (int32_t d = n; d >= n - count; d--) words += GetEntryWordCount(ctx, d);
  if (words * 8 > INT32_MAX) return kErrObjTooLarge;
  *size = static_cast<int32_t>(words * 8);
  return kOk;
}

ErrCode PrepareFunctionCall(EngineContext* ctx, int32_t n, int32_t count,
                            CallArgumentAdders* record, void* buffer) {
  if (n < count || 3u * uint32_t(n + 1) > ctx->descTop) return kErrBadArg;
  auto* out = static_cast<uint8_t*>(buffer);
  for (int32_t d = n; d >= n - count; d--) {
    CopyEntryToBytes(ctx, d, out);
    out += 8ull * GetEntryWordCount(ctx, d);
  }
  if (record) GetCallArgumentAdders(ctx, record);
  return kOk;
}

}  // namespace vke
