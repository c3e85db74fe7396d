// The values of the event that started a handler, as the handlers read them:
// the natives _x, _y, _id ... _action and firstrun, and the reader behind
// both those natives and the handler inputs of the same codes, so that a
// value read through a native and one passed as an input are the same.
#pragma once

#include "app/block.hpp"

namespace vke {

// Pushes the value of an event code (2-30, the standard variable codes) from
// the block's event state, or [] when the flag bits the value needs are not
// all set; every other code gives []. Fails only when the stack is full.
ErrCode GetEventVariable(KVContextBlock* block, int32_t code);

// The name of a handler kind as _action gives it ("mousedown" ... "draw"),
// or "" for kinds without one.
const char* HandlerActionName(uint32_t kind);

// Pushes _action: the name of the running handler's kind, or "" while the
// current instance redraws after a drag step.
ErrCode PushHandlerAction(KVContextBlock* block);

// ---- The natives (no input, one output) ----

// The event value of the current instance, [] without one. user is the
// block's NativeCallContext; kErrBadContext without it.
ErrCode PushCurrentEventValue(EngineContext* ctx, uintptr_t user, int32_t code);

template <int32_t Code>
ErrCode EventValueNative(EngineContext* ctx, int32_t, int32_t, uintptr_t user) {
  return PushCurrentEventValue(ctx, user, Code);
}

ErrCode ActionNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);
// True when the current instance exists and its first-run byte is set.
ErrCode FirstRunNative(EngineContext* ctx, int32_t nargin, int32_t nargout, uintptr_t user);

}  // namespace vke
